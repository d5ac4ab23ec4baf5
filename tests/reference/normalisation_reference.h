#pragma once

#include <cstdint>
#include <cstdio>

#include "model/model_parameters.h"
#include "model/normalisation.h"

namespace preisach::reference {

// The normalisation with its grid swept node by node, the density evaluated
// at every counted node and written with fprintf when mapFile is given. Its
// temperature law, thermal field, grid and density are its own. p.ha is only
// carried into the printed grid line.
model::NormalisationValues evaluateNormalisation(
    std::FILE* mapFile, const model::ModelParameters& p, std::int32_t m, float T, float Ha_max);

}  // namespace preisach::reference
