#include "driver/evaluations.h"

namespace preisach::driver {

namespace {

std::vector<zfcfc::ZfcFcPointValues> fastZfcFcPoints(const ParameterSet& p, const std::vector<float>& temperatures) {
  return zfcfc::evaluateZfcFcPoints(p.T_max, temperatures, p.Tc, p.mu0, p.Gamma, p.ha, p.hc0_mean, p.Gamma_c, p.sigmac0,
                                    p.Gamma_cprim, p.sigmai0, p.Gamma_i, p.km, p.N, p.m, p.PDF);
}

}  // namespace

const Evaluations& fastEvaluations() {
  static const Evaluations evaluations{fastZfcFcPoints, hysteresis::evaluateLoop, 0, kTemperaturesPerSweep};
  return evaluations;
}

}  // namespace preisach::driver
