#pragma once

#include <cstdio>

#include "model/normalisation.h"

namespace preisach::driver {

// The map rows "%e %e %e\n" (hc, hi, density) of the rectangle's nodes in
// grid order, built in a fixed buffer and written in large blocks. A density
// of exactly 0 (most of the grid, far from the peak) is copied, not
// formatted. Returns 0, or the errno of the first write that failed.
int writeDensityMap(std::FILE* mapFile, const model::RectangleNodes& nodes);

}  // namespace preisach::driver
