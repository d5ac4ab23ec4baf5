// The continuum limit against evaluations written independently of it: a
// brute-force two-dimensional quadrature of the density over every region,
// closed forms and symmetries, the program's grid converging as 1/m, field
// histories against the loop, and Jet derivatives against differences.

#include "continuum/continuum.h"

#include <ceres/jet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "hysteresis/loop_pass.h"
#include "parameters/parameters.h"
#include "support/parameter_records.h"
#include "test_support.h"
#include "zfcfc/zfcfc_point.h"

// The independent evaluations below work in double on the float32 values
// of the parameter file; widening a float to double is exact, so the
// promotions this warning flags change no value.
#pragma GCC diagnostic ignored "-Wdouble-promotion"

namespace preisach::continuum {
namespace {

using model::Branch;
using model::DensityShape;
using model::ModelParameters;

constexpr double kPi = 3.141592653589793;
constexpr double kBoltzmannErgPerK = 1.38e-16;

// The program's default file: shape G, ha = 100 Oe, T_max = 300 K, a loop
// of +-3000 Oe at 300 K.
ModelParameters defaultModel() {
  return support::parametersFrom("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 50 0.01 y 100 300 y 300 3000 50 300 0.1 n\n");
}

// The same with a shifted interaction centre and a wider interaction
// distribution, so that no symmetry hides a sign.
ModelParameters shiftedModel(DensityShape shape) {
  ModelParameters p = defaultModel();
  p.PDF = shape;
  p.km = 40.0f;
  p.sigmai0 = 80.0f;
  p.ha = 60.0f;
  p.Ha_max = 1500.0f;
  return p;
}

double law(double T, const ModelParameters& p, double X0, double exponent) {
  return X0 * std::pow(1.0 - T / p.Tc, exponent);
}

// The density written from the shapes' defining formulas, in double.
double density(const ModelParameters& p, double T, double hc, double hi) {
  const double hcm = law(T, p, p.hc0_mean, p.Gamma_c);
  const double sc = law(T, p, p.sigmac0, p.Gamma_cprim);
  const double si = law(T, p, p.sigmai0, p.Gamma_i);
  const double dc = hc - hcm, di = hi - p.km;
  const double lorentzC = 2.0 * sc / (kPi * (sc * sc + 4.0 * dc * dc));
  const double lorentzI = 2.0 * si / (kPi * (si * si + 4.0 * di * di));
  switch (p.PDF) {
    case DensityShape::G:
      return p.N * std::exp(-dc * dc / (2.0 * sc * sc)) / (sc * std::sqrt(2.0 * kPi)) *
             std::exp(-di * di / (2.0 * si * si)) / (si * std::sqrt(2.0 * kPi));
    case DensityShape::L:
      return p.N * lorentzC * lorentzI;
    case DensityShape::M:
      return p.N * 2.0 * lorentzC * std::exp(-std::pow(di / (4.0 * si), 2));
    case DensityShape::N:
      return p.N * 2.0 / std::sqrt(2.0 * kPi * sc * sc) * std::exp(-std::pow(dc / (4.0 * sc), 2)) * lorentzI;
  }
  return NAN;
}

// Adaptive five-point Gauss-Legendre: a panel is accepted when the rule on
// it and on its two halves agree to the panel's share of the tolerance
// (its share of the length), or to rounding.
double gaussLegendre5(const std::function<double(double)>& f, double a, double b) {
  static const double x[5] = {0.0, 0.5384693101056831, -0.5384693101056831, 0.9061798459386640, -0.9061798459386640};
  static const double w[5] = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665, 0.2369268850561891,
                              0.2369268850561891};
  const double c = 0.5 * (a + b), h = 0.5 * (b - a);
  double sum = 0.0;
  for (int k = 0; k < 5; ++k) sum += w[k] * f(c + h * x[k]);
  return sum * h;
}

double adaptive(
    const std::function<double(double)>& f, double a, double b, double whole, double tolPerLength, int depth) {
  const double m = 0.5 * (a + b);
  const double left = gaussLegendre5(f, a, m), right = gaussLegendre5(f, m, b);
  const double difference = std::fabs(left + right - whole);
  if (depth > 24 || difference <= tolPerLength * (b - a) || difference <= 1e-14 * std::fabs(whole)) return left + right;
  return adaptive(f, a, m, left, tolPerLength, depth + 1) + adaptive(f, m, b, right, tolPerLength, depth + 1);
}

// Over (a, b), split first at the given points and into 16 panels, so that
// no narrow peak hides between the first nodes.
double bruteIntegral(
    const std::function<double(double)>& f, double a, double b, double tol, std::vector<double> splits = {}) {
  if (!(a < b)) return 0.0;
  std::vector<double> edges{a, b};
  for (int k = 1; k < 16; ++k) edges.push_back(a + (b - a) * k / 16.0);
  for (double s : splits)
    if (s > a && s < b) edges.push_back(s);
  std::sort(edges.begin(), edges.end());
  double sum = 0.0;
  for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
    sum += adaptive(f, edges[k], edges[k + 1], gaussLegendre5(f, edges[k], edges[k + 1]), tol / (b - a), 0);
  }
  return sum;
}

// A region hcFrom < hc < hcTo, lower(hc) < hi < upper(hc), and the weight
// the integrand puts on the density at (hc, hi).
struct BruteRegion {
  double hcFrom, hcTo;
  std::function<double(double)> lower, upper;
  std::function<double(double, double)> weight;
};

