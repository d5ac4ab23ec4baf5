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

}  // namespace

bool isDensityShape(char letter) {
  switch (static_cast<DensityShape>(letter)) {
    case DensityShape::G:
    case DensityShape::L:
    case DensityShape::M:
    case DensityShape::N:
      return true;
  }
  return false;
}

DensityFactors::DensityFactors(const DensityParameters& p)
    : p_(p),
      hcm_(scaledParameter(p.T, p.Tc, p.hc0_mean, p.Gamma_c)),
      sigc_(scaledParameter(p.T, p.Tc, p.sigmac0, p.Gamma_cprim)),
      sigi_(scaledParameter(p.T, p.Tc, p.sigmai0, p.Gamma_i)),
      divides_(p.shape == DensityShape::L || p.shape == DensityShape::N) {}

// The steps of each shape up to its last one, which brings in hi.
long double DensityFactors::column(float hc) const {
  const Extended A = static_cast<Extended>(p_.A);
  const Extended pi = static_cast<Extended>(kPi);
  const Extended two = static_cast<Extended>(2.0f);
  const Extended sigc = static_cast<Extended>(sigc_);
  const Extended sigi = static_cast<Extended>(sigi_);
  switch (p_.shape) {
    case DensityShape::G: {
      // A exp(-dc^2 / 2 sc^2) / (sc sqrt(2 pi)) / (si sqrt(2 pi)), then * exp(-di^2 / 2 si^2).
      const Extended s = ext(sqrtTwoPi());
      Extended a = A / sigc / s;
      a = a * gaussianFactor(distance(hc, hcm_), sigc_);
      a = a * static_cast<Extended>(1.0f) / sigi;
      return a / s;
    }
    case DensityShape::L: {
      // 2 A sc / (pi (sc^2 + 4 dc^2)) * 2 si / pi, then / (si^2 + 4 di^2).
      Extended a = two * A / pi * sigc / lorentzDenominator(distance(hc, hcm_), sigc_);
      return a * two / pi * sigi;
    }
    case DensityShape::M: {
      // 4 A sc / (pi (sc^2 + 4 dc^2)) * 2^0, then * exp(-(di / 4 si)^2).
      const Extended a = two * A * two / pi * sigc / lorentzDenominator(distance(hc, hcm_), sigc_);
      return a * ext(libraryPow(2.0, 0.0));
    }
    case DensityShape::N: {
      // 2 A (2 pi sc^2)^(-1/2) exp(-(dc / 4 sc)^2) * 2 si / pi, then / (si^2 + 4 di^2).
      const double c = libraryPow(static_cast<double>(square(static_cast<double>(sigc_)) * (two * pi)), -0.5);
      Extended a = ext(c) * (two * A);
      a = a * ext(std::exp(-libraryPow(quarterReduced(hc, hcm_, sigc_), 2.0)));
      return a * two / pi * sigi;
    }
  }
  return std::numeric_limits<long double>::quiet_NaN();
}

long double DensityFactors::row(float hi) const {
  switch (p_.shape) {
    case DensityShape::G:
      return gaussianFactor(distance(hi, p_.km), sigi_);
    case DensityShape::M:
      return ext(std::exp(-libraryPow(quarterReduced(hi, p_.km, sigi_), 2.0)));
    case DensityShape::L:
    case DensityShape::N:
      return lorentzDenominator(distance(hi, p_.km), sigi_);
  }
  return 1.0L;
}

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
                       DensityShape shape) {
  const DensityFactors factors(
      DensityParameters{T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, A, shape});
  return factors.combine(factors.column(hc), factors.row(hi));
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
