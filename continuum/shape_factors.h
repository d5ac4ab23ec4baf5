#pragma once

#include <cmath>

#include "continuum/scalar.h"
#include "model/density.h"

namespace preisach::continuum {

// One factor of the density along one axis: a bell exp(-t^2) or a
// Lorentzian 1 / (1 + t^2) of t = (x - centre) / width, times height. Both
// have closed-form integrals (erf, atan), so the inner integral of every
// region is exact and only the outer one is a quadrature.
enum class ProfileKind { Bell, Lorentzian };

template <typename S>
struct Profile {
  ProfileKind kind = ProfileKind::Bell;
  S centre = S(0.0);
  S width = S(1.0);
  S height = S(1.0);

  S at(const S& x) const {
    using std::exp;
    const S t = (x - centre) / width;
    return kind == ProfileKind::Bell ? height * exp(-(t * t)) : height / (1.0 + t * t);
  }

  // The integral over (lo, hi), formed without cancellation: in a tail the
  // erfc of both ends, and for a Lorentzian with both ends on one side
  // atan of the difference quotient.
  S mass(const S& lo, const S& hi) const {
    using std::atan;
    using std::erf;
    using std::erfc;
    const S a = (lo - centre) / width;
    const S b = (hi - centre) / width;
    if (kind == ProfileKind::Lorentzian) {
      const S angle = value(a) * value(b) > 0.0 ? atan((b - a) / (1.0 + a * b)) : atan(b) - atan(a);
      return height * width * angle;
    }
    const double halfRootPi = 0.886226925452758013649083741671;  // sqrt(pi) / 2
    S difference;
    if (value(a) > 0.0)
      difference = erfc(a) - erfc(b);
    else if (value(b) < 0.0)
      difference = erfc(-b) - erfc(-a);
    else
      difference = erf(b) - erf(a);
    return height * width * halfRootPi * difference;
  }

  // Where the factor has its structure, for an integral whose ends lie at
  // most `reach` from the centre: the centre and three widths out, and on a
  // long interval further breaks, so that the peak never sits at the end of
  // a piece hundreds of widths long. There it would be lost: the outermost
  // Kronrod nodes lie 0.43 % and 2.5 % of a piece in from its ends, so on a
  // piece beyond three widths of a bell both read zero and the tail's mass
  // (erfc(3) / 2 = 1e-5 of the whole) goes missing whatever the tolerance.
  // Up to 50 widths those nodes fall within a width and a half of the
  // break, where the bell is above 1e-9 of its peak and the error estimate
  // sees it; beyond, a break at six widths (the bell below 3e-16 of its
  // peak, its mass beyond erfc(6) = 2e-17) takes the rest. A Lorentzian's
  // tail falls only as 1/t^2; its breaks go on in factors of four to the
  // reach, each piece about as long as its distance from the peak.
  template <typename Visit>
  void landmarks(Visit visit, double reach) const {
    visit(centre);
    const double widths = reach / std::fabs(value(width));
    const double last = kind == ProfileKind::Bell ? (widths > 50.0 ? 6.0 : 3.0) : widths;
    for (double k = 3.0;; k = kind == ProfileKind::Bell ? k + 3.0 : k * 4.0) {
      visit(centre - width * k);
      visit(centre + width * k);
      if (!(k < last)) break;
    }
  }
};

// The density N * fc(hc) * fi(hi) at one temperature, from its centre hcm,
// widths sigma_c, sigma_i and the interaction centre km. Every shape is
// even about its centre on both axes.
template <typename S>
struct DensityFactors {
  S N = S(0.0);
  Profile<S> hc;
  Profile<S> hi;
  bool valid = false;  // a shape letter and positive finite widths

  S at(const S& hcValue, const S& hiValue) const { return N * hc.at(hcValue) * hi.at(hiValue); }
};

// The shape's two factors; a letter that is no shape, or a width that is not
// positive (T at or above Tc, a zero width parameter), gives invalid factors.
template <typename S>
DensityFactors<S> densityFactors(
    model::DensityShape PDF, const S& N, const S& hcm, const S& sigma_c, const S& sigma_i, const S& km) {
  using std::sqrt;
  const double pi = 3.14159265358979323846;
  const double rootTwoPi = 2.50662827463100050242;
  DensityFactors<S> d;
  d.N = N;
  d.hc.centre = hcm;
  d.hi.centre = km;
  switch (PDF) {
    case model::DensityShape::G:  // exp(-x^2 / 2 sigma^2) / (sigma sqrt(2 pi)) on both axes
      d.hc = {ProfileKind::Bell, hcm, sigma_c * std::sqrt(2.0), 1.0 / (sigma_c * rootTwoPi)};
      d.hi = {ProfileKind::Bell, km, sigma_i * std::sqrt(2.0), 1.0 / (sigma_i * rootTwoPi)};
      d.valid = true;
      break;
    case model::DensityShape::L:  // 2 sigma / (pi (sigma^2 + 4 x^2)) on both axes
      d.hc = {ProfileKind::Lorentzian, hcm, sigma_c * 0.5, 2.0 / (pi * sigma_c)};
      d.hi = {ProfileKind::Lorentzian, km, sigma_i * 0.5, 2.0 / (pi * sigma_i)};
      d.valid = true;
      break;
    case model::DensityShape::M:  // twice the Lorentzian in hc, exp(-(x / 4 sigma_i)^2) in hi
      d.hc = {ProfileKind::Lorentzian, hcm, sigma_c * 0.5, 4.0 / (pi * sigma_c)};
      d.hi = {ProfileKind::Bell, km, sigma_i * 4.0, S(1.0)};
      d.valid = true;
      break;
    case model::DensityShape::N:  // 2 / sqrt(2 pi sigma_c^2) exp(-(x / 4 sigma_c)^2) in hc, Lorentzian in hi
      d.hc = {ProfileKind::Bell, hcm, sigma_c * 4.0, 2.0 / sqrt(sigma_c * sigma_c * (2.0 * pi))};
      d.hi = {ProfileKind::Lorentzian, km, sigma_i * 0.5, 2.0 / (pi * sigma_i)};
      d.valid = true;
      break;
  }
  const bool widths = value(sigma_c) > 0.0 && value(sigma_i) > 0.0 && std::isfinite(value(sigma_c)) &&
                      std::isfinite(value(sigma_i)) && std::isfinite(value(hcm)) && std::isfinite(value(km));
  d.valid = d.valid && widths;
  return d;
}

}  // namespace preisach::continuum
