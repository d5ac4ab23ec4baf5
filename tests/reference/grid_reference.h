#pragma once

#include <cstdint>

#include "model/grid.h"

namespace preisach::reference {

// One axis of the integration grid, laid out from the rule alone: step =
// (up - lo) / m, refined once to a third (3m divisions) when a third of the
// raw width w0 is below the step (equality keeps it, a NaN refines). The
// result is the program's plain record so that the two can be compared.
model::GridAxis referenceAxis(double lo, double up, std::int32_t m, float w0);

// The nodes visited along an axis: k = 0 .. count - 2.
std::int32_t referenceNodeCount(const model::GridAxis& axis);

// Node k: k * step + lo in extended precision, rounded to float64.
double referenceCoordinate(const model::GridAxis& axis, std::int32_t k);

}  // namespace preisach::reference
