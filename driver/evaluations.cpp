#include "driver/evaluations.h"

#include <memory>

#include "model/normalisation.h"

namespace preisach::driver {

namespace {

Evaluations::BranchPoints fastBranch(const ParameterSet& p, float ha_max, float Norm_coeff) {
  const auto branch = std::make_shared<const hysteresis::HysteresisBranch>(
      p.Tc, p.mu0, p.Gamma, p.hc0_mean, p.Gamma_c, p.sigmac0, p.Gamma_cprim, p.sigmai0, p.Gamma_i, p.km, p.N, p.m,
      p.PDF, p.T_hyst, ha_max);
  return [branch, p, Norm_coeff](float ha) { return branch->evaluate(ha, p.N, Norm_coeff, p.s, p.lambda, p.f); };
}

}  // namespace

const Evaluations& fastEvaluations() {
  static const Evaluations evaluations{zfcfc::evaluateZfcFcPoint, model::normaliseDensity, fastBranch, 0};
  return evaluations;
}

}  // namespace preisach::driver
