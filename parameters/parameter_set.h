#pragma once

#include <cstdint>

#include "model/model_parameters.h"

namespace preisach::parameters {

// The 24 values of the parameter file, named after their echo labels (the
// file's order is the table of parameterFields()): the model's physics and
// what belongs to the run alone, the grid's m, MC_err and the three flags.
// Before the first read every number is 0 and every letter a blank.
struct ParameterSet : model::ModelParameters {
  ParameterSet() { PDF = static_cast<model::DensityShape>(' '); }

  std::int32_t m = 0;   // grid divisions per axis before refinement
  float MC_err = 0.0f;  // read and echoed only
  char Calculate_ZFCFC = ' ';
  char Calculate_Hysteresis = ' ';
  char Calculate_PDF = ' ';
};

}  // namespace preisach::parameters
