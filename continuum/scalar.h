#pragma once

#include <limits>

namespace preisach::continuum {

// The evaluator runs on double or on an automatic-differentiation number
// (a Jet: value .a, derivatives .v). Every decision (where to split an
// interval, which bound is the lower, whether a region is empty) is taken
// on the value alone, so that a Jet follows exactly the double's path and
// its derivatives are those of the same quadrature sum.
inline double value(double x) {
  return x;
}
template <typename Jet>
auto value(const Jet& x) -> decltype(static_cast<double>(x.a)) {
  return static_cast<double>(x.a);
}

template <typename S>
S quietNaN() {
  return S(std::numeric_limits<double>::quiet_NaN());
}

// The larger / smaller of two numbers, chosen on their values.
template <typename S>
const S& larger(const S& a, const S& b) {
  return value(a) < value(b) ? b : a;
}
template <typename S>
const S& smaller(const S& a, const S& b) {
  return value(b) < value(a) ? b : a;
}

}  // namespace preisach::continuum
