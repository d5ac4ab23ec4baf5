#pragma once

#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "parameters/parameters.h"

namespace preisach::lab {

// The record in force of a parameter file, read by the program's own reader
// (its echo discarded). A file that cannot be read, a refused record, a
// density letter that is not a shape or an m out of range throws
// measured::DataError.
parameters::ParameterSet readParameters(const std::string& path);

// Writes `text` to `path` whole: a failed write or close throws
// measured::DataError.
void writeTextFile(const std::string& path, const std::string& text);

// Throws measured::DataError unless the folder that would hold `path`
// exists: checked before the work, not after it.
void requireFolderOf(const std::string& path);

// A number as the console prints it (six significant digits).
std::string formatNumber(double value);

// `line` without leading and trailing blanks.
std::string trimmedLine(const std::string& line);

// `path` without a final ".txt".
std::string stem(const std::string& path);

// One row per measured point: dataset, abscissa, measured moment, model
// moment, residual (model - measured) / sigma.
void writeFitCurves(const std::string& path,
                    const std::vector<fitting::Dataset>& data,
                    const std::vector<std::vector<double>>& model,
                    const std::vector<std::vector<double>>& sigma);

// Whether gnuplot can be run.
bool haveGnuplot();

// Runs a gnuplot script; false (with a note on standard error) when gnuplot
// is missing or fails.
bool runGnuplot(const std::string& script);

// base.png: data and fit of each kind of curve (ZFC/FC against T, the loop
// against H) over a panel of their residuals, from base.curves.txt; nothing
// without gnuplot.
void drawFit(const std::string& base, const std::vector<fitting::Dataset>& data);

}  // namespace preisach::lab
