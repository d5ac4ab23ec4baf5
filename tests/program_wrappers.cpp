#include "program_wrappers.h"

#include <cmath>

#include "driver/console_lines.h"
#include "driver/density_map.h"
#include "hysteresis/hysteresis_point.h"
#include "model/normalisation.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::test {

namespace {

model::Branch branchOf(float ha_max) {
  if (ha_max > 0.0f) return model::Branch::Descending;
  if (ha_max < 0.0f) return model::Branch::Ascending;
  return model::Branch::None;
}

}  // namespace

double normaliseDensity(const model::Console& console,
                        std::FILE* mapFile,
                        const model::ModelParameters& p,
                        std::int32_t m,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes) {
  const model::RectangleTask writeMap = [mapFile](const model::RectangleNodes& nodes) {
    driver::writeDensityMap(mapFile, nodes);
  };
  const model::NormalisationValues v =
      model::evaluateNormalisation(p, m, T, Ha_max, Calculate_PDF == 'y' ? writeMap : nullptr);
  driver::printNormalisation(console, v);
  if (countedNodes != nullptr) *countedNodes = v.rectangle.count;
  return v.Norm_coeff;
}

double zfcfcPoint(const model::Console& console,
                  std::FILE* zfcFcFile,
                  std::FILE* separateFile,
                  const model::ModelParameters& p,
                  std::int32_t m,
                  float T) {
  driver::printZfcFcPoint(console, zfcFcFile, separateFile, T, zfcfc::evaluateZfcFcPoint(p, m, T));
  return 0.0;
}

double hysteresisPoint(const model::Console& console,
                       std::FILE* momentFile,
                       const model::ModelParameters& p,
                       std::int32_t m,
                       float ha,
                       float ha_max,
                       float Norm_coeff) {
  model::ModelParameters loop = p;
  loop.Ha_max = std::fabs(ha_max);
  const hysteresis::HysteresisPointValues v =
      hysteresis::evaluateHysteresisPoint(loop, m, ha, branchOf(ha_max), Norm_coeff);
  driver::printHysteresisPoint(console, momentFile, ha, Norm_coeff, v);
  return v.branch == model::Branch::None ? 0.0 : v.M;
}

}  // namespace preisach::test
