#pragma once

namespace preisach::model {

// Reciprocal of Boltzmann's constant 1.38e-16 erg/K, the float64 value's
// reciprocal rounded to the extended format: 7246376811594202.9462890625.
inline constexpr long double kInverseBoltzmann = 1.0L / static_cast<long double>(1.38e-16);

// X(T) = X0 * (1 - T/Tc)^exponent. T = Tc gives 0 for a positive exponent;
// T > Tc with a non-integer exponent gives NaN (the library's pow of a
// negative base).
float scaledParameter(float T, float Tc, float X0, float exponent);

// Equilibrium moment mu(T) * tanh(mu(T) * (ha + hi) / (kB * T)) of a
// particle whose moment follows mu0 * (1 - T/Tc)^Gamma. T must not be 0.
float reversibleMoment(float T, float Tc, float mu0, float Gamma, float ha, float hi);

}  // namespace preisach::model
