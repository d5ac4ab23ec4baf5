#include "model/thermal.h"

namespace preisach::model {

namespace {
constexpr double kBoltzmann = 1.38e-16;        // erg/K, a float64 constant
constexpr double kBoltzmannTimes5K = 6.9e-16;  // 5 * 1.38e-16, its own float64 literal
constexpr float kFluctuationFactor = 25.0f;    // ln(t_measure / tau_0) of the model
}  // namespace

long double thermalField(float T, float mu0) {
  return static_cast<long double>(kBoltzmann) * static_cast<long double>(T) / static_cast<long double>(mu0) *
         static_cast<long double>(kFluctuationFactor);
}

double thermalFieldAt5K(float mu0) {
  return static_cast<double>(static_cast<long double>(kBoltzmannTimes5K) / static_cast<long double>(mu0) *
                             static_cast<long double>(kFluctuationFactor));
}

}  // namespace preisach::model