// The region's integral by nested adaptive quadrature on the density
// itself; the inner integrals split where the weight or the density centre
// has its structure, and are a hundred times more accurate than the outer
// one, whose adaptivity would otherwise chase their noise.
double bruteRegion(const ModelParameters& p,
                   double T,
                   const BruteRegion& r,
                   double tol,
                   std::vector<double> hiSplits,
                   std::vector<double> hcSplits = {}) {
  const double span = r.hcTo - r.hcFrom;
  const auto column = [&](double hc) {
    const auto integrand = [&](double hi) { return density(p, T, hc, hi) * r.weight(hc, hi); };
    return bruteIntegral(integrand, r.lower(hc), r.upper(hc), 0.01 * tol / span, hiSplits);
  };
  hcSplits.push_back(law(T, p, p.hc0_mean, p.Gamma_c));
  return bruteIntegral(column, r.hcFrom, r.hcTo, tol, hcSplits);
}

// Splits around a feature of width `width` at `at`: from half a width out
// in factors of two to `reach`, so that no panel is longer than twice its
// distance from the feature and a peak or step far narrower than the first
// panels is never stepped over by their nodes.
void addSplitsAround(std::vector<double>& splits, double at, double width, double reach) {
  for (double k = 0.5; k * width < reach; k *= 2.0) {
    splits.push_back(at - k * width);
    splits.push_back(at + k * width);
  }
  splits.push_back(at);
}

// The nine integrals of a ZFC/FC point and the normalisation, brute force:
// each region written from its inequalities in the local field h = ha + hi,
// clipped to the rectangle 0 < hc < W, |hi| < ha + W.
struct BruteZfcFc {
  double norm, sp1, sp2, up1, down1, up2, down2, upZFC, downZFC, upFC, downFC;
};

// Further splits of the brute force's outer (hc) and inner (hi) integrals,
// for densities far narrower than its first panels.
struct Splits {
  std::vector<double> hc, hi;
};

BruteZfcFc bruteZfcFc(const ModelParameters& p, double T, double tol, const Splits& extra = {}) {
  const double mu = law(T, p, p.mu0, p.Gamma);
  const double W = 25.0 * kBoltzmannErgPerK * p.T_max / p.mu0, t = 25.0 * kBoltzmannErgPerK * T / p.mu0;
  const double ha = p.ha, a = 0.5 * t;
  const double bottom = -ha - W, top = ha + W;
  const auto clipLow = [bottom](std::function<double(double)> f) {
    return [bottom, f](double hc) { return std::max(f(hc), bottom); };
  };
  const auto clipHigh = [top](std::function<double(double)> f) {
    return [top, f](double hc) { return std::min(f(hc), top); };
  };
  const auto constant = [](double v) { return [v](double) { return v; }; };
  // The moment mu(T) leaves the integrals: the quadrature's tolerance is
  // then one of the density's weight.
  const auto saturated = [](double, double) { return 1.0; };
  const auto reversible = [&](double, double hi) { return std::tanh(mu * (ha + hi) / (kBoltzmannErgPerK * T)); };
  const auto region = [&](double from, double to, std::function<double(double)> lo, std::function<double(double)> up,
                          std::function<double(double, double)> weight) {
    std::vector<double> hiSplits = extra.hi;
    hiSplits.insert(hiSplits.end(), {-ha, p.km});
    return bruteRegion(p, T, {from, std::min(to, W), clipLow(lo), clipHigh(up), weight}, tol, hiSplits, extra.hc);
  };
  BruteZfcFc b{};
  b.norm = region(0.0, W, constant(bottom), constant(top), [](double, double) { return 1.0; });
  b.sp1 = region(
      0.0, a, [&](double hc) { return -hc - ha; }, [&](double hc) { return hc - ha; }, reversible);
  b.sp2 = region(
      a, t, [&](double hc) { return hc - ha - t; }, [&](double hc) { return t - hc - ha; }, reversible);
  b.up1 = region(
      0.0, a, [&](double hc) { return hc - ha; }, constant(top), saturated);
  b.down1 = region(
      0.0, a, constant(bottom), [&](double hc) { return -hc - ha; }, saturated);
  b.up2 = region(
      a, t, [&](double hc) { return t - hc - ha; }, constant(top), saturated);
  b.down2 = region(
      a, t, constant(bottom), [&](double hc) { return hc - ha - t; }, saturated);
  b.upZFC = region(
      t, W, [&](double hc) { return hc - ha - t; }, constant(top), saturated);
  b.downZFC = region(
      t, W, constant(bottom), [&](double hc) { return t - hc - ha; }, saturated);
  b.upFC = region(t, W, constant(-ha), constant(top), saturated);
  b.downFC = region(t, W, constant(bottom), constant(-ha), saturated);
  for (double* v : {&b.sp1, &b.sp2, &b.up1, &b.down1, &b.up2, &b.down2, &b.upZFC, &b.downZFC, &b.upFC, &b.downFC})
    *v *= mu;
  return b;
}

// The continuum carries its integrals to 1e-10 of the normalisation; the
// brute force to 1e-12. Their difference must stay below 1e-9 of the
// largest integral (a wrong bound or factor moves a value by far more).
constexpr double kAgreement = 1e-9;
constexpr double kBruteTolerance = 1e-12;

