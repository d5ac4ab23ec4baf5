#pragma once

#include <cstdint>

#include "hysteresis/hysteresis_point.h"
#include "model/model_parameters.h"

namespace preisach::reference {

// The hysteresis point with its grid swept node by node: both region tests
// at every node, the density evaluated afresh for each region a node
// belongs to, the starting-field rule applied at every node. Its grid,
// density, integrals and mixture are its own: it shares no code with the
// program's hysteresis evaluation, so that it can catch a slip there.
// The loop's settings are p's (T_hyst, s, lambda, f); the sign of ha_max
// picks the branch (+ descending, - ascending, 0 or NaN none) and its size
// the extent H, in place of p.Ha_max.
hysteresis::HysteresisPointValues evaluateHysteresisPoint(
    const model::ModelParameters& p, std::int32_t m, float ha, float ha_max, float Norm_coeff);

}  // namespace preisach::reference
