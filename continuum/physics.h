#pragma once

#include <cmath>

#include "continuum/scalar.h"
#include "continuum/shape_factors.h"
#include "model/model_parameters.h"

namespace preisach::continuum {

// The model's parameters as numbers of type S (double, or a Jet whose
// derivative parts select the parameters to differentiate by), with the
// names of the parameter file. The shape stays a letter.
template <typename S>
struct Physics {
  S Tc, mu0, Gamma;
  S hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km;
  S N;
  model::DensityShape PDF = model::DensityShape::G;
  S ha, T_max, T_hyst, Ha_max;
  S s, lambda, f;
};

template <typename S>
Physics<S> physicsFrom(const model::ModelParameters& p) {
  const auto v = [](float x) { return S(static_cast<double>(x)); };
  return Physics<S>{v(p.Tc),      v(p.mu0),     v(p.Gamma), v(p.hc0_mean), v(p.Gamma_c), v(p.sigmac0), v(p.Gamma_cprim),
                    v(p.sigmai0), v(p.Gamma_i), v(p.km),    v(p.N),        p.PDF,        v(p.ha),      v(p.T_max),
                    v(p.T_hyst),  v(p.Ha_max),  v(p.s),     v(p.lambda),   v(p.f)};
}

// X(T) = X0 * (1 - T/Tc)^gamma. At or above Tc the law has no positive
// value to give: NaN.
template <typename S>
S scaledParameter(const S& T, const S& Tc, const S& X0, const S& gamma) {
  using std::pow;
  const S r = 1.0 - T / Tc;
  if (!(value(r) > 0.0)) return quietNaN<S>();
  return X0 * pow(r, gamma);
}

// Boltzmann's constant in erg/K.
inline constexpr double kBoltzmann = 1.38e-16;

// Thermal fluctuation field ((kB T) / mu0) * 25 in Oe; it divides by the
// moment at 0 K. The band limits of the ZFC/FC point are hts(T)/2, hts(T)
// and hts(T_max).
template <typename S>
S thermalField(const S& T, const S& mu0) {
  return ((kBoltzmann * T) / mu0) * 25.0;
}

template <typename S>
S momentAt(const Physics<S>& p, const S& T) {
  return scaledParameter(T, p.Tc, p.mu0, p.Gamma);
}

// The density at temperature T: centre hcm(T), widths sigma_c(T), sigma_i(T)
// by the scaling law, interaction centre km as given.
template <typename S>
DensityFactors<S> densityAt(const Physics<S>& p, const S& T) {
  return densityFactors(p.PDF, p.N, scaledParameter(T, p.Tc, p.hc0_mean, p.Gamma_c),
                        scaledParameter(T, p.Tc, p.sigmac0, p.Gamma_cprim),
                        scaledParameter(T, p.Tc, p.sigmai0, p.Gamma_i), p.km);
}

}  // namespace preisach::continuum
