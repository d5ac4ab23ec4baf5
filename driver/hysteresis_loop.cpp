#include "driver/hysteresis_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <vector>

#include "driver/console_lines.h"
#include "driver/non_finite.h"
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
  // The whole loop is computed at once; its lines are printed after, in the
  // order of a sequential run.
  const bool fields = hasFieldRange(p.Ha_max);
  const std::vector<float> down =
      fields ? fieldSchedule(p.Ha_max, hysteresis::Branch::Descending) : std::vector<float>{};
  const std::vector<float> up = fields ? fieldSchedule(p.Ha_max, hysteresis::Branch::Ascending) : std::vector<float>{};
  const LoopRun run = evaluations.loop(parameters::modelParameters(p), p.m, down, up,
                                       map != nullptr ? map->handle() : nullptr, evaluations.threads);
  const hysteresis::LoopValues& loop = run.values;
  printNormalisation(console, loop.normalisation);
  const std::int32_t countedNodes = loop.normalisation.rectangle.count;
  if (map != nullptr && !map->commit(console, run.mapWriteError)) complete = false;
  if (countedNodes == 0) complete = false;  // reported by the normalisation
  const std::unique_ptr<ResultFile> moment =
      ResultFile::create(kMomentFileName, "the hysteresis loop is skipped", console);
  if (moment == nullptr) return false;
  if (!fields) {
    console.err << "Ha_max=" << p.Ha_max << ": the hysteresis loop has no field range (Ha_max must be positive "
                << "and at least 2e-09 Oe); " << dataFilePath(kMomentFileName) << " holds no point" << std::endl;
    complete = false;
  } else if (countedNodes > 0) {
    if (p.lambda == 0.0f)
      console.err << "lambda=0: the reversible term tanh((|ha| + s) / lambda) is a step of height N mu at every "
                  << "field but 0" << std::endl;
    const float Norm_coeff = static_cast<float>(loop.normalisation.Norm_coeff);
    std::size_t nonFinite = 0;
    const auto print = [&](const std::vector<float>& branchFields,
                           const std::vector<hysteresis::HysteresisPointValues>& points, const char* label) {
      for (std::size_t k = 0; k < points.size(); ++k) {
        printHysteresisPoint(console, moment->handle(), branchFields[k], Norm_coeff, points[k]);
        console.out << "ha=" << branchFields[k] << label << static_cast<float>(points[k].M) << std::endl;
        const hysteresis::HysteresisPointValues& v = points[k];
        if (!std::isfinite(v.M) || !std::isfinite(v.irreversibleColumn) || !std::isfinite(v.reversibleColumn))
          ++nonFinite;
      }
    };
    print(down, loop.descending, "M+=");
    print(up, loop.ascending, " M-=");
    // The rows stay as computed; the warning names the likely cause.
    if (nonFinite > 0) {
      console.err << "warning: the hysteresis loop is not finite at " << nonFinite << " of "
                  << loop.descending.size() + loop.ascending.size() << " fields (nan or inf in "
                  << dataFilePath(kMomentFileName)
                  << "): " << loopNonFiniteCause(parameters::modelParameters(p), static_cast<double>(Norm_coeff))
                  << std::endl;
      complete = false;
    }
  }
  return moment->commit(console) && complete;
}

}  // namespace preisach::driver
