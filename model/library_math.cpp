#include "model/library_math.h"

#include <cmath>

namespace preisach::model {

// Kept out of line, in its own translation unit, so that a constant exponent
// at the call site cannot be folded into a multiplication.
double libraryPow(double base, double exponent) {
  return std::pow(base, exponent);
}

}  // namespace preisach::model
