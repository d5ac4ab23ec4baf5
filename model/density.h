#pragma once

#include <cstdint>
#include <vector>

#include "model/grid.h"

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

// The density at one temperature in separable form: every shape is a factor
// of hc alone (column) multiplied or divided, in the last step of its
// evaluation, by a factor of hi alone (row). Both factors are kept in
// extended precision, so column(hc) combined with row(hi) is bit for bit the
// point evaluation.
class DensityFactors {
 public:
  explicit DensityFactors(const DensityParameters& p);
  long double column(float hc) const;
  long double row(float hi) const;
  double combine(long double column, long double row) const {
    return static_cast<double>(divides_ ? column / row : column * row);
  }
  bool divides() const { return divides_; }

 private:
  DensityParameters p_;
  float hcm_;
  float sigc_;
  float sigi_;
  bool divides_;
};

// The density over a whole grid: one factor per hc column and per hi row,
// the transcendental functions evaluated once each.
class DensityTable {
 public:
  DensityTable(const DensityParameters& p, const GridAxis& hcAxis, const GridAxis& hiAxis);
  double at(std::int32_t i, std::int32_t j) const { return factors_.combine(column(i), row(j)); }
  long double column(std::int32_t i) const { return column_[static_cast<std::size_t>(i)]; }
  long double row(std::int32_t j) const { return row_[static_cast<std::size_t>(j)]; }
  const long double* rows() const { return row_.data(); }
  std::size_t rowCount() const { return row_.size(); }
  // The row factors of a shape that multiplies: each is a float64 value (a
  // library exp), so it is kept as one too and read with one plain load.
  const double* rowValues() const { return rowValue_.data(); }
  bool divides() const { return factors_.divides(); }

 private:
  DensityFactors factors_;
  std::vector<long double> column_;
  std::vector<long double> row_;
  std::vector<double> rowValue_;
};

}  // namespace preisach::model
