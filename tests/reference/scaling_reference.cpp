#include "reference/scaling_reference.h"

#include "model/library_math.h"

namespace preisach::reference {

float scaledParameter(float T, float Tc, float X0, float exponent) {
  const model::Extended reduced = model::ext(1.0) - model::ext(T) / model::ext(Tc);
  const double p = model::libraryPow(static_cast<double>(reduced), static_cast<double>(exponent));
  return static_cast<float>(model::ext(X0) * model::ext(p));
}

}  // namespace preisach::reference
