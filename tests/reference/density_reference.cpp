#include "reference/density_reference.h"

#include <cmath>
#include <limits>

#include "model/library_math.h"
#include "reference/scaling_reference.h"

namespace preisach::reference {

using model::DensityShape;
using model::libraryPow;

namespace {

using Extended = long double;

constexpr float kPi = 3.1415927f;  // pi as the model holds it: 3.1415927410125732

// Every square is the library's pow(x, 2.0) of a float64 argument.
Extended square(double x) {
  return static_cast<Extended>(libraryPow(x, 2.0));
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

double gaussianShape(float A, double dc, double di, float sigc, float sigi) {
  const Extended twoPi = static_cast<Extended>(2.0f) * static_cast<Extended>(kPi);
  const double s = std::sqrt(static_cast<double>(twoPi));
  Extended a = static_cast<Extended>(A) / static_cast<Extended>(sigc) / static_cast<Extended>(s);
  a = a * static_cast<Extended>(std::exp(
              static_cast<double>(square(dc) * static_cast<Extended>(-0.5f) / square(static_cast<double>(sigc)))));
  a = a * static_cast<Extended>(1.0f) / static_cast<Extended>(sigi);
  a = a / static_cast<Extended>(s);
  return static_cast<double>(a * static_cast<Extended>(std::exp(static_cast<double>(
                                     square(di) * static_cast<Extended>(-0.5f) / square(static_cast<double>(sigi))))));
}

double lorentzianShape(float A, double dc, double di, float sigc, float sigi) {
  const Extended pi = static_cast<Extended>(kPi);
  const Extended dcDenominator = lorentzDenominator(dc, sigc);
  Extended a =
      static_cast<Extended>(2.0f) * static_cast<Extended>(A) / pi * static_cast<Extended>(sigc) / dcDenominator;
  a = a * static_cast<Extended>(2.0f) / pi * static_cast<Extended>(sigi);
  return static_cast<double>(a / lorentzDenominator(di, sigi));
}

double mixedLorentzianShape(float A, double dc, double qi, float sigc) {
  const Extended pi = static_cast<Extended>(kPi);
  const Extended dcDenominator = lorentzDenominator(dc, sigc);
  Extended a = static_cast<Extended>(2.0f) * static_cast<Extended>(A) * static_cast<Extended>(2.0f) / pi *
               static_cast<Extended>(sigc) / dcDenominator;
  a = a * static_cast<Extended>(libraryPow(2.0, 0.0));
  return static_cast<double>(a * static_cast<Extended>(std::exp(-libraryPow(qi, 2.0))));
}

double mixedGaussianShape(float A, double qc, double di, float sigc, float sigi) {
  const Extended pi = static_cast<Extended>(kPi);
  const Extended twoPi = static_cast<Extended>(2.0f) * pi;
  const double c = libraryPow(static_cast<double>(square(static_cast<double>(sigc)) * twoPi), -0.5);
  Extended a = static_cast<Extended>(c) * (static_cast<Extended>(2.0f) * static_cast<Extended>(A));
  a = a * static_cast<Extended>(std::exp(-libraryPow(qc, 2.0)));
  a = a * static_cast<Extended>(2.0f) / pi * static_cast<Extended>(sigi);
  return static_cast<double>(a / lorentzDenominator(di, sigi));
}

}  // namespace

double preisachDensity(const model::DensityParameters& p, float hc, float hi) {
  const float hcm = scaledParameter(p.T, p.Tc, p.hc0_mean, p.Gamma_c);
  const float sigc = scaledParameter(p.T, p.Tc, p.sigmac0, p.Gamma_cprim);
  const float sigi = scaledParameter(p.T, p.Tc, p.sigmai0, p.Gamma_i);
  const float A = p.A, km = p.km;
  switch (p.shape) {
    case DensityShape::G:
      return gaussianShape(A, distance(hc, hcm), distance(hi, km), sigc, sigi);
    case DensityShape::L:
      return lorentzianShape(A, distance(hc, hcm), distance(hi, km), sigc, sigi);
    case DensityShape::M:
      return mixedLorentzianShape(A, distance(hc, hcm), quarterReduced(hi, km, sigi), sigc);
    case DensityShape::N:
      return mixedGaussianShape(A, quarterReduced(hc, hcm, sigc), distance(hi, km), sigc, sigi);
  }
  return std::numeric_limits<double>::quiet_NaN();
}

model::DensityParameters densityOf(const model::ModelParameters& p, float T) {
  model::DensityParameters d{};
  d.T = T, d.Tc = p.Tc, d.hc0_mean = p.hc0_mean, d.Gamma_c = p.Gamma_c, d.sigmac0 = p.sigmac0;
  d.Gamma_cprim = p.Gamma_cprim, d.sigmai0 = p.sigmai0, d.Gamma_i = p.Gamma_i, d.km = p.km, d.A = p.N, d.shape = p.PDF;
  return d;
}

}  // namespace preisach::reference
