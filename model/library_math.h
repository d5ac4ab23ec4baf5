#pragma once

#include <limits>

namespace preisach::model {

// The model is defined on 80-bit extended intermediates: every difference,
// product and sum that the model forms "in extended precision" is formed in
// this type and rounded only where a value is stored as float or double.
static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit extended format");
using Extended = long double;
inline Extended ext(double x) {
  return static_cast<Extended>(x);
}
inline Extended ext(float x) {
  return static_cast<Extended>(x);
}

// The C library's double-precision pow, called for real. The optimiser would
// otherwise turn pow(x, 2.0) into x * x, and glibc's pow differs from that
// product in the last bit for about one argument in a thousand.
double libraryPow(double base, double exponent);

}  // namespace preisach::model
