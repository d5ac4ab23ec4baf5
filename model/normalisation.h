#pragma once

#include <cstdint>
#include <cstdio>

#include "model/column_sums.h"
#include "model/console.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/runs.h"

namespace preisach::model {

// Everything the normalisation computes, before it is printed.
struct NormalisationValues {
  double hts_T0 = 0.0;
  double mu = 0.0;  // mu(T), a float32 value
  GridAxis hcAxis;
  GridAxis hiAxis;
  float Ha_max = 0.0f;
  float ha = 0.0f;  // printed only
  std::int32_t m = 0;
  std::int32_t k1 = 0;  // 1 when the thermal field at T is not positive
  std::int32_t k2 = 0;  // the same
  RegionSum rectangle;  // k10 and the sum of the density over the rectangle
  double Norm_coeff = 0.0;
};

// The grid (bound Ha_max), the temperature quantities and the counters, the
// rectangle's sum still empty.
NormalisationValues startNormalisation(
    float Tc, float mu0, float Gamma, float ha, float sigmac0, float sigmai0, std::int32_t m, float T, float Ha_max);

// The rectangle's nodes: 0 < hc < Ha_max and -Ha_max < hi < Ha_max, all
// strict, so the first node of each axis never counts.
Run rectangleColumns(const AxisNodes& hcNodes, float Ha_max);
Run rectangleRows(const AxisNodes& hiNodes, float Ha_max);

// Norm_coeff = N / (mean density * 2 Ha_max * Ha_max) once the rectangle is
// summed; with no counted node the mean is 0/0 and Norm_coeff a NaN.
void finishNormalisation(NormalisationValues& v, float N);

// The three diagnostic lines on console.out, and on console.err the reason
// when no node lies inside the rectangle.
void printNormalisation(const Console& console, const NormalisationValues& v);

// The map rows "%e %e %e\n" (hc, hi, density) of the rectangle's nodes in
// grid order, built in a fixed buffer and written in large blocks. A density
// of exactly 0 (most of the grid, far from the peak) is copied, not
// formatted. Returns 0, or the errno of the first write that failed.
int writeDensityMap(std::FILE* mapFile,
                    const DensityTable& table,
                    const AxisNodes& hcNodes,
                    const AxisNodes& hiNodes,
                    const Run& columns,
                    const Run& rows);

// The normalisation at temperature T: the rectangle summed, and the map
// written to mapFile when that is given.
NormalisationValues evaluateNormalisation(std::FILE* mapFile,
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

// Normalisation coefficient N / (mean density * 2 Ha_max * Ha_max) of the
// density at temperature T over 0 < hc < Ha_max, -Ha_max < hi < Ha_max,
// sampled on the shared grid. Prints its three diagnostic lines to
// console.out. When Calculate_PDF is 'y' it writes one "%e %e %e" row (hc,
// hi, density) per counted node to mapFile; otherwise mapFile is not
// touched. The file stays open: its owner closes it and checks the writes.
// With no node inside the rectangle (m < 3 on an unrefined axis, Ha_max not
// positive) it says so on console.err and returns NaN. The number of counted
// nodes goes to *countedNodes when that is given.
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
