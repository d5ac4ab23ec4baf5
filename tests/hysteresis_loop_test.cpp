#include "driver/hysteresis_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace preisach::driver {
namespace {

using hysteresis::Branch;

std::string printed(float value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

TEST(DensityMapBytes, AreFortyBytesForEachCountedNode) {
  ParameterSet p;
  p.Ha_max = 1.0f;
  p.m = 10;
  p.sigmac0 = p.sigmai0 = 1.0f;  // no refinement: 8 x 8 counted nodes
  EXPECT_EQ(densityMapBytes(p), 64.0 * 40.0);
  p.sigmac0 = p.sigmai0 = 0.1f;  // both axes refined to 30: 28 x 28
  EXPECT_EQ(densityMapBytes(p), 784.0 * 40.0);
  p.m = 15447;  // the largest grid, refined: (3m - 2)^2 rows, about 86 GB
  p.sigmac0 = p.sigmai0 = 1e-6f;
  EXPECT_EQ(densityMapBytes(p), 46339.0 * 46339.0 * 40.0);
  p.m = 1;
  EXPECT_EQ(densityMapBytes(p), 1.0 * 1.0 * 40.0);
}

TEST(FieldSchedule, RunsFortyOnePointsEachWayForAThousandOersted) {
  const auto down = fieldSchedule(1000.0f, Branch::Descending);
  const auto up = fieldSchedule(1000.0f, Branch::Ascending);
  ASSERT_EQ(down.size(), 41u);
  ASSERT_EQ(up.size(), 41u);
  for (std::size_t k = 0; k < 41; ++k) {
    EXPECT_EQ(down[k], 1000.0f - 50.0f * static_cast<float>(k)) << k;
    EXPECT_EQ(up[k], -down[k]) << k;
  }
  EXPECT_EQ(printed(down[20]), "0");
  EXPECT_EQ(printed(up[20]), "0");
}

TEST(FieldSchedule, DriftsOffTheGridForOneOersted) {
  const auto down = fieldSchedule(1.0f, Branch::Descending);
  const auto up = fieldSchedule(1.0f, Branch::Ascending);
  ASSERT_EQ(down.size(), 40u);
  ASSERT_EQ(up.size(), 40u);
  constexpr float kStepDrift = 1e-6f;  // forty float32 steps of 0.05 each round by up to half a unit
  EXPECT_NEAR(down.back(), -0.95f, kStepDrift);
  EXPECT_NEAR(up.back(), 0.95f, kStepDrift);
  // The field nearest to zero is not caught by the snap window.
  EXPECT_EQ(printed(down[20]), "-1.55717e-07");
  for (float field : down) EXPECT_NE(field, 0.0f);
}

TEST(FieldSchedule, IsEmptyWithoutAFieldRange) {
  for (float Ha_max : {-1000.0f, -1.0f, 0.0f, 1e-9f, 1e-20f}) {
    EXPECT_FALSE(hasFieldRange(Ha_max)) << Ha_max;
    EXPECT_TRUE(fieldSchedule(Ha_max, Branch::Descending).empty()) << Ha_max;
    EXPECT_TRUE(fieldSchedule(Ha_max, Branch::Ascending).empty()) << Ha_max;
  }
  // Just above the snap window the branches end.
  EXPECT_TRUE(hasFieldRange(3e-9f));
  EXPECT_LE(fieldSchedule(3e-9f, Branch::Descending).size(), 42u);
  EXPECT_LE(fieldSchedule(3e-9f, Branch::Ascending).size(), 42u);
}

}  // namespace
}  // namespace preisach::driver
