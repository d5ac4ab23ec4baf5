#pragma once

#include <cstdint>
#include <vector>

#include "model/grid.h"

namespace preisach::model {

// A run of consecutive nodes [begin, end) of a grid axis.
struct Run {
  std::int32_t begin = 0;
  std::int32_t end = 0;
  bool empty() const { return end <= begin; }
};

// The node coordinates of one axis, formed once, and the searches that find
// which nodes a region test passes. Coordinates are compared as extended
// values, unrounded, exactly as a node-by-node test compares them; they grow
// with their index, so the nodes that pass a test between two bounds form
// one run, found by bisection.
class AxisNodes {
 public:
  explicit AxisNodes(const GridAxis& axis);

  std::int32_t count() const { return static_cast<std::int32_t>(x_.size()); }
  double operator[](std::int32_t k) const { return x_[static_cast<std::size_t>(k)]; }

  // The nodes strictly between two bounds formed in extended precision; a
  // NaN bound gives an empty run.
  Run between(long double lower, long double upper) const;
  // The first node above x, or not below x; count() when there is none.
  std::int32_t firstAbove(long double x) const;
  std::int32_t firstNotBelow(long double x) const;

 private:
  std::vector<double> x_;
};

}  // namespace preisach::model
