#pragma once

#include <optional>
#include <string>

#include "model/model_parameters.h"

namespace preisach::driver {

// Why a computation's moments came out not finite (nan or inf), in words for
// a one-line warning. Norm_coeff is the computation's own at its first
// non-finite point when it is known; T the temperature of that point. The
// causes checked, in order: a temperature at or above Tc, Norm_coeff
// infinite (the density sums to 0 over its rectangle: the grid reaches far
// beyond the density, because mu0 is tiny or the field range too wide),
// Norm_coeff not a number, and otherwise a parameter that takes the density
// out of the range of double numbers.
std::string zfcFcNonFiniteCause(const model::ModelParameters& p, float T, std::optional<double> Norm_coeff);
std::string loopNonFiniteCause(const model::ModelParameters& p, std::optional<double> Norm_coeff);

}  // namespace preisach::driver
