#include "model/grid.h"

#include <cstdint>
#include <limits>

namespace preisach::model {

namespace {
constexpr long double kOneThird = 1.0L / 3.0L;  // one third rounded to the extended format

// 3m as a 32-bit count; a count that would not fit is held at the largest
// int32 rather than wrapped (the driver keeps m far below that).
std::int32_t refinedCount(std::int32_t m) {
  const std::int64_t refined = 3 * static_cast<std::int64_t>(m);
  if (refined > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (refined < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(refined);
}
}  // namespace

GridAxis makeGridAxis(double lo, double up, std::int32_t m, float w0) {
  GridAxis axis;
  axis.lo = lo;
  const double range = static_cast<double>(static_cast<long double>(up) - static_cast<long double>(lo));
  axis.step = static_cast<double>(static_cast<long double>(range) / static_cast<long double>(m));
  axis.count = m;
  // The width test is made in extended precision against the float64 step;
  // written as "not >=" so that an unordered comparison refines.
  if (!(static_cast<long double>(w0) * kOneThird >= static_cast<long double>(axis.step))) {
    axis.step = static_cast<double>(kOneThird * static_cast<long double>(axis.step));
    axis.count = refinedCount(m);
  }
  return axis;
}

}  // namespace preisach::model
