#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "curves/model_choice.h"
#include "parameters/parameters.h"

namespace preisach::lab {

// The evaluation of the model a command uses, as given on its command line.
struct ModelOptions {
  std::string model = "continuum";
  std::string tolerance = "1e-10";
};

// --model continuum|grid and --tol, with their help.
void addModelOptions(CLI::App* command, ModelOptions& options);

// A whole number from lowest to highest, for an option counting `what`:
// anything else ("1e3", "2.5", "0") is refused with a message naming the
// option's range rather than the parser's bare "not in range".
CLI::Validator wholeNumberIn(long lowest, long highest, const std::string& what);

// The choice they name, the grid's m from the parameter file; a name not one
// of the two or a tolerance that is not a number in [1e-14, 1] throws
// measured::DataError with one line.
curves::ModelChoice chosenModel(const ModelOptions& options, std::int32_t m);

// The program's refusals of a ZFC/FC sweep (more temperatures than it
// computes, no rectangle to normalise over) and of a loop (no field range),
// as measured::DataError naming `name` (the parameter file).
void requireZfcFcSweep(const parameters::ParameterSet& p, const curves::ModelChoice& choice, const std::string& name);
void requireLoopFields(const parameters::ParameterSet& p, const std::string& name);

}  // namespace preisach::lab
