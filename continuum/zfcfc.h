#pragma once

#include <vector>

#include "continuum/physics.h"
#include "continuum/regions.h"

namespace preisach::continuum {

// A ZFC/FC point at temperature T in the field ha: the integrals of the
// density times the moment over the regions of the three bands (before the
// factor Norm_coeff), the normalisation over the rectangle 0 < hc <
// hts(T_max), |hi| < ha + hts(T_max), and both moments.
template <typename S>
struct ZfcFcPoint {
  S mu, hts_T, hts_Tmax;
  S IntegralNorm;
  S Integral11SP, Integral22SP;
  S Integral1p, Integral1m, Integral2p, Integral2m;
  S Integral3pZFC, Integral3mZFC, Integral3FCplus, Integral3FCminus, Integral3pFC;
  S Norm_coeff;
  S M_ZFC, M_FC;
};

namespace detail {

template <typename S>
ZfcFcPoint<S> undefinedZfcFcPoint() {
  const S nan = quietNaN<S>();
  return {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan};
}

// The saturated and blocked regions: band 1 (0, hts/2), band 2 (hts/2, hts),
// band 3 (hts, hts_Tmax), each with its hi bounds in the local field h = ha
// + hi, clipped to the rectangle (a band that reaches beyond hts_Tmax, at T
// above T_max, holds only its part inside).
template <typename S>
void bandIntegrals(const DensityFactors<S>& d, const S& ha, ZfcFcPoint<S>& v, double absolute, const Tolerance& tol) {
  const S t = v.hts_T;
  const S W = v.hts_Tmax;
  const S a = t * 0.5;
  const Line<S> top{0.0, ha + W}, bottom{0.0, -ha - W};
  const auto region = [&](const S& from, const S& to, const Line<S>& lower, const Line<S>& upper) {
    Strip<S> strip{larger(from, S(0.0)), smaller(to, W)};
    strip.above(lower).above(bottom).below(upper).below(top);
    return v.mu * stripIntegral(d, strip, absolute, tol);
  };
  v.Integral1p = region(S(0.0), a, {1.0, -ha}, top);       // h > hc
  v.Integral1m = region(S(0.0), a, bottom, {-1.0, -ha});   // h < -hc
  v.Integral2p = region(a, t, {-1.0, t - ha}, top);        // h > hts - hc
  v.Integral2m = region(a, t, bottom, {1.0, -ha - t});     // h < hc - hts
  v.Integral3pZFC = region(t, W, {1.0, -ha - t}, top);     // h > hc - hts: switched up
  v.Integral3mZFC = region(t, W, bottom, {-1.0, t - ha});  // h < hts - hc: switched down
  v.Integral3FCplus = region(t, W, {0.0, -ha}, top);       // h > 0
  v.Integral3FCminus = region(t, W, bottom, {0.0, -ha});   // h < 0
  v.Integral3pFC = v.Integral3FCplus - v.Integral3FCminus;
}

// The unblocked particles inside the window |h| < hc (band 1) or |h| < hts
// - hc (band 2), weighted by the reversible moment mu tanh(mu h / kB T):
// in z = h the hc range of band 1 is (|z|, hts/2), that of band 2 (hts/2,
// hts - |z|), both clipped to hc < hts_Tmax; the rectangle's hi range is
// -hts_Tmax < z < 2 ha + hts_Tmax.
template <typename S>
void superparamagneticIntegrals(
    const DensityFactors<S>& d, const S& ha, const S& T, ZfcFcPoint<S>& v, double absolute, const Tolerance& tol) {
  const S t = v.hts_T;
  const S W = v.hts_Tmax;
  const S a = t * 0.5;
  const S scale = kBoltzmann * T / v.mu;  // tanh(mu z / kB T) = tanh(z / scale)
  const S zLow = -W, zHigh = 2.0 * ha + W;
  const S top1 = smaller(a, W);
  v.Integral11SP = v.mu * superparamagneticIntegral(
                              d, ha, scale, larger(-a, zLow), smaller(a, zHigh), [](const S& z) { return z; },
                              [&top1](const S&) { return top1; }, std::vector<S>{top1, -top1}, absolute, tol);
  const S b = t - a;
  std::vector<S> candidates{t - W, W - t};
  // Band 2's upper bound t - |z| meets the hc factor's landmarks.
  d.hc.landmarks(
      [&](const S& x) {
        candidates.push_back(t - x);
        candidates.push_back(x - t);
      },
      std::fabs(value(t) - value(d.hc.centre)) + std::fabs(value(b)));
  v.Integral22SP =
      v.mu * superparamagneticIntegral(
                 d, ha, scale, larger(-b, zLow), smaller(b, zHigh), [&a](const S&) { return a; },
                 [&t, &W](const S& z) { return smaller(S(t - z), W); }, std::move(candidates), absolute, tol);
}

}  // namespace detail

// The integral of the density at T over the ZFC/FC rectangle 0 < hc <
// hts(T_max), |hi| < ha + hts(T_max), to tolerance.relative of itself;
// Norm_coeff is N over it. NaN where the point is undefined (below).
template <typename S>
S zfcFcNormalisationIntegral(const Physics<S>& p, const S& T, const Tolerance& tolerance = {}) {
  const DensityFactors<S> d = densityAt(p, T);
  const S W = thermalField(p.T_max, p.mu0);
  if (!d.valid || !(value(W) > 0.0) || !(value(p.ha + W) > 0.0)) return quietNaN<S>();
  Strip<S> rectangle{S(0.0), W};
  rectangle.above({0.0, -p.ha - W}).below({0.0, p.ha + W});
  return normalisationIntegral(d, rectangle, tolerance);
}

// The point at T (K): every integral to an absolute error of
// tolerance.relative times the normalisation integral. T at or above Tc, a
// width that is not positive, a non-positive T or hts(T_max) or ha +
// hts(T_max), or a letter that is no shape give NaN throughout.
template <typename S>
ZfcFcPoint<S> zfcFcPoint(const Physics<S>& p, const S& T, const Tolerance& tolerance = {}) {
  ZfcFcPoint<S> v = detail::undefinedZfcFcPoint<S>();
  const DensityFactors<S> d = densityAt(p, T);
  const S mu = momentAt(p, T);
  const S t = thermalField(T, p.mu0);
  const S W = thermalField(p.T_max, p.mu0);
  if (!d.valid || !(value(mu) > 0.0) || !(value(t) > 0.0) || !(value(W) > 0.0) || !(value(p.ha + W) > 0.0)) return v;
  v.mu = mu;
  v.hts_T = t;
  v.hts_Tmax = W;
  v.IntegralNorm = zfcFcNormalisationIntegral(p, T, tolerance);
  const double absolute = tolerance.relative * std::fabs(value(v.IntegralNorm));
  detail::bandIntegrals(d, p.ha, v, absolute, tolerance);
  detail::superparamagneticIntegrals(d, p.ha, T, v, absolute, tolerance);
  v.Norm_coeff = p.N / v.IntegralNorm;
  const S common = v.Integral1p + v.Integral2p + v.Integral11SP + v.Integral22SP - v.Integral1m - v.Integral2m;
  v.M_ZFC = (common + v.Integral3pZFC - v.Integral3mZFC) * v.Norm_coeff;
  v.M_FC = (common + v.Integral3pFC) * v.Norm_coeff;
  return v;
}

template <typename S>
std::vector<ZfcFcPoint<S>> zfcFcPoints(const Physics<S>& p,
                                       const std::vector<double>& temperatures,
                                       const Tolerance& tolerance = {}) {
  std::vector<ZfcFcPoint<S>> points;
  points.reserve(temperatures.size());
  for (double T : temperatures) points.push_back(zfcFcPoint(p, S(T), tolerance));
  return points;
}

}  // namespace preisach::continuum
