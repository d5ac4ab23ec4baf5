#pragma once

#include <cstdint>

#include "zfcfc/zfcfc_point.h"

namespace preisach::reference {

// The ZFC/FC point with its grid swept node by node: the eleven region tests
// in table order at every node, the density and the reversible moment
// evaluated afresh for every region a node belongs to.
zfcfc::ZfcFcPointValues evaluateZfcFcPoint(float T_max,
                                           float T,
                                           float Tc,
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
                                           model::DensityShape PDF);

}  // namespace preisach::reference
