#pragma once

#include <cstdint>
#include <cstdio>

#include "model/console.h"
#include "model/normalisation.h"

namespace preisach::reference {

using model::Console;
using model::DensityShape;

// The normalisation with its grid swept node by node, the density evaluated
// at every counted node and written with fprintf when mapFile is given.
model::NormalisationValues evaluateNormalisation(std::FILE* mapFile,
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
                                                 DensityShape PDF,
                                                 float T,
                                                 float Ha_max);

// The same, printed as the program prints it.
double normaliseDensity(const Console& console,
                        std::FILE* mapFile,
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
                        DensityShape PDF,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes);

}  // namespace preisach::reference
