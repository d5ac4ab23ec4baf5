#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/grid.h"

namespace preisach::model {

// The shape of the density over the (hc, hi) plane, chosen by one upper-case
// letter of the parameter file. Any other byte can be held (the file may
// carry it), but only the letters of densityShapes() are shapes.
enum class DensityShape : char {
  G = 'G',
  L = 'L',
  M = 'M',
  N = 'N',
};

// The centre and widths of the density at one temperature and its
// amplitude: what a shape's two factors are evaluated from.
struct ShapeScales {
  long double A;  // amplitude
  float hcm;      // hc centre, hcm(T)
  float sigc;     // hc width, sigma_c(T)
  float sigi;     // hi width, sigma_i(T)
  float km;       // hi centre
};

// One density shape: a factor of hc alone and a factor of hi alone, each
// in extended precision and in the shape's own order of evaluation, the
// density being the hc factor divided by the hi factor (`divides`) or
// multiplied by it. Everything that knows the shapes (validation,
// messages, the benchmark, the pictures, the continuum's closed forms) is
// generated from or checked against this table.
struct DensityShapeEntry {
  DensityShape shape;
  const char* name;
  const char* formula;  // the density in words, for help texts and the README
  long double (*column)(const ShapeScales& s, float hc);
  long double (*row)(const ShapeScales& s, float hi);
  bool divides;
};

const std::vector<DensityShapeEntry>& densityShapes();

// The entry of that letter, or nullptr.
const DensityShapeEntry* findDensityShape(char letter);
bool isDensityShape(char letter);

// "G, L, M, N": the letters for messages.
std::string densityShapeLetters();

// The density's arguments at one temperature: the scaling laws of its
// centre hcm(T) and widths sigma_c(T), sigma_i(T) from (hc0_mean, Gamma_c),
// (sigmac0, Gamma_cprim), (sigmai0, Gamma_i), the hi centre km, the
// amplitude A and the shape.
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

  // At a grid node: its float64 coordinates are rounded to float32 for the
  // evaluation.
  double at(double hc, double hi) const;
};

// Density at (hc, hi), centred at (hcm(T), km) with widths sigma_c(T),
// sigma_i(T). A zero width divides by zero; a letter that is not a shape
// gives a quiet NaN.
double preisachDensity(const DensityParameters& p, float hc, float hi);

// The density at one temperature in separable form: every shape is a factor
// of hc alone (column) multiplied or divided, in the last step of its
// evaluation, by a factor of hi alone (row). Both factors are kept in
// extended precision, so column(hc) combined with row(hi) is bit for bit the
// point evaluation.
class DensityFactors {
 public:
  explicit DensityFactors(const DensityParameters& p);
  long double column(float hc) const { return entry_->column(scales_, hc); }
  long double row(float hi) const { return entry_->row(scales_, hi); }
  double combine(long double column, long double row) const {
    return static_cast<double>(divides() ? column / row : column * row);
  }
  bool divides() const { return entry_->divides; }

 private:
  const DensityShapeEntry* entry_;
  ShapeScales scales_;
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
