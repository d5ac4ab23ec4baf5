#include "hysteresis/hysteresis_point.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "driver/hysteresis_loop.h"
#include "model/console.h"
#include "model/normalisation.h"
#include "model/scaling.h"
#include "program_wrappers.h"
#include "test_support.h"

namespace preisach::hysteresis {
namespace {

using test::hysteresisPoint;

// A loop setting: Tc = 600, mu0 = 3.45e-15 (so hts(T) is T in oersted),
// Gamma = 0.5, shape G centred at (hc0_mean, 0), N = 1.
struct Loop {
  float Ha_max = 1.0f;
  std::int32_t m = 10;
  float sigmac0 = 10.0f;
  float sigmai0 = 10.0f;
  float hc0_mean = 0.5f;
  float T_hyst = 47.0f;
  float Norm_coeff = 2.0f;
  float s = 0.5f;
  float lambda = 2.0f;
  float f = 0.25f;
  model::DensityShape shape = model::DensityShape::G;

  ModelParameters physics() const {
    ModelParameters p;
    p.Tc = 600.0f, p.mu0 = 3.45e-15f, p.Gamma = 0.5f, p.hc0_mean = hc0_mean, p.Gamma_c = 1.0f, p.sigmac0 = sigmac0;
    p.Gamma_cprim = 1.0f, p.sigmai0 = sigmai0, p.Gamma_i = 1.0f, p.km = 0.0f, p.N = 1.0f, p.PDF = shape;
    p.T_hyst = T_hyst, p.Ha_max = Ha_max, p.s = s, p.lambda = lambda, p.f = f;
    return p;
  }

