#include "lab/fit_command.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "fitting/fit.h"
#include "lab/lab_files.h"
#include "lab/model_options.h"
#include "lab/result_set.h"
#include "lab/run_limits.h"
#include "lab/sequence_datasets.h"
#include "measured/measured_data.h"
#include "measured/text_cells.h"
#include "model/grid.h"
#include "parameters/data_directory.h"

namespace preisach::lab {

namespace {

using fitting::CurveKind;
using fitting::Dataset;
using measured::DataError;

using fitting::weigh;

// A name or a piece of one for a message: control bytes escaped, cut short.
std::string shown(const std::string& text) {
  return parameters::escapedText(text.size() > 200 ? text.substr(0, 200) + "..." : text);
}

// The fields a ZFC/FC curve can have been measured in: finite in float32,
// as the model takes them, and not beyond the loop's Ha_max by orders of
// magnitude (without a positive Ha_max, not beyond 1e6 Oe = 100 T, which no
// magnetometer reaches).
constexpr double kFieldsBeyondHa_max = 100.0;
constexpr double kLargestField = 1e6;
// No magnetometer measures colder than this (K); a smaller temperature is a
// column in other units or a corrupt file, and rounds to nothing in the
// model's float32.
constexpr double kColdestTemperature = 1e-3;
// A loop that shows no shape (saturation, reversal, coercive field) cannot
// fix the density's parameters.
constexpr std::size_t kLeastLoopPoints = 5;

double largestField(const parameters::ParameterSet& p) {
  return p.Ha_max > 0.0f && std::isfinite(p.Ha_max) ? kFieldsBeyondHa_max * static_cast<double>(p.Ha_max)
                                                    : kLargestField;
}

bool plausibleField(double H, const parameters::ParameterSet& p) {
  return std::isfinite(static_cast<float>(H)) && std::fabs(H) <= largestField(p);
}

std::string fieldLimit(const parameters::ParameterSet& p) {
  return p.Ha_max > 0.0f && std::isfinite(p.Ha_max)
             ? "a field in Oe within 100 Ha_max = " + formatNumber(largestField(p)) + " Oe"
             : "a field in Oe within 1e6 Oe";
}

// "a@5" read as the file a at 5: when no a exists but a@5 does, the way to
// name it is said.
void requireFileOf(const DataOption& o, const std::string& text) {
  std::error_code error;
  if (o.hasValue && !std::filesystem::exists(o.file, error) && std::filesystem::exists(text, error))
    throw DataError(shown(o.file) + ": cannot be opened (\"" + shown(text) + "\" is read as the file " + shown(o.file) +
                    " at " + o.suffix + "; to read the file " + shown(text) + " write \"" + shown(text) + "@\")");
}

void checkFields(Dataset& d, float Ha_max);

Dataset temperatureDataset(const std::string& option,
                           CurveKind kind,
                           measured::Curve curve,
                           const std::string& text,
                           const parameters::ParameterSet& p) {
  const DataOption o = parseDataOption(text);
  Dataset d;
  d.name = kind == CurveKind::Zfc ? "ZFC" : "FC";
  d.kind = kind;
  d.curve = std::move(curve);
  // The field: the option's suffix, else the file's field column, else ha.
  if (o.hasValue) {
    if (!plausibleField(o.value, p))
      throw DataError(option + ": \"" + o.suffix + "\" is not a field in Oe (the value after @ in \"" + shown(text) +
                      "\" must be " + fieldLimit(p) + ")");
    d.field = static_cast<float>(o.value), d.condition = "the field from " + option + " " + shown(text);
  } else if (d.curve.field) {
    if (!plausibleField(*d.curve.field, p))
      throw DataError(d.curve.file + ": the mean of its field column, " + formatNumber(*d.curve.field) +
                      " Oe, is not " + fieldLimit(p) + " (are the fields in Oe? 1 T = 10^4 Oe)");
    d.field = static_cast<float>(*d.curve.field), d.condition = "the mean of the file's field column";
  } else {
    if (!plausibleField(static_cast<double>(p.ha), p))
      throw DataError("ha=" + formatNumber(p.ha) + " Oe of the parameter file is not " + fieldLimit(p));
    d.field = p.ha, d.condition = "ha of the parameter file";
  }
  weigh(d);
  return d;
}

Dataset loopDataset(const std::string& text, const parameters::ParameterSet& p) {
  const DataOption o = parseDataOption(text);
  measured::LoopData loop = measured::readLoop(o.file);
  Dataset d;
  d.name = "loop";
  d.kind = CurveKind::Loop;
  d.curve = std::move(loop.loop);
  d.descending = std::move(loop.descending);
  // The temperature: the suffix, else the file's temperature column, else T_hyst.
  if (o.hasValue) {
    if (!std::isfinite(static_cast<float>(o.value)) || !(o.value >= kColdestTemperature))
      throw DataError("--loop: \"" + o.suffix + "\" is not a temperature in K (the value after @ in \"" + shown(text) +
                      "\" must be at least " + formatNumber(kColdestTemperature) + " K and below Tc)");
    d.temperature = static_cast<float>(o.value), d.condition = "the temperature from --loop " + shown(text);
  } else if (d.curve.temperature)
    d.temperature = static_cast<float>(*d.curve.temperature), d.condition = "the mean of the file's temperature column";
  else
    d.temperature = p.T_hyst, d.condition = "T_hyst of the parameter file";
  weigh(d);
  checkFields(d, p.Ha_max);
  return d;
}

void checkTemperatures(const Dataset& d, float Tc) {
  for (std::size_t k = 0; k < d.curve.size(); ++k) {
    if (!(d.curve.x[k] > 0.0))
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the temperature " +
                      std::to_string(d.curve.x[k]) + " K is not positive");
    if (d.curve.x[k] < kColdestTemperature)
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the temperature " +
                      formatNumber(d.curve.x[k]) + " K lies below " + formatNumber(kColdestTemperature) +
                      " K, colder than any magnetometer measures (is the column in K?)");
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
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) + ":1: the field " + formatNumber(field) +
                      " Oe lies outside the loop's range +-Ha_max = " + formatNumber(H) +
                      " Oe: raise Ha_max in the parameter file to the loop's largest field");
    field = std::clamp(field, -H, H);
  }
}

}  // namespace

