#pragma once

#include <limits>
#include <string>
#include <vector>

#include "model/model_parameters.h"
#include "parameters/parameter_fields.h"

namespace preisach::fitting {

// What keeps a parameter physical whatever the data say: the parameter
// table's own bounds.
using Physical = parameters::PhysicalBound;

// A value of ModelParameters that a fit may vary: its name in the parameter
// file, its unit and what keeps it physical, as the parameter table gives
// them.
struct FittableParameter {
  const char* name;
  float model::ModelParameters::*member;
  const char* unit;  // "" for a pure number
  Physical physical;
};

// The fittable fields of the parameter table, in the order of the file.
const std::vector<FittableParameter>& fittableParameters();

// A parameter the fit varies, with its bounds (infinite where there is none).
struct FreeParameter {
  const FittableParameter* parameter = nullptr;
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
  const char* name() const { return parameter->name; }
  double valueIn(const model::ModelParameters& p) const { return static_cast<double>(p.*(parameter->member)); }
};

// Parses "NAME[=LO:HI][,NAME[=LO:HI]...]" (either bound may be left out),
// adding the physical bounds where none is given. Throws measured::DataError
// for a name not in the table, a name given twice, a bound that is not a
// number, an empty range or a start outside its range.
std::vector<FreeParameter> parseFreeParameters(const std::string& text,
                                               const model::ModelParameters& start,
                                               double highestTemperature);

}  // namespace preisach::fitting
