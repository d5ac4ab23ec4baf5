#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

#include "hysteresis/hysteresis_point.h"
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
  // The ZFC/FC point, with the arguments of evaluateZfcFcPoint.
  using ZfcFcPoint = zfcfc::ZfcFcPointValues (*)(float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 float,
                                                 std::int32_t,
                                                 model::DensityShape);
  // The normalisation, with the arguments of normaliseDensity.
  using Normalisation = double (*)(const model::Console&,
                                   std::FILE*,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   float,
                                   std::int32_t,
                                   model::DensityShape,
                                   float,
                                   float,
                                   char,
                                   std::int32_t*);
  // The points of one branch (ha_max = +Ha_max or -Ha_max) at any field.
  using BranchPoints = std::function<hysteresis::HysteresisPointValues(float ha)>;
  using Branch = BranchPoints (*)(const ParameterSet& p, float ha_max, float Norm_coeff);

  ZfcFcPoint zfcfcPoint;
  Normalisation normalise;
  Branch branch;
  // Cores the independent temperatures and fields are spread over; 0 for all.
  unsigned threads;
};

// The program's own: runs of rows over density tables, a branch's triangle
// summed once.
const Evaluations& fastEvaluations();

}  // namespace preisach::driver