TEST(ContinuumZfcFc, AgreesWithABruteForceQuadratureOfEveryRegion) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    const ModelParameters p = shiftedModel(shape);
    // 20 K: a steep reversible window; 150 K: all three bands; 350 K:
    // above T_max, band 3 empty and band 2 cut by the rectangle.
    for (double T : {20.0, 150.0, 350.0}) {
      const ZfcFcPoint<double> v = zfcFcPoint(physicsFrom<double>(p), T);
      const BruteZfcFc b = bruteZfcFc(p, T, kBruteTolerance * p.N);
      const std::vector<std::pair<double, double>> pairs = {
          {v.IntegralNorm, b.norm},    {v.Integral11SP, b.sp1},       {v.Integral22SP, b.sp2},
          {v.Integral1p, b.up1},       {v.Integral1m, b.down1},       {v.Integral2p, b.up2},
          {v.Integral2m, b.down2},     {v.Integral3pZFC, b.upZFC},    {v.Integral3mZFC, b.downZFC},
          {v.Integral3FCplus, b.upFC}, {v.Integral3FCminus, b.downFC}};
      double largest = 0.0;
      for (std::size_t k = 1; k < pairs.size(); ++k) largest = std::max(largest, std::fabs(pairs[k].second));
      EXPECT_NEAR(v.IntegralNorm, b.norm, kAgreement * b.norm) << static_cast<char>(shape) << " T=" << T;
      for (std::size_t k = 1; k < pairs.size(); ++k)
        EXPECT_NEAR(pairs[k].first, pairs[k].second, kAgreement * largest)
            << static_cast<char>(shape) << " T=" << T << " integral " << k;
      if (T > p.T_max) {
        EXPECT_EQ(v.Integral3pZFC, 0.0);
        EXPECT_EQ(v.M_ZFC, v.M_FC);
      }
    }
  }
}

// M_irr of the loop or of a history from positive saturation, brute force:
// the switching triangle less twice the reversed region whose upper hi
// bound in each column is `reversedTop`, scaled by N / (the rectangle's
// integral) and mu.
// The rectangle's and the triangle's integrals, shared by every state.
struct BruteLoopFrame {
  double norm, triangle;
};

BruteLoopFrame bruteLoopFrame(const ModelParameters& p, double tol, const Splits& extra = {}) {
  const double H = p.Ha_max, T = p.T_hyst;
  const auto one = [](double, double) { return 1.0; };
  const auto bottom = [H](double hc) { return hc - H; };
  return {
      bruteRegion(p, T, {0.0, H, [H](double) { return -H; }, [H](double) { return H; }, one}, tol, extra.hi, extra.hc),
      bruteRegion(p, T, {0.0, H, bottom, [H](double hc) { return H - hc; }, one}, tol, extra.hi, extra.hc)};
}

double bruteIrreversible(const ModelParameters& p,
                         const BruteLoopFrame& frame,
                         const std::function<double(double)>& reversedTop,
                         double tol,
                         const Splits& extra = {}) {
  const double H = p.Ha_max, T = p.T_hyst;
  const auto bottom = [H](double hc) { return hc - H; };
  const auto top = [H, reversedTop](double hc) { return std::min(H - hc, reversedTop(hc)); };
  const double reversed =
      bruteRegion(p, T, {0.0, H, bottom, top, [](double, double) { return 1.0; }}, tol, extra.hi, extra.hc);
  return (frame.triangle - 2.0 * reversed) * p.N / frame.norm * law(T, p, p.mu0, p.Gamma);
}

double bruteIrreversible(const ModelParameters& p, const std::function<double(double)>& reversedTop, double tol) {
  return bruteIrreversible(p, bruteLoopFrame(p, tol), reversedTop, tol);
}

TEST(ContinuumLoop, AgreesWithABruteForceQuadratureOnBothBranches) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    const ModelParameters p = shiftedModel(shape);
    const LoopModel<double> loop(physicsFrom<double>(p));
    const double H = p.Ha_max, scale = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
    for (double ha : {0.6 * H, 0.1 * H, -0.3 * H}) {
      // Descending: reversed where -hc - hi > ha. Ascending, mirrored: the
      // nodes still down are those with hc - hi > ha, so M_irr = -(triangle
      // - 2 * those), with the up nodes hi > hc - ha counted from the top.
      const double down = bruteIrreversible(
          p, [ha](double hc) { return -hc - ha; }, kBruteTolerance);
      EXPECT_NEAR(loop.point(ha, Branch::Descending).M_irr, down, kAgreement * scale) << static_cast<char>(shape);
      const double stillDown = bruteIrreversible(
          p, [ha](double hc) { return hc - ha; }, kBruteTolerance);
      EXPECT_NEAR(loop.point(ha, Branch::Ascending).M_irr, stillDown, kAgreement * scale) << static_cast<char>(shape);
    }
  }
}

// Every shipped parameter file: the default one and each example study.
std::vector<std::string> shippedParameterFiles() {
  const std::string root = PREISACH_SOURCE_DIR;
  std::vector<std::string> files{root + "/Magnetism/Parameters.txt"};
  for (const auto& entry : std::filesystem::directory_iterator(root + "/examples"))
    if (std::filesystem::exists(entry.path() / "Magnetism/Parameters.txt"))
      files.push_back((entry.path() / "Magnetism/Parameters.txt").string());
  return files;
}

