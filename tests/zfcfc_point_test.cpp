#include "zfcfc/zfcfc_point.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "model/console.h"
#include "program_wrappers.h"
#include "reference/zfcfc_reference.h"
#include "test_support.h"

namespace preisach::zfcfc {
namespace {

using test::zfcfcPoint;

// The worked grid example: mu0 = 3.45e-15 makes every thermal field nearly
// its temperature in oersted; Tc = 300, T_max = 100, ha = 5, m = 10 and
// widths of 100, so that neither axis refines.
struct Point {
  float T = 47.0f;
  float T_max = 100.0f;
  float Tc = 300.0f;
  float mu0 = 3.45e-15f;
  float ha = 5.0f;
  std::int32_t m = 10;
  float sigma = 100.0f;
  model::DensityShape shape = model::DensityShape::G;

  // Gamma = 0.5, hc0_mean = 30, km = 0, N = 1, every other exponent 1.
  ModelParameters physics() const {
    ModelParameters p;
    p.Tc = Tc, p.mu0 = mu0, p.Gamma = 0.5f, p.ha = ha, p.hc0_mean = 30.0f, p.Gamma_c = 1.0f, p.sigmac0 = sigma;
    p.Gamma_cprim = 1.0f, p.sigmai0 = sigma, p.Gamma_i = 1.0f, p.km = 0.0f, p.N = 1.0f, p.PDF = shape, p.T_max = T_max;
    return p;
  }
  ZfcFcPointValues evaluate() const { return evaluateZfcFcPoint(physics(), m, T); }
  ZfcFcPointValues evaluateByReference() const { return reference::evaluateZfcFcPoint(physics(), m, T); }
};

TEST(ZfcFcPoint, CountsTheWorkedGridExampleInEveryRegion) {
  for (model::DensityShape shape :
       {model::DensityShape::G, model::DensityShape::L, model::DensityShape::M, model::DensityShape::N})
    for (bool byReference : {false, true}) {
      Point point;
      point.shape = shape;
      const ZfcFcPointValues v = byReference ? point.evaluateByReference() : point.evaluate();
      EXPECT_EQ(v.hcAxis.step, static_cast<double>(static_cast<long double>(v.hts_Tmax) / 10));
      EXPECT_EQ(v.hcAxis.count, 10);
      EXPECT_EQ(v.hiAxis.count, 10);
      EXPECT_EQ(v.sp1.count, 4);
      EXPECT_EQ(v.sp2.count, 4);
      EXPECT_EQ(v.up1.count, 7);
      EXPECT_EQ(v.down1.count, 8);
      EXPECT_EQ(v.up2.count, 7);
      EXPECT_EQ(v.down2.count, 8);
      EXPECT_EQ(v.upZFC.count, 13);
      EXPECT_EQ(v.downZFC.count, 15);
      EXPECT_EQ(v.k9, 1);
      EXPECT_EQ(v.norm.count, 64);
      EXPECT_EQ(v.upFC.count, 17);
      EXPECT_EQ(v.downFC.count, 17);
    }
}

// The area of the region between two hi bounds that are linear in hc, over
// the hc band [from, to]: the midpoint rule, exact for linear widths.
template <typename Width>
double areaOver(double from, double to, Width width) {
  constexpr int kPanels = 64;
  const double d = (to - from) / kPanels;
  double area = 0.0;
  for (int k = 0; k < kPanels; ++k) area += width(from + (k + 0.5) * d) * d;
  return area;
}

TEST(ZfcFcPoint, MakesEveryIntegralItsMeanTimesTheAreaOfItsRegion) {
  // A fine grid in a field of 20 Oe at 47 K, where every region holds nodes.
  Point point;
  point.m = 40;
  point.ha = 20.0f;
  point.sigma = 30.0f;
  for (bool byReference : {false, true}) {
    const ZfcFcPointValues v = byReference ? point.evaluateByReference() : point.evaluate();
    const double t = v.hts_T, W = v.hts_Tmax, h = point.ha;
    const auto mean = [](const model::RegionSum& r) { return r.sum / r.count; };
    struct Case {
      const char* name;
      double integral;
      double mean;
      double area;
    };
    const Case cases[] = {
        {"Integral11SP", v.Integral11SP, mean(v.sp1), areaOver(0, t / 2, [](double hc) { return 2 * hc; })},
        {"Integral22SP", v.Integral22SP, mean(v.sp2), areaOver(t / 2, t, [&](double hc) { return 2 * (t - hc); })},
        {"Integral1p", v.Integral1p, mean(v.up1), areaOver(0, t / 2, [&](double hc) { return W + 2 * h - hc; })},
        {"Integral1m", v.Integral1m, mean(v.down1), areaOver(0, t / 2, [&](double hc) { return W - hc; })},
        {"Integral2p", v.Integral2p, mean(v.up2), areaOver(t / 2, t, [&](double hc) { return W + 2 * h + hc - t; })},
        {"Integral2m", v.Integral2m, mean(v.down2), areaOver(t / 2, t, [&](double hc) { return W + hc - t; })},
        {"Integral3pZFC", v.Integral3pZFC, mean(v.upZFC),
         areaOver(t, W, [&](double hc) { return W + 2 * h - hc + t; })},
        {"Integral3mZFC", v.Integral3mZFC, mean(v.downZFC), areaOver(t, W, [&](double hc) { return W - hc + t; })},
        {"Integral3FCplus", v.Integral3FCplus, mean(v.upFC), areaOver(t, W, [&](double) { return W + 2 * h; })},
        {"Integral3FCminus", v.Integral3FCminus, mean(v.downFC), areaOver(t, W, [&](double) { return W; })},
    };
    for (const Case& c : cases) {
      ASSERT_GT(c.mean, 0.0) << c.name;
      // Rounding of the mean, the area and the product: far below the 2h a
      // by which a wrong sign of ha in an area would change it.
      constexpr double kAreaRounding = 1e-10;
      EXPECT_NEAR(c.integral / c.mean, c.area, kAreaRounding * c.area) << c.name << (byReference ? " (reference)" : "");
    }
    EXPECT_EQ(v.Integral3pFC, v.Integral3FCplus - v.Integral3FCminus);
  }
}

TEST(ZfcFcPoint, GivesNoMomentWithoutAFieldWhenTheParticlesCancel) {
  // ha = 0 and a density even in hi about km = 0: up and down regions are
  // mirror images, but the grid's rows are not (the last one below the top
  // bound is never visited), so the moments vanish only to the grid's error,
  // about one row in a hundred.
  Point point;
  point.m = 200;
  point.ha = 0.0f;
  point.sigma = 30.0f;
  for (float T : {10.0f, 47.0f, 95.0f}) {
    point.T = T;
    for (bool byReference : {false, true}) {
      const ZfcFcPointValues v = byReference ? point.evaluateByReference() : point.evaluate();
      // The size of the parts that cancel: each up region against its mirror.
      const double parts = v.Norm_coeff * (v.Integral1p + v.Integral2p + v.Integral3pZFC + v.Integral3FCplus);
      constexpr double kUnvisitedRows = 0.05;  // a few times the one row in a hundred
      EXPECT_LT(std::fabs(v.M_ZFC), kUnvisitedRows * parts) << T;
      EXPECT_LT(std::fabs(v.M_FC), kUnvisitedRows * parts) << T;
    }
  }
}

TEST(ZfcFcPoint, PrintsItsSixLinesAndTwoRows) {
  test::TempDir dir;
  const std::string zfcPath = (dir.path() / "ZFCFCbc.txt").string(), sepPath = (dir.path() / "separatebc.txt").string();
  std::FILE* zfc = std::fopen(zfcPath.c_str(), "w");
  std::FILE* sep = std::fopen(sepPath.c_str(), "w");
  std::ostringstream out, err;
  const Point p;
  EXPECT_EQ(zfcfcPoint(model::Console{out, err}, zfc, sep, p.physics(), p.m, p.T), 0.0);
  std::fclose(zfc);
  std::fclose(sep);
  const ZfcFcPointValues v = p.evaluate();

  std::ostringstream head;
  head << "hts_T0=5\nfloor=10\ndhc=10 mc=10 mi=10dhi=21\n"
       << "k1=4 k2=4 k3=7 k4=8 k5=7 k6=8 k7=13 k8=15 k9=1 k10=64\n"
       << " Norm_coeff=" << v.Norm_coeff << " mu=" << v.mu << "\n";
  char line[512];
  std::snprintf(line, sizeof line,
                "T= 47.00, Integral11SP %e  Integral22SP %e  Integral1p  %e , Integral2p %e , Integral1m  %e  "
                "Integral2m %e  Integral3pZFC %e  Integral3mZFC %e  Integral3pFC %e\n",
                v.Integral11SP, v.Integral22SP, v.Integral1p, v.Integral2p, v.Integral1m, v.Integral2m, v.Integral3pZFC,
                v.Integral3mZFC, v.Integral3pFC);
  EXPECT_EQ(out.str(), head.str() + line);
  EXPECT_EQ(err.str(), "");

  char row[128];
  std::snprintf(row, sizeof row, "47.000000 %e %e\n", v.M_ZFC, v.M_FC);
  EXPECT_EQ(test::readFile(zfcPath), row);
  // Band 1's pair before band 2's in the file.
  char separate[512];
  std::snprintf(separate, sizeof separate, "47.000000 %e %e  %e %e %e %e  %e %e %e\n", v.Integral11SP, v.Integral22SP,
                v.Integral1p, v.Integral1m, v.Integral2p, v.Integral2m, v.Integral3pZFC, v.Integral3mZFC,
                v.Integral3pFC);
  EXPECT_EQ(test::readFile(sepPath), separate);
  // Every integral of the example is its own value, so the orders are seen.
  EXPECT_NE(v.Integral1m, v.Integral2p);
}

TEST(ZfcFcPoint, NormalisesOverItsWholeRectangleAtT) {
  // A direct sum over the nodes strictly inside the rectangle.
  const Point p;
  const ZfcFcPointValues v = p.evaluate();
  const model::DensityParameters density{p.T, p.Tc, 30.0f, 1.0f, p.sigma, 1.0f, p.sigma, 1.0f, 0.0f, 1.0f, p.shape};
  const long double W = v.hts_Tmax, h = p.ha;
  double sum = 0.0;
  int count = 0;
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 9; ++j) {
      const double hc = v.hcAxis.coordinate(i), hi = v.hiAxis.coordinate(j);
      if (!(hc > 0.0 && hc < W && -h - W < hi && hi < h + W)) continue;
      ++count;
      sum = static_cast<double>(density.at(hc, hi) + static_cast<long double>(sum));
    }
  }
  EXPECT_EQ(count, 64);
  EXPECT_EQ(v.norm.sum, sum) << test::hex(v.norm.sum) << " vs " << test::hex(sum);
  const double hiRange = 2.0 * static_cast<double>(h + W);
  const double integral = static_cast<double>(static_cast<long double>(sum / 64) * hiRange * v.hts_Tmax);
  EXPECT_EQ(v.IntegralNorm, integral);
  EXPECT_EQ(v.Norm_coeff, static_cast<double>(1.0L / integral));
}

