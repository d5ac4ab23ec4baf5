#include "driver/hysteresis_loop.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <vector>

#include "driver/ordered_parallel.h"
#include "driver/output_files.h"
#include "model/grid.h"
#include "model/library_math.h"
#include "parameters/data_directory.h"

namespace preisach::driver {

namespace {

using model::Extended;

constexpr double kSnapWindow = 1e-10;   // Oe: a field this close to 0 is 0
constexpr double kStepFraction = 0.05;  // of Ha_max per field step

Extended fieldStep(float Ha_max) {
  return static_cast<Extended>(Ha_max) * static_cast<Extended>(kStepFraction);
}

float snapped(float field) {
  return -kSnapWindow < static_cast<double>(field) && static_cast<double>(field) < kSnapWindow ? 0.0f : field;
}

}  // namespace

bool hasFieldRange(float Ha_max) {
  return Ha_max > 0.0f && !(fieldStep(Ha_max) < static_cast<Extended>(kSnapWindow));
}

std::vector<float> fieldSchedule(float Ha_max, hysteresis::Branch branch) {
  std::vector<float> fields;
  if (!hasFieldRange(Ha_max) || branch == hysteresis::Branch::None) return fields;
  const Extended step = fieldStep(Ha_max);
  if (branch == hysteresis::Branch::Descending) {
    for (float field = Ha_max; field >= -Ha_max;) {
      field = snapped(field);
      fields.push_back(field);
      field = static_cast<float>(static_cast<Extended>(field) - step);
    }
  } else {
    for (float field = -Ha_max; field <= Ha_max;) {
      field = snapped(field);
      fields.push_back(field);
      field = static_cast<float>(step + static_cast<Extended>(field));
    }
  }
  return fields;
}

double densityMapBytes(const ParameterSet& p) {
  const model::GridAxis hc = model::makeGridAxis(0.0, p.Ha_max, p.m, p.sigmac0);
  const model::GridAxis hi = model::makeGridAxis(-static_cast<double>(p.Ha_max), p.Ha_max, p.m, p.sigmai0);
  // "1.000000e-01 -8.000000e-01 1.066847e-01\n": 40 bytes a row.
  constexpr double kRowBytes = 40.0;
  return static_cast<double>(std::max(hc.count - 2, 0)) * static_cast<double>(std::max(hi.count - 2, 0)) * kRowBytes;
}

namespace {

// A map larger than the free space of the data directory is refused before
// anything is computed: says so and returns true.
bool mapWouldNotFit(const ParameterSet& p, const model::Console& console) {
  const double bytes = densityMapBytes(p);
  std::error_code error;
  const std::filesystem::space_info space = std::filesystem::space(kDataDirectory, error);
  if (error || bytes <= static_cast<double>(space.available)) return false;
  console.err << "the density map would take about " << bytes / 1e9 << " GB, more than the "
              << static_cast<double>(space.available) / 1e9 << " GB free in " << kDataDirectory << "; "
              << dataFilePath(kDensityMapFileName) << " is not written, the loop is computed" << std::endl;
  return true;
}

}  // namespace

bool runHysteresisLoop(const ParameterSet& p, const model::Console& console, const Evaluations& evaluations) {
  // The map is optional: without it the loop is still computed.
  bool complete = true;
  std::unique_ptr<ResultFile> map;
  if (isOn(p.Calculate_PDF)) {
    if (mapWouldNotFit(p, console))
      complete = false;
    else
      map = ResultFile::create(kDensityMapFileName, "the map is not written, the loop is computed", console);
    if (map == nullptr) complete = false;
  }
  std::int32_t countedNodes = 0;
  const float Norm_coeff = static_cast<float>(
      evaluations.normalise(console, map != nullptr ? map->handle() : nullptr, p.Tc, p.mu0, p.Gamma, p.ha, p.hc0_mean,
                            p.Gamma_c, p.sigmac0, p.Gamma_cprim, p.sigmai0, p.Gamma_i, p.km, p.N, p.m, p.PDF, p.T_hyst,
                            p.Ha_max, map != nullptr ? p.Calculate_PDF : 'n', &countedNodes));
  if (map != nullptr && !map->commit(console)) complete = false;
  if (countedNodes == 0) complete = false;  // reported by the normalisation
  const std::unique_ptr<ResultFile> moment =
      ResultFile::create(kMomentFileName, "the hysteresis loop is skipped", console);
  if (moment == nullptr) return false;
  if (!hasFieldRange(p.Ha_max)) {
    console.err << "Ha_max=" << p.Ha_max << ": the hysteresis loop has no field range (Ha_max must be positive "
                << "and at least 2e-09 Oe); " << dataFilePath(kMomentFileName) << " holds no point" << std::endl;
    complete = false;
  } else if (countedNodes > 0) {
    if (p.lambda == 0.0f)
      console.err << "lambda=0: the reversible term tanh((|ha| + s) / lambda) is a step of height N mu at every "
                  << "field but 0" << std::endl;
    const Evaluations::BranchPoints descending = evaluations.branch(p, p.Ha_max, Norm_coeff);
    const Evaluations::BranchPoints ascending = evaluations.branch(p, -p.Ha_max, Norm_coeff);
    const std::vector<float> down = fieldSchedule(p.Ha_max, hysteresis::Branch::Descending);
    const std::vector<float> up = fieldSchedule(p.Ha_max, hysteresis::Branch::Ascending);
    const auto fieldAt = [&](std::size_t k) { return k < down.size() ? down[k] : up[k - down.size()]; };
    computeInOrder<hysteresis::HysteresisPointValues>(
        evaluations.threads, down.size() + up.size(),
        [&](std::size_t k) { return (k < down.size() ? descending : ascending)(fieldAt(k)); },
        [&](std::size_t k, const hysteresis::HysteresisPointValues& v) {
          const float field = fieldAt(k);
          hysteresis::printHysteresisPoint(console, moment->handle(), field, Norm_coeff, v);
          console.out << "ha=" << field << (k < down.size() ? "M+=" : " M-=") << static_cast<float>(v.M) << std::endl;
        });
  }
  return moment->commit(console) && complete;
}

}  // namespace preisach::driver
