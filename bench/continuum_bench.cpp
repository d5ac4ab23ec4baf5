// The continuum limit's time for the default parameter file's ZFC/FC sweep
// (tolerance 1e-10), its loop of 82 fields, and 100 FORC curves; each case
// the best of several runs on one core.
//
//   continuum_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "continuum/continuum.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "support/parameter_records.h"

namespace {

using preisach::continuum::Physics;

preisach::model::ModelParameters defaultFile() {
  std::ifstream file(PREISACH_SOURCE_DIR "/Magnetism/Parameters.txt");
  std::ostringstream text;
  text << file.rdbuf();
  return preisach::parameters::modelParameters(preisach::support::parametersFrom(text.str()));
}

// The best of `runs` timings of `work`, in seconds; `work` returns a value
// that is kept so that nothing is optimised away.
template <typename Work>
double bestOf(int runs, Work work, double& kept) {
  double best = 1e300;
  for (int k = 0; k < runs; ++k) {
    const auto began = std::chrono::steady_clock::now();
    kept += work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  }
  return best;
}

}  // namespace

int main() {
  namespace c = preisach::continuum;
  const preisach::model::ModelParameters p = defaultFile();
  const Physics<double> physics = c::physicsFrom<double>(p);
  double kept = 0.0;

  std::vector<double> temperatures;
  for (float T : preisach::driver::temperatureSchedule(p.T_max)) temperatures.push_back(static_cast<double>(T));
  const double sweep = bestOf(
      10, [&] { return c::zfcFcPoints(physics, temperatures).back().M_ZFC; }, kept);
  std::printf("ZFC/FC sweep of Magnetism/Parameters.txt: %zu temperatures in %.2f ms (goal: under 5 ms)\n",
              temperatures.size(), sweep * 1e3);

  std::vector<float> fields = preisach::driver::fieldSchedule(p.Ha_max, preisach::hysteresis::Branch::Descending);
  const std::size_t down = fields.size();
  for (float field : preisach::driver::fieldSchedule(p.Ha_max, preisach::hysteresis::Branch::Ascending))
    fields.push_back(field);
  const double loop = bestOf(
      10,
      [&] {
        const c::LoopModel<double> model(physics);
        double sum = 0.0;
        for (std::size_t k = 0; k < fields.size(); ++k)
          sum +=
              model
                  .point(fields[k], k < down ? preisach::model::Branch::Descending : preisach::model::Branch::Ascending)
                  .M;
        return sum;
      },
      kept);
  std::printf("loop: %zu fields with the normalisation in %.3f ms (goal: under 1 ms)\n", fields.size(), loop * 1e3);

  // 100 reversal fields Hr from +Ha_max to -Ha_max, each curve up to +Ha_max.
  const double step = 2.0 * static_cast<double>(p.Ha_max) / 99.0;
  std::size_t moments = 0;
  const double forc = bestOf(
      3,
      [&] {
        const std::vector<c::ForcCurve> curves = c::forcCurves(physics, step);
        moments = 0;
        for (const c::ForcCurve& curve : curves) moments += curve.M.size();
        return curves.back().M.back();
      },
      kept);
  std::printf("FORC: 100 curves (step %.1f Oe), %zu moments in %.3f s, %.2f us per moment (goal: 100 x 100 in 0.1 s)\n",
              step, moments, forc, forc / static_cast<double>(moments) * 1e6);
  return kept == 0.0 ? 1 : 0;
}
