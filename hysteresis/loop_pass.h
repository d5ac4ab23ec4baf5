#pragma once

#include <cstdint>
#include <vector>

#include "hysteresis/hysteresis_point.h"
#include "model/normalisation.h"

namespace preisach::hysteresis {

// Everything the hysteresis loop of a pass computes, before it is printed.
struct LoopValues {
  model::NormalisationValues normalisation;
  std::vector<HysteresisPointValues> descending;
  std::vector<HysteresisPointValues> ascending;
};

// The loop at T_hyst on the grid of m divisions: the normalisation over the
// rectangle of Ha_max, then the points at the fields `down` of the
// descending branch and `up` of the ascending one, normalised by Norm_coeff
// rounded to float32. Both branches share the normalisation's grid and
// density, so the whole loop is two sweeps of it side by side: the
// rectangle with every descending field's reversed region, and the
// switching triangle with every ascending one's. `rectangleTask`, when
// given, runs meanwhile on the rectangle's nodes (the driver writes the
// density map there). On `threads` cores (0: all). An Ha_max that is not
// positive has no branch: its points carry Branch::None.
LoopValues evaluateLoop(const model::ModelParameters& p,
                        std::int32_t m,
                        const std::vector<float>& down,
                        const std::vector<float>& up,
                        const model::RectangleTask& rectangleTask,
                        unsigned threads);

}  // namespace preisach::hysteresis
