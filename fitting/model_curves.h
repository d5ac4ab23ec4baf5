#pragma once

#include <string>
#include <vector>

#include "measured/measured_data.h"
#include "model/model_parameters.h"
#include "parameters/parameters.h"

namespace preisach::fitting {

enum class CurveKind { Zfc, Fc, Loop };

// A measured curve as the fit sees it: the points, the weight of each (the
// standard error sigma of its moment) and what the model needs to compute
// it: the applied field of a ZFC/FC curve, the temperature of a loop and
// the branch of each loop point.
// The noise of a dataset without an error column, as the user states it: a
// share of each moment (relative) or one sigma in emu (absolute); none
// stated, the errors are estimated from the scatter about the fit.
struct NoiseModel {
  enum class Kind { Unstated, Relative, Absolute };
  Kind kind = Kind::Unstated;
  double value = 0.0;  // the share (0.01 for 1 %), or sigma in emu
};

struct Dataset {
  std::string name;  // "ZFC", "FC" or "loop", with its file, for the report
  CurveKind kind = CurveKind::Zfc;
  measured::Curve curve;
  std::vector<double> sigma;
  NoiseModel noise;              // for a curve without an error column
  std::string weights;           // how sigma was set, for the report
  bool measuredErrors = false;   // sigma known (the file's, or stated), else a uniform weight
  float field = 0.0f;            // Oe, ZFC and FC
  float temperature = 0.0f;      // K, loop
  std::string condition;         // where the field or temperature came from
  std::vector<bool> descending;  // loop
};

// The weight of each point: the file's standard errors (each must be
// positive); without an error column the stated noise (relative: sigma =
// share x |M|, never below the share of a thousandth of the largest |M|,
// so that points near M = 0 do not take all the weight; absolute: one
// sigma), else one sigma for every point, 1 % of the dataset's largest
// moment, the reported errors then scaled by the reduced chi-square. Throws
// measured::DataError naming the file and line.
void weigh(Dataset& d);

// The record the grid kernels take: `physics` with the grid divisions m
// and every other value of `file` (flags, MC_err).
parameters::ParameterSet gridParameters(const model::ModelParameters& physics,
                                        std::int32_t m,
                                        parameters::ParameterSet file = {});

// The physics of a parameter record.
model::ModelParameters physicsOf(const parameters::ParameterSet& p);

// The model's moment at every point of every dataset, for each parameter
// set: the ZFC/FC point of the program at each measured temperature (in the
// dataset's field, on the grid that T_max and m set), and the loop's point
// at each measured field on its branch, normalised at the dataset's
// temperature over Ha_max as the program does. Same arithmetic as the program, bit for bit. The
// points of all sets are computed on `threads` cores (0: all).
std::vector<std::vector<std::vector<double>>> modelCurves(const std::vector<parameters::ParameterSet>& sets,
                                                          const std::vector<Dataset>& data,
                                                          unsigned threads = 0);

}  // namespace preisach::fitting