TEST(ContinuumOnTheShippedFiles, AgreesWithABruteForceQuadratureOfTheirCurves) {
  for (const std::string& file : shippedParameterFiles()) {
    const parameters::ParameterSet p = support::parametersFrom(test::readFile(file));
    if (parameters::isOn(p.Calculate_ZFCFC)) {
      for (double T : {10.0, 0.5 * static_cast<double>(p.T_max), static_cast<double>(p.T_max)}) {
        const ZfcFcPoint<double> v = zfcFcPoint(physicsFrom<double>(p), T);
        const BruteZfcFc b = bruteZfcFc(p, T, kBruteTolerance * p.N);
        const double common = b.up1 + b.up2 + b.sp1 + b.sp2 - b.down1 - b.down2;
        const double zfc = (common + b.upZFC - b.downZFC) * p.N / b.norm;
        const double fc = (common + b.upFC - b.downFC) * p.N / b.norm;
        const double largest = std::max(std::fabs(zfc), std::fabs(fc));
        EXPECT_NEAR(v.M_ZFC, zfc, kAgreement * largest) << file << " T=" << T;
        EXPECT_NEAR(v.M_FC, fc, kAgreement * largest) << file << " T=" << T;
      }
    }
    if (parameters::isOn(p.Calculate_Hysteresis)) {
      const LoopModel<double> loop(physicsFrom<double>(p));
      const double H = p.Ha_max, saturation = std::fabs(loop.point(H, Branch::Descending).M_irr);
      for (double ha : {0.3 * H, -0.2 * H}) {
        EXPECT_NEAR(loop.point(ha, Branch::Descending).M_irr,
                    bruteIrreversible(
                        p, [ha](double hc) { return -hc - ha; }, kBruteTolerance),
                    kAgreement * saturation)
            << file << " ha=" << ha;
        EXPECT_NEAR(loop.point(ha, Branch::Ascending).M_irr,
                    bruteIrreversible(
                        p, [ha](double hc) { return hc - ha; }, kBruteTolerance),
                    kAgreement * saturation)
            << file << " ha=" << ha;
      }
    }
  }
}

TEST(ContinuumHistory, AStaircaseAgreesWithABruteForceQuadratureOfItsReversedNodes) {
  const ModelParameters p = shiftedModel(DensityShape::L);
  const double H = p.Ha_max, a1 = -0.5 * H, b1 = 0.4 * H, a2 = -0.1 * H;
  FieldHistory<double> sample(physicsFrom<double>(p));
  for (double field : {H, a1, b1, a2}) sample.apply(field);
  // Down after the minimum a1 and the maximum b1: d > a1 and u >= b1; then
  // down again after a2: d > a2. In a column, hi below the larger bound.
  const auto top = [=](double hc) { return std::max(std::min(-hc - a1, hc - b1), -hc - a2); };
  const double scale = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
  EXPECT_NEAR(sample.present().M_irr, bruteIrreversible(p, top, kBruteTolerance), kAgreement * scale);
}

// Widths of 1-2 Oe (0.75 and 0.5 Oe at T_hyst) on rectangles of thousands
// of Oe: the ZFC/FC rectangle reaches hts(T_max) = 3450 Oe, the loop's
// Ha_max = 4000 Oe, so the density is a peak a thousandth of either side.
ModelParameters narrowModel(DensityShape shape) {
  ModelParameters p = defaultModel();
  p.PDF = shape;
  p.sigmac0 = 1.5f;
  p.sigmai0 = 1.0f;
  p.km = 40.0f;
  p.mu0 = 3e-16f;
  p.Ha_max = 4000.0f;
  return p;
}

// The brute force's splits for such a density: around the hc centre, the
// hi centre and the thermal step of the reversible weight, and wherever a
// sloped bound of a region crosses the hi centre (there a column's hi
// integral steps within one width). `crossings` are those hc. The
// Lorentzians' half widths are half the sigmas, so the splits start on the
// finer; a Lorentzian's tail needs them out to `reach`, a bell's (at most
// 4 sigma wide, in M and N) only to 64 sigma, a tanh step's to 64 thermal
// widths.
Splits narrowSplits(const ModelParameters& p, double T, const std::vector<double>& crossings, double reach) {
  const double sc = law(T, p, p.sigmac0, p.Gamma_cprim), si = law(T, p, p.sigmai0, p.Gamma_i);
  const double thermal = kBoltzmannErgPerK * T / law(T, p, p.mu0, p.Gamma);
  const bool bellHc = p.PDF == DensityShape::G || p.PDF == DensityShape::N;
  const bool bellHi = p.PDF == DensityShape::G || p.PDF == DensityShape::M;
  const double hcReach = bellHc ? 64.0 * sc : reach, hiReach = bellHi ? 64.0 * si : reach;
  Splits s;
  addSplitsAround(s.hc, law(T, p, p.hc0_mean, p.Gamma_c), 0.5 * sc, hcReach);
  for (double hc : crossings)
    if (hc > 0.0) addSplitsAround(s.hc, hc, 0.5 * si, hiReach);
  addSplitsAround(s.hi, p.km, 0.5 * si, hiReach);
  addSplitsAround(s.hi, -p.ha, thermal, 64.0 * thermal);
  return s;
}

// The continuum is asked for 1e-10 of the normalisation per integral; a
// moment sums at most eleven of them, so it may be off by about 1e-9 of
// its saturation N mu. The brute force carries 1e-10 of N over each
// region (its narrow splits keep it affordable at no tighter).
constexpr double kNarrowTolerance = 1e-10;
constexpr double kNarrowAgreement = 1e-8;
constexpr double kNarrowBruteTolerance = 1e-10;
// A moment at saturation is N mu to rounding; before the tails were
// resolved the bell's lost tail put it 1e-5 above.
constexpr double kSaturationRounding = 1e-12;

