#include "driver/temperature_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "driver/console_lines.h"
#include "driver/non_finite.h"
#include "driver/ordered_parallel.h"
#include "driver/output_files.h"
#include "model/thermal.h"
#include "parameters/data_directory.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::driver {

namespace {

// Why the ZFC/FC grid holds no node inside its rectangle, for the report.
const char* degenerateGridCause(const ParameterSet& p) {
  if (p.mu0 == 0.0f) return "mu0 is 0, so the thermal fields are not finite";
  if (!(model::thermalField(p.T_max, p.mu0) > 0.0L))
    return "hts(T_max) is not positive: T_max and mu0 must be positive";
  if (!(static_cast<long double>(p.ha) + model::thermalField(p.T_max, p.mu0) > 0.0L))
    return "ha + hts(T_max) is not positive, so the hi range is empty";
  return "m is too small for a node inside it (m must be at least 3 on an unrefined axis)";
}

// Every number a point writes to the two files is finite.
bool finitePoint(const zfcfc::ZfcFcPointValues& v) {
  for (double x : {v.M_ZFC, v.M_FC, v.Integral11SP, v.Integral22SP, v.Integral1p, v.Integral1m, v.Integral2p,
                   v.Integral2m, v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC})
    if (!std::isfinite(x)) return false;
  return true;
}

}  // namespace

namespace {

// The high range of the schedule after 110 K: 120, 130, ... while not above
// T_max, stopping where adding 10 K no longer changes a float32.
template <typename Visit>
void forEachTemperature(float T_max, Visit visit) {
  for (float T = 5.0f; T < 100.0f; T = T + 5.0f)
    if (!visit(T)) return;
  for (float T = 110.0f; T <= T_max;) {
    if (!visit(T)) return;
    const float next = T + 10.0f;
    if (next == T) return;
    T = next;
  }
}

}  // namespace

std::vector<float> temperatureSchedule(float T_max) {
  std::vector<float> temperatures;
  forEachTemperature(T_max, [&](float T) {
    temperatures.push_back(T);
    return true;
  });
  return temperatures;
}

std::size_t temperatureCount(float T_max, std::size_t limit) {
  std::size_t count = 0;
  forEachTemperature(T_max, [&](float) { return ++count <= limit; });
  return count;
}

bool runTemperatureSweep(const ParameterSet& p, const model::Console& console, const Evaluations& evaluations) {
  const model::ModelParameters physics = parameters::modelParameters(p);
  if (!zfcfc::zfcfcGridHasNormalisationNode(physics, p.m)) {
    console.err << "the ZFC/FC grid (m=" << p.m << ", T_max=" << p.T_max << ", mu0=" << p.mu0 << ", ha=" << p.ha
                << ") has no node inside its normalisation rectangle: " << degenerateGridCause(p)
                << "; the temperature sweep is skipped" << std::endl;
    return false;
  }
  if (temperatureCount(p.T_max, kMostTemperatures) > kMostTemperatures) {
    console.err << "T_max=" << p.T_max << " K asks for more than " << kMostTemperatures
                << " temperatures in steps of 10 K; the temperature sweep is skipped" << std::endl;
    return false;
  }
  if (!(p.Tc > 95.0f))
    console.err << "Tc=" << p.Tc << " K is not above 95 K: the fixed temperatures 5 to 95 K of the sweep reach Tc, "
                << "where the scaling law is undefined; those points come out as nan" << std::endl;
  const char* const skipped = "the temperature sweep is skipped";
  const std::unique_ptr<ResultFile> zfcFc = ResultFile::create(kZfcFcFileName, skipped, console);
  if (zfcFc == nullptr) return false;
  const std::unique_ptr<ResultFile> separate = ResultFile::create(kSeparateFileName, skipped, console);
  if (separate == nullptr) return false;
  // The temperatures are independent: summed a few per sweep of the grid,
  // the sweeps spread over all cores, the points printed in order.
  const std::vector<float> temperatures = temperatureSchedule(p.T_max);
  // Points that are not finite are still written as they are, and said
  // once at the end: the first one's temperature and Norm_coeff name the
  // likely cause.
  std::size_t nonFinite = 0;
  float firstT = 0.0f;
  double firstNorm_coeff = 0.0;
  const std::vector<std::size_t> firsts =
      zfcfc::sweepGroups(temperatures.size(), evaluations.temperaturesPerSweep, model::coresFor(evaluations.threads));
  computeInOrder<std::vector<zfcfc::ZfcFcPointValues>>(
      evaluations.threads, firsts.size() - 1,
      [&](std::size_t k) {
        const auto at = [&](std::size_t n) { return temperatures.begin() + static_cast<std::ptrdiff_t>(n); };
        return evaluations.zfcfcPoints(physics, p.m, std::vector<float>(at(firsts[k]), at(firsts[k + 1])));
      },
      [&](std::size_t k, const std::vector<zfcfc::ZfcFcPointValues>& points) {
        for (std::size_t n = 0; n < points.size(); ++n) {
          const float T = temperatures[firsts[k] + n];
          const float hts_T = static_cast<float>(model::thermalField(T, p.mu0));
          console.out << "hts_T=" << hts_T << std::endl;
          printZfcFcPoint(console, zfcFc->handle(), separate->handle(), T, points[n]);
          if (!finitePoint(points[n]) && nonFinite++ == 0) firstT = T, firstNorm_coeff = points[n].Norm_coeff;
        }
      });
  const bool curves = zfcFc->commit(console);
  const bool integrals = separate->commit(console);
  if (nonFinite > 0)
    console.err << "warning: the ZFC/FC curves are not finite at " << nonFinite << " of " << temperatures.size()
                << " temperatures (nan or inf in " << dataFilePath(kZfcFcFileName)
                << "): " << zfcFcNonFiniteCause(physics, firstT, firstNorm_coeff) << std::endl;
  return curves && integrals && nonFinite == 0;
}

}  // namespace preisach::driver
