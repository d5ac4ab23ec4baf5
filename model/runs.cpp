#include "model/runs.h"

#include <cstdint>

namespace preisach::model {

namespace {

// The first index in [0, n) at which `passes` holds, for a predicate that
// fails and then holds; n when it never holds.
template <typename Predicate>
std::int32_t firstPassing(std::int32_t n, Predicate passes) {
  std::int32_t lo = 0, hi = n;
  while (lo < hi) {
    const std::int32_t mid = lo + (hi - lo) / 2;
    if (passes(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

}  // namespace

AxisNodes::AxisNodes(const GridAxis& axis) : x_(static_cast<std::size_t>(axis.nodeCount())) {
  for (std::int32_t k = 0; k < axis.nodeCount(); ++k) x_[static_cast<std::size_t>(k)] = axis.coordinate(k);
}

Run AxisNodes::between(long double lower, long double upper) const {
  Run run;
  run.begin = firstAbove(lower);
  run.end = firstNotBelow(upper);
  if (run.end < run.begin) run.end = run.begin;
  return run;
}

std::int32_t AxisNodes::firstAbove(long double x) const {
  return firstPassing(count(), [&](std::int32_t k) { return static_cast<long double>((*this)[k]) > x; });
}

std::int32_t AxisNodes::firstNotBelow(long double x) const {
  return firstPassing(count(), [&](std::int32_t k) { return !(static_cast<long double>((*this)[k]) < x); });
}

}  // namespace preisach::model
