#pragma once

#include <cstdint>

#include "hysteresis/hysteresis_point.h"

namespace preisach::reference {

// The hysteresis point with its grid swept node by node: both region tests
// at every node, the density evaluated afresh for each region a node
// belongs to, the starting-field rule applied at every node. Its grid,
// density, integrals and mixture are its own: it shares no code with the
// program's hysteresis evaluation, so that it can catch a slip there.
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
                                                          float f);

}  // namespace preisach::reference
