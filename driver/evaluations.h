#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "hysteresis/hysteresis_point.h"
#include "hysteresis/loop_pass.h"
#include "model/console.h"
#include "model/model_parameters.h"
#include "parameters/data_directory.h"
#include "parameters/parameters.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::driver {

using parameters::dataFilePath;
using parameters::isOn;
using parameters::kDataDirectory;
using parameters::kDensityMapFileName;
using parameters::KeyPause;
using parameters::kMomentFileName;
using parameters::kParameterFileName;
using parameters::kSeparateFileName;
using parameters::kZfcFcFileName;
using parameters::ParameterSet;

// A loop and how the writing of its density map went.
struct LoopRun {
  hysteresis::LoopValues values;
  int mapWriteError = 0;  // errno of the first failed write of the map, or 0
};

// The grid computations a pass is made of. The program uses the fast ones;
// the tests and the benchmark put the node-by-node reference in their place
// to run the very same pass.
struct Evaluations {
  // The ZFC/FC points at several temperatures of a pass's schedule.
  using ZfcFcPoints = std::vector<zfcfc::ZfcFcPointValues> (*)(const model::ModelParameters& p,
                                                               std::int32_t m,
                                                               const std::vector<float>& temperatures);
  // The normalisation and the points of both branches, the density map
  // written to mapFile meanwhile when that is given; on `threads` cores.
  using Loop = LoopRun (*)(const model::ModelParameters& p,
                           std::int32_t m,
                           const std::vector<float>& down,
                           const std::vector<float>& up,
                           std::FILE* mapFile,
                           unsigned threads);

  ZfcFcPoints zfcfcPoints;
  Loop loop;
  // Cores the independent temperatures and branches are spread over; 0 for all.
  unsigned threads;
  // The most temperatures summed together in one sweep of the ZFC/FC grid.
  std::size_t temperaturesPerSweep;
};

using zfcfc::kTemperaturesPerSweep;

// The program's own: runs of rows over density tables, many regions and
// temperatures per sweep.
const Evaluations& fastEvaluations();

}  // namespace preisach::driver