DataOption parseDataOption(const std::string& text) {
  DataOption o;
  o.file = text;
  const std::size_t at = text.rfind('@');
  if (at == std::string::npos) return o;
  // A trailing @ says that the name before it is the whole file name, @
  // and all: "a@5@" is the file a@5.
  if (at + 1 == text.size()) {
    o.file = text.substr(0, at);
    return o;
  }
  const std::string suffix = text.substr(at + 1);
  const std::string before = text.substr(0, at);
  char* end = nullptr;
  const double value = std::strtod(suffix.c_str(), &end);
  if (end != suffix.c_str() + suffix.size()) {
    // Not a number: a name such as me@home.txt, unless no such file exists
    // while the name before the @ does: then the suffix was meant as a value.
    std::error_code error;
    if (!std::filesystem::exists(text, error) && std::filesystem::exists(before, error))
      throw DataError("\"" + shown(suffix) + "\" after the @ of \"" + shown(text) +
                      "\" is not a number (a field in Oe or a temperature in K), and no file \"" + shown(text) +
                      "\" exists");
    return o;
  }
  if (!std::isfinite(value)) throw DataError("\"" + shown(text) + "\": the value after @ is not a finite number");
  o.file = before;
  o.hasValue = true;
  o.value = value;
  o.suffix = suffix;
  return o;
}

void addDataOptions(CLI::App* command, FitArguments& a) {
  command->add_option("--zfcfc", a.zfcfc,
                      "FILE[@FIELD]: ZFC and FC curves in one file (T in K, M in emu); FIELD in Oe, else the mean of "
                      "the file's field column, else ha. A name with an @ of its own ends in @: a@5@ is the file a@5");
  command->add_option("--zfc", a.zfc, "FILE[@FIELD]: a ZFC curve (T in K, M in emu); FIELD in Oe as for --zfcfc");
  command->add_option("--fc", a.fc, "FILE[@FIELD]: an FC curve (T in K, M in emu); FIELD in Oe as for --zfcfc");
  command->add_option("--loop", a.loop,
                      "FILE[@T]: a hysteresis loop (H in Oe, M in emu); T in K, else the mean of the file's "
                      "temperature column, else T_hyst; a name with an @ of its own ends in @ as for --zfcfc");
}

