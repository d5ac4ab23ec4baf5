#include "reference/grid_reference.h"

#include "model/library_math.h"

namespace preisach::reference {

namespace {
using model::ext;
using model::Extended;

constexpr Extended kOneThird = 1.0L / 3.0L;  // one third rounded to the extended format
}  // namespace

model::GridAxis referenceAxis(double lo, double up, std::int32_t m, float w0) {
  model::GridAxis axis;
  axis.lo = lo;
  const double range = static_cast<double>(ext(up) - ext(lo));
  axis.step = static_cast<double>(ext(range) / static_cast<Extended>(m));
  axis.count = m;
  const bool wideEnough = ext(w0) * kOneThird >= ext(axis.step);
  if (!wideEnough) {
    axis.step = static_cast<double>(kOneThird * ext(axis.step));
    axis.count = 3 * m;  // the driver refuses an m whose refined grid would not fit in 32 bits
  }
  return axis;
}

std::int32_t referenceNodeCount(const model::GridAxis& axis) {
  return axis.count > 1 ? axis.count - 1 : 0;
}

double referenceCoordinate(const model::GridAxis& axis, std::int32_t k) {
  return static_cast<double>(static_cast<Extended>(k) * ext(axis.step) + ext(axis.lo));
}

}  // namespace preisach::reference
