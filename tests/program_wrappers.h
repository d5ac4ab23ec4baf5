#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "driver/console_lines.h"
#include "driver/density_map.h"
#include "hysteresis/hysteresis_point.h"
#include "model/console.h"
#include "model/model_parameters.h"
#include "model/normalisation.h"
#include "zfcfc/zfcfc_point.h"

// The program's three computations called as one step of the program calls
// them, printing and writing what it prints and writes: what the worked
// examples are stated for. The values alone come from the kernels, which
// the tests call directly.
namespace preisach::test {

namespace detail {

// The branch the sign of ha_max selects.
inline model::Branch branchOf(float ha_max) {
  if (ha_max > 0.0f) return model::Branch::Descending;
  if (ha_max < 0.0f) return model::Branch::Ascending;
  return model::Branch::None;
}

}  // namespace detail

// The normalisation at temperature T over the rectangle of extent Ha_max,
// the map written to mapFile when Calculate_PDF is 'y'; returns Norm_coeff.
inline double normaliseDensity(const model::Console& console,
                               std::FILE* mapFile,
                               const model::ModelParameters& p,
                               std::int32_t m,
                               float T,
                               float Ha_max,
                               char Calculate_PDF,
                               std::int32_t* countedNodes = nullptr) {
  const model::RectangleTask writeMap = [mapFile](const model::RectangleNodes& nodes) {
    driver::writeDensityMap(mapFile, nodes);
  };
  const model::NormalisationValues v =
      model::evaluateNormalisation(p, m, T, Ha_max, Calculate_PDF == 'y' ? writeMap : nullptr);
  driver::printNormalisation(console, v);
  if (countedNodes != nullptr) *countedNodes = v.rectangle.count;
  return v.Norm_coeff;
}

// The ZFC/FC point at T; returns 0, as the program's point does.
inline double zfcfcPoint(const model::Console& console,
                         std::FILE* zfcFcFile,
                         std::FILE* separateFile,
                         const model::ModelParameters& p,
                         std::int32_t m,
                         float T) {
  driver::printZfcFcPoint(console, zfcFcFile, separateFile, T, zfcfc::evaluateZfcFcPoint(p, m, T));
  return 0.0;
}

// The loop's point at ha on the branch that the sign of ha_max selects
// (+Ha_max descending, -Ha_max ascending, 0 or NaN none), of extent
// |ha_max|; returns M, or 0 when no branch runs.
inline double hysteresisPoint(const model::Console& console,
                              std::FILE* momentFile,
                              const model::ModelParameters& p,
                              std::int32_t m,
                              float ha,
                              float ha_max,
                              float Norm_coeff) {
  model::ModelParameters loop = p;
  loop.Ha_max = std::fabs(ha_max);
  const hysteresis::HysteresisPointValues v =
      hysteresis::evaluateHysteresisPoint(loop, m, ha, detail::branchOf(ha_max), Norm_coeff);
  driver::printHysteresisPoint(console, momentFile, ha, Norm_coeff, v);
  return v.branch == model::Branch::None ? 0.0 : v.M;
}

}  // namespace preisach::test
