#pragma once

#include "model/density.h"
#include "model/model_parameters.h"

namespace preisach::reference {

// The density at one point, each shape's steps transcribed one after the
// other with nothing cached: the oracle for the model's separable form.
double preisachDensity(const model::DensityParameters& p, float hc, float hi);

// The density's arguments of the model at temperature T, with the
// amplitude N.
model::DensityParameters densityOf(const model::ModelParameters& p, float T);

}  // namespace preisach::reference
