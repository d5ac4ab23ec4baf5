#include "model/scaling.h"

#include <cmath>

#include "model/library_math.h"

namespace preisach::model {

float scaledParameter(float T, float Tc, float X0, float exponent) {
  // The reduced temperature is formed in extended precision and handed to
  // pow as a double; the product is rounded once, straight to float.
  const long double reduced = 1.0L - static_cast<long double>(T) / static_cast<long double>(Tc);
  const double p = libraryPow(static_cast<double>(reduced), static_cast<double>(exponent));
  return static_cast<float>(static_cast<long double>(X0) * static_cast<long double>(p));
}

float reversibleMoment(float T, float Tc, float mu0, float Gamma, float ha, float hi) {
  const float mu = scaledParameter(T, Tc, mu0, Gamma);
  // Zeeman energy over thermal energy, in the order sum, * mu, * 1/kB, / T.
  const long double x = (static_cast<long double>(ha) + static_cast<long double>(hi)) * static_cast<long double>(mu) *
                        kInverseBoltzmann / static_cast<long double>(T);
  const double t = std::tanh(static_cast<double>(x));
  return static_cast<float>(static_cast<long double>(mu) * static_cast<long double>(t));
}

}  // namespace preisach::model
