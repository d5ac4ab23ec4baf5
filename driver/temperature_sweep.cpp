#include "driver/temperature_sweep.h"

#include <cstdio>
#include <ostream>
#include <vector>

#include "driver/data_directory.h"
#include "driver/ordered_parallel.h"
#include "driver/output_files.h"
#include "model/thermal.h"
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

}  // namespace

std::vector<float> temperatureSchedule(float T_max) {
  std::vector<float> temperatures;
  for (float T = 5.0f; T < 100.0f; T = T + 5.0f) temperatures.push_back(T);
  for (float T = 110.0f; T <= T_max;) {
    temperatures.push_back(T);
    const float next = T + 10.0f;
    if (next == T) break;
    T = next;
  }
  return temperatures;
}

void runTemperatureSweep(const ParameterSet& p, const model::Console& console, const Evaluations& evaluations) {
  if (!zfcfc::zfcfcGridHasNormalisationNode(p.T_max, p.mu0, p.ha, p.m, p.sigmac0, p.sigmai0)) {
    console.err << "the ZFC/FC grid (m=" << p.m << ", T_max=" << p.T_max << ", mu0=" << p.mu0 << ", ha=" << p.ha
                << ") has no node inside its normalisation rectangle: " << degenerateGridCause(p)
                << "; the temperature sweep is skipped" << std::endl;
    return;
  }
  if (!(p.Tc > 95.0f))
    console.err << "Tc=" << p.Tc << " K is not above 95 K: the fixed temperatures 5 to 95 K of the sweep reach Tc, "
                << "where the scaling law is undefined; those points come out as nan" << std::endl;
  const std::unique_ptr<ResultFile> zfcFc = ResultFile::create(kZfcFcFileName, console);
  if (zfcFc == nullptr) return;
  const std::unique_ptr<ResultFile> separate = ResultFile::create(kSeparateFileName, console);
  if (separate == nullptr) return;
  // The temperatures are independent: computed on all cores, printed in order.
  const std::vector<float> temperatures = temperatureSchedule(p.T_max);
  computeInOrder<zfcfc::ZfcFcPointValues>(
      evaluations.threads, temperatures.size(),
      [&](std::size_t k) {
        return evaluations.zfcfcPoint(p.T_max, temperatures[k], p.Tc, p.mu0, p.Gamma, p.ha, p.hc0_mean, p.Gamma_c,
                                         p.sigmac0, p.Gamma_cprim, p.sigmai0, p.Gamma_i, p.km, p.N, p.m, p.PDF);
      },
      [&](std::size_t k, const zfcfc::ZfcFcPointValues& v) {
        const float hts_T = static_cast<float>(model::thermalField(temperatures[k], p.mu0));
        console.out << "hts_T=" << hts_T << std::endl;
        zfcfc::printZfcFcPoint(console, zfcFc->handle(), separate->handle(), temperatures[k], v);
      });
  zfcFc->commit(console);
  separate->commit(console);
}

}  // namespace preisach::driver
