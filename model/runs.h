#pragma once

#include <cstdint>

#include "model/grid.h"

namespace preisach::model {

// A run of consecutive nodes [begin, end) of a grid axis.
struct Run {
  std::int32_t begin = 0;
  std::int32_t end = 0;
  bool empty() const { return end <= begin; }
};

// The nodes of an axis strictly between two bounds formed in extended
// precision: the coordinates are compared as extended values, unrounded,
// exactly as a node-by-node test would compare them. Coordinates grow with
// their index, so the nodes that pass are one run; it is found by bisection.
// A NaN bound gives an empty run.
Run runBetween(const GridAxis& axis, long double lower, long double upper);

// The first node whose coordinate, compared as an extended value, is above
// x, or is not below x; nodeCount() when there is none.
std::int32_t firstAbove(const GridAxis& axis, long double x);
std::int32_t firstNotBelow(const GridAxis& axis, long double x);

}  // namespace preisach::model
