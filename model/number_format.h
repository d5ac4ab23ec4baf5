#pragma once

#include <cstddef>

namespace preisach::model {

// Room for any value in the "%e" form, with its sign and a three-digit exponent.
inline constexpr std::size_t kScientificWidth = 32;

// Writes x exactly as printf's "%e" does (six decimals, an exponent of at
// least two digits; nan, -nan, inf, -inf) and returns the number of
// characters written.
std::size_t formatScientific(double x, char* out);

}  // namespace preisach::model