TEST(ZfcFcPoint, HasNoBlockedBandAboveTMax) {
  Point p;
  p.T = 95.0f;
  p.T_max = 50.0f;
  for (const ZfcFcPointValues& v : {p.evaluate(), p.evaluateByReference()}) {
    EXPECT_EQ(v.upZFC.count, 1);
    EXPECT_EQ(v.Integral3pZFC, 0.0);
    EXPECT_EQ(v.Integral3mZFC, 0.0);
    EXPECT_EQ(v.Integral3pFC, 0.0);
    EXPECT_EQ(v.M_ZFC, v.M_FC);
  }
}

TEST(ZfcFcPoint, KeepsTheFieldCooledMomentAboveTheZeroFieldCooledOneWhereParticlesAreBlocked) {
  Point p;
  p.m = 60;
  p.sigma = 30.0f;
  for (float T : {10.0f, 30.0f, 60.0f}) {
    p.T = T;
    for (const ZfcFcPointValues& v : {p.evaluate(), p.evaluateByReference()}) {
      EXPECT_GT(v.M_FC, v.M_ZFC) << T;
      EXPECT_GT(v.M_ZFC, 0.0) << T;
    }
  }
}

TEST(ZfcFcPoint, ComesOutAsNotANumberAtAndAboveTc) {
  Point p;
  p.Tc = 50.0f;
  p.T_max = 40.0f;
  for (float T : {50.0f, 55.0f}) {
    p.T = T;
    const ZfcFcPointValues v = p.evaluate();
    EXPECT_TRUE(std::isnan(v.M_ZFC) || std::isinf(v.M_ZFC)) << T << " " << v.M_ZFC;
  }
}

