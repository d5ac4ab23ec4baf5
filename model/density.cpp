#include "model/density.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/library_math.h"
#include "model/scaling.h"

namespace preisach::model {

namespace {

constexpr float kPi = 3.1415927f;  // pi as the model holds it: 3.1415927410125732

// Every square is the library's pow(x, 2.0) of a float64 argument.
Extended square(double x) {
  return ext(libraryPow(x, 2.0));
}

// Distance from the centre, formed from the two float32 operands in extended
// precision and rounded to float64 before it is squared.
double distance(float x, float centre) {
  return static_cast<double>(static_cast<Extended>(x) - static_cast<Extended>(centre));
}

// (x - centre) * 0.25 / width in extended precision, rounded once: the
// argument of the exp(-(...)^2) factors of shapes M and N.
double quarterReduced(float x, float centre, float width) {
  return static_cast<double>((static_cast<Extended>(x) - static_cast<Extended>(centre)) * static_cast<Extended>(0.25f) /
                             static_cast<Extended>(width));
}

// 4 * delta^2 + width^2, the Lorentzian denominator (without the factor pi).
Extended lorentzDenominator(double delta, float width) {
  return static_cast<Extended>(4.0f) * square(delta) + square(static_cast<double>(width));
}

// exp(delta^2 * (-0.5) / width^2), the Gaussian factor of shape G.
Extended gaussianFactor(double delta, float width) {
  return ext(
      std::exp(static_cast<double>(square(delta) * static_cast<Extended>(-0.5f) / square(static_cast<double>(width)))));
}

// sqrt(2 pi), with 2 pi formed from the float32 pi (6.2831854820251465).
double sqrtTwoPi() {
  return std::sqrt(static_cast<double>(static_cast<Extended>(2.0f) * static_cast<Extended>(kPi)));
}

// The steps of each shape up to its last one, which brings in hi, and the
// hi factor that last step divides by or multiplies with.

// A exp(-dc^2 / 2 sc^2) / (sc sqrt(2 pi)) / (si sqrt(2 pi)), then * exp(-di^2 / 2 si^2).
long double gaussianColumn(const ShapeScales& p, float hc) {
  const Extended s = ext(sqrtTwoPi());
  Extended a = p.A / static_cast<Extended>(p.sigc) / s;
  a = a * gaussianFactor(distance(hc, p.hcm), p.sigc);
  a = a * static_cast<Extended>(1.0f) / static_cast<Extended>(p.sigi);
  return a / s;
}
long double gaussianRow(const ShapeScales& p, float hi) {
  return gaussianFactor(distance(hi, p.km), p.sigi);
}

// 2 A sc / (pi (sc^2 + 4 dc^2)) * 2 si / pi, then / (si^2 + 4 di^2).
long double lorentzianColumn(const ShapeScales& p, float hc) {
  const Extended two = static_cast<Extended>(2.0f), pi = static_cast<Extended>(kPi);
  const Extended a = two * p.A / pi * static_cast<Extended>(p.sigc) / lorentzDenominator(distance(hc, p.hcm), p.sigc);
  return a * two / pi * static_cast<Extended>(p.sigi);
}
long double lorentzianRow(const ShapeScales& p, float hi) {
  return lorentzDenominator(distance(hi, p.km), p.sigi);
}

// 4 A sc / (pi (sc^2 + 4 dc^2)) * 2^0, then * exp(-(di / 4 si)^2).
long double mixedMColumn(const ShapeScales& p, float hc) {
  const Extended two = static_cast<Extended>(2.0f), pi = static_cast<Extended>(kPi);
  const Extended a =
      two * p.A * two / pi * static_cast<Extended>(p.sigc) / lorentzDenominator(distance(hc, p.hcm), p.sigc);
  return a * ext(libraryPow(2.0, 0.0));
}
long double mixedMRow(const ShapeScales& p, float hi) {
  return ext(std::exp(-libraryPow(quarterReduced(hi, p.km, p.sigi), 2.0)));
}

// 2 A (2 pi sc^2)^(-1/2) exp(-(dc / 4 sc)^2) * 2 si / pi, then / (si^2 + 4 di^2).
long double mixedNColumn(const ShapeScales& p, float hc) {
  const Extended two = static_cast<Extended>(2.0f), pi = static_cast<Extended>(kPi);
  const double c = libraryPow(static_cast<double>(square(static_cast<double>(p.sigc)) * (two * pi)), -0.5);
  Extended a = ext(c) * (two * p.A);
  a = a * ext(std::exp(-libraryPow(quarterReduced(hc, p.hcm, p.sigc), 2.0)));
  return a * two / pi * static_cast<Extended>(p.sigi);
}

// A letter that is not a shape: the density is a quiet NaN.
long double notAShapeColumn(const ShapeScales&, float) {
  return std::numeric_limits<long double>::quiet_NaN();
}
long double notAShapeRow(const ShapeScales&, float) {
  return 1.0L;
}
const DensityShapeEntry kNotAShape{
    static_cast<DensityShape>('?'), "not a shape", "", notAShapeColumn, notAShapeRow, false};

}  // namespace

const std::vector<DensityShapeEntry>& densityShapes() {
  static const std::vector<DensityShapeEntry> shapes = {
      {DensityShape::G, "Gaussian", "normal in hc and in hi, normalised", gaussianColumn, gaussianRow, false},
      {DensityShape::L, "Lorentzian", "Lorentzian in hc and in hi (full widths sigma_c, sigma_i), normalised",
       lorentzianColumn, lorentzianRow, true},
      {DensityShape::M, "mixed M", "Lorentzian of twice the height in hc, exp(-(dhi / 4 sigma_i)^2) in hi",
       mixedMColumn, mixedMRow, false},
      {DensityShape::N, "mixed N", "2 / sqrt(2 pi sigma_c^2) exp(-(dhc / 4 sigma_c)^2) in hc, Lorentzian in hi",
       mixedNColumn, lorentzianRow, true},
  };
  return shapes;
}

const DensityShapeEntry* findDensityShape(char letter) {
  for (const DensityShapeEntry& entry : densityShapes())
    if (static_cast<char>(entry.shape) == letter) return &entry;
  return nullptr;
}

bool isDensityShape(char letter) {
  return findDensityShape(letter) != nullptr;
}

std::string densityShapeLetters() {
  std::string letters;
  for (const DensityShapeEntry& entry : densityShapes())
    letters += (letters.empty() ? "" : ", ") + std::string(1, static_cast<char>(entry.shape));
  return letters;
}

namespace {

const DensityShapeEntry& entryOf(DensityShape shape) {
  const DensityShapeEntry* entry = findDensityShape(static_cast<char>(shape));
  return entry != nullptr ? *entry : kNotAShape;
}

}  // namespace

DensityFactors::DensityFactors(const DensityParameters& p)
    : entry_(&entryOf(p.shape)),
      scales_{static_cast<Extended>(p.A), scaledParameter(p.T, p.Tc, p.hc0_mean, p.Gamma_c),
              scaledParameter(p.T, p.Tc, p.sigmac0, p.Gamma_cprim), scaledParameter(p.T, p.Tc, p.sigmai0, p.Gamma_i),
              p.km} {}

double preisachDensity(const DensityParameters& p, float hc, float hi) {
  const DensityFactors factors(p);
  return factors.combine(factors.column(hc), factors.row(hi));
}

double DensityParameters::at(double hc, double hi) const {
  return preisachDensity(*this, static_cast<float>(hc), static_cast<float>(hi));
}

DensityTable::DensityTable(const DensityParameters& p, const GridAxis& hcAxis, const GridAxis& hiAxis) : factors_(p) {
  column_.resize(static_cast<std::size_t>(hcAxis.nodeCount()));
  for (std::int32_t i = 0; i < hcAxis.nodeCount(); ++i)
    column_[static_cast<std::size_t>(i)] = factors_.column(static_cast<float>(hcAxis.coordinate(i)));
  row_.resize(static_cast<std::size_t>(hiAxis.nodeCount()));
  for (std::int32_t j = 0; j < hiAxis.nodeCount(); ++j)
    row_[static_cast<std::size_t>(j)] = factors_.row(static_cast<float>(hiAxis.coordinate(j)));
  if (!divides())
    for (const long double r : row_) rowValue_.push_back(static_cast<double>(r));
}

}  // namespace preisach::model
