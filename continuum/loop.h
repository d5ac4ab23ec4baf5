#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "continuum/physics.h"
#include "continuum/regions.h"
#include "model/model_parameters.h"

namespace preisach::continuum {

// The integral of the density at T_hyst over the loop's rectangle 0 < hc <
// Ha_max, |hi| < Ha_max, to tolerance.relative of itself; Norm_coeff is N
// over it. NaN for Ha_max <= 0, a width that is not positive or no shape.
template <typename S>
S loopNormalisationIntegral(const Physics<S>& p, const Tolerance& tolerance = {}) {
  const DensityFactors<S> d = densityAt(p, p.T_hyst);
  const S H = p.Ha_max;
  if (!d.valid || !(value(H) > 0.0)) return quietNaN<S>();
  Strip<S> rectangle{S(0.0), H};
  rectangle.above({0.0, -H}).below({0.0, H});
  return normalisationIntegral(d, rectangle, tolerance);
}

// A point of the loop or of any field history: M = f M_rev + (1 - f) M_irr,
// with both columns of the program's moment file.
template <typename S>
struct LoopPoint {
  model::Branch branch = model::Branch::None;  // the saturation the state comes from
  S M, M_irr, M_rev;
  S irreversibleColumn;  // (1 - f) M_irr
  S reversibleColumn;    // f M_rev
};

// The model at T_hyst on the loop's rectangle 0 < hc < Ha_max, |hi| <
// Ha_max: the normalisation and the switching triangle (both switching
// fields within +-Ha_max) once, then any state since a saturation.
template <typename S>
class LoopModel {
 public:
  explicit LoopModel(const Physics<S>& p, const Tolerance& tolerance = {})
      : p_(p), tolerance_(tolerance), d_(densityAt(p, p.T_hyst)), mirrored_(d_), mu_(momentAt(p, p.T_hyst)) {
    mirrored_.hi.centre = -d_.hi.centre;
    const S H = p.Ha_max;
    valid_ = d_.valid && value(H) > 0.0 && value(mu_) > 0.0;
    if (!valid_) return;
    IntegralNorm_ = loopNormalisationIntegral(p, tolerance);
    absolute_ = tolerance.relative * std::fabs(value(IntegralNorm_));
    Norm_coeff_ = p.N / IntegralNorm_;
    Strip<S> triangle{S(0.0), H};
    triangle.above({1.0, -H}).below({-1.0, H});
    Integral1_ = mu_ * stripIntegral(d_, triangle, absolute_, tolerance);
  }

  bool valid() const { return valid_; }
  const S& mu() const { return mu_; }
  const S& Norm_coeff() const { return Norm_coeff_; }
  const S& IntegralNorm() const { return IntegralNorm_; }
  const S& Integral1() const { return Integral1_; }  // the switching triangle, times mu
  const Physics<S>& physics() const { return p_; }

  // The point at field ha on a branch of the major loop.
  LoopPoint<S> point(double ha, model::Branch branch) const {
    const double H = value(p_.Ha_max);
    if (branch == model::Branch::Descending) return afterTurningPoints({H, ha}, true);
    if (branch == model::Branch::Ascending) return afterTurningPoints({-H, ha}, false);
    return undefined();
  }

  // The point after the turning points `path` since saturation (path[0],
  // +Ha_max when fromPositive, else -Ha_max; then alternating extrema, the
  // last the present field).
  LoopPoint<S> afterTurningPoints(const std::vector<double>& path, bool fromPositive) const {
    if (!valid_ || path.empty()) return undefined();
    const S sign(fromPositive ? 1.0 : -1.0);
    const S reversed = mu_ * staircase(path, fromPositive);
    LoopPoint<S> v;
    v.branch = fromPositive ? model::Branch::Descending : model::Branch::Ascending;
    v.M_irr = sign * (Integral1_ - 2.0 * reversed) * Norm_coeff_;
    v.M_rev = reversible(path.back());
    v.irreversibleColumn = (1.0 - p_.f) * v.M_irr;
    v.reversibleColumn = p_.f * v.M_rev;
    v.M = v.reversibleColumn + v.irreversibleColumn;
    return v;
  }

  // sign(ha) N mu tanh((|ha| + s) / lambda), 0 at ha = 0.
  S reversible(double ha) const {
    using std::tanh;
    if (ha == 0.0) return S(0.0);
    const double sign = ha > 0.0 ? 1.0 : -1.0;
    return sign * p_.N * mu_ * tanh((std::fabs(ha) + p_.s) / p_.lambda);
  }

  // The FORC distribution -1/2 d2M / dHr dH at Hc = (H - Hr)/2, Hu = (H +
  // Hr)/2: the particles that switch down at Hr and up at H lie at hc = Hc,
  // hi = -Hu, so it is (1 - f) Norm_coeff mu rho(Hc, -Hu) / 2 inside the
  // loop's triangle and 0 outside.
  S forcDensity(double Hc, double Hu) const {
    if (!valid_) return quietNaN<S>();
    const double H = value(p_.Ha_max);
    if (!(Hc > 0.0) || Hc + std::fabs(Hu) >= H) return S(0.0);
    return (1.0 - p_.f) * 0.5 * Norm_coeff_ * mu_ * d_.at(S(Hc), S(-Hu));
  }

 private:
  LoopPoint<S> undefined() const {
    const S nan = quietNaN<S>();
    return {model::Branch::None, nan, nan, nan, nan, nan};
  }

  // The particles reversed since saturation at +H after the minima a_k and
  // the maxima b_k that follow them: in the switching fields u = hc - hi,
  // d = -hc - hi, the union of the corners d > a_k, u >= b_k, a staircase
  // (the minima rise, the maxima fall). Its integral is the corners' sum
  // less that of each overlap d > a_(k+1), u >= b_k. After saturation at
  // -H the picture is mirrored (hi -> -hi, every field negated).
  S staircase(const std::vector<double>& path, bool fromPositive) const {
    const double sign = fromPositive ? 1.0 : -1.0;
    const DensityFactors<S>& d = fromPositive ? d_ : mirrored_;
    S total(0.0);
    for (std::size_t k = 1; k < path.size(); k += 2) {
      const double a = sign * path[k];
      const bool open = k + 1 >= path.size();
      const double b = open ? 0.0 : sign * path[k + 1];
      total += corner(d, a, b, open);
      if (k + 2 < path.size()) total -= corner(d, sign * path[k + 2], b, false);
    }
    return total;
  }

  // The corner d > a, u >= b (u unbounded when open) of the triangle.
  S corner(const DensityFactors<S>& d, double a, double b, bool open) const {
    const S H = p_.Ha_max;
    Strip<S> strip{S(0.0), H};
    strip.above({1.0, -H}).below({-1.0, H}).below({-1.0, S(-a)});
    if (!open) strip.below({1.0, S(-b)});
    return stripIntegral(d, strip, absolute_, tolerance_);
  }

  Physics<S> p_;
  Tolerance tolerance_;
  DensityFactors<S> d_;
  DensityFactors<S> mirrored_;  // the density with hi -> -hi
  S mu_;
  bool valid_ = false;
  S IntegralNorm_ = quietNaN<S>();
  S Norm_coeff_ = quietNaN<S>();
  S Integral1_ = quietNaN<S>();
  double absolute_ = 0.0;
};

}  // namespace preisach::continuum
