#include "lab/fit_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "fitting/fit.h"
#include "lab/lab_files.h"
#include "measured/measured_data.h"
#include "parameters/data_directory.h"

namespace preisach::lab {

namespace {

using fitting::CurveKind;
using fitting::Dataset;
using measured::DataError;

// Without an error column every point of a dataset weighs the same: sigma is
// 1 % of the dataset's largest moment, and the reported errors are scaled by
// the reduced chi-square.
void weigh(Dataset& d) {
  d.measuredErrors = d.curve.hasErrors();
  if (d.measuredErrors) {
    for (std::size_t k = 0; k < d.curve.size(); ++k)
      if (!(d.curve.error[k] > 0.0))
        throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ": the standard error must be positive");
    d.sigma = d.curve.error;
    return;
  }
  double largest = 0.0;
  for (double m : d.curve.moment) largest = std::max(largest, std::fabs(m));
  if (!(largest > 0.0)) throw DataError(d.curve.file + ": every moment is 0, so the curve cannot be weighed");
  d.sigma.assign(d.curve.size(), 0.01 * largest);
}

Dataset temperatureDataset(const char* name, CurveKind kind, measured::Curve curve, float field) {
  Dataset d;
  d.name = name;
  d.kind = kind;
  d.curve = std::move(curve);
  d.field = field;
  weigh(d);
  return d;
}

// The field of a ZFC/FC measurement: its field column's mean, else ha.
float appliedField(const std::optional<double>& measured,
                   const parameters::ParameterSet& p,
                   const std::string& file,
                   std::ostream& notes) {
  if (!measured) return p.ha;
  const float field = static_cast<float>(*measured);
  if (std::fabs(*measured - static_cast<double>(p.ha)) > 1e-3 * std::max(1.0, std::fabs(static_cast<double>(p.ha))))
    notes << "note: " << file << ": the applied field is the mean of its field column, " << field
          << " Oe, not ha = " << p.ha << " Oe of the parameter file\n";
  return field;
}

void checkTemperatures(const Dataset& d, float Tc) {
  for (std::size_t k = 0; k < d.curve.size(); ++k) {
    if (!(d.curve.x[k] > 0.0))
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the temperature " +
                      std::to_string(d.curve.x[k]) + " K is not positive");
    if (d.curve.x[k] >= static_cast<double>(Tc))
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the temperature " +
                      std::to_string(d.curve.x[k]) + " K is at or above Tc = " + std::to_string(Tc) + " K");
  }
}

// A measured field overshoots its set point by a little: within 0.1 % of
// Ha_max it is taken as +-Ha_max; beyond that the loop's grid does not reach
// it.
void checkFields(Dataset& d, float Ha_max) {
  const double H = static_cast<double>(Ha_max);
  for (std::size_t k = 0; k < d.curve.size(); ++k) {
    double& field = d.curve.x[k];
    if (std::fabs(field) > H * (1.0 + 1e-3))
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the field " + std::to_string(field) +
                      " Oe lies outside the loop's range +-Ha_max = " + std::to_string(H) + " Oe");
    field = std::clamp(field, -H, H);
  }
}

}  // namespace

void addFitCommand(CLI::App& app, FitArguments& a) {
  CLI::App* fit = app.add_subcommand("fit", "Fit the model's parameters to measured ZFC/FC curves and loops");
  fit->add_option("--params", a.params, "parameter file of the start and the fixed values")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  CLI::Option* zfcfc = fit->add_option("--zfcfc", a.zfcfc, "ZFC and FC curves in one file");
  CLI::Option* zfc = fit->add_option("--zfc", a.zfc, "the ZFC curve (T, M)");
  CLI::Option* fc = fit->add_option("--fc", a.fc, "the FC curve (T, M)");
  zfcfc->excludes(zfc)->excludes(fc);
  zfc->needs(fc);
  fc->needs(zfc);
  fit->add_option("--loop", a.loop, "a hysteresis loop (H, M)");
  fit->add_option("--free", a.free, "parameters to fit: NAME[=LO:HI][,NAME[=LO:HI]...]")->required();
  fit->add_option("--out", a.out, "the fitted parameter file; the fitted curves and picture go beside it")
      ->default_val(parameters::dataFilePath("Parameters.fit.txt"));
  fit->add_option("--starts", a.starts, "starting points: the given one and N - 1 spread over the bounds")
      ->default_val(1)
      ->check(CLI::Range(1, 1000));
  fit->callback([&a] { a.chosen = true; });
}

int runFit(const FitArguments& a) {
  const parameters::ParameterSet start = readParameters(a.params);
  std::ostringstream notes;
  std::vector<Dataset> data;
  if (!a.zfcfc.empty()) {
    const measured::ZfcFcData both = measured::readZfcFc(a.zfcfc);
    const float field = appliedField(both.field, start, a.zfcfc, notes);
    data.push_back(temperatureDataset("ZFC", CurveKind::Zfc, both.zfc, field));
    data.push_back(temperatureDataset("FC", CurveKind::Fc, both.fc, field));
  }
  if (!a.zfc.empty())
    data.push_back(temperatureDataset("ZFC", CurveKind::Zfc, measured::readTemperatureCurve(a.zfc), start.ha));
  if (!a.fc.empty())
    data.push_back(temperatureDataset("FC", CurveKind::Fc, measured::readTemperatureCurve(a.fc), start.ha));
  if (!a.loop.empty()) {
    measured::LoopData loop = measured::readLoop(a.loop);
    Dataset d;
    d.name = "loop";
    d.kind = CurveKind::Loop;
    d.curve = std::move(loop.loop);
    d.descending = std::move(loop.descending);
    weigh(d);
    checkFields(d, start.Ha_max);
    data.push_back(std::move(d));
  }
  if (data.empty()) throw DataError("no measured data: give --zfcfc, --zfc and --fc, or --loop");
  requireFolderOf(a.out);

  double highest = std::max(static_cast<double>(start.T_max), static_cast<double>(start.T_hyst));
  std::size_t points = 0;
  for (const Dataset& d : data) {
    points += d.curve.size();
    if (d.kind == CurveKind::Loop) continue;
    checkTemperatures(d, start.Tc);
    for (double T : d.curve.x) highest = std::max(highest, T);
  }
  fitting::FitOptions options;
  options.free = fitting::parseFreeParameters(a.free, start, highest);
  options.starts = a.starts;
  options.progress = &std::cerr;
  if (points < options.free.size())
    throw DataError("the data hold " + std::to_string(points) + " points, fewer than the " +
                    std::to_string(options.free.size()) + " free parameters");

  const fitting::FitResult result = fitting::fitParameters(start, data, options);
  std::cout << notes.str();
  fitting::writeReport(std::cout, result, data);
  writeTextFile(a.out, parameters::formatParameterRecord(result.best));
  const std::string base = stem(a.out);
  writeFitCurves(base + ".curves.txt", data, result.model, result.sigma);
  drawFit(base, data);
  std::cerr << "fit: wrote " << a.out << " and " << base << ".curves.txt" << std::endl;
  if (!result.converged) {
    std::cerr << "preisach-lab fit: the fit did not converge: " << result.termination << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace preisach::lab