TEST(ContinuumNarrowDensity, ZfcFcAgreesWithABruteForceQuadratureAndStaysBelowSaturation) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    const ModelParameters p = narrowModel(shape);
    const double W = 25.0 * kBoltzmannErgPerK * p.T_max / p.mu0, ha = p.ha, km = p.km;
    // 20 K: the peak in band 3 (blocked); 40 K: in band 2; 100 K: in band 1,
    // superparamagnetic.
    for (double T : {20.0, 40.0, 100.0}) {
      const double t = 25.0 * kBoltzmannErgPerK * T / p.mu0;
      const ZfcFcPoint<double> v = zfcFcPoint(physicsFrom<double>(p), T, Tolerance{kNarrowTolerance});
      const Splits splits =
          narrowSplits(p, T, {km + ha, -km - ha, t - km - ha, t + km + ha, km + ha - t}, 2.0 * (ha + W));
      const BruteZfcFc b = bruteZfcFc(p, T, kNarrowBruteTolerance * p.N, splits);
      const double common = b.up1 + b.up2 + b.sp1 + b.sp2 - b.down1 - b.down2;
      const double zfc = (common + b.upZFC - b.downZFC) * p.N / b.norm;
      const double fc = (common + b.upFC - b.downFC) * p.N / b.norm;
      const double saturation = p.N * law(T, p, p.mu0, p.Gamma);
      EXPECT_NEAR(v.M_ZFC, zfc, kNarrowAgreement * saturation) << static_cast<char>(shape) << " T=" << T;
      EXPECT_NEAR(v.M_FC, fc, kNarrowAgreement * saturation) << static_cast<char>(shape) << " T=" << T;
      EXPECT_NEAR(v.IntegralNorm, b.norm, kNarrowAgreement * b.norm) << static_cast<char>(shape) << " T=" << T;
      EXPECT_LE(std::fabs(v.M_ZFC), saturation * (1.0 + kSaturationRounding)) << static_cast<char>(shape) << " T=" << T;
      EXPECT_LE(std::fabs(v.M_FC), saturation * (1.0 + kSaturationRounding)) << static_cast<char>(shape) << " T=" << T;
    }
  }
}

TEST(ContinuumNarrowDensity, TheLoopAgreesWithABruteForceQuadratureAndStaysBelowSaturation) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    const ModelParameters p = narrowModel(shape);
    const LoopModel<double> loop(physicsFrom<double>(p), Tolerance{kNarrowTolerance});
    const double H = p.Ha_max, km = p.km, saturation = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
    const BruteLoopFrame frame = bruteLoopFrame(p, kNarrowBruteTolerance, narrowSplits(p, p.T_hyst, {H - km}, 2.0 * H));
    // hcm(T_hyst) = 106 Oe, so the descending branch reverses the peak
    // near ha = -hcm - km = -146 Oe (the ascending one near hcm - km).
    for (double ha : {0.6 * H, -146.0, -150.0}) {
      const Splits splits = narrowSplits(p, p.T_hyst, {H - km, -ha - km, ha + km}, 2.0 * H);
      const double down = bruteIrreversible(
          p, frame, [ha](double hc) { return -hc - ha; }, kNarrowBruteTolerance, splits);
      const double stillDown = bruteIrreversible(
          p, frame, [ha](double hc) { return hc - ha; }, kNarrowBruteTolerance, splits);
      const LoopPoint<double> descending = loop.point(ha, Branch::Descending);
      const LoopPoint<double> ascending = loop.point(ha, Branch::Ascending);
      EXPECT_NEAR(descending.M_irr, down, kNarrowAgreement * saturation) << static_cast<char>(shape) << " ha=" << ha;
      EXPECT_NEAR(ascending.M_irr, stillDown, kNarrowAgreement * saturation)
          << static_cast<char>(shape) << " ha=" << ha;
      EXPECT_LE(std::fabs(descending.M_irr), saturation * (1.0 + kSaturationRounding))
          << static_cast<char>(shape) << " ha=" << ha;
      EXPECT_LE(std::fabs(ascending.M_irr), saturation * (1.0 + kSaturationRounding))
          << static_cast<char>(shape) << " ha=" << ha;
    }
  }
}

// The loop's normalisation in closed form for G (erf) and L (atan) across
// widths from 0.2 to 200 Oe on the 4000-Oe rectangle, at loose and tight
// tolerances: the quadrature honours the tolerance asked for whatever the
// width (with the tails lost it was 1e-5 off, 2e8 tolerances at 1e-13).
TEST(ContinuumNarrowDensity, TheNormalisationMeetsItsClosedFormAtAnyWidth) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L}) {
    for (double sigma = 0.2; sigma < 200.0; sigma *= 1.5) {
      for (double ratio : {0.3, 3.0}) {
        for (double tol : {1e-8, 1e-13}) {
          ModelParameters p = narrowModel(shape);
          p.sigmac0 = static_cast<float>(sigma);
          p.sigmai0 = static_cast<float>(sigma * ratio);
          const double T = p.T_hyst, H = p.Ha_max, hcm = law(T, p, p.hc0_mean, p.Gamma_c);
          const double sc = law(T, p, p.sigmac0, p.Gamma_cprim), si = law(T, p, p.sigmai0, p.Gamma_i);
          // The weight of each factor within (lo, hi), from the shapes' definitions.
          const auto kept = [shape](double lo, double hi, double centre, double width) {
            if (shape == DensityShape::G)
              return 0.5 * (std::erf((hi - centre) / (std::sqrt(2.0) * width)) -
                            std::erf((lo - centre) / (std::sqrt(2.0) * width)));
            return (std::atan(2.0 * (hi - centre) / width) - std::atan(2.0 * (lo - centre) / width)) / kPi;
          };
          const double exact = p.N * kept(0.0, H, hcm, sc) * kept(-H, H, p.km, si);
          const double norm = loopNormalisationIntegral(physicsFrom<double>(p), Tolerance{tol});
          EXPECT_NEAR(norm, exact, tol * exact) << static_cast<char>(shape) << " sigmac0=" << sigma << " tol=" << tol;
        }
      }
    }
  }
}

