#pragma once

#include <vector>

#include "driver/evaluations.h"
#include "hysteresis/hysteresis_point.h"
#include "model/console.h"
#include "parameters/parameters.h"

namespace preisach::driver {

// True when the field sweep of the loop ends: Ha_max positive and its step
// 0.05 Ha_max not below the snap window of 1e-10 Oe (below it a field snapped
// to 0 would step back into the window for ever).
bool hasFieldRange(float Ha_max);

// The fields of one branch, in sweep order: from +Ha_max down while the
// field is >= -Ha_max, or from -Ha_max up while it is <= Ha_max, in steps of
// 0.05 Ha_max rounded to float32 at every step, each |field| < 1e-10 snapped
// to 0. Empty without a field range.
std::vector<float> fieldSchedule(float Ha_max, hysteresis::Branch branch);

// The size of the density map the loop's normalisation would write: about
// 40 bytes for each of its (mc - 2)(mi - 2) rows.
double densityMapBytes(const ParameterSet& p);

// The hysteresis loop of a pass: normalises the density at T_hyst (writing
// PDFbc.txt when Calculate_PDF is y), then computes both branches into
// momentbc.txt with an "ha=" line per field. The fields are computed on all
// cores and printed in sweep order. A map that cannot be written (not
// created, a failed write, more than the free space of the data directory)
// is reported and kept as it was, and the loop is still computed. True
// when everything asked for was written.
bool runHysteresisLoop(const ParameterSet& p,
                       const model::Console& console,
                       const Evaluations& evaluations = fastEvaluations());

}  // namespace preisach::driver