void addFitCommand(CLI::App& app, FitArguments& a) {
  CLI::App* fit = app.add_subcommand(
      "fit",
      "Fit the model's parameters to measured ZFC/FC curves and loops (temperatures in K, fields in Oe, moments in "
      "emu). One set of physical parameters is fitted to every dataset given; each option may be repeated.");
  fit->add_option("--params", a.params, "parameter file of the start and the fixed values")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  addDataOptions(fit, a);
  fit->add_option("--free", a.free,
                  "parameters to fit: NAME[=LO:HI][,NAME[=LO:HI]...] (bounds in K, Oe, emu); without it nothing is "
                  "fitted: the parameter file's record is compared with the data (chi-square, residuals, the "
                  "curves file and picture beside --out, no parameter file)");
  fit->add_option("--out", a.out, "the fitted parameter file; the fitted curves and picture go beside it")
      ->default_val(parameters::dataFilePath("Parameters.fit.txt"));
  addModelOptions(fit, a.model);
  fit->add_option("--starts", a.starts,
                  "starting points: the first from the data (the ZFC maximum, the loop's coercive field and "
                  "saturation, N by linear least squares), N - 1 more spread over the bounds (Latin hypercube)")
      ->default_val(1)
      ->check(wholeNumberIn(1, 1000, "starts"));
  fit->add_flag("--given-start", a.givenStart, "start from the parameter file's values, not from the data");
  fit->add_option("--max-iterations", a.maxIterations,
                  "stop after this many iterations over all starts, writing the best point reached (marked not at "
                  "a minimum, exit status 1)")
      ->check(wholeNumberIn(1, 1000000, "iterations"));
  fit->add_option("--max-time", a.maxTime,
                  "stop after this many seconds, writing the best point reached (marked not at a minimum, exit "
                  "status 1); Ctrl-C stops the same way")
      ->check(finiteNumberIn(0.0, 1e7, "s", true));
  fit->add_flag("--quiet", a.quiet, "no progress lines on standard error (else at most one a second)");
  fit->add_option("--error", a.error,
                  "[DATASET=]VALUE: the noise of curves without an error column, a share of each moment (\"1%\") or "
                  "one standard error in emu (\"2e-8\"); for every such dataset, or for one named as the report "
                  "names it (ZFC, FC-2, loop) or by its file; without it the errors are estimated from the scatter "
                  "about the fit");
  fit->add_option("--background", a.background,
                  "terms fitted beside the particles, each with its error and drawn apart: for loops \"linear\" "
                  "(chi·H, chi in emu/Oe, one per loop) or \"linear+offset\" (chi·H + M0, M0 in emu); for ZFC/FC "
                  "\"curie\" (C·ha/T, C in emu K/Oe, one for all curves) or \"curie-weiss\" (C·ha/(T - theta), "
                  "theta in K below the lowest temperature); one for each kind, repeated or separated by commas");
  fit->callback([&a] { a.chosen = true; });
}

