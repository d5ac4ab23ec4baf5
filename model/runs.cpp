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

Run runBetween(const GridAxis& axis, long double lower, long double upper) {
  const std::int32_t n = axis.nodeCount();
  const auto at = [&axis](std::int32_t k) { return static_cast<long double>(axis.coordinate(k)); };
  Run run;
  run.begin = firstPassing(n, [&](std::int32_t k) { return lower < at(k); });
  run.end = firstPassing(n, [&](std::int32_t k) { return !(at(k) < upper); });
  if (run.end < run.begin) run.end = run.begin;
  return run;
}

std::int32_t firstAbove(const GridAxis& axis, long double x) {
  return firstPassing(axis.nodeCount(),
                      [&](std::int32_t k) { return static_cast<long double>(axis.coordinate(k)) > x; });
}

std::int32_t firstNotBelow(const GridAxis& axis, long double x) {
  return firstPassing(axis.nodeCount(),
                      [&](std::int32_t k) { return !(static_cast<long double>(axis.coordinate(k)) < x); });
}

}  // namespace preisach::model
