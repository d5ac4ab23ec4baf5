#pragma once

#include <cstdint>
#include <cstdio>

#include "model/console.h"
#include "model/density.h"

namespace preisach::model {

// Normalisation coefficient N / (mean density * 2 Ha_max * Ha_max) of the
// density at temperature T over 0 < hc < Ha_max, -Ha_max < hi < Ha_max,
// sampled on the shared grid. Prints its three diagnostic lines to
// console.out. When Calculate_PDF is 'y' it writes one "%e %e %e" row (hc,
// hi, density) per counted node to mapFile; otherwise mapFile is not
// touched. The file stays open: its owner closes it and checks the writes. With no node inside the rectangle (m < 3 on
// an unrefined axis, Ha_max not positive) it says so on console.err and returns NaN. The number of counted nodes goes
// to *countedNodes when that is given.
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
                        std::int32_t* countedNodes = nullptr);

}  // namespace preisach::model