namespace {

// The least largest moment (emu) a dataset must have: the least-squares
// sums square moments and their errors, and below 1e-150 the squares leave
// the normal range of doubles (a file of zeros, or moments of 1e-320, would
// "converge" on rounding noise).
constexpr double kSmallestMoment = 1e-150;
// ... and the largest, for the same reason at the other end (and a sample
// of 1e150 emu would outweigh the sun).
constexpr double kLargestMoment = 1e150;
// A loop's fields reach at least this share of Ha_max, and spread over
// more than this share of their own reach (a magnetometer's set point
// wanders by much less).
constexpr double kLeastLoopReach = 0.1;
constexpr double kLeastLoopSpan = 0.01;

// The continuum's derivatives come from automatic differentiation; the
// grid is the program's at the parameter file's m.
void modelOptions(const FitArguments& a, std::int32_t m, fitting::FitOptions& options) {
  const curves::ModelChoice choice = chosenModel(a.model, m);
  options.model =
      choice.evaluator == curves::Evaluator::Grid ? fitting::ModelKind::Grid : fitting::ModelKind::Continuum;
  options.tolerance = choice.tolerance;
}

// The datasets of a file that records a measurement sequence (a
// magnetometer file): false for a file of plain columns, one curve.
bool sequenceData(const std::string& option,
                  DataRequest request,
                  const std::string& text,
                  const parameters::ParameterSet& start,
                  std::vector<Dataset>& data) {
  const DataOption o = parseDataOption(text);
  const std::vector<measured::Measurement> found = measured::readMeasurements(o.file);
  if (found.empty()) return false;
  const std::optional<double> pick = o.hasValue ? std::optional<double>(o.value) : std::nullopt;
  for (Dataset& d : sequenceDatasets(option, request, o.file, found, pick)) {
    if (d.kind != CurveKind::Loop && !plausibleField(static_cast<double>(d.field), start))
      throw DataError(d.curve.file + ": the mean of its field column, " + formatNumber(d.field) + " Oe, is not " +
                      fieldLimit(start) + " (are the fields in Oe? 1 T = 10^4 Oe)");
    if (d.kind == CurveKind::Loop && !(static_cast<double>(d.temperature) >= kColdestTemperature))
      throw DataError(d.curve.file + ": a loop at " + formatNumber(d.temperature) + " K is no temperature in K");
    weigh(d);
    if (d.kind == CurveKind::Loop) checkFields(d, start.Ha_max);
    data.push_back(std::move(d));
  }
  return true;
}

}  // namespace

std::vector<Dataset> readFitData(const FitArguments& a, const parameters::ParameterSet& start) {
  std::vector<Dataset> data;
  for (const std::vector<std::string>* texts : {&a.zfcfc, &a.zfc, &a.fc, &a.loop})
    for (const std::string& text : *texts) requireFileOf(parseDataOption(text), text);
  for (const std::string& text : a.zfcfc) {
    if (sequenceData("--zfcfc", DataRequest::ZfcFc, text, start, data)) continue;
    const measured::ZfcFcData both = measured::readZfcFc(parseDataOption(text).file);
    measured::Curve zfc = both.zfc, fc = both.fc;
    zfc.field = fc.field = both.field;
    data.push_back(temperatureDataset("--zfcfc", CurveKind::Zfc, zfc, text, start));
    data.push_back(temperatureDataset("--zfcfc", CurveKind::Fc, fc, text, start));
  }
  for (const std::string& text : a.zfc)
    if (!sequenceData("--zfc", DataRequest::Zfc, text, start, data))
      data.push_back(temperatureDataset("--zfc", CurveKind::Zfc,
                                        measured::readTemperatureCurve(parseDataOption(text).file), text, start));
  for (const std::string& text : a.fc)
    if (!sequenceData("--fc", DataRequest::Fc, text, start, data))
      data.push_back(temperatureDataset("--fc", CurveKind::Fc,
                                        measured::readTemperatureCurve(parseDataOption(text).file), text, start));
  for (const std::string& text : a.loop)
    if (!sequenceData("--loop", DataRequest::Loop, text, start, data)) data.push_back(loopDataset(text, start));
  if (data.empty()) throw DataError("no measured data: give --zfcfc, --zfc, --fc or --loop");
  // Names are one word (the curves file's first column): the second ZFC is ZFC-2.
  for (std::size_t d = 0; d < data.size(); ++d) {
    int same = 1;
    for (std::size_t e = 0; e < d; ++e) same += data[e].kind == data[d].kind ? 1 : 0;
    if (same > 1) data[d].name += "-" + std::to_string(same);
  }
  return data;
}

