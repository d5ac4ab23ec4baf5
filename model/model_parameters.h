#pragma once

#include "model/density.h"

namespace preisach::model {

// One description of the ensemble and of the two experiments on it, with
// the names of the parameter file: the physics the density, the
// normalisation, the ZFC/FC and hysteresis points, the field history, FORC
// and the fit all take whole. The grid's m and the run's flags are not part
// of it (they belong to one evaluator and to the run). Every value is the
// float32 the parameter file holds; units CGS (Oe, emu), temperatures in K.
struct ModelParameters {
  float Tc = 0.0f;           // K, critical temperature of every scaling law
  float mu0 = 0.0f;          // emu, particle moment at 0 K
  float Gamma = 0.0f;        // exponent of mu(T)
  float hc0_mean = 0.0f;     // Oe, mean coercive field at 0 K
  float Gamma_c = 0.0f;      // exponent of hcm(T)
  float sigmac0 = 0.0f;      // Oe, coercive-field width at 0 K
  float Gamma_cprim = 0.0f;  // exponent of sigma_c(T)
  float sigmai0 = 0.0f;      // Oe, interaction-field width at 0 K
  float Gamma_i = 0.0f;      // exponent of sigma_i(T)
  float km = 0.0f;           // Oe, centre of the interaction-field distribution
  float N = 0.0f;            // amplitude of the ensemble
  DensityShape PDF = DensityShape::G;
  float ha = 0.0f;      // Oe, applied field of the ZFC/FC curves
  float T_max = 0.0f;   // K, end of the ZFC/FC sweep; sets the ZFC/FC rectangle
  float T_hyst = 0.0f;  // K, temperature of the loop
  float Ha_max = 0.0f;  // Oe, largest field of the loop and extent of its rectangle
  float s = 0.0f;       // Oe, shift of the reversible term
  float lambda = 0.0f;  // Oe, field scale of the reversible term
  float f = 0.0f;       // weight of the reversible part
};

// Which saturation a point of the loop or of a history comes from: the
// descending branch starts at +Ha_max, the ascending branch at -Ha_max.
// None where no branch runs (a loop whose extent is not positive).
enum class Branch { None, Descending, Ascending };

// The density's arguments at temperature T, with the amplitude N.
inline DensityParameters densityAt(const ModelParameters& p, float T) {
  return DensityParameters{T,         p.Tc,      p.hc0_mean, p.Gamma_c, p.sigmac0, p.Gamma_cprim,
                           p.sigmai0, p.Gamma_i, p.km,       p.N,       p.PDF};
}

}  // namespace preisach::model
