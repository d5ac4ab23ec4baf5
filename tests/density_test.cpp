#include "model/density.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "model/library_math.h"
#include "model/scaling.h"
#include "reference/density_reference.h"
#include "test_support.h"

namespace preisach::model {
namespace {

constexpr DensityShape kShapes[] = {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N};

// Density at T = 0 (every scaled quantity equals its parameter), Tc = 100.
double densityAtZeroKelvin(
    DensityShape shape, float hcm, float sigc, float sigi, float km, float hc, float hi, float A) {
  return preisachDensity({0.0f, 100.0f, hcm, 1.0f, sigc, 1.0f, sigi, 1.0f, km, A, shape}, hc, hi);
}

std::string scientific(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6e", value);
  return text;
}

TEST(PreisachDensity, GivesTheWorkedValuesAtFourMinusOne) {
  // hc0_mean = 3, sigmac0 = 2, sigmai0 = 0.5, km = 1, A = 2 at (hc, hi) = (4, -1).
  const auto at = [](DensityShape shape) {
    return densityAtZeroKelvin(shape, 3.0f, 2.0f, 0.5f, 1.0f, 4.0f, -1.0f, 2.0f);
  };
  EXPECT_EQ(scientific(at(DensityShape::G)), "9.423396e-05");
  EXPECT_EQ(scientific(at(DensityShape::L)), "6.235149e-03");
  EXPECT_EQ(scientific(at(DensityShape::M)), "2.341993e-01");
  EXPECT_EQ(scientific(at(DensityShape::N)), "1.538689e-02");
}

TEST(PreisachDensity, MatchesTheClosedFormsAtTheCentre) {
  // Rounding in a handful of extended operations and one float pi: a few
  // parts in 1e8 at most (pi is held in float32).
  constexpr double kPiFloatTolerance = 1e-7;
  const double pi = M_PI, sc = 2.0, si = 0.5;
  const auto centre = [](DensityShape shape) {
    return densityAtZeroKelvin(shape, 3.0f, 2.0f, 0.5f, 1.0f, 3.0f, 1.0f, 1.0f);
  };
  EXPECT_NEAR(centre(DensityShape::G) * (2 * pi * sc * si), 1.0, kPiFloatTolerance);
  EXPECT_NEAR(centre(DensityShape::L) * (pi * pi * sc * si) / 4, 1.0, kPiFloatTolerance);
  EXPECT_NEAR(centre(DensityShape::M) * (pi * sc) / 4, 1.0, kPiFloatTolerance);
  EXPECT_NEAR(centre(DensityShape::N) * (pi * si * std::sqrt(2 * pi) * sc) / 4, 1.0, kPiFloatTolerance);
  // With unit widths the Gaussian centre is (1/s)/s with s = sqrt(2 pi).
  EXPECT_EQ(scientific(densityAtZeroKelvin(DensityShape::G, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f)), "1.591549e-01");
}

TEST(PreisachDensity, IsEvenAboutItsCentreInBothFields) {
  for (DensityShape shape : kShapes) {
    for (float d : {0.25f, 1.5f, 7.0f}) {
      const float hcm = 3.0f, km = 1.0f;
      EXPECT_EQ(densityAtZeroKelvin(shape, hcm, 2.0f, 0.5f, km, 4.0f, km + d, 2.0f),
                densityAtZeroKelvin(shape, hcm, 2.0f, 0.5f, km, 4.0f, km - d, 2.0f));
      EXPECT_EQ(densityAtZeroKelvin(shape, hcm, 2.0f, 0.5f, km, hcm + d, -1.0f, 2.0f),
                densityAtZeroKelvin(shape, hcm, 2.0f, 0.5f, km, hcm - d, -1.0f, 2.0f));
    }
  }
}

TEST(PreisachDensity, IsProportionalToItsAmplitude) {
  for (DensityShape shape : kShapes) {
    const double once = densityAtZeroKelvin(shape, 3.0f, 2.0f, 0.5f, 1.0f, 4.0f, -1.0f, 0.75f);
    const double twice = densityAtZeroKelvin(shape, 3.0f, 2.0f, 0.5f, 1.0f, 4.0f, -1.0f, 1.5f);
    EXPECT_EQ(twice, 2.0 * once) << test::hex(twice) << " vs " << test::hex(once);
  }
}

TEST(PreisachDensity, TakesCentreAndWidthsFromTheScalingLawAtT) {
  const float T = 120.0f, Tc = 300.0f;
  const float hcm = scaledParameter(T, Tc, 300.0f, 1.5f);
  const float sigc = scaledParameter(T, Tc, 30.0f, 1.0f);
  const float sigi = scaledParameter(T, Tc, 40.0f, 0.5f);
  for (DensityShape shape : kShapes) {
    const double atT =
        preisachDensity({T, Tc, 300.0f, 1.5f, 30.0f, 1.0f, 40.0f, 0.5f, 5.0f, 1.0f, shape}, 150.0f, 20.0f);
    const double scaled =
        preisachDensity({0.0f, Tc, hcm, 1.5f, sigc, 1.0f, sigi, 0.5f, 5.0f, 1.0f, shape}, 150.0f, 20.0f);
    EXPECT_EQ(atT, scaled) << static_cast<char>(shape);
  }
}

TEST(PreisachDensity, IsNotANumberForALetterThatIsNoShape) {
  for (char letter : {'g', 'l', 'm', 'n', 'X', ' ', '\0'}) {
    EXPECT_FALSE(isDensityShape(letter)) << letter;
    EXPECT_TRUE(
        std::isnan(densityAtZeroKelvin(static_cast<DensityShape>(letter), 3.0f, 2.0f, 0.5f, 1.0f, 4.0f, -1.0f, 2.0f)));
  }
  for (char letter : {'G', 'L', 'M', 'N'}) EXPECT_TRUE(isDensityShape(letter)) << letter;
}

TEST(PreisachDensity, IsBitForBitTheStepByStepEvaluation) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> field(-3000.0f, 3000.0f), width(0.5f, 400.0f), exponent(0.0f, 2.0f);
  for (DensityShape shape : kShapes) {
    for (int n = 0; n < 20000; ++n) {
      const float T = field(random) * 0.1f + 300.0f, Tc = 650.0f;
      const float hc0 = field(random) * 0.2f, gc = exponent(random), sc = width(random), gcp = exponent(random);
      const float si = width(random), gi = exponent(random), km = field(random) * 0.1f;
      const float hc = field(random) + 3000.0f, hi = field(random), A = width(random);
      const DensityParameters p{T, Tc, hc0, gc, sc, gcp, si, gi, km, A, shape};
      const double fast = preisachDensity(p, hc, hi);
      const double step = reference::preisachDensity(p, hc, hi);
      ASSERT_EQ(test::hex(fast), test::hex(step)) << static_cast<char>(shape) << " at (" << hc << ", " << hi << ")";
    }
  }
}

TEST(DensityTable, HoldsTheDensityOfEveryGridNode) {
  const GridAxis hc = makeGridAxis(0.0, 3000.0, 40, 30.0f), hi = makeGridAxis(-3000.0, 3000.0, 40, 30.0f);
  for (DensityShape shape : kShapes) {
    const DensityParameters p{120.0f, 600.0f, 300.0f, 1.5f, 30.0f, 1.0f, 30.0f, 1.0f, 25.0f, 1.0f, shape};
    const DensityTable table(p, hc, hi);
    for (std::int32_t i = 0; i < hc.nodeCount(); ++i)
      for (std::int32_t j = 0; j < hi.nodeCount(); ++j)
        ASSERT_EQ(test::hex(table.at(i, j)), test::hex(p.at(hc.coordinate(i), hi.coordinate(j)))) << i << "," << j;
  }
}

TEST(LibraryPow, IsTheLibraryCallAndNotTheFoldedProduct) {
  // Find a base whose library square differs from x * x in the last bit.
  volatile double two = 2.0;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> base(-1e3, 1e3);
  double x = 0.0;
  bool found = false;
  for (int i = 0; i < 1000000 && !found; ++i) {
    x = base(random);
    found = std::pow(x, two) != x * x;
  }
  ASSERT_TRUE(found) << "this C library squares exactly; the test has nothing to tell apart";
  EXPECT_EQ(libraryPow(x, 2.0), std::pow(x, two)) << test::hex(x);
  EXPECT_NE(libraryPow(x, 2.0), x * x) << test::hex(x);
}

}  // namespace
}  // namespace preisach::model
