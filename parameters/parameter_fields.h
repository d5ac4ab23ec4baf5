#pragma once

#include <cstdint>
#include <vector>

#include "model/model_parameters.h"
#include "parameters/parameter_set.h"

namespace preisach::parameters {

enum class FieldKind {
  Real,     // a float32 number
  Integer,  // the grid's m, a 32-bit integer
  Flag,     // one character; on only when it is the lower-case y
  Shape,    // the density's letter
};

// What a fit may assume of a value beyond the bounds it is given.
enum class PhysicalBound {
  None,
  Positive,           // a width, a moment, an amplitude, a field scale: 0 divides by zero
  UnitInterval,       // a weight in [0, 1]
  AboveTemperatures,  // Tc: above every temperature the model is evaluated at
};

// One value of the parameter file. The reader, the echo, the record
// writer, the fit's names and bounds and the tests' lists are all
// generated from the table of these.
struct ParameterField {
  const char* name;   // as in ParameterSet, ModelParameters and the fit's options
  const char* label;  // the echo label, printed exactly so
  const char* unit;   // "K", "Oe", "emu", or "" for a pure number
  FieldKind kind;
  float ParameterSet::*real;                 // Real fields
  std::int32_t ParameterSet::*integer;       // Integer
  char ParameterSet::*letter;                // Flag
  model::DensityShape ParameterSet::*shape;  // Shape
  float model::ModelParameters::*physics;    // the same value in the model's description, if it is one
  bool fittable;                             // a fit may vary it
  PhysicalBound bound;
  // For T_max and T_hyst: read at or above Tc, the value is lowered to
  // Tc - 10 with this message (which names T_max for both; it is printed
  // exactly so).
  const char* lowered;
  const char* meaning;  // what the value is, in words for help and pages
};

// The 24 fields in file order.
const std::vector<ParameterField>& parameterFields();

// The field of that name, or nullptr.
const ParameterField* findParameterField(const std::string& name);

// The physics of a parameter record, and the record with its physics
// replaced (m, MC_err and the flags kept).
model::ModelParameters modelParameters(const ParameterSet& p);
void setModelParameters(ParameterSet& p, const model::ModelParameters& physics);

}  // namespace preisach::parameters
