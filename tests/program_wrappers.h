#pragma once

#include <cstdint>
#include <cstdio>

#include "hysteresis/hysteresis_point.h"
#include "model/console.h"
#include "model/model_parameters.h"
#include "zfcfc/zfcfc_point.h"

// The program's three computations with the argument lists the model is
// written in (every value of the parameter file in its place), printing and
// writing as one call of the program does: what the worked examples are
// stated for. The program itself takes ModelParameters whole.
namespace preisach::test {

// ModelParameters from the positional block the three computations share.
model::ModelParameters physicsOf(float Tc,
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
                                 model::DensityShape PDF);

// The branch that the sign of ha_max selects (+Ha_max descending, -Ha_max
// ascending, 0 or NaN none), and p with Ha_max = |ha_max|.
model::Branch branchOf(float ha_max);
model::ModelParameters withExtent(model::ModelParameters p, float ha_max);

double normaliseDensity(const model::Console& console,
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
                        model::DensityShape PDF,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes = nullptr);

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

// Returns 0, as the program's point does.
double zfcfcPoint(const model::Console& console,
                  std::FILE* zfcFcFile,
                  std::FILE* separateFile,
                  float T_max,
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

// Returns M, or 0 when no branch runs.
double hysteresisPoint(const model::Console& console,
                       std::FILE* momentFile,
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
                       model::DensityShape PDF,
                       float T_hyst,
                       float ha_max,
                       float Norm_coeff,
                       float s,
                       float lambda,
                       float f);

}  // namespace preisach::test
