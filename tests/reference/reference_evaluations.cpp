#include "reference/reference_evaluations.h"

#include "reference/hysteresis_reference.h"
#include "reference/normalisation_reference.h"
#include "reference/zfcfc_reference.h"

namespace preisach::reference {

namespace {

std::vector<zfcfc::ZfcFcPointValues> pointByPoint(const model::ModelParameters& p,
                                                  std::int32_t m,
                                                  const std::vector<float>& temperatures) {
  std::vector<zfcfc::ZfcFcPointValues> points;
  for (float T : temperatures) points.push_back(evaluateZfcFcPoint(p, m, T));
  return points;
}

// The normalisation, then every field on its own.
driver::LoopRun fieldByField(const model::ModelParameters& p,
                             std::int32_t m,
                             const std::vector<float>& down,
                             const std::vector<float>& up,
                             std::FILE* mapFile,
                             unsigned) {
  driver::LoopRun run;
  hysteresis::LoopValues& loop = run.values;
  loop.normalisation = reference::evaluateNormalisation(mapFile, p, m, p.T_hyst, p.Ha_max);
  const float Norm_coeff = static_cast<float>(loop.normalisation.Norm_coeff);
  const auto point = [&](float ha, float ha_max) { return evaluateHysteresisPoint(p, m, ha, ha_max, Norm_coeff); };
  // A loop whose extent is not positive has no branch.
  const float H = p.Ha_max > 0.0f ? p.Ha_max : 0.0f;
  for (float ha : down) loop.descending.push_back(point(ha, H));
  for (float ha : up) loop.ascending.push_back(point(ha, -H));
  return run;
}

}  // namespace

const driver::Evaluations& referenceEvaluations() {
  static const driver::Evaluations evaluations{pointByPoint, fieldByField, 1, 1};
  return evaluations;
}

}  // namespace preisach::reference
