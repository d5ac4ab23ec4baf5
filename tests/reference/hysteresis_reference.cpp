#include "reference/hysteresis_reference.h"

#include <cmath>
#include <cstdint>

#include "model/library_math.h"
#include "reference/density_reference.h"
#include "reference/grid_reference.h"
#include "reference/scaling_reference.h"

namespace preisach::reference {

namespace {

// Written from the formulas of the hysteresis point alone, sharing no code
// with the program's hysteresis evaluation: the temperature law, the grid
// and the density are the oracle's own, the regions are tested node by node
// as they are defined, and the integrals, the reversible part and the
// mixture are formed here. A slip in any of them shows as a difference.
using hysteresis::Branch;
using hysteresis::HysteresisPointValues;
using model::ext;
using model::Extended;

constexpr double kBoltzmann = 1.38e-16;        // erg/K
constexpr double kBoltzmannTimes5K = 6.9e-16;  // its own float64 literal, not 5 * kBoltzmann
constexpr float kFluctuationFactor = 25.0f;    // hts(T) = 25 kB T / mu0

// The switching triangle: both switching fields strictly between -H and H.
bool inTriangle(double hc, double hi, float H) {
  return hc > 0.0 && hc < static_cast<double>(H) && ext(hc) - ext(H) < ext(hi) && ext(H) - ext(hc) > ext(hi);
}

// Descending, since saturation at +H: the triangle's nodes whose
// down-switching field -hc - hi lies above ha.
bool reversedSinceSaturationUp(double hc, double hi, float H, float ha) {
  return hc > 0.0 && (ext(H) - ext(ha)) * ext(0.5) > ext(hc) && ext(hc) - ext(H) < ext(hi) &&
         -ext(hc) - ext(ha) > ext(hi);
}

// Ascending, since saturation at -H: the triangle's nodes whose up-switching
// field hc - hi lies below ha.
bool reversedSinceSaturationDown(double hc, double hi, float H, float ha) {
  return hc > 0.0 && ext(H) - (ext(H) - ext(ha)) * ext(0.5) > ext(hc) && ext(H) - ext(hc) > ext(hi) &&
         ext(hc) - ext(ha) < ext(hi);
}

// One node's contribution: density times moment in extended precision, the
// running sum rounded to float64 at every step.
double accumulate(double sum, double p, double mu) {
  return static_cast<double>(ext(p) * ext(mu) + ext(sum));
}

// Mean over the counted nodes; a region the grid does not see contributes 0.
Extended mean(double sum, std::int32_t count) {
  if (count == 0) return ext(0.0);
  return ext(static_cast<double>(ext(sum) / static_cast<Extended>(count)));
}

// Temperature quantities, branch, grid and the counters' start.
HysteresisPointValues start(const model::ModelParameters& p, std::int32_t m, float ha_max) {
  HysteresisPointValues v;
  v.mu = static_cast<double>(scaledParameter(p.T_hyst, p.Tc, p.mu0, p.Gamma));
  const double hts_T = static_cast<double>(ext(kBoltzmann) * ext(p.T_hyst) / ext(p.mu0) * ext(kFluctuationFactor));
  v.hts_T0 = static_cast<double>(ext(kBoltzmannTimes5K) / ext(p.mu0) * ext(kFluctuationFactor));
  // The printed floor line: the thermal field in units of the one at 5 K.
  v.floorValue = std::floor(static_cast<double>(ext(hts_T) / ext(v.hts_T0) + ext(1.0)));
  // A thermal field that is not positive starts both counters at 1.
  v.k1 = hts_T > 0.0 ? 0 : 1;
  v.k2 = v.k1;
  v.branch = ha_max > 0.0f ? Branch::Descending : ha_max < 0.0f ? Branch::Ascending : Branch::None;
  if (v.branch == Branch::None) return v;
  v.H = std::fabs(ha_max);
  v.hcAxis = referenceAxis(0.0, static_cast<double>(v.H), m, p.sigmac0);
  v.hiAxis = referenceAxis(-static_cast<double>(v.H), static_cast<double>(v.H), m, p.sigmai0);
  return v;
}

// Integral1 = mean1 * 2H * H * 0.5 (area H^2); Integral2 = (H - ha) * mean2 *
// (H - ha) * 0.25 descending, c * mean2 * c with c = H - (H - ha) * 0.5
// ascending; then the reversible part, M_irr counted against the saturation
// the branch left, M and the two columns of the row.
void finish(HysteresisPointValues& v, const model::ModelParameters& p, float ha, float Norm_coeff) {
  const float N = p.N, s = p.s, lambda = p.lambda, f = p.f;
  const Extended H = ext(v.H);
  v.Integral1 = static_cast<double>(mean(v.sum1, v.k1) * ext(2.0 * static_cast<double>(v.H)) * H * ext(0.5));
  const Extended mean2 = mean(v.sum2, v.k2);
  const bool descending = v.branch == Branch::Descending;
  const Extended c = H - (H - ext(ha)) * ext(0.5);
  v.Integral2 = static_cast<double>(descending ? (H - ext(ha)) * mean2 * (H - ext(ha)) * ext(0.25) : c * mean2 * c);
  v.M_rev = 0.0;
  if (ha != 0.0f) {
    const double absHa = std::fabs(static_cast<double>(ha));
    const double t = std::tanh(static_cast<double>((ext(absHa) + ext(s)) / ext(lambda)));
    v.M_rev = static_cast<double>(ext(N) * ext(v.mu) * ext(ha) / ext(absHa) * ext(t));
  }
  const Extended twice2 = ext(2.0) * ext(v.Integral2);
  v.M_irr = static_cast<double>((descending ? ext(v.Integral1) - twice2 : twice2 - ext(v.Integral1)) * ext(Norm_coeff));
  v.M = static_cast<double>(ext(f) * ext(v.M_rev) + (ext(1.0) - ext(f)) * ext(v.M_irr));
  v.irreversibleColumn = static_cast<double>((ext(1.0) - ext(f)) * ext(v.M_irr));
  v.reversibleColumn = static_cast<double>(ext(f) * ext(v.M_rev));
}

}  // namespace

HysteresisPointValues evaluateHysteresisPoint(
    const model::ModelParameters& p, std::int32_t m, float ha, float ha_max, float Norm_coeff) {
  HysteresisPointValues v = start(p, m, ha_max);
  if (v.branch == Branch::None) return v;
  const float H = v.H;
  const bool descending = v.branch == Branch::Descending;
  // The density afresh for every region a node belongs to.
  const model::DensityParameters density = densityOf(p, p.T_hyst);
  const auto rho = [&](double hc, double hi) {
    return reference::preisachDensity(density, static_cast<float>(hc), static_cast<float>(hi));
  };
  for (std::int32_t i = 0; i < referenceNodeCount(v.hcAxis); ++i) {
    const double hc = referenceCoordinate(v.hcAxis, i);
    for (std::int32_t j = 0; j < referenceNodeCount(v.hiAxis); ++j) {
      const double hi = referenceCoordinate(v.hiAxis, j);
      if (inTriangle(hc, hi, H)) {
        ++v.k1;
        v.sum1 = accumulate(v.sum1, rho(hc, hi), v.mu);
      }
      if (descending ? reversedSinceSaturationUp(hc, hi, H, ha) : reversedSinceSaturationDown(hc, hi, H, ha)) {
        ++v.k2;
        v.sum2 = accumulate(v.sum2, rho(hc, hi), v.mu);
      }
      // At the branch's starting field the reversed region is empty: a mean
      // of 0 over a count of 1.
      if (descending ? ha == H : ha == -H) {
        v.sum2 = 0.0;
        v.k2 = 1;
      }
    }
  }
  finish(v, p, ha, Norm_coeff);
  return v;
}

}  // namespace preisach::reference
