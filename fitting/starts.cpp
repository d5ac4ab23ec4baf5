#include "fitting/starts.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <sstream>

namespace preisach::fitting {

namespace {

using model::ModelParameters;

constexpr double kBoltzmann = 1.38e-16;  // erg/K, as the program's thermal field takes it
constexpr double kThermalFactor = 25.0;  // the thermal field is 25 kB T / mu0

const FreeParameter* freeNamed(const std::vector<FreeParameter>& free, const std::string& name) {
  for (const FreeParameter& f : free)
    if (name == f.name()) return &f;
  return nullptr;
}

double power(const ModelParameters& p, double T, float exponent) {
  return std::pow(1.0 - T / static_cast<double>(p.Tc), static_cast<double>(exponent));
}

// Sets a free parameter within its bounds; false when it is not free or the
// value is not a finite number.
bool setFree(ModelParameters& p, const std::vector<FreeParameter>& free, const std::string& name, double value) {
  const FreeParameter* f = freeNamed(free, name);
  if (f == nullptr || !std::isfinite(value)) return false;
  p.*(f->parameter->member) = static_cast<float>(std::clamp(value, f->lower, f->upper));
  return true;
}

std::string note(const std::string& name, double value, const std::string& unit, const std::string& why) {
  std::ostringstream s;
  s << name << " = " << value << (unit.empty() ? "" : " " + unit) << " from " << why;
  return s.str();
}

// The field where the descending branch crosses M = 0, by linear
// interpolation; NaN where it does not.
double coerciveField(const Dataset& loop) {
  const measured::Curve& c = loop.curve;
  for (std::size_t k = 1; k < c.size(); ++k) {
    if (!loop.descending[k] || !loop.descending[k - 1]) continue;
    if ((c.moment[k - 1] > 0.0) != (c.moment[k] > 0.0))
      return c.x[k - 1] + (c.x[k] - c.x[k - 1]) * c.moment[k - 1] / (c.moment[k - 1] - c.moment[k]);
  }
  return std::nan("");
}

void fromLoop(ModelParameters& p,
              const std::vector<FreeParameter>& free,
              const Dataset& loop,
              bool& hcSet,
              std::vector<std::string>& notes) {
  const double T = static_cast<double>(loop.temperature);
  const double Hc = std::fabs(coerciveField(loop));
  if (setFree(p, free, "hc0_mean", Hc / power(p, T, p.Gamma_c))) {
    hcSet = true;
    notes.push_back(note("hc0_mean", static_cast<double>(p.hc0_mean), "Oe", "the coercive field of " + loop.name));
  }
  double saturation = 0.0;
  for (double M : loop.curve.moment) saturation = std::max(saturation, std::fabs(M));
  const double moment = saturation / power(p, T, p.Gamma);  // N mu0
  if (setFree(p, free, "N", moment / static_cast<double>(p.mu0)))
    notes.push_back(note("N", static_cast<double>(p.N), "", "the saturation of " + loop.name));
  else if (setFree(p, free, "mu0", moment / static_cast<double>(p.N)))
    notes.push_back(note("mu0", static_cast<double>(p.mu0), "emu", "the saturation of " + loop.name));
}

void fromZfc(ModelParameters& p,
             const std::vector<FreeParameter>& free,
             const Dataset& zfc,
             bool hcSet,
             std::vector<std::string>& notes) {
  const std::vector<double>& M = zfc.curve.moment;
  const std::size_t peak = static_cast<std::size_t>(std::max_element(M.begin(), M.end()) - M.begin());
  const double TB = zfc.curve.x[peak];
  // The ZFC maximum lies where half the thermal field, below which particles
  // are superparamagnetic, reaches the mean coercive field.
  const double thermal = 0.5 * kThermalFactor * kBoltzmann * TB;  // mu0 times hts(T_B) / 2
  const std::string why =
      "the ZFC maximum at " + std::to_string(static_cast<int>(std::lround(TB))) + " K of " + zfc.name;
  if (setFree(p, free, "mu0", thermal / (static_cast<double>(p.hc0_mean) * power(p, TB, p.Gamma_c))))
    notes.push_back(note("mu0", static_cast<double>(p.mu0), "emu", why));
  else if (!hcSet && setFree(p, free, "hc0_mean", thermal / static_cast<double>(p.mu0) / power(p, TB, p.Gamma_c)))
    notes.push_back(note("hc0_mean", static_cast<double>(p.hc0_mean), "Oe", why));
}

void scaleN(ModelParameters& p,
            const std::vector<FreeParameter>& free,
            const std::vector<Dataset>& data,
            const CurvesOf& curves,
            std::vector<std::string>& notes) {
  if (freeNamed(free, "N") == nullptr) return;
  const std::vector<std::vector<double>> model = curves(p);
  double md = 0.0, mm = 0.0;
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t k = 0; k < data[d].curve.size(); ++k) {
      const double w = 1.0 / (data[d].sigma[k] * data[d].sigma[k]);
      md += model[d][k] * data[d].curve.moment[k] * w;
      mm += model[d][k] * model[d][k] * w;
    }
  if (mm > 0.0 && md > 0.0 && setFree(p, free, "N", static_cast<double>(p.N) * md / mm))
    notes.push_back(note("N", static_cast<double>(p.N), "", "the amplitude of the data (the model is linear in N)"));
}

}  // namespace

ModelParameters startFromData(const ModelParameters& start,
                              const std::vector<FreeParameter>& free,
                              const std::vector<Dataset>& data,
                              const CurvesOf& curves,
                              std::vector<std::string>& notes) {
  ModelParameters p = start;
  bool hcSet = false;
  for (const Dataset& d : data)
    if (d.kind == CurveKind::Loop) {
      fromLoop(p, free, d, hcSet, notes);
      break;
    }
  for (const Dataset& d : data)
    if (d.kind == CurveKind::Zfc) {
      fromZfc(p, free, d, hcSet, notes);
      break;
    }
  scaleN(p, free, data, curves, notes);
  return p;
}

std::vector<std::vector<double>> spreadStarts(const Scaling& scaling, const std::vector<double>& x0, int count) {
  const std::size_t k = scaling.size(), n = static_cast<std::size_t>(std::max(count, 0));
  std::mt19937 random(20261208u);
  std::uniform_real_distribution<double> within(0.0, 1.0);
  std::vector<std::vector<double>> points(n, std::vector<double>(k));
  for (std::size_t j = 0; j < k; ++j) {
    std::vector<std::size_t> strata(n);
    std::iota(strata.begin(), strata.end(), 0);
    std::shuffle(strata.begin(), strata.end(), random);
    const bool positive = scaling.free()[j].parameter->physical == Physical::Positive;
    double lo = scaling.lower(j), hi = scaling.upper(j);
    const bool logarithmic = positive && !std::isfinite(hi);
    if (logarithmic) lo = std::max(lo, x0[j] / 3.0), hi = 3.0 * x0[j];
    if (!std::isfinite(lo)) lo = x0[j] - 1.0;
    if (!std::isfinite(hi)) hi = x0[j] + 1.0;
    for (std::size_t s = 0; s < n; ++s) {
      const double u = (static_cast<double>(strata[s]) + within(random)) / static_cast<double>(n);
      points[s][j] = logarithmic ? lo * std::pow(hi / lo, u) : lo + u * (hi - lo);
    }
  }
  return points;
}

}  // namespace preisach::fitting