// Sums that should vanish or agree exactly come out of independent
// quadratures with errors of 1e-10 of the normalisation each.
constexpr double kSymmetry = 1e-9;

TEST(ContinuumClosedForms, ShapesGAndLIntegrateToNOverThePlane) {
  ModelParameters p = shiftedModel(DensityShape::G);
  p.N = 2.5f;
  const double T = 100.0;
  const Physics<double> physics = physicsFrom<double>(p);
  const double hcm = law(T, p, p.hc0_mean, p.Gamma_c), sc = law(T, p, p.sigmac0, p.Gamma_cprim);
  const double si = law(T, p, p.sigmai0, p.Gamma_i);
  const auto rectangle = [&](double reach) {
    Strip<double> strip(hcm - reach * sc, hcm + reach * sc);
    strip.above({0.0, p.km - reach * si}).below({0.0, p.km + reach * si});
    return strip;
  };
  EXPECT_NEAR(normalisationIntegral(densityAt(physics, T), rectangle(40.0), Tolerance{}), p.N, kSymmetry * p.N);
  // A Lorentzian keeps (2/pi) atan(2 reach) of its weight within reach
  // full widths of its centre.
  p.PDF = DensityShape::L;
  const double reach = 1e4, kept = 2.0 / kPi * std::atan(2.0 * reach);
  EXPECT_NEAR(normalisationIntegral(densityAt(physicsFrom<double>(p), T), rectangle(reach), Tolerance{}),
              p.N * kept * kept, kSymmetry * p.N);
}

TEST(ContinuumClosedForms, ZfcAndFcVanishWithoutFieldOrInteractionShift) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    ModelParameters p = shiftedModel(shape);
    p.ha = 0.0f;
    p.km = 0.0f;
    for (double T : {60.0, 200.0}) {
      const ZfcFcPoint<double> v = zfcFcPoint(physicsFrom<double>(p), T);
      const double scale = p.N * law(T, p, p.mu0, p.Gamma);
      EXPECT_NEAR(v.M_ZFC, 0.0, kSymmetry * scale) << static_cast<char>(shape) << " T=" << T;
      EXPECT_NEAR(v.M_FC, 0.0, kSymmetry * scale) << static_cast<char>(shape) << " T=" << T;
      EXPECT_NEAR(v.Integral1p, v.Integral1m, kSymmetry * scale);
      EXPECT_NEAR(v.Integral3pZFC, v.Integral3mZFC, kSymmetry * scale);
    }
  }
}

TEST(ContinuumClosedForms, TheLoopIsOddWithoutInteractionShift) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L, DensityShape::M, DensityShape::N}) {
    ModelParameters p = shiftedModel(shape);
    p.km = 0.0f;
    const LoopModel<double> loop(physicsFrom<double>(p));
    const double scale = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
    for (float field : driver::fieldSchedule(p.Ha_max, hysteresis::Branch::Descending))
      EXPECT_NEAR(loop.point(field, Branch::Descending).M, -loop.point(-field, Branch::Ascending).M, kSymmetry * scale)
          << static_cast<char>(shape) << " ha=" << field;
    // At -Ha_max the descending branch has reversed the whole triangle.
    EXPECT_NEAR(loop.point(-p.Ha_max, Branch::Descending).M_irr, -loop.Integral1() * loop.Norm_coeff(),
                kSymmetry * scale);
  }
}

TEST(ContinuumHistory, TheLoopsOwnFieldsGiveTheLoop) {
  const ModelParameters p = shiftedModel(DensityShape::M);
  const Physics<double> physics = physicsFrom<double>(p);
  const LoopModel<double> loop(physics);
  FieldHistory<double> sample(physics);
  const double scale = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
  for (Branch branch : {Branch::Descending, Branch::Ascending}) {
    const auto fields = driver::fieldSchedule(
        p.Ha_max, branch == Branch::Descending ? hysteresis::Branch::Descending : hysteresis::Branch::Ascending);
    for (float field : fields) {
      const LoopPoint<double> v = sample.apply(field);
      EXPECT_EQ(v.branch, field == fields.back()
                              ? (branch == Branch::Descending ? Branch::Ascending : Branch::Descending)
                              : branch);
      EXPECT_NEAR(v.M, loop.point(field, branch).M, kSymmetry * scale) << field;
    }
  }
}

TEST(ContinuumHistory, AClosedMinorLoopReturnsToTheMomentItLeft) {
  const ModelParameters p = shiftedModel(DensityShape::N);
  FieldHistory<double> sample(physicsFrom<double>(p));
  const double H = p.Ha_max, scale = p.N * law(p.T_hyst, p, p.mu0, p.Gamma);
  for (double field : {H, -0.4 * H, 0.5 * H, -0.2 * H}) sample.apply(field);
  const double before = sample.present().M;
  const std::size_t turningPoints = sample.turningPoints().size();
  for (double field : {0.3 * H, -0.1 * H, 0.3 * H}) sample.apply(field);  // a nested minor loop
  const double nested = sample.apply(-0.2 * H).M;
  EXPECT_NEAR(nested, before, kSymmetry * scale);
  EXPECT_EQ(sample.turningPoints().size(), turningPoints);
  // Going on below -0.4 H wipes out the whole excursion.
  const double beyond = sample.apply(-0.6 * H).M;
  FieldHistory<double> direct(physicsFrom<double>(p));
  direct.apply(H);
  EXPECT_NEAR(beyond, direct.apply(-0.6 * H).M, kSymmetry * scale);
  EXPECT_FALSE(std::isnan(beyond));
}

