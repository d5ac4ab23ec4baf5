#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "fitting/background.h"
#include "fitting/fit_limits.h"
#include "fitting/free_parameters.h"
#include "fitting/model_curves.h"
#include "fitting/uncertainty.h"

namespace preisach::fitting {

// The model the fit compares with the data: the continuum limit of the
// program's grid sums (exact to a tolerance, differentiable), or the
// program's own grid at the parameter file's m.
enum class ModelKind { Continuum, Grid };

// The continuum's relative tolerance: the default, and the smallest that
// double arithmetic can honour in the sums of its integrals.
constexpr double kDefaultTolerance = 1e-10;
constexpr double kSmallestTolerance = 1e-14;

struct FitOptions {
  ModelKind model = ModelKind::Continuum;
  double tolerance = kDefaultTolerance;  // continuum
  std::int32_t m = 0;                    // grid divisions: the grid model, and the comparison at the end
  std::vector<FreeParameter> free;
  bool startFromData = true;  // see startFromData in starts.h
  int starts = 1;             // the start, and starts - 1 spread over the bounds
  unsigned threads = 0;       // cores for the grid model; 0: all
  std::ostream* progress = nullptr;
  FitLimits limits;             // iterations, time, a stop flag; progress lines' interval
  BackgroundChoice background;  // terms fitted with the particles; none by default
};

// A point where a descent ended with a small gradient; starts that ended at
// the same point within its errors are one minimum.
struct Minimum {
  double chiSquare = 0.0;
  std::vector<double> values;
  int starts = 0;
  bool held = false;  // reached with the undetermined values held at the parameter file's
};

struct FitResult {
  model::ModelParameters best;
  ModelKind modelKind = ModelKind::Continuum;
  double tolerance = 0.0;
  std::int32_t m = 0;
  std::vector<std::string> names, units;
  std::vector<double> start;   // the first start of each free parameter
  std::vector<double> values;  // the best fit
  std::vector<double> errors;  // standard errors, NaN where not determined
  std::vector<std::vector<double>> correlation;
  std::vector<std::string> undetermined;  // what the data do not determine, in words
  // Per free parameter: not determined by the data, so held at the
  // parameter file's value while the others were fitted again.
  std::vector<bool> keptAtStart;
  std::vector<std::string> startNotes;  // what the start took from the data
  double chiSquare = 0.0;
  double newtonDecrement = 0.0;  // chi-square a further Gauss-Newton step would gain
  double conditionNumber = 0.0;
  std::size_t points = 0;
  int iterations = 0;
  double seconds = 0.0;
  bool measuredErrors = false;  // every dataset's sigma from its file, else relative weights
  bool converged = false;       // ended at a minimum
  std::string stopped;          // why a limit or an interrupt ended the fit early; "" when none did
  bool compared = false;        // no fit: the record compared with the data
  std::string termination;
  int starts = 1;
  int stalled = 0;                                    // starts whose descent ended where the gradient was not small
  std::vector<Minimum> minima;                        // best first
  std::vector<std::vector<double>> model;             // at the best fit, per dataset and point (background included)
  std::vector<BackgroundTerm> background;             // the background's fitted terms; empty without one
  std::vector<std::vector<double>> backgroundValues;  // the background's part of model
  std::vector<std::vector<double>> sigma;             // the sigma of each point
  std::vector<double> gridDeparture;                  // per dataset: max |M_grid - M_fit| / max |M_fit| at m
  std::vector<bool> gridNotFinite;                    // per dataset: the grid at m gives nan or inf somewhere
  std::vector<double> gridNeededM;                    // per dataset: the m at which the departure is the data's error
  std::vector<std::string> warnings;
  // What the data cannot tell apart by their kind (exact symmetries of the
  // model on such data), and the combinations a fit determines where their
  // parts are not, with value and error; in words for the report.
  std::vector<std::string> symmetries;
  std::vector<std::string> combinations;
  // The grid m at which the program's curves meet the data's error (0 when
  // not worked out; above the program's limit when no m does), and the
  // program's time on the fitted record at that m (s; 0 when not measured).
  std::int32_t neededM = 0;
  bool gridUnforetold = false;  // a dataset's departure too large to foretell an m from
  double programSeconds = 0.0;
};

// The data's points, when they are more than the parameters the fit
// determines (the free ones and the background's); else throws
// measured::DataError: the curves would pass through every point, leaving
// nothing to judge the fit by.
std::size_t pointsForParameters(const std::vector<Dataset>& data, const FitOptions& options);

// Weighted least squares of (model - data) / sigma over all datasets at
// once, with Ceres' bounded Levenberg-Marquardt trust region. One set of
// physical parameters for all datasets; each dataset carries its own field
// (ZFC/FC) or temperature (loop).
FitResult fitParameters(const model::ModelParameters& start,
                        const std::vector<Dataset>& data,
                        const FitOptions& options);

// No fit: the record `physics` against the data, as a fit's result with no
// free parameter (its curves, sigma, chi-square and the statistical
// warnings), for the same report, curves and picture.
FitResult compareRecord(const model::ModelParameters& physics,
                        const std::vector<Dataset>& data,
                        const FitOptions& options);

// The program's grid at m against the continuum at the fitted values (the
// fitted curves of a continuum fit; the background, which the program does
// not compute, left out): per dataset, the largest |M_grid - M_cont| over
// the largest |M_cont|, and the m at which it falls to the data's smallest
// relative error (the grid's error falls as 1/m). Stored in the result.
void compareWithGrid(FitResult& result, const std::vector<Dataset>& data, unsigned threads = 0);

// The report: model, datasets, fit statistics, variables with standard
// errors (or "not determined"), correlations, minima, the grid's distance,
// warnings.
void writeReport(std::ostream& out, const FitResult& result, const std::vector<Dataset>& data);

}  // namespace preisach::fitting
