#pragma once

namespace preisach::model {

// The shape of the density over the (hc, hi) plane, chosen by one upper-case
// letter of the parameter file. Any other byte can be held (the file may
// carry it), but only these four are shapes.
enum class DensityShape : char {
  G = 'G',  // Gaussian in hc and in hi, normalised
  L = 'L',  // Lorentzian in hc and in hi (full widths sigma_c, sigma_i), normalised
  M = 'M',  // Lorentzian of twice the height in hc, exp(-(dhi / 4 sigma_i)^2) in hi
  N = 'N',  // 2 / sqrt(2 pi sigma_c^2) * exp(-(dhc / 4 sigma_c)^2) in hc, Lorentzian in hi
};

bool isDensityShape(char letter);

// Density at (hc, hi) and temperature T, centred at (hcm(T), km) with widths
// sigma_c(T), sigma_i(T); hcm and both widths follow the scaling law from
// (hc0_mean, Gamma_c), (sigmac0, Gamma_cprim), (sigmai0, Gamma_i). A is the
// amplitude. A zero width divides by zero; a letter that is not a shape
// gives a quiet NaN.
double preisachDensity(float T,
                       float Tc,
                       float hc0_mean,
                       float Gamma_c,
                       float sigmac0,
                       float Gamma_cprim,
                       float sigmai0,
                       float Gamma_i,
                       float km,
                       float hc,
                       float hi,
                       float A,
                       DensityShape shape);

// The density's arguments at one temperature, for the grid computations: a
// node's float64 coordinates are rounded to float32 for the evaluation.
struct DensityParameters {
  float T;
  float Tc;
  float hc0_mean;
  float Gamma_c;
  float sigmac0;
  float Gamma_cprim;
  float sigmai0;
  float Gamma_i;
  float km;
  float A;
  DensityShape shape;

  double at(double hc, double hi) const {
    return preisachDensity(T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, static_cast<float>(hc),
                           static_cast<float>(hi), A, shape);
  }
};

}  // namespace preisach::model
