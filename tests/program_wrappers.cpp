#include "program_wrappers.h"

#include <cmath>

#include "driver/console_lines.h"
#include "driver/density_map.h"
#include "model/normalisation.h"

namespace preisach::test {

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
                                 model::DensityShape PDF) {
  model::ModelParameters p;
  p.Tc = Tc, p.mu0 = mu0, p.Gamma = Gamma, p.ha = ha, p.hc0_mean = hc0_mean, p.Gamma_c = Gamma_c;
  p.sigmac0 = sigmac0, p.Gamma_cprim = Gamma_cprim, p.sigmai0 = sigmai0, p.Gamma_i = Gamma_i, p.km = km, p.N = N;
  p.PDF = PDF;
  return p;
}

model::Branch branchOf(float ha_max) {
  if (ha_max > 0.0f) return model::Branch::Descending;
  if (ha_max < 0.0f) return model::Branch::Ascending;
  return model::Branch::None;
}

model::ModelParameters withExtent(model::ModelParameters p, float ha_max) {
  p.Ha_max = std::fabs(ha_max);
  return p;
}

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
                        std::int32_t* countedNodes) {
  const model::ModelParameters p =
      physicsOf(Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, PDF);
  const model::RectangleTask writeMap = [mapFile](const model::RectangleNodes& nodes) {
    driver::writeDensityMap(mapFile, nodes);
  };
  const model::NormalisationValues v =
      model::evaluateNormalisation(p, m, T, Ha_max, Calculate_PDF == 'y' ? writeMap : nullptr);
  driver::printNormalisation(console, v);
  if (countedNodes != nullptr) *countedNodes = v.rectangle.count;
  return v.Norm_coeff;
}

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
                                           model::DensityShape PDF) {
  model::ModelParameters p =
      physicsOf(Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, PDF);
  p.T_max = T_max;
  return zfcfc::evaluateZfcFcPoint(p, m, T);
}

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
                  model::DensityShape PDF) {
  driver::printZfcFcPoint(console, zfcFcFile, separateFile, T,
                          evaluateZfcFcPoint(T_max, T, Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0, Gamma_cprim,
                                             sigmai0, Gamma_i, km, N, m, PDF));
  return 0.0;
}

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
  model::ModelParameters p =
      physicsOf(Tc, mu0, Gamma, 0.0f, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, PDF);
  p.T_hyst = T_hyst, p.s = s, p.lambda = lambda, p.f = f;
  return hysteresis::evaluateHysteresisPoint(withExtent(p, ha_max), m, ha, branchOf(ha_max), Norm_coeff);
}

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
                       float f) {
  const hysteresis::HysteresisPointValues v =
      evaluateHysteresisPoint(Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, m,
                              PDF, T_hyst, ha_max, Norm_coeff, s, lambda, f);
  driver::printHysteresisPoint(console, momentFile, ha, Norm_coeff, v);
  return v.branch == model::Branch::None ? 0.0 : v.M;
}

}  // namespace preisach::test
