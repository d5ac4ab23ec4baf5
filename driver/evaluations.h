#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "hysteresis/hysteresis_point.h"
#include "hysteresis/loop_pass.h"
#include "model/console.h"
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

// The grid computations a pass is made of. The program uses the fast ones;
// the tests and the benchmark put the node-by-node reference in their place
// to run the very same pass.
struct Evaluations {
  // The ZFC/FC points at several temperatures of a pass's schedule.
  using ZfcFcPoints = std::vector<zfcfc::ZfcFcPointValues> (*)(const ParameterSet& p,
                                                               const std::vector<float>& temperatures);
  // The normalisation and the points of both branches, the map written to
  // mapFile when that is given; on `threads` cores.
  using Loop = hysteresis::LoopValues (*)(const ParameterSet& p,
                                          const std::vector<float>& down,
                                          const std::vector<float>& up,
                                          std::FILE* mapFile,
                                          unsigned threads);

  ZfcFcPoints zfcfcPoints;
  Loop loop;
  // Cores the independent temperatures and branches are spread over; 0 for all.
  unsigned threads;
  // Temperatures summed together in one sweep of the ZFC/FC grid.
  std::size_t temperaturesPerSweep;
};

// The most temperatures per sweep of the ZFC/FC grid. Each adds two to five
// chains to every row, and more chains in flight hide more of the latency
// of each rounded addition, until the columns of density values and weights
// of a block no longer fit the first-level cache. Chosen from the
// benchmark's timings by group size (bench/whole_pass.cpp, "by most
// temperatures per sweep"): on the 3000 x 3000 case 8 was fastest, about
// 2.6 times faster than one temperature per sweep.
inline constexpr std::size_t kTemperaturesPerSweep = 8;

// The program's own: runs of rows over density tables, many regions and
// temperatures per sweep.
const Evaluations& fastEvaluations();

}  // namespace preisach::driver
