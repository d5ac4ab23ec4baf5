#include "model/grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace preisach::model {
namespace {

std::string printed(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

TEST(GridAxis, KeepsTheCoarseStepWhenAThirdOfTheWidthCoversIt) {
  const GridAxis hc = makeGridAxis(0.0, 1.0, 10, 1.0f);
  const GridAxis hi = makeGridAxis(-1.0, 1.0, 10, 1.0f);
  EXPECT_EQ(hc.step, 0.1);
  EXPECT_EQ(hc.count, 10);
  EXPECT_EQ(hi.step, 0.2);
  EXPECT_EQ(hi.count, 10);
}

TEST(GridAxis, RefinesToAThirdOfTheStepWhenTheWidthIsSmall) {
  const GridAxis hc = makeGridAxis(0.0, 1.0, 10, 0.2f);
  const GridAxis hi = makeGridAxis(-1.0, 1.0, 10, 0.5f);
  EXPECT_EQ(hc.count, 30);
  EXPECT_EQ(hi.count, 30);
  EXPECT_EQ(printed(hc.step), "0.0333333");
  EXPECT_EQ(printed(hi.step), "0.0666667");
  constexpr double kStepRounding = 1e-17;  // both sides rounded once: about one unit in the last place of 1/30
  EXPECT_NEAR(hc.step, 0.1 / 3, kStepRounding);
}

TEST(GridAxis, KeepsTheCoarseStepWhenAThirdOfTheWidthEqualsIt) {
  // 3 * (1/3) and 6 * (1/3) are exactly 1 and 2 in extended precision.
  EXPECT_EQ(makeGridAxis(0.0, 10.0, 10, 3.0f).count, 10);
  EXPECT_EQ(makeGridAxis(-10.0, 10.0, 10, 6.0f).count, 10);
  // Just below equality refines.
  EXPECT_EQ(makeGridAxis(0.0, 10.0, 10, std::nextafter(3.0f, 0.0f)).count, 30);
}

TEST(GridAxis, RefinesWhenTheWidthIsNotANumber) {
  EXPECT_EQ(makeGridAxis(0.0, 1.0, 10, std::numeric_limits<float>::quiet_NaN()).count, 30);
}

TEST(GridAxis, VisitsEveryNodeButTheLast) {
  const GridAxis hi = makeGridAxis(-1.0, 1.0, 10, 1.0f);
  EXPECT_EQ(hi.nodeCount(), 9);
  EXPECT_EQ(hi.coordinate(0), -1.0);
  // j * dhi - 1 rounds to just above 0.2 and 0.4, as the boundary tests of the
  // hysteresis grid rely on.
  EXPECT_GT(hi.coordinate(6), 0.2);
  EXPECT_GT(hi.coordinate(7), 0.4);
  EXPECT_EQ(hi.coordinate(8), static_cast<double>(8.0L * static_cast<long double>(0.2) - 1.0L));
}

TEST(GridAxis, HasNoNodeForZeroOrNegativeCounts) {
  const GridAxis zero = makeGridAxis(0.0, 1.0, 0, 1.0f);
  EXPECT_TRUE(std::isinf(zero.step));
  EXPECT_EQ(zero.nodeCount(), 0);
  EXPECT_EQ(makeGridAxis(0.0, 1.0, 1, 10.0f).nodeCount(), 0);
  EXPECT_EQ(makeGridAxis(0.0, 1.0, -5, 1.0f).nodeCount(), 0);
  EXPECT_EQ(makeGridAxis(0.0, 1.0, std::numeric_limits<std::int32_t>::min(), 1.0f).nodeCount(), 0);
}

TEST(GridAxis, HoldsARefinedCountThatWouldOverflowAtTheLargestInteger) {
  const GridAxis axis = makeGridAxis(0.0, 1.0, 1000000000, 0.0f);
  EXPECT_EQ(axis.count, std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace preisach::model
