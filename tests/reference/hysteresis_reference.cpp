#include "reference/hysteresis_reference.h"

#include <cstdint>

#include "reference/density_reference.h"

namespace preisach::reference {

namespace {

using Extended = long double;
using hysteresis::Branch;

Extended ext(double x) {
  return static_cast<Extended>(x);
}
Extended ext(float x) {
  return static_cast<Extended>(x);
}

double accumulate(double sum, double p, double mu) {
  return static_cast<double>(ext(p) * ext(mu) + ext(sum));
}

}  // namespace

hysteresis::HysteresisPointValues evaluateHysteresisPoint(float Tc,
                                                          float mu0,
                                                          float Gamma,
                                                          float ha,
                                                          float hc0_mean,
                                                          float Gamma_c,
                                                          float sigmac0,
                                                          float Gamma_cprim,
                                                          float sigmai0,
                                                          float Gamma_i,
                                                          float km,
                                                          float N,
                                                          std::int32_t m,
                                                          model::DensityShape PDF,
                                                          float T_hyst,
                                                          float ha_max,
                                                          float Norm_coeff,
                                                          float s,
                                                          float lambda,
                                                          float f) {
  model::ModelParameters physics;
  physics.Tc = Tc, physics.mu0 = mu0, physics.Gamma = Gamma, physics.sigmac0 = sigmac0, physics.sigmai0 = sigmai0;
  physics.T_hyst = T_hyst, physics.N = N, physics.s = s, physics.lambda = lambda, physics.f = f;
  physics.Ha_max = ha_max > 0.0f ? ha_max : -ha_max;
  hysteresis::HysteresisPointValues v = hysteresis::startHysteresisPoint(physics, m,
                                                                         ha_max > 0.0f   ? Branch::Descending
                                                                         : ha_max < 0.0f ? Branch::Ascending
                                                                                         : Branch::None);
  if (v.branch == Branch::None) return v;
  const float H = v.H;
  const bool descending = v.branch == Branch::Descending;
  const auto p = [&](double hc, double hi) {
    return reference::preisachDensity(T_hyst, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km,
                                      static_cast<float>(hc), static_cast<float>(hi), N, PDF);
  };
  for (std::int32_t i = 0; i < v.hcAxis.nodeCount(); ++i) {
    const double hc = v.hcAxis.coordinate(i);
    for (std::int32_t j = 0; j < v.hiAxis.nodeCount(); ++j) {
      const double hi = v.hiAxis.coordinate(j);
      if (hc > 0.0 && hc < static_cast<double>(H) && ext(hc) - ext(H) < ext(hi) && ext(H) - ext(hc) > ext(hi)) {
        ++v.k1;
        v.sum1 = accumulate(v.sum1, p(hc, hi), v.mu);
      }
      const bool reversed = descending ? hc > 0.0 && (ext(H) - ext(ha)) * ext(0.5) > ext(hc) &&
                                             ext(hc) - ext(H) < ext(hi) && -ext(hc) - ext(ha) > ext(hi)
                                       : hc > 0.0 && ext(H) - (ext(H) - ext(ha)) * ext(0.5) > ext(hc) &&
                                             ext(H) - ext(hc) > ext(hi) && ext(hc) - ext(ha) < ext(hi);
      if (reversed) {
        ++v.k2;
        v.sum2 = accumulate(v.sum2, p(hc, hi), v.mu);
      }
      if (descending ? ha == H : ha == -H) {
        v.sum2 = 0.0;
        v.k2 = 1;
      }
    }
  }
  hysteresis::finishHysteresisPoint(v, physics, ha, Norm_coeff);
  return v;
}

}  // namespace preisach::reference
