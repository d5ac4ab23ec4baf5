#include "driver/evaluations.h"

#include "driver/density_map.h"

namespace preisach::driver {

namespace {

// The loop kernel with the map written beside its sums.
LoopRun loopWithMap(const model::ModelParameters& p,
                    std::int32_t m,
                    const std::vector<float>& down,
                    const std::vector<float>& up,
                    std::FILE* mapFile,
                    unsigned threads) {
  LoopRun run;
  const model::RectangleTask writeMap = [&](const model::RectangleNodes& nodes) {
    run.mapWriteError = writeDensityMap(mapFile, nodes);
  };
  run.values = hysteresis::evaluateLoop(p, m, down, up, mapFile != nullptr ? writeMap : nullptr, threads);
  return run;
}

}  // namespace

const Evaluations& fastEvaluations() {
  static const Evaluations evaluations{zfcfc::evaluateZfcFcPoints, loopWithMap, 0, kTemperaturesPerSweep};
  return evaluations;
}

}  // namespace preisach::driver