TEST(ContinuumForc, TheDistributionIsTheMixedDerivativeOfTheCurves) {
  const ModelParameters p = shiftedModel(DensityShape::G);
  const Physics<double> physics = physicsFrom<double>(p);
  // Differences of close moments: the quadrature's error must stay far
  // below that of the difference quotient.
  FieldHistory<double> sample(physics, Tolerance{1e-14});
  const auto moment = [&](double Hr, double H) {
    sample.moveTo(p.Ha_max);
    sample.moveTo(Hr);
    return sample.apply(H).M;
  };
  // Oe; the quotient's relative error is about step^2 / (4 sigma_c(T_hyst)^2), sigma_c = 15 Oe: 1e-3.
  const double step = 1.0;
  for (const auto& [Hr, H] : std::vector<std::pair<double, double>>{{-150.0, 60.0}, {-100.0, 120.0}, {0.0, 200.0}}) {
    const double mixed = (moment(Hr + step, H + step) - moment(Hr + step, H - step) - moment(Hr - step, H + step) +
                          moment(Hr - step, H - step)) /
                         (4.0 * step * step);
    const double rho = sample.model().forcDensity(0.5 * (H - Hr), 0.5 * (H + Hr));
    EXPECT_GT(rho, 0.0);
    EXPECT_NEAR(-0.5 * mixed, rho, 3e-3 * rho) << Hr << " " << H;
  }
  EXPECT_EQ(sample.model().forcDensity(-10.0, 0.0), 0.0);
}

TEST(ContinuumForc, CurvesFollowTheProtocol) {
  const ModelParameters p = shiftedModel(DensityShape::G);
  const double step = p.Ha_max / 5.0;
  const std::vector<ForcCurve> curves = forcCurves(physicsFrom<double>(p), step);
  ASSERT_EQ(curves.size(), 11u);
  EXPECT_EQ(curves.front().Hr, p.Ha_max);
  EXPECT_EQ(curves.back().H.size(), 11u);
  const LoopModel<double> loop(physicsFrom<double>(p));
  // Each curve starts on the descending branch and ends at saturation.
  for (const ForcCurve& c : curves) {
    EXPECT_NEAR(c.M.front(), loop.point(c.Hr, Branch::Descending).M, 1e-12 * p.N * p.mu0);
    EXPECT_NEAR(c.M.back(), loop.point(p.Ha_max, Branch::Descending).M, 1e-12 * p.N * p.mu0);
  }
  EXPECT_TRUE(forcCurves(physicsFrom<double>(p), 0.0).empty());
}

TEST(ContinuumDegenerate, UnusableInputsGiveNaNWithoutHanging) {
  ModelParameters p = defaultModel();
  EXPECT_TRUE(std::isnan(zfcFcPoint(physicsFrom<double>(p), 600.0).M_ZFC));  // T = Tc
  EXPECT_TRUE(std::isnan(zfcFcPoint(physicsFrom<double>(p), 700.0).M_FC));   // T > Tc
  ModelParameters narrow = p;
  narrow.sigmac0 = 0.0f;
  EXPECT_TRUE(std::isnan(zfcFcPoint(physicsFrom<double>(narrow), 100.0).M_ZFC));
  EXPECT_TRUE(std::isnan(LoopModel<double>(physicsFrom<double>(narrow)).point(0.0, Branch::Descending).M));
  ModelParameters noLoop = p;
  noLoop.Ha_max = 0.0f;
  EXPECT_TRUE(std::isnan(LoopModel<double>(physicsFrom<double>(noLoop)).point(0.0, Branch::Descending).M));
  EXPECT_TRUE(forcCurves(physicsFrom<double>(noLoop), 10.0).empty());
  EXPECT_TRUE(std::isnan(zfcFcPoint(physicsFrom<double>(p), 0.0).M_ZFC));  // no thermal field
  ModelParameters noMoment = p;
  noMoment.mu0 = 0.0f;
  EXPECT_FALSE(std::isfinite(zfcFcPoint(physicsFrom<double>(noMoment), 100.0).M_ZFC));
  EXPECT_FALSE(std::isfinite(LoopModel<double>(physicsFrom<double>(noMoment)).point(0.0, Branch::Descending).M));
  ModelParameters letter = p;
  letter.PDF = static_cast<DensityShape>('X');
  EXPECT_TRUE(std::isnan(zfcFcPoint(physicsFrom<double>(letter), 100.0).M_ZFC));
  EXPECT_TRUE(std::isnan(LoopModel<double>(physicsFrom<double>(p)).point(0.0, Branch::None).M));
}

// The program's grid evaluations of the same model at grid count m (the
// only calls into the grid code, kept together for its change of
// signature): the ZFC/FC moments at each temperature, the loop's moments
// on both branches in sweep order.
std::vector<std::pair<double, double>> gridZfcFc(const ModelParameters& p,
                                                 const std::vector<float>& temperatures,
                                                 std::int32_t m) {
  std::vector<std::pair<double, double>> moments;
  for (const zfcfc::ZfcFcPointValues& v : zfcfc::evaluateZfcFcPoints(p, m, temperatures))
    moments.push_back({v.M_ZFC, v.M_FC});
  return moments;
}

std::vector<double> gridLoop(const ModelParameters& p,
                             const std::vector<float>& down,
                             const std::vector<float>& up,
                             std::int32_t m) {
  const hysteresis::LoopValues loop = hysteresis::evaluateLoop(p, m, down, up, nullptr, 0);
  std::vector<double> moments;
  for (const auto* branch : {&loop.descending, &loop.ascending})
    for (const hysteresis::HysteresisPointValues& v : *branch) moments.push_back(v.M);
  return moments;
}

