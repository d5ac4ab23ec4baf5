#include "lab/lab_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "model/density.h"
#include "model/grid.h"

namespace preisach::lab {

using measured::DataError;

parameters::ParameterSet readParameters(const std::string& path) {
  // A folder, a device, a pipe or a file of more than 64 MB is refused
  // before it is read, as the readers of measured files refuse it.
  return readParameterText(path, measured::inputFileText(path));
}

parameters::ParameterSet readParameterText(const std::string& path, const std::string& text) {
  std::istringstream file(text);
  std::ostringstream echo;
  parameters::ParameterSet p;
  const parameters::ReadResult result = parameters::readParameterFile(file, p, echo, [] {});
  if (result.status == parameters::ReadStatus::NoValue) throw DataError(path + ": holds no parameter value");
  if (result.status == parameters::ReadStatus::FieldUnreadable)
    throw DataError(path + ": " + parameters::describeReadFailure(result));
  if (!model::isDensityShape(static_cast<char>(p.PDF)))
    throw DataError(path + ": the density shape PDF must be one of " + model::densityShapeLetters() + ", but '" +
                    parameters::escapedText(std::string(1, static_cast<char>(p.PDF))) + "' was read");
  if (p.m < 1 || p.m > model::kLargestGridDivisions)
    throw DataError(path + ": m=" + std::to_string(p.m) + " must lie between 1 and " +
                    std::to_string(model::kLargestGridDivisions));
  return p;
}

void writeTextFile(const std::string& path, const std::string& text) {
  writeResultFile(path, text);
}

void requireFolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error))
    throw DataError(path + ": the folder " + folder.string() + " does not exist");
  try {
    requireWritableFolderOf(path);
  } catch (const DataError& e) {
    throw DataError(path + ": " + e.what());
  }
}

std::string formatNumber(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

std::string trimmedLine(const std::string& line) {
  const std::size_t begin = line.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

std::string stem(const std::string& path) {
  const std::string suffix = ".txt";
  if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
    return path.substr(0, path.size() - suffix.size());
  return path;
}

std::string fitCurvesText(const std::vector<fitting::Dataset>& data,
                          const std::vector<std::vector<double>>& model,
                          const std::vector<std::vector<double>>& sigma,
                          const std::vector<std::vector<double>>& background) {
  const bool withBackground = !background.empty();
  std::string text = std::string("# dataset x measured model residual sigma") + (withBackground ? " background" : "") +
                     "\n# x: T (K) for ZFC and FC, H (Oe) for the loop; moments and sigma in emu; residual = "
                     "(model - measured) / sigma" +
                     (withBackground ? "; model = particles + background" : "") + "\n";
  char row[256];
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t k = 0; k < data[d].curve.size(); ++k) {
      std::snprintf(row, sizeof row, "%s %.9g %.9e %.9e %.6g %.6e", data[d].name.c_str(), data[d].curve.x[k],
                    data[d].curve.moment[k], model[d][k], (model[d][k] - data[d].curve.moment[k]) / sigma[d][k],
                    sigma[d][k]);
      text += row;
      if (withBackground) std::snprintf(row, sizeof row, " %.9e", background[d][k]), text += row;
      text += "\n";
    }
  return text;
}

// A dataset's colour for its measured points and residuals, and a
// distinct one for its fitted line, so that the line shows over the points.
struct FitColours {
  const char* data;
  const char* fit;
};

FitColours fitColours(const std::string& name) {
  if (name.rfind("ZFC", 0) == 0) return {"#1f5fa8", "#e08214"};
  if (name.rfind("FC", 0) == 0) return {"#c0392b", "#111111"};
  return {"#1e8449", "#c51b7d"};
}

// Data with their error bars (sigma, column 6) and the fit. The keys stand
// above the plots, where no curve of any shape can run under them.
// A fitted background (column 7) is drawn apart, dashed.
void drawFitPanel(std::ostringstream& gp, const std::vector<fitting::Dataset>& data, bool isLoop, bool background) {
  gp << "set title '" << (isLoop ? "Hysteresis loop" : "ZFC and FC") << ": data (error bars: sigma) and fit'\n";
  gp << "set key outside top center horizontal\n";
  gp << "set xlabel '" << (isLoop ? "H (Oe)" : "T (K)") << "'\nset ylabel 'M (emu)'\nset format y '%.2te%+T'\n";
  gp << "plot ";
  bool first = true;
  for (const fitting::Dataset& d : data) {
    if ((d.kind == fitting::CurveKind::Loop) != isLoop) continue;
    const FitColours c = fitColours(d.name);
    const std::string select = "using (strcol(1) eq '" + d.name + "' ? $2 : NaN)";
    gp << (first ? "" : ", ") << "curves " << select << ":3:6 with yerrorbars pt 7 ps 0.5 lc rgb '" << c.data
       << "' title '" << d.name << " measured', '' " << select << ":4 with lines lw 2 lc rgb '" << c.fit << "' title '"
       << d.name << " fit'";
    if (background)
      gp << ", '' " << select << ":7 with lines lw 1.5 dt 2 lc rgb '" << c.fit << "' title '" << d.name
         << " background'";
    first = false;
  }
  gp << "\nset title 'Residuals'\nset ylabel '(model - measured) / sigma'\nset format y '%g'\nset key top right\n";
  gp << "plot ";
  first = true;
  for (const fitting::Dataset& d : data) {
    if ((d.kind == fitting::CurveKind::Loop) != isLoop) continue;
    gp << (first ? "" : ", ") << "curves using (strcol(1) eq '" << d.name
       << "' ? $2 : NaN):5 with points pt 7 ps 0.6 lc rgb '" << fitColours(d.name).data << "' title '" << d.name << "'";
    first = false;
  }
  gp << ", 0 with lines lc 'black' notitle\n";
}

std::optional<std::string> drawFitPicture(const std::vector<fitting::Dataset>& data, const std::string& curvesText) {
  bool temperature = false, loop = false;
  for (const fitting::Dataset& d : data) (d.kind == fitting::CurveKind::Loop ? loop : temperature) = true;
  const int columns = (temperature ? 1 : 0) + (loop ? 1 : 0);
  std::ostringstream gp;
  gp << "set terminal pngcairo size " << 700 * columns << ",720 font ',10'\n";
  gp << "set output picture\n";
  gp << "set multiplot layout 2," << columns << " columnsfirst\n";
  gp << "set grid\n";
  const bool background = curvesText.find(" sigma background\n") != std::string::npos;
  if (temperature) drawFitPanel(gp, data, false, background);
  if (loop) drawFitPanel(gp, data, true, background);
  gp << "unset multiplot\n";
  return drawPng(gp.str(), {{"curves", curvesText}});
}

}  // namespace preisach::lab