namespace {

// A dataset in other units than the lab's (T instead of Oe, A m^2 instead
// of emu) or of another kind than its option says fits to nonsense with a
// confident report: refused with the reason and what to do.
void checkPlausible(const Dataset& d, const parameters::ParameterSet& p) {
  double largestMoment = 0.0;
  for (std::size_t k = 0; k < d.curve.size(); ++k) {
    if (!std::isfinite(d.curve.moment[k]) || !std::isfinite(d.sigma[k]))
      throw DataError(d.curve.file + ":" + std::to_string(d.curve.line[k]) +
                      ": the moment or its error is not a finite number");
    largestMoment = std::max(largestMoment, std::fabs(d.curve.moment[k]));
  }
  if (!(largestMoment > kSmallestMoment))
    throw DataError(d.curve.file + ": its largest moment is " + formatNumber(largestMoment) +
                    " emu: no moment to fit (the moments must be in emu, 1 A m^2 = 1000 emu)");
  if (largestMoment > kLargestMoment)
    throw DataError(d.curve.file + ": its largest moment is " + formatNumber(largestMoment) +
                    " emu: no sample has such a moment (the moments must be in emu, 1 A m^2 = 1000 emu)");
  if (d.kind != CurveKind::Loop) return;
  const auto [lowest, highest] = std::minmax_element(d.curve.x.begin(), d.curve.x.end());
  const double H = static_cast<double>(p.Ha_max), span = *highest - *lowest;
  const double reach = std::max(std::fabs(*lowest), std::fabs(*highest));
  if (!(span > kLeastLoopSpan * reach))
    throw DataError(d.curve.file + ": its fields are all " + formatNumber(*lowest) +
                    " Oe: a loop sweeps the field; a curve at one field is a ZFC/FC measurement (--zfcfc)");
  if (reach < kLeastLoopReach * H)
    throw DataError(d.curve.file + ": its fields reach only " + formatNumber(reach) +
                    " Oe against Ha_max = " + formatNumber(H) +
                    " Oe: are the fields in Oe (1 T = 10^4 Oe), and is Ha_max the loop's largest field?");
  if (d.curve.size() < kLeastLoopPoints)
    throw DataError(d.curve.file + ": a loop of " + std::to_string(d.curve.size()) + " points: a loop needs at least " +
                    std::to_string(kLeastLoopPoints) + " to show its saturation and coercive field");
}

// The highest temperature the model is evaluated at (Tc must lie above it),
// each measured temperature checked against Tc.
double highestTemperature(const std::vector<Dataset>& data, const parameters::ParameterSet& start) {
  double highest = static_cast<double>(start.T_max);
  for (const Dataset& d : data) {
    if (d.kind == CurveKind::Loop) {
      if (!(d.temperature > 0.0f) || !(d.temperature < start.Tc))
        throw DataError(d.name + ": the loop's temperature " + std::to_string(d.temperature) +
                        " K is not between 0 and Tc = " + std::to_string(start.Tc) + " K");
      highest = std::max(highest, static_cast<double>(d.temperature));
      continue;
    }
    checkTemperatures(d, start.Tc);
    for (double T : d.curve.x) highest = std::max(highest, T);
  }
  return highest;
}

// Every file the run writes beside --out.
std::vector<NamedFile> fitOutputs(const std::string& out) {
  const std::string base = stem(out);
  return {{"--out", out}, {"--out", base + ".curves.txt"}, {"--out", base + ".report.txt"}, {"--out", base + ".png"}};
}

std::atomic<bool> fitInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void stopTheFit(int) {
  fitInterrupted.store(true);
}

// SIGINT sets fitInterrupted, once, for as long as it lives: a second
// Ctrl-C ends the program at once, before anything is written.
class InterruptStopsFit {
 public:
  InterruptStopsFit() {
    struct sigaction action {};
    action.sa_handler = stopTheFit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptStopsFit() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptStopsFit(const InterruptStopsFit&) = delete;
  InterruptStopsFit& operator=(const InterruptStopsFit&) = delete;

 private:
  struct sigaction previous_ {};
};

// Beside the fitted file: base.curves.txt (data, model, residuals), the
// report, and the picture where gnuplot draws one (else an older one goes).
void addCurvesReportAndPicture(ResultSet& results,
                               const std::string& base,
                               const std::vector<Dataset>& data,
                               const fitting::FitResult& result,
                               const std::string& report) {
  const std::string curves = fitCurvesText(data, result.model, result.sigma, result.backgroundValues);
  results.add(base + ".curves.txt", curves);
  results.add(base + ".report.txt", report);
  if (const std::optional<std::string> picture = drawFitPicture(data, curves))
    results.add(base + ".png", *picture);
  else
    results.discard(base + ".png");
}

// No --free: the record against the data, its report on standard output
// and beside --out with the curves and the picture; the record is not
// written (nothing was fitted).
int compareRecord(const FitArguments& a,
                  const parameters::ParameterSet& start,
                  const std::vector<Dataset>& data,
                  fitting::FitOptions options) {
  for (const Dataset& d : data) checkPlausible(d, start);
  options.m = start.m;
  fitting::FitResult result = fitting::compareRecord(fitting::physicsOf(start), data, options);
  compareWithProgram(result, data, start);
  std::ostringstream report;
  fitting::writeReport(report, result, data);
  const std::string base = stem(a.out);
  ResultSet results;
  addCurvesReportAndPicture(results, base, data, result, report.str());
  results.commit();
  std::cout << report.str() << std::flush;
  std::cerr << "fit: no --free: the record compared with the data, wrote " << measured::shownName(base)
            << ".curves.txt and " << measured::shownName(base) << ".report.txt" << std::endl;
  return 0;
}

}  // namespace

namespace {

// "1%" (relative) or "2e-8" (emu).
fitting::NoiseModel parsedNoise(const std::string& text, const std::string& whole) {
  fitting::NoiseModel noise;
  const bool relative = !text.empty() && text.back() == '%';
  const std::string number = relative ? text.substr(0, text.size() - 1) : text;
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  const bool complete = !number.empty() && end == number.c_str() + number.size();
  if (!complete || !std::isfinite(value) || !(value > 0.0) || (relative && value >= 100.0))
    throw DataError("--error: \"" + measured::shownName(whole) +
                    "\" is neither a share of each moment below 100 % (\"1%\") nor an error in emu (\"2e-8\"), "
                    "for all datasets or as DATASET=VALUE");
  noise.kind = relative ? fitting::NoiseModel::Kind::Relative : fitting::NoiseModel::Kind::Absolute;
  noise.value = relative ? value / 100.0 : value;
  return noise;
}

// A dataset named as the report names it, or by its file (its path in any
// spelling, or its name).
bool isNamed(const Dataset& d, const std::string& target) {
  std::error_code error;
  const std::filesystem::path file(d.curve.file), named(target);
  const std::filesystem::path a = std::filesystem::weakly_canonical(file, error);
  const std::filesystem::path b = std::filesystem::weakly_canonical(named, error);
  return d.name == target || file.filename().string() == target || (!a.empty() && a == b);
}

}  // namespace

void applyStatedNoise(std::vector<Dataset>& data, const std::vector<std::string>& texts) {
  std::optional<fitting::NoiseModel> everyDataset;
  std::vector<std::pair<std::string, fitting::NoiseModel>> named;
  for (const std::string& text : texts) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos) {
      if (everyDataset) throw DataError("--error: two values for all datasets (name one as DATASET=VALUE)");
      everyDataset = parsedNoise(text, text);
      continue;
    }
    const std::string target = text.substr(0, equals);
    std::vector<std::string> known;
    bool found = false;
    for (const Dataset& d : data) {
      known.push_back(d.name);
      if (!isNamed(d, target)) continue;
      found = true;
      if (d.curve.hasErrors())
        throw DataError("--error " + measured::shownName(text) + ": " + d.name + " (" +
                        measured::shownName(d.curve.file) + ") has its own error column");
    }
    if (!found) {
      std::string list;
      for (const std::string& name : known) list += (list.empty() ? "" : ", ") + name;
      throw DataError("--error " + measured::shownName(text) + ": no dataset is named \"" +
                      measured::shownName(target) + "\" (the datasets: " + list + ", or their files)");
    }
    for (const auto& [earlier, noise] : named)
      if (earlier == target) throw DataError("--error: two values for " + measured::shownName(target));
    named.emplace_back(target, parsedNoise(text.substr(equals + 1), text));
  }
  if (everyDataset && std::all_of(data.begin(), data.end(), [](const Dataset& d) { return d.curve.hasErrors(); }))
    throw DataError("--error: every dataset has its own error column; --error states the noise of curves without one");
  for (Dataset& d : data) {
    if (d.curve.hasErrors()) continue;
    std::optional<fitting::NoiseModel> noise = everyDataset;
    for (const auto& [target, stated] : named)
      if (isNamed(d, target)) noise = stated;
    if (noise) d.noise = *noise, weigh(d);
  }
}

