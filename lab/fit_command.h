#pragma once

#include <CLI/CLI.hpp>
#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "fitting/fit.h"
#include "lab/model_options.h"
#include "lab/result_set.h"

namespace preisach::lab {

struct FitArguments {
  bool chosen = false;
  std::string params;
  // Data files, each with an optional "@VALUE": the field in Oe of a ZFC/FC
  // curve, the temperature in K of a loop.
  std::vector<std::string> zfcfc, zfc, fc, loop;
  std::string free;
  std::string out;
  ModelOptions model;  // checked by runFit
  int starts = 1;
  bool givenStart = false;              // the parameter file's values as the start, not the data's
  int maxIterations = 0;                // over all starts; 0: no limit
  double maxTime = 0.0;                 // seconds; 0: no limit
  bool quiet = false;                   // no progress lines
  std::vector<std::string> error;       // the noise of curves without an error column: [DATASET=]"1%" or "2e-8" (emu)
  std::vector<std::string> background;  // "linear", "linear+offset", "curie", "curie-weiss"
};

// The noise the user states for curves without an error column, each text
// "1%" (relative) or "2e-8" (emu) for all of them, or DATASET=VALUE for the
// dataset of that name (ZFC, FC-2, loop) or file; the curves weighed by it.
// Throws measured::DataError for another value, a name no dataset has, a
// dataset with its own errors, or two values for all.
void applyStatedNoise(std::vector<fitting::Dataset>& data, const std::vector<std::string>& texts);

// The program against the fit: its grid at the parameter file's m compared
// with the continuum at the fitted values, the m that meets the data's
// error, and, for a fit, preisach's time on the fitted record at that m
// (its own temperatures and fields on a small grid, timed here, scaled as
// m^2). Stored in the result.
void compareWithProgram(fitting::FitResult& result,
                        const std::vector<fitting::Dataset>& data,
                        const parameters::ParameterSet& start);

// The fitted record: the file's own values where the fit did not change
// them; with one ZFC/FC field ha is that field, with one loop temperature
// T_hyst is that temperature; after a continuum fit, m the one at which
// the program meets the data's error.
parameters::ParameterSet fittedRecord(const fitting::FitResult& r,
                                      const std::vector<fitting::Dataset>& data,
                                      const parameters::ParameterSet& start);

// The datasets of the data options of `arguments` (--zfcfc, --zfc, --fc,
// --loop), each read, weighed and named as the fit takes them. Throws
// measured::DataError.
std::vector<fitting::Dataset> readFitData(const FitArguments& arguments, const parameters::ParameterSet& start);

// The data options of a subcommand (--zfcfc, --zfc, --fc, --loop), as fit
// takes them, filled into `arguments` when parsed.
void addDataOptions(CLI::App* command, FitArguments& arguments);

// `preisach-lab fit`: its options, filled into `arguments` when parsed.
void addFitCommand(CLI::App& app, FitArguments& arguments);

// "FILE@VALUE" split into the file and the value; a text whose part after
// the last "@" is not a number is a file name without a value, and a
// trailing "@" says that the text before it is the whole name ("a@5@" is
// the file a@5). A value that is not finite, or a suffix that is no number
// where only the name before the "@" names a file, throws
// measured::DataError naming the suffix.
struct DataOption {
  std::string file;
  bool hasValue = false;
  double value = 0.0;
  std::string suffix;  // the value's text as given
};
DataOption parseDataOption(const std::string& text);

// The fit of `preisach-lab fit` on data already read and weighed: the
// options of `arguments` (free parameters, model, starts, limits,
// background), the fit from `start`, its result checked for curves that are
// not finite, and the program's grid compared with it. Progress lines go to
// `progress` (none when null); `stop`, when set, ends the fit at the point
// it reached. Throws measured::DataError for options it cannot use and
// ComputationError for a model that is not finite.
fitting::FitResult fitData(const FitArguments& arguments,
                           const parameters::ParameterSet& start,
                           const std::vector<fitting::Dataset>& data,
                           std::ostream* progress,
                           const std::atomic<bool>* stop,
                           const char* stopCause = "an interrupt (Ctrl-C)");

// The datasets checked against a record other than the one they were read
// with, as reading checks them: temperatures below its Tc, loop
// temperatures between 0 and Tc and loop fields within its +-Ha_max (those
// within 0.1 % beyond taken as +-Ha_max, in the copy returned). Throws
// measured::DataError naming the file and line.
std::vector<fitting::Dataset> dataFor(std::vector<fitting::Dataset> data, const parameters::ParameterSet& record);

// The files `arguments` names to read (--params and every data option's),
// each with its option, for the checks of outputs against inputs.
std::vector<NamedFile> fitInputs(const FitArguments& arguments);

// Reads the data and the start, fits, writes the report to standard output
// and the fitted parameter file, the fitted curves and (with gnuplot) their
// picture beside --out. Returns the exit status: 0 when the fit ended at a
// minimum. An input it cannot use throws measured::DataError before
// anything is written.
int runFit(const FitArguments& arguments);

}  // namespace preisach::lab