  HysteresisPointValues at(float ha, Branch branch) const {
    return evaluateHysteresisPoint(physics(), m, ha, branch, Norm_coeff);
  }
};

TEST(HysteresisPoint, CountsThirtyNineTriangleNodesAtEveryFieldOfTheCoarseGrid) {
  const Loop loop;
  for (Branch branch : {Branch::Descending, Branch::Ascending}) {
    const auto fields = driver::fieldSchedule(loop.Ha_max, branch);
    ASSERT_EQ(fields.size(), 40u);
    for (float ha : fields) EXPECT_EQ(loop.at(ha, branch).k1, 39) << ha;
  }
}

TEST(HysteresisPoint, CountsTheBoundaryNodesThatRoundingPutsInsideAtZeroField) {
  // Descending: 8 nodes; ascending: 9, among them (0.2, 0.2) and (0.4, 0.4),
  // whose hi = j * dhi - 1 rounds to just above the line hi = hc.
  const Loop loop;
  const HysteresisPointValues down = loop.at(0.0f, Branch::Descending);
  const HysteresisPointValues up = loop.at(0.0f, Branch::Ascending);
  EXPECT_EQ(down.k2, 8);
  EXPECT_EQ(up.k2, 9);
  EXPECT_EQ(down.hcAxis.step, 0.1);
  EXPECT_EQ(down.hiAxis.step, 0.2);
  EXPECT_EQ(down.hcAxis.count, 10);
}

TEST(HysteresisPoint, FormsTheRegionTestsInExtendedPrecision) {
  // Both axes refined to 150 divisions; rounding the differences to float64
  // gives another count.
  Loop loop;
  loop.Ha_max = 1000.0f;
  loop.m = 50;
  for (Branch branch : {Branch::Descending, Branch::Ascending}) {
    const HysteresisPointValues v = loop.at(250.0f, branch);
    EXPECT_EQ(v.hcAxis.count, 150);
    EXPECT_EQ(v.hiAxis.count, 150);
    EXPECT_EQ(v.k1, 11117);
  }
}

TEST(HysteresisPoint, StartsEachBranchFromSaturation) {
  const Loop loop;
  const HysteresisPointValues down = loop.at(loop.Ha_max, Branch::Descending);
  EXPECT_EQ(down.k2, 1);
  EXPECT_EQ(down.Integral2, 0.0);
  EXPECT_EQ(down.M_irr, static_cast<double>(static_cast<long double>(down.Integral1) * loop.Norm_coeff));
  const HysteresisPointValues up = loop.at(-loop.Ha_max, Branch::Ascending);
  EXPECT_EQ(up.k2, 1);
  EXPECT_EQ(up.Integral2, 0.0);
  EXPECT_EQ(up.M_irr, -down.M_irr);
}

TEST(HysteresisPoint, ReversesTheWholeTriangleAtTheFarEndOfEachBranch) {
  // Only the roundings of the two area products differ.
  constexpr double kAreaRounding = 1e-15;
  const Loop loop;
  const HysteresisPointValues down = loop.at(-loop.Ha_max, Branch::Descending);
  EXPECT_EQ(down.k2, down.k1);
  EXPECT_EQ(down.sum2, down.sum1);
  EXPECT_NEAR(down.M_irr / (-down.Integral1 * static_cast<double>(loop.Norm_coeff)), 1.0, kAreaRounding);
  const HysteresisPointValues up = loop.at(loop.Ha_max, Branch::Ascending);
  EXPECT_EQ(up.k2, up.k1);
  EXPECT_NEAR(up.M_irr / (up.Integral1 * static_cast<double>(loop.Norm_coeff)), 1.0, kAreaRounding);
}

TEST(HysteresisPoint, SaturatesAtNMuForADensityInsideTheTriangle) {
  // A narrow distribution around (300, 0) lies inside the switching triangle
  // of a 3000 Oe loop; normalised over the rectangle, the saturation moment is
  // N mu to the accuracy of the grid's estimate of the integral.
  constexpr double kGridEstimate = 0.01;
  Loop loop;
  loop.Ha_max = 3000.0f;
  loop.m = 100;
  loop.hc0_mean = 300.0f;
  loop.sigmac0 = loop.sigmai0 = 30.0f;
  std::ostringstream out, err;
  loop.Norm_coeff = static_cast<float>(
      test::normaliseDensity(model::Console{out, err}, nullptr, loop.physics(), loop.m, loop.T_hyst, loop.Ha_max, 'n'));
  const HysteresisPointValues top = loop.at(loop.Ha_max, Branch::Descending);
  EXPECT_NEAR(top.M_irr / top.mu, 1.0, kGridEstimate);
  EXPECT_NEAR(loop.at(-loop.Ha_max, Branch::Ascending).M_irr / top.mu, -1.0, kGridEstimate);
}

TEST(HysteresisPoint, WeighsTheReversiblePartWithF) {
  Loop loop;
  loop.f = 0.0f;
  const HysteresisPointValues irreversible = loop.at(0.5f, Branch::Descending);
  EXPECT_EQ(irreversible.M, irreversible.M_irr);
  EXPECT_EQ(irreversible.reversibleColumn, 0.0);
  loop.f = 1.0f;
  const HysteresisPointValues reversible = loop.at(0.5f, Branch::Descending);
  EXPECT_EQ(reversible.M, reversible.M_rev);
  EXPECT_EQ(reversible.irreversibleColumn, 0.0);
  // M_rev = N mu tanh((|ha| + s) / lambda) with the sign of ha.
  constexpr double kFewRoundings = 1e-15;  // the product here and the extended one differ in their roundings
  EXPECT_NEAR(reversible.M_rev / (reversible.mu * std::tanh((0.5 + 0.5) / 2.0)), 1.0, kFewRoundings);
}

TEST(HysteresisPoint, JumpsInItsReversiblePartAtZeroField) {
  const Loop loop;
  // At +-1e-9 Oe the field itself moves tanh by a few parts in 1e9.
  constexpr double kFieldShift = 1e-6;
  const double below = loop.at(-1e-9f, Branch::Ascending).M_rev;
  const HysteresisPointValues zero = loop.at(0.0f, Branch::Ascending);
  const double above = loop.at(1e-9f, Branch::Ascending).M_rev;
  const double jump = zero.mu * std::tanh(0.5 / 2.0);
  EXPECT_EQ(zero.M_rev, 0.0);
  EXPECT_EQ(zero.M, static_cast<double>(0.75L * static_cast<long double>(zero.M_irr)));
  EXPECT_NEAR(below / jump, -1.0, kFieldShift);
  EXPECT_NEAR(above / jump, 1.0, kFieldShift);
}

TEST(HysteresisPoint, StartsItsCountersAtOneWithoutAPositiveThermalField) {
  Loop loop;
  loop.T_hyst = 0.0f;
  const HysteresisPointValues v = loop.at(0.0f, Branch::Descending);
  EXPECT_EQ(v.k1, 40);
  EXPECT_EQ(v.k2, 9);
}

TEST(HysteresisPoint, GivesZeroWhereTheCoarseGridSeesNoReversedNode) {
  // Just below the starting field the reversed region's hc bound is below dhc.
  const Loop loop;
  const HysteresisPointValues v = loop.at(0.95f, Branch::Descending);
  EXPECT_EQ(v.k2, 0);
  EXPECT_EQ(v.Integral2, 0.0);
  EXPECT_FALSE(std::isnan(v.M));
}

struct Printed {
  double M = 0.0;
  std::string out;
  std::string row;
};

Printed print(float ha, float ha_max) {
  test::TempDir dir;
  const std::string path = (dir.path() / "momentbc.txt").string();
  std::FILE* file = std::fopen(path.c_str(), "w");
  std::ostringstream out, err;
  Loop loop;  // the default loop without its reversible part
  loop.f = 0.0f;
  Printed p;
  p.M = hysteresisPoint(model::Console{out, err}, file, loop.physics(), loop.m, ha, ha_max, loop.Norm_coeff);
  std::fclose(file);
  p.out = out.str();
  p.row = test::readFile(path);
  return p;
}

TEST(HysteresisPoint, PrintsItsFiveLinesAndOneRow) {
  const Printed p = print(0.0f, -1.0f);
  EXPECT_EQ(
      p.out,
      "hts_T0=5\nfloor=10\ndhc=0.1 mc=10 dhi=0.2 mi=10 ha_max=1 ha=0\nk1=39 k2=9 k10=0\n"
      " Norm_coeff=2 mu=" +
          [] {
            std::ostringstream mu;
            mu << static_cast<double>(model::scaledParameter(47.0f, 600.0f, 3.45e-15f, 0.5f));
            return mu.str();
          }() +
          "\n");
  char row[128];
  std::snprintf(row, sizeof row, "%f %e %e %e\n", 0.0, p.M, p.M, 0.0);
  EXPECT_EQ(p.row, row);
}

TEST(HysteresisPoint, PrintsTwoLinesAndNoRowWithoutABranch) {
  const Printed p = print(0.5f, 0.0f);
  EXPECT_EQ(p.M, 0.0);
  EXPECT_EQ(p.out, "hts_T0=5\nfloor=10\n");
  EXPECT_EQ(p.row, "");
}

}  // namespace
}  // namespace preisach::hysteresis
