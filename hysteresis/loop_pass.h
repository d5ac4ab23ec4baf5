#pragma once

#include <cstdio>
#include <vector>

#include "hysteresis/hysteresis_point.h"
#include "model/normalisation.h"
#include "parameters/parameters.h"

namespace preisach::hysteresis {

// Everything the hysteresis loop of a pass computes, before it is printed.
struct LoopValues {
  model::NormalisationValues normalisation;
  std::vector<HysteresisPointValues> descending;
  std::vector<HysteresisPointValues> ascending;
  int mapWriteError = 0;  // errno of the first failed write of the map, or 0
};

// The loop at T_hyst: the normalisation over the rectangle of Ha_max, then
// the points at the fields `down` of the descending branch and `up` of the
// ascending one, normalised by Norm_coeff rounded to float32. Both branches
// share the normalisation's grid and density, so the whole loop is two
// sweeps of it side by side: the rectangle with every descending field's
// reversed region, and the switching triangle with every ascending one's.
// The density map goes to mapFile, when given, while they run. On
// `threads` cores (0: all).
LoopValues evaluateLoop(const parameters::ParameterSet& p,
                        const std::vector<float>& down,
                        const std::vector<float>& up,
                        std::FILE* mapFile,
                        unsigned threads);

}  // namespace preisach::hysteresis