// The grid's mean-times-area estimates err by c / m: doubling m halves the
// largest error. On the loop c is steady (within 1 % here); on the ZFC/FC
// point which nodes fall inside the narrow bands, and the band counters
// that start at 1, make c drift by up to a third between m = 200 and 800.
constexpr double kLoopFirstOrderSpread = 0.05;
constexpr double kZfcFcFirstOrderSpread = 0.4;

void expectFirstOrder(const std::vector<double>& errors, double spread, const char* what) {
  const std::vector<double> ms = {200.0, 400.0, 800.0};
  for (std::size_t k = 1; k < errors.size(); ++k) {
    const double ratio = (ms[k] * errors[k]) / (ms[0] * errors[0]);
    EXPECT_NEAR(ratio, 1.0, spread) << what << ": m*error " << ms[0] * errors[0] << " -> " << ms[k] * errors[k];
  }
}

TEST(ContinuumConvergence, TheProgramsGridApproachesItAsOneOverM) {
  // Widths for which no grid axis refines at m >= 200 (the raw widths'
  // thirds not below the steps), so that m alone sets the grid.
  ModelParameters p = defaultModel();
  p.sigmac0 = 60.0f;
  p.sigmai0 = 100.0f;
  const Physics<double> physics = physicsFrom<double>(p);
  const std::vector<float> temperatures = {50.0f, 100.0f, 200.0f, 300.0f};
  const std::vector<float> down = driver::fieldSchedule(p.Ha_max, hysteresis::Branch::Descending);
  const std::vector<float> up = driver::fieldSchedule(p.Ha_max, hysteresis::Branch::Ascending);
  const LoopModel<double> loop(physics);
  std::vector<double> zfcfcErrors, loopErrors;
  for (std::int32_t m : {200, 400, 800}) {
    const auto grid = gridZfcFc(p, temperatures, m);
    double worst = 0.0;
    for (std::size_t k = 0; k < temperatures.size(); ++k) {
      const ZfcFcPoint<double> exact = zfcFcPoint(physics, static_cast<double>(temperatures[k]));
      worst = std::max({worst, std::fabs(grid[k].first - exact.M_ZFC), std::fabs(grid[k].second - exact.M_FC)});
    }
    zfcfcErrors.push_back(worst);
    const std::vector<double> gridMoments = gridLoop(p, down, up, m);
    worst = 0.0;
    for (std::size_t k = 0; k < gridMoments.size(); ++k) {
      const bool descending = k < down.size();
      const float field = descending ? down[k] : up[k - down.size()];
      const double exact = loop.point(field, descending ? Branch::Descending : Branch::Ascending).M;
      worst = std::max(worst, std::fabs(gridMoments[k] - exact));
    }
    loopErrors.push_back(worst);
  }
  expectFirstOrder(zfcfcErrors, kZfcFcFirstOrderSpread, "ZFC/FC");
  expectFirstOrder(loopErrors, kLoopFirstOrderSpread, "loop");
}

// Derivatives through the quadrature: a Jet follows the double's
// subdivision, so its derivative is that of the same sum. Central
// differences of step 1e-4 of the value, at a tolerance of 1e-13, carry a
// relative error near 1e-7; the comparison allows 1e-5.
constexpr double kDerivativeAgreement = 1e-5;
using Jet2 = ceres::Jet<double, 2>;

template <typename Evaluate>
void expectDerivatives(const ModelParameters& p, Evaluate evaluate, const char* what) {
  Physics<Jet2> jets = physicsFrom<Jet2>(p);
  jets.sigmac0.v[0] = 1.0;
  jets.km.v[1] = 1.0;
  const Jet2 result = evaluate(jets);
  const auto moved = [&](float ModelParameters::*member, double delta) {
    Physics<double> d = physicsFrom<double>(p);
    Physics<double> shifted = d;
    if (member == &ModelParameters::sigmac0) shifted.sigmac0 += delta;
    if (member == &ModelParameters::km) shifted.km += delta;
    return evaluate(shifted);
  };
  const double hs = 1e-4 * p.sigmac0, hk = 1e-2;
  const double dSigma = (moved(&ModelParameters::sigmac0, hs) - moved(&ModelParameters::sigmac0, -hs)) / (2.0 * hs);
  const double dKm = (moved(&ModelParameters::km, hk) - moved(&ModelParameters::km, -hk)) / (2.0 * hk);
  EXPECT_NEAR(result.v[0], dSigma, kDerivativeAgreement * std::fabs(dSigma)) << what << " d/dsigmac0";
  EXPECT_NEAR(result.v[1], dKm, kDerivativeAgreement * std::fabs(dKm)) << what << " d/dkm";
  EXPECT_NE(dSigma, 0.0);
  EXPECT_NE(dKm, 0.0);
}

TEST(ContinuumDerivatives, JetsAgreeWithCentralDifferences) {
  for (DensityShape shape : {DensityShape::G, DensityShape::L}) {
    const ModelParameters p = shiftedModel(shape);
    const Tolerance tight{1e-13};
    expectDerivatives(
        p, [&](const auto& physics) { return zfcFcPoint(physics, decltype(physics.Tc)(150.0), tight).M_ZFC; }, "M_ZFC");
    expectDerivatives(
        p, [&](const auto& physics) { return zfcFcPoint(physics, decltype(physics.Tc)(150.0), tight).M_FC; }, "M_FC");
    expectDerivatives(
        p,
        [&](const auto& physics) {
          using S = std::decay_t<decltype(physics.Tc)>;
          return LoopModel<S>(physics, tight).point(0.05 * p.Ha_max, Branch::Descending).M;
        },
        "loop M");
  }
}

}  // namespace
}  // namespace preisach::continuum
