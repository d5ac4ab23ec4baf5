#pragma once

#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "parameters/parameters.h"

namespace preisach::fitting {

// A parameter the fit varies, by its name in the parameter file, with its
// bounds (infinite where there is none).
struct FreeParameter {
  const parameters::NamedValue* value = nullptr;
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
};

// Parses "NAME[=LO:HI][,NAME[=LO:HI]...]" (either bound may be left out),
// adding the physical bounds of a parameter where none is given: widths,
// mu0, N and lambda positive, f in [0, 1], Tc above every temperature the
// model is evaluated at. Throws measured::DataError for a name that is not
// a continuous parameter, a bound that is not a number, or an empty range.
std::vector<FreeParameter> parseFreeParameters(const std::string& text,
                                               const parameters::ParameterSet& start,
                                               double highestTemperature);

struct FitOptions {
  std::vector<FreeParameter> free;
  int starts = 1;                    // the given start, and starts - 1 spread over the bounds
  unsigned threads = 0;              // cores for the model evaluations; 0: all
  std::ostream* progress = nullptr;  // one line per iteration
};

// A local minimum reached from one start.
struct Minimum {
  double chiSquare = 0.0;
  std::vector<double> values;
  bool converged = false;
};

struct FitResult {
  parameters::ParameterSet best;
  std::vector<std::string> names;
  std::vector<double> start;   // the given start of each free parameter
  std::vector<double> values;  // the best fit
  std::vector<double> errors;  // standard errors, NaN where not determined
  std::vector<std::vector<double>> correlation;
  std::vector<double> steps;       // relative finite-difference step of each parameter
  std::vector<double> modelNoise;  // the model's jitter against each parameter, in units of sigma
  double chiSquare = 0.0;
  std::size_t points = 0;
  int evaluations = 0;  // model evaluations of all the points
  int iterations = 0;
  double seconds = 0.0;
  double conditionNumber = 0.0;
  double gridError = 0.0;                  // rms change of the model with m doubled, in units of the data's sigma
  bool measuredErrors = false;             // every dataset's sigma from its file, else relative weights
  bool gridInWeights = false;              // that change joined each point's sigma
  std::vector<std::vector<double>> sigma;  // the sigma of each point in the final fit
  bool converged = false;
  std::string termination;
  int starts = 1;
  std::vector<Minimum> minima;             // distinct minima over all starts, best first
  std::vector<std::vector<double>> model;  // at the best fit, per dataset and point
  std::vector<std::string> warnings;
};

// Weighted least squares of (model - data) / sigma over all datasets at
// once, with Ceres' bounded Levenberg-Marquardt trust region; the Jacobian
// by central differences with steps measured on the model (see fit.cpp),
// its columns computed on all cores; the covariance by dense SVD, so a
// direction the data cannot determine gives NaN errors, never a crash.
FitResult fitParameters(const parameters::ParameterSet& start,
                        const std::vector<Dataset>& data,
                        const FitOptions& options);

// The report of a fit in the blocks of the common fitting libraries: fit
// statistics, variables with standard errors and starting values,
// correlations above 0.1, distinct minima, warnings.
void writeReport(std::ostream& out, const FitResult& result, const std::vector<Dataset>& data);

}  // namespace preisach::fitting
