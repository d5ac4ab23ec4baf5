#include "reference/reference_evaluations.h"

#include "reference/hysteresis_reference.h"
#include "reference/normalisation_reference.h"
#include "reference/zfcfc_reference.h"

namespace preisach::reference {

namespace {

driver::Evaluations::BranchPoints pointByPoint(const driver::ParameterSet& p, float ha_max, float Norm_coeff) {
  return [p, ha_max, Norm_coeff](float ha) {
    return evaluateHysteresisPoint(p.Tc, p.mu0, p.Gamma, ha, p.hc0_mean, p.Gamma_c, p.sigmac0, p.Gamma_cprim, p.sigmai0,
                                   p.Gamma_i, p.km, p.N, p.m, p.PDF, p.T_hyst, ha_max, Norm_coeff, p.s, p.lambda, p.f);
  };
}

}  // namespace

const driver::Evaluations& referenceEvaluations() {
  static const driver::Evaluations evaluations{evaluateZfcFcPoint, normaliseDensity, pointByPoint, 1};
  return evaluations;
}

}  // namespace preisach::reference
