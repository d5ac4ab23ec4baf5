#pragma once

#include <cstdint>
#include <cstdio>

#include "model/console.h"
#include "model/model_parameters.h"

// The program's three computations called as one step of the program calls
// them, printing and writing what it prints and writes: what the worked
// examples are stated for. The values alone come from the kernels, which
// the tests call directly.
namespace preisach::test {

// The normalisation at temperature T over the rectangle of extent Ha_max,
// the map written to mapFile when Calculate_PDF is 'y'; returns Norm_coeff.
double normaliseDensity(const model::Console& console,
                        std::FILE* mapFile,
                        const model::ModelParameters& p,
                        std::int32_t m,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes = nullptr);

// The ZFC/FC point at T; returns 0, as the program's point does.
double zfcfcPoint(const model::Console& console,
                  std::FILE* zfcFcFile,
                  std::FILE* separateFile,
                  const model::ModelParameters& p,
                  std::int32_t m,
                  float T);

// The loop's point at ha on the branch that the sign of ha_max selects
// (+Ha_max descending, -Ha_max ascending, 0 or NaN none), of extent
// |ha_max|; returns M, or 0 when no branch runs.
double hysteresisPoint(const model::Console& console,
                       std::FILE* momentFile,
                       const model::ModelParameters& p,
                       std::int32_t m,
                       float ha,
                       float ha_max,
                       float Norm_coeff);

}  // namespace preisach::test
