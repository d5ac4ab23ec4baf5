#pragma once

#include <cstddef>
#include <vector>

#include "driver/evaluations.h"
#include "model/console.h"
#include "parameters/parameters.h"

namespace preisach::driver {

// The temperatures of the ZFC/FC curves: 5, 10, ..., 95 K whatever T_max
// is, then 110, 120, ... while not above T_max, each sum rounded to float32.
// The high range stops where adding 10 K no longer changes a float32.
std::vector<float> temperatureSchedule(float T_max);

// The number of temperatures of that schedule, counted up to limit + 1 at
// most, so that a huge T_max costs nothing to test.
std::size_t temperatureCount(float T_max, std::size_t limit);

// More temperatures than any measurement takes: a sweep asking for more is
// refused before it starts.
inline constexpr std::size_t kMostTemperatures = 100000;

// The ZFC/FC sweep of a pass: ZFCFCbc.txt and separatebc.txt, one row each
// per temperature, with an "hts_T=" line before every point. A grid without
// a node inside its normalisation rectangle, or a schedule of more than
// kMostTemperatures, is reported and skips the sweep, leaving both files as
// they were. The temperatures are computed on all cores and printed in
// schedule order. True when both files were written.
bool runTemperatureSweep(const ParameterSet& p,
                         const model::Console& console,
                         const Evaluations& evaluations = fastEvaluations());

}  // namespace preisach::driver
