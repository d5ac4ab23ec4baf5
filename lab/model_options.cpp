#include "lab/model_options.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "measured/data_error.h"
#include "parameters/parameters.h"

namespace preisach::lab {

void addModelOptions(CLI::App* command, ModelOptions& options) {
  command
      ->add_option("--model", options.model,
                   "continuum: the grid sums' limit m -> infinity, every integral to the relative tolerance --tol; "
                   "grid: the program's own sums on the parameter file's m, bit for bit its values")
      ->capture_default_str();
  command
      ->add_option("--tol", options.tolerance,
                   "relative tolerance of the continuum's integrals, from 1e-14 (double arithmetic's limit) up to 1")
      ->capture_default_str();
}

curves::ModelChoice chosenModel(const ModelOptions& options, std::int32_t m) {
  const std::string& text = options.tolerance;
  char* end = nullptr;
  const double tolerance = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size())
    throw measured::DataError("--tol: \"" + parameters::escapedText(text.substr(0, 80)) + "\" is not a number");
  try {
    return curves::modelChoice(options.model, tolerance, m);
  } catch (const std::invalid_argument& e) {
    throw measured::DataError(e.what());
  }
}

}  // namespace preisach::lab
