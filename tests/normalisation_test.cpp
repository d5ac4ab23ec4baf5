#include "model/normalisation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "model/console.h"
#include "model/grid.h"
#include "model/model_parameters.h"
#include "program_wrappers.h"
#include "test_support.h"

namespace preisach::model {
namespace {

using test::normaliseDensity;

struct Grid {
  float sigmac0 = 1.0f;
  float sigmai0 = 1.0f;
  std::int32_t m = 10;
  float Ha_max = 1.0f;
  float T = 0.0f;
  DensityShape shape = DensityShape::G;

  // The worked example (Tc = 100, mu0 = 3.45e-15, hc0_mean = 0.5, km = 0,
  // N = 1, ha = 100) with this grid's widths and shape.
  ModelParameters physics() const {
    ModelParameters p;
    p.Tc = 100.0f, p.mu0 = 3.45e-15f, p.Gamma = 1.0f, p.ha = 100.0f, p.hc0_mean = 0.5f, p.Gamma_c = 1.0f;
    p.sigmac0 = sigmac0, p.Gamma_cprim = 1.0f, p.sigmai0 = sigmai0, p.Gamma_i = 1.0f, p.km = 0.0f, p.N = 1.0f;
    p.PDF = shape;
    return p;
  }
};

struct Normalised {
  double Norm_coeff = 0.0;
  std::string out;
  std::string err;
  std::string map;
};

// The worked example on the grid given, with the map written to a real file.
Normalised normalise(const Grid& g, char flag = 'y') {
  test::TempDir dir;
  const std::string mapPath = (dir.path() / "PDFbc.txt").string();
  std::FILE* map = std::fopen(mapPath.c_str(), "w");
  std::ostringstream out, err;
  Normalised n;
  n.Norm_coeff = normaliseDensity(Console{out, err}, map, g.physics(), g.m, g.T, g.Ha_max, flag);
  // The map is left open for its owner, written or not: it must still take
  // a row.
  EXPECT_GT(std::fprintf(map, "owner\n"), 0);
  EXPECT_EQ(std::fclose(map), 0);
  n.out = out.str();
  n.err = err.str();
  n.map = test::readFile(mapPath);
  return n;
}

TEST(NormaliseDensity, PrintsTheWorkedExampleLinesAndFirstMapRow) {
  const Normalised n = normalise(Grid{});
  EXPECT_EQ(n.out,
            "hts_T0=5\n"
            "dhc=0.1 mc=10 dhi=0.2 mi=10 ha_max=1 ha=100\n"
            "k1=1 k2=1 k10=64\n"
            " Norm_coeff=3.58516 mu=3.45e-15\n");
  constexpr double kFiveDigits = 0.00005;  // the worked example gives Norm_coeff to five digits
  EXPECT_NEAR(n.Norm_coeff, 3.5852, kFiveDigits);
  EXPECT_EQ(n.map.substr(0, n.map.find('\n')), "1.000000e-01 -8.000000e-01 1.066847e-01");
  EXPECT_EQ(test::countLines(n.map), 64u + 1u);
  EXPECT_EQ(n.map.substr(n.map.size() - 6), "owner\n") << "the map was closed by the computation";
  EXPECT_TRUE(n.err.empty());
}

TEST(NormaliseDensity, CountsOnlyNodesStrictlyInsideTheRectangle) {
  // Counted hc: 0.1 .. 0.8; counted hi: -0.8 .. 0.6 in steps of 0.2, hc outer.
  const Normalised n = normalise(Grid{});
  std::istringstream rows(n.map);
  const GridAxis hc = makeGridAxis(0.0, 1.0, 10, 1.0f), hi = makeGridAxis(-1.0, 1.0, 10, 1.0f);
  double sum = 0.0;
  for (int i = 1; i <= 8; ++i) {
    for (int j = 1; j <= 8; ++j) {
      std::string line;
      ASSERT_TRUE(std::getline(rows, line));
      const double rho =
          preisachDensity({0.0f, 100.0f, 0.5f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 1.0f, DensityShape::G},
                          static_cast<float>(hc.coordinate(i)), static_cast<float>(hi.coordinate(j)));
      char expected[96];
      std::snprintf(expected, sizeof expected, "%e %e %e", hc.coordinate(i), hi.coordinate(j), rho);
      EXPECT_EQ(line, expected) << i << "," << j;
      sum = static_cast<double>(static_cast<long double>(sum) + rho);
    }
  }
  const double mean = sum / 64.0;
  EXPECT_EQ(n.Norm_coeff, static_cast<double>(1.0L / static_cast<long double>(mean * 2.0 * 1.0)))
      << test::hex(n.Norm_coeff);
}

TEST(NormaliseDensity, CountsTheRefinedGrid) {
  Grid g;
  g.sigmac0 = 0.2f;
  g.sigmai0 = 0.5f;
  const Normalised n = normalise(g);
  EXPECT_NE(n.out.find("dhc=0.0333333 mc=30 dhi=0.0666667 mi=30 ha_max=1 ha=100\n"), std::string::npos) << n.out;
  EXPECT_NE(n.out.find("k10=784\n"), std::string::npos) << n.out;
  EXPECT_EQ(test::countLines(n.map), 784u + 1u);
}

TEST(NormaliseDensity, LeavesTheMapAloneUnlessTheFlagIsLowerCaseY) {
  for (char flag : {'Y', 'n', ' '}) {
    const Normalised n = normalise(Grid{}, flag);
    EXPECT_EQ(n.map, "owner\n") << flag;
    EXPECT_NE(n.out.find("k10=64\n"), std::string::npos);
  }
}

TEST(NormaliseDensity, ClearsTheThermalFlagsAtAPositiveTemperature) {
  Grid g;
  g.T = 30.0f;
  EXPECT_NE(normalise(g).out.find("k1=0 k2=0 k10=64\n"), std::string::npos);
}

TEST(NormaliseDensity, ReportsAGridWithNoCountedNode) {
  Grid small, flat, negative, none;
  small.m = 2;  // widths of 10 keep both axes unrefined, so hc = 0 is the only column
  small.sigmac0 = small.sigmai0 = 10.0f;
  flat.Ha_max = 0.0f;
  negative.Ha_max = -1.0f;
  none.m = 0;
  for (const Grid& g : {small, flat, negative, none}) {
    const Normalised n = normalise(g);
    EXPECT_TRUE(std::isnan(n.Norm_coeff)) << g.m << " " << g.Ha_max;
    EXPECT_NE(n.out.find(" k10=0\n"), std::string::npos) << n.out;
    EXPECT_EQ(test::countLines(n.out), 4u);
    EXPECT_EQ(test::countLines(n.err), 1u);
    EXPECT_NE(n.err.find("cannot be normalised"), std::string::npos) << n.err;
    EXPECT_EQ(n.map, "owner\n");
  }
}

}  // namespace
}  // namespace preisach::model