// The grid's rectangle is set by T_max, mu0 and ha; the widths decide the
// refinement.
ModelParameters gridOf(float T_max, float mu0, float ha, float sigmac0, float sigmai0) {
  ModelParameters p;
  p.T_max = T_max, p.mu0 = mu0, p.ha = ha, p.sigmac0 = sigmac0, p.sigmai0 = sigmai0;
  return p;
}

TEST(ZfcFcGrid, HasANormalisationNodeOnlyOnAUsableGrid) {
  EXPECT_TRUE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 3.45e-15f, 5.0f, 100.0f, 100.0f), 10));
  EXPECT_TRUE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 3.45e-15f, 5.0f, 1000.0f, 1000.0f), 3));
  EXPECT_FALSE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 3.45e-15f, 5.0f, 1000.0f, 1000.0f), 2));
  EXPECT_FALSE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 0.0f, 5.0f, 100.0f, 100.0f), 10));
  EXPECT_FALSE(zfcfcGridHasNormalisationNode(gridOf(0.0f, 3.45e-15f, 5.0f, 100.0f, 100.0f), 10));
  EXPECT_FALSE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 3.45e-15f, -200.0f, 100.0f, 100.0f), 10));
  EXPECT_FALSE(zfcfcGridHasNormalisationNode(gridOf(100.0f, 3.45e-15f, 5.0f, 100.0f, 100.0f), 0));
}

}  // namespace
TEST(SweepGroups, ShareTheTemperaturesEvenlyInOrder) {
  for (std::size_t count : {1u, 2u, 19u, 39u, 68u, 100u})
    for (std::size_t most : {1u, 4u, 8u})
      for (unsigned cores : {1u, 2u, 3u}) {
        const std::vector<std::size_t> firsts = sweepGroups(count, most, cores);
        ASSERT_GE(firsts.size(), 2u);
        EXPECT_EQ(firsts.front(), 0u);
        EXPECT_EQ(firsts.back(), count);
        std::size_t smallest = count, largest = 0;
        for (std::size_t k = 0; k + 1 < firsts.size(); ++k) {
          smallest = std::min(smallest, firsts[k + 1] - firsts[k]);
          largest = std::max(largest, firsts[k + 1] - firsts[k]);
        }
        EXPECT_GE(smallest, 1u) << count << " " << most << " " << cores;
        EXPECT_LE(largest, most) << count << " " << most << " " << cores;
        EXPECT_LE(largest - smallest, 1u) << count << " " << most << " " << cores;
      }
}

TEST(SweepGroups, GiveEveryCoreAsManySweeps) {
  // The schedules of T_max = 95, 300 and 590 K, at most 8 per sweep.
  EXPECT_EQ(sweepGroups(19, 8, 2).size() - 1, 4u);
  EXPECT_EQ(sweepGroups(39, 8, 2).size() - 1, 6u);
  EXPECT_EQ(sweepGroups(68, 8, 2).size() - 1, 10u);
  EXPECT_EQ(sweepGroups(68, 8, 4).size() - 1, 12u);
  EXPECT_EQ(sweepGroups(68, 8, 1).size() - 1, 9u);
}

}  // namespace preisach::zfcfc
