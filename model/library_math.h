#pragma once

#include <limits>

namespace preisach::model {

// The model is defined on 80-bit extended intermediates.
static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit extended format");

// The C library's double-precision pow, called for real. The optimiser would
// otherwise turn pow(x, 2.0) into x * x, and glibc's pow differs from that
// product in the last bit for about one argument in a thousand.
double libraryPow(double base, double exponent);

}  // namespace preisach::model
