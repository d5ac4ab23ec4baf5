#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fitting/least_squares.h"

namespace preisach::fitting {

// The model's curves for the datasets at a set of physical parameters.
using CurvesOf = std::function<std::vector<std::vector<double>>(const model::ModelParameters&)>;

// A start from the data, for the free parameters the data tell:
// - a loop's coercive field (where its descending branch crosses M = 0) is
//   the mean coercive field there: hc0_mean = Hc / (1 - T/Tc)^Gamma_c;
// - a loop's saturation is N mu(T): N, or else mu0, from its largest |M|;
// - the ZFC maximum at T_B is where half the thermal field 25 kB T_B / mu0
//   reaches the mean coercive field: mu0 from it, or hc0_mean where the
//   loop has not set it;
// - the model is linear in N: N last, by linear least squares on all data.
// Every value is kept within its bounds; `notes` says what was taken.
model::ModelParameters startFromData(const model::ModelParameters& start,
                                     const std::vector<FreeParameter>& free,
                                     const std::vector<Dataset>& data,
                                     const CurvesOf& curves,
                                     std::vector<std::string>& notes);

// `count` points of a Latin hypercube over the bounds in scaled
// coordinates (a fixed seed: the same starts every run). Where a bound is
// missing, a factor of three about x0 for a positive parameter, +-1 about
// it (the start's magnitude) otherwise.
std::vector<std::vector<double>> spreadStarts(const Scaling& scaling, const std::vector<double>& x0, int count);

}  // namespace preisach::fitting
