#pragma once

#include <cstdint>
#include <cstdio>

#include "model/console.h"
#include "model/model_parameters.h"
#include "model/normalisation.h"

namespace preisach::reference {

using model::Console;

// The normalisation with its grid swept node by node, the density evaluated
// at every counted node and written with fprintf when mapFile is given.
// p.ha is only carried into the printed grid line.
model::NormalisationValues evaluateNormalisation(
    std::FILE* mapFile, const model::ModelParameters& p, std::int32_t m, float T, float Ha_max);

// The same, printed as the program prints it.
double normaliseDensity(const Console& console,
                        std::FILE* mapFile,
                        const model::ModelParameters& p,
                        std::int32_t m,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes);

}  // namespace preisach::reference
