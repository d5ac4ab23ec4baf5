#pragma once

#include <cstdint>

#include "model/density.h"

namespace preisach::parameters {

// The 24 values of the parameter file, in file order, named after their echo
// labels. Before the first read every number is 0 and every letter a blank.
struct ParameterSet {
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
  model::DensityShape PDF = static_cast<model::DensityShape>(' ');
  std::int32_t m = 0;   // grid divisions per axis before refinement
  float MC_err = 0.0f;  // read and echoed only
  char Calculate_ZFCFC = ' ';
  float ha = 0.0f;     // Oe, applied field of the ZFC/FC curves
  float T_max = 0.0f;  // K, end of the ZFC/FC sweep
  char Calculate_Hysteresis = ' ';
  float T_hyst = 0.0f;  // K, temperature of the loop
  float Ha_max = 0.0f;  // Oe, largest field of the loop and extent of its grid
  float s = 0.0f;       // Oe, shift of the reversible term
  float lambda = 0.0f;  // Oe, field scale of the reversible term
  float f = 0.0f;       // weight of the reversible part
  char Calculate_PDF = ' ';
};

}  // namespace preisach::parameters
