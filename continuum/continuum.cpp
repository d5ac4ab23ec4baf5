#include "continuum/continuum.h"

#include <cmath>

namespace preisach::continuum {

namespace {

// Fields that may exceed Ha_max by a rounding of k * step are taken as it.
constexpr double kFieldSlack = 1e-9;

std::vector<double> curveFields(double Hr, double step, double H) {
  std::vector<double> fields;
  for (long k = 0;; ++k) {
    const double field = Hr + static_cast<double>(k) * step;
    if (field > H + kFieldSlack * step) break;
    fields.push_back(std::fmin(field, H));
  }
  return fields;
}

}  // namespace

std::vector<ForcCurve> forcCurves(const Physics<double>& p, double step, const Tolerance& tolerance) {
  std::vector<ForcCurve> curves;
  const double H = p.Ha_max;
  if (!(step > 0.0) || !(H > 0.0) || !(2.0 * H / step < 1e6)) return curves;
  FieldHistory<double> sample(p, tolerance);
  if (!sample.model().valid()) return curves;
  for (long k = 0;; ++k) {
    const double Hr = H - static_cast<double>(k) * step;
    if (Hr < -H - kFieldSlack * step) break;
    ForcCurve curve;
    curve.Hr = std::fmax(Hr, -H);
    sample.moveTo(H);
    for (double field : curveFields(curve.Hr, step, H)) {
      curve.H.push_back(field);
      curve.M.push_back(sample.apply(field).M);
    }
    curves.push_back(std::move(curve));
  }
  return curves;
}

}  // namespace preisach::continuum
