#pragma once

#include <string>
#include <vector>

#include "curves/model_choice.h"
#include "parameters/parameters.h"

// The checks the lab's commands make before they compute, for the Python
// module: the same refusals with the same messages, as measured::DataError
// (a ValueError in Python).
namespace preisach::python {

// The record in force of a parameter file's text, refused as the lab's
// readParameters refuses a file; `name` stands for the file in messages.
parameters::ParameterSet readParameterText(const std::string& name, const std::string& text);

// The evaluator by name, with the lab's message for a wrong name or tolerance.
curves::ModelChoice chooseModel(const std::string& name, double tolerance, std::int32_t m);

// The lab's refusal of a ZFC/FC sweep without a rectangle to normalise over.
void checkZfcFc(const parameters::ParameterSet& p, const curves::ModelChoice& choice);

// The lab's refusal of a loop without a field range.
void checkLoop(const parameters::ParameterSet& p);

// Temperatures (K) as float32, each positive and below Tc.
std::vector<float> checkedTemperatures(const std::vector<double>& T, float Tc);

// Fields (Oe) as float32, each within +-Ha_max.
std::vector<float> checkedFields(const std::vector<double>& H, float Ha_max);

// Throws measured::DataError when `path` exists and is not a regular file
// (or a link to one): a device, FIFO or socket is never replaced by a result.
void requireResultPath(const std::string& path);

}  // namespace preisach::python
