#pragma once

#include <cstdint>

namespace preisach::model {

// One axis of an integration grid over the (hc, hi) plane. The same rule
// serves every grid sum of the model; each computation picks its bounds and
// decides which nodes it counts.
struct GridAxis {
  double lo = 0.0;
  double step = 0.0;       // printed as dhc / dhi
  std::int32_t count = 0;  // printed as mc / mi: m, or 3m after refinement

  // Nodes visited: k = 0 .. count - 2; the node at count - 1 and the upper
  // bound itself are never reached.
  std::int32_t nodeCount() const { return count > 1 ? count - 1 : 0; }

  // k * step + lo in extended precision, rounded to float64.
  double coordinate(std::int32_t k) const {
    return static_cast<double>(static_cast<long double>(k) * static_cast<long double>(step) +
                               static_cast<long double>(lo));
  }
};

// The largest m for which every count of a grid fits in 32 bits: a refined
// axis has 3m nodes, and a region counter (starting at 1) of the
// (3m - 1)^2 visited nodes stays below 2^31.
inline constexpr std::int32_t kLargestGridDivisions = 15447;
static_assert((3LL * kLargestGridDivisions - 1) * (3LL * kLargestGridDivisions - 1) + 1 <= 2147483647LL &&
                  (3LL * kLargestGridDivisions + 2) * (3LL * kLargestGridDivisions + 2) + 1 > 2147483647LL,
              "the largest m whose refined grid can be counted in 32 bits");

// step = (up - lo) / m; refined once to a third of that, with 3m nodes, when
// a third of the raw width w0 (sigmac0 for hc, sigmai0 for hi: the values at
// T = 0) is below the step. Equality keeps the coarse step; a NaN refines.
// m = 0 gives an infinite step and no node.
GridAxis makeGridAxis(double lo, double up, std::int32_t m, float w0);

}  // namespace preisach::model
