#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "lab/gnuplot.h"
#include "lab/result_set.h"
#include "parameters/parameters.h"

namespace preisach::lab {

// The record in force of a parameter file, read by the program's own reader
// (its echo discarded). A file that cannot be read, a refused record, a
// density letter that is not a shape or an m out of range throws
// measured::DataError.
parameters::ParameterSet readParameters(const std::string& path);

// The same for a parameter file's text; `name` stands for the file in
// messages.
parameters::ParameterSet readParameterText(const std::string& name, const std::string& text);

// Replaces `path` by `text` whole, through a ResultSet: the new file or the
// old one, never a part; a failure throws measured::DataError.
void writeTextFile(const std::string& path, const std::string& text);

// Throws measured::DataError unless the folder that would hold `path`
// exists and a file can be created in it: checked before the work, not
// after it.
void requireFolderOf(const std::string& path);

// A number as the console prints it (six significant digits).
std::string formatNumber(double value);

// `line` without leading and trailing blanks.
std::string trimmedLine(const std::string& line);

// `path` without a final ".txt".
std::string stem(const std::string& path);

// One row per measured point: dataset, abscissa, measured moment, model
// moment, residual (model - measured) / sigma, sigma; with a fitted
// background, the background's part of the model moment last.
std::string fitCurvesText(const std::vector<fitting::Dataset>& data,
                          const std::vector<std::vector<double>>& model,
                          const std::vector<std::vector<double>>& sigma,
                          const std::vector<std::vector<double>>& background = {});

// The PNG of data and fit of each kind of curve (ZFC/FC against T, the loop
// against H) over a panel of their residuals, from the rows of
// fitCurvesText; nothing without gnuplot. For a ResultSet.
std::optional<std::string> drawFitPicture(const std::vector<fitting::Dataset>& data, const std::string& curvesText);

}  // namespace preisach::lab