parameters::ParameterSet fittedRecord(const fitting::FitResult& r,
                                      const std::vector<Dataset>& data,
                                      const parameters::ParameterSet& start) {
  // A grid fit's values belong to its m; a continuum fit's record gets the
  // m at which the program's grid meets the data's error.
  const bool settled = r.modelKind == fitting::ModelKind::Continuum && r.neededM > 0 && !r.gridUnforetold;
  const std::int32_t m = settled ? std::min(r.neededM, model::kLargestGridDivisions) : start.m;
  parameters::ParameterSet p = fitting::gridParameters(r.best, m, start);
  std::vector<float> fields, temperatures;
  for (const Dataset& d : data)
    (d.kind == CurveKind::Loop ? temperatures : fields).push_back(d.kind == CurveKind::Loop ? d.temperature : d.field);
  const auto single = [](std::vector<float> v) {
    std::sort(v.begin(), v.end());
    return !v.empty() && v.front() == v.back();
  };
  if (single(fields)) p.ha = fields.front();
  if (single(temperatures)) p.T_hyst = temperatures.front();
  return p;
}

namespace {

// The program's own ZFC/FC temperatures and loop fields, as datasets.
std::vector<Dataset> programSchedule(const parameters::ParameterSet& record) {
  std::vector<Dataset> schedule(2);
  schedule[0].kind = CurveKind::Zfc;
  schedule[0].field = record.ha;
  for (float T : driver::temperatureSchedule(record.T_max)) schedule[0].curve.x.push_back(T);
  schedule[1].kind = CurveKind::Loop;
  schedule[1].temperature = record.T_hyst;
  for (hysteresis::Branch b : {hysteresis::Branch::Descending, hysteresis::Branch::Ascending})
    for (float H : driver::fieldSchedule(record.Ha_max, b)) {
      schedule[1].curve.x.push_back(H);
      schedule[1].descending.push_back(b == hysteresis::Branch::Descending);
    }
  return schedule;
}

// preisach's computations on `record` at m, timed here (s).
double timedAt(const parameters::ParameterSet& record, const model::ModelParameters& physics, std::int32_t m) {
  const auto began = std::chrono::steady_clock::now();
  fitting::modelCurves({fitting::gridParameters(physics, m, record)}, programSchedule(record));
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// Up to this m preisach's time is measured; beyond it, it grows as the
// grid's nodes, m^2, from the time at this m (timed between 2000 and 7722
// it grows as m^1.7 to m^2.1: the nodes win as m grows).
constexpr std::int32_t kTimedM = 400;

}  // namespace

void compareWithProgram(fitting::FitResult& result,
                        const std::vector<Dataset>& data,
                        const parameters::ParameterSet& start) {
  fitting::compareWithGrid(result, data);
  if (result.compared || result.modelKind == fitting::ModelKind::Grid || result.neededM <= 0 || result.gridUnforetold ||
      result.neededM > model::kLargestGridDivisions)
    return;
  const parameters::ParameterSet record = fittedRecord(result, data, start);
  if (record.m <= kTimedM) {
    result.programSeconds = timedAt(record, result.best, record.m);
    return;
  }
  const double scale = static_cast<double>(record.m) / kTimedM;
  result.programSeconds = timedAt(record, result.best, kTimedM) * scale * scale;
}

fitting::FitResult fitData(const FitArguments& a,
                           const parameters::ParameterSet& start,
                           const std::vector<Dataset>& data,
                           std::ostream* progress,
                           const std::atomic<bool>* stop,
                           const char* stopCause) {
  fitting::FitOptions options;
  modelOptions(a, start.m, options);
  const model::ModelParameters physics = fitting::physicsOf(start);
  const double highest = highestTemperature(data, start);
  options.background = fitting::parseBackground(a.background, data);
  if (a.free.empty()) throw DataError("no parameter is free: name at least one to fit");
  options.free = fitting::parseFreeParameters(a.free, physics, highest);
  for (const Dataset& d : data) checkPlausible(d, start);
  options.m = start.m;
  options.starts = a.starts;
  options.startFromData = !a.givenStart;
  options.progress = progress;
  options.limits.maxIterations = a.maxIterations;
  options.limits.maxSeconds = a.maxTime;
  options.limits.progressInterval = 1.0;
  options.limits.stop = stop;
  options.limits.stopCause = stopCause;
  const std::size_t points = fitting::pointsForParameters(data, options);

  // A grid fit evaluates the grid at every point once per free parameter and
  // once more for every Jacobian: refused as a grid run it could not finish.
  if (options.model == fitting::ModelKind::Grid)
    requireFeasible({static_cast<double>(points) * static_cast<double>(options.free.size() + 1), start.m},
                    "fit --model grid (one Jacobian of " + std::to_string(points) + " points)");
  fitting::FitResult result;
  try {
    result = fitting::fitParameters(physics, data, options);
  } catch (const DataError&) {
    throw;
  } catch (const std::runtime_error& e) {
    throw ComputationError(std::string("fit: ") + e.what() +
                           " (the model gives nan or inf there: see the parameter file's mu0, Tc and widths)");
  }
  // A model that is nan or inf at some point cannot be judged there.
  std::size_t notFinite = 0;
  for (const std::vector<double>& curve : result.model)
    for (double M : curve) notFinite += std::isfinite(M) ? 0u : 1u;
  if (notFinite > 0)
    throw ComputationError(std::string("fit: the ") +
                           (options.model == fitting::ModelKind::Grid ? "program's grid" : "continuum limit") +
                           " gives nan or inf at " + std::to_string(notFinite) + " of " + std::to_string(points) +
                           " points at the best point reached (for the grid: a tiny mu0 makes Norm_coeff infinite, "
                           "or the grid holds none of the density); nothing is written");
  compareWithProgram(result, data, start);
  return result;
}

std::vector<NamedFile> fitInputs(const FitArguments& a) {
  std::vector<NamedFile> inputs{{"--params", a.params}};
  for (const auto& [option, texts] :
       {std::pair{"--zfcfc", &a.zfcfc}, {"--zfc", &a.zfc}, {"--fc", &a.fc}, {"--loop", &a.loop}})
    for (const std::string& text : *texts) inputs.push_back({option, parseDataOption(text).file});
  return inputs;
}

std::vector<Dataset> dataFor(std::vector<Dataset> data, const parameters::ParameterSet& record) {
  highestTemperature(data, record);
  for (Dataset& d : data)
    if (d.kind == CurveKind::Loop) checkFields(d, record.Ha_max);
  return data;
}

int runFit(const FitArguments& a) {
  const parameters::ParameterSet start = readParameters(a.params);
  std::vector<Dataset> data = readFitData(a, start);
  applyStatedNoise(data, a.error);
  requireWritableFolderOf(a.out);
  requireSeparateFiles(fitInputs(a), fitOutputs(a.out));
  if (a.free.empty()) {
    fitting::FitOptions options;
    modelOptions(a, start.m, options);
    highestTemperature(data, start);
    options.background = fitting::parseBackground(a.background, data);
    return compareRecord(a, start, data, options);
  }
  fitting::FitResult result;
  {
    // Ctrl-C during the fit ends it at its current point, which is
    // written as the result; a second Ctrl-C ends the program.
    const InterruptStopsFit whileFitting;
    result = fitData(a, start, data, a.quiet ? nullptr : &std::cerr, &fitInterrupted);
  }
  std::ostringstream report;
  fitting::writeReport(report, result, data);
  // The fitted file, its curves, their picture and the report appear
  // together, or the previous ones stay.
  const std::string base = stem(a.out);
  ResultSet results;
  results.add(a.out, parameters::formatParameterRecord(fittedRecord(result, data, start)));
  addCurvesReportAndPicture(results, base, data, result, report.str());
  results.commit();
  // The report is also on disk; a lost standard output is status 1 (main checks it).
  std::cout << report.str() << std::flush;
  std::cerr << "fit: wrote " << a.out << ", " << base << ".curves.txt and " << base << ".report.txt" << std::endl;
  if (!result.stopped.empty()) {
    std::cerr << "preisach-lab fit: the fit was " << result.stopped
              << ": the best point reached is written, not a minimum" << std::endl;
    return 1;
  }
  if (!result.converged) {
    std::cerr << "preisach-lab fit: the fit ended where the gradient is not small: not at a minimum" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace preisach::lab
