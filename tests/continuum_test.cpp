// The continuum limit against evaluations written independently of it: a
// brute-force two-dimensional quadrature of the density over every region,
// closed forms and symmetries, the program's grid converging as 1/m, field
// histories against the loop, and Jet derivatives against differences.

#include "continuum/continuum.h"

#include <ceres/jet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "hysteresis/loop_pass.h"
#include "test_support.h"
#include "zfcfc/zfcfc_point.h"

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
  ModelParameters p;
  p.Tc = 600.0f;
  p.mu0 = 1e-15f;
  p.Gamma = 0.5f;
  p.hc0_mean = 300.0f;
  p.Gamma_c = 1.5f;
  p.sigmac0 = 30.0f;
  p.Gamma_cprim = 1.0f;
  p.sigmai0 = 30.0f;
  p.Gamma_i = 1.0f;
  p.km = 0.0f;
  p.N = 1.0f;
  p.PDF = DensityShape::G;
  p.ha = 100.0f;
  p.T_max = 300.0f;
  p.T_hyst = 300.0f;
  p.Ha_max = 3000.0f;
  p.s = 50.0f;
  p.lambda = 300.0f;
  p.f = 0.1f;
  return p;
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
double bruteRegion(const ModelParameters& p, double T, const BruteRegion& r, double tol, std::vector<double> hiSplits) {
  const double span = r.hcTo - r.hcFrom;
  const auto column = [&](double hc) {
    const auto integrand = [&](double hi) { return density(p, T, hc, hi) * r.weight(hc, hi); };
    return bruteIntegral(integrand, r.lower(hc), r.upper(hc), 0.01 * tol / span, hiSplits);
  };
  const double hcm = law(T, p, p.hc0_mean, p.Gamma_c);
  return bruteIntegral(column, r.hcFrom, r.hcTo, tol, {hcm});
}

// The nine integrals of a ZFC/FC point and the normalisation, brute force:
// each region written from its inequalities in the local field h = ha + hi,
// clipped to the rectangle 0 < hc < W, |hi| < ha + W.
struct BruteZfcFc {
  double norm, sp1, sp2, up1, down1, up2, down2, upZFC, downZFC, upFC, downFC;
};

BruteZfcFc bruteZfcFc(const ModelParameters& p, double T, double tol) {
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
    return bruteRegion(p, T, {from, std::min(to, W), clipLow(lo), clipHigh(up), weight}, tol, {-ha, p.km});
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

}  // namespace
}  // namespace preisach::continuum
