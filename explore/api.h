#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "parameters/parameters.h"

// The numbers the explore page draws, as JSON: what the lab's commands
// compute, from the same code, every double exactly (JSON numbers that read
// back to the same bits).
namespace preisach::explore {

// The record `start` with the values named in `values` (parameter names of
// the file, values as text) put in its place, read back by the program's
// own reader and the lab's checks of a ZFC/FC sweep and a loop. Throws
// measured::DataError naming the value for an unknown name, a value the
// reader refuses or a record the program would refuse.
parameters::ParameterSet recordWith(const parameters::ParameterSet& start,
                                    const std::map<std::string, std::string>& values);

// The record's parameters (name, unit, label, value, whether a fit may
// vary it) and the measured datasets (name, kind, x, M, sigma, field or
// temperature).
nlohmann::json recordJson(const parameters::ParameterSet& p, const std::vector<fitting::Dataset>& data);

// The curves `preisach-lab curves` writes for the record on the continuum
// limit at the relative tolerance: T, M_ZFC, M_FC and the nine separate
// integrals of each temperature (when the record's ZFC/FC flag is on), H,
// M, (1 - f) M_irr and f M_rev of the loop (when its loop flag is on).
// Throws lab::ComputationError for numbers that are not finite.
nlohmann::json curvesJson(const parameters::ParameterSet& p, double tolerance);

}  // namespace preisach::explore
