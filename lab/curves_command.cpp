#include "lab/curves_command.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/non_finite.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "model/normalisation.h"
#include "model/thermal.h"
#include "parameters/data_directory.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::lab {

namespace {

using measured::DataError;

// Every double in 17 significant digits: it reads back to the same bits.
std::string row(const std::vector<double>& values) {
  std::string text;
  for (double v : values) {
    char number[32];
    std::snprintf(number, sizeof number, "%.17g", v);
    text += (text.empty() ? "" : " ") + std::string(number);
  }
  return text + "\n";
}

std::string header(const curves::ModelChoice& choice, const std::string& params, const char* columns) {
  // The name is escaped: a line end in it could never end the header early.
  return "# preisach-lab curves: " + curves::describe(choice) + "; parameters " + measured::shownName(params) + "\n# " +
         columns + "\n";
}

void writeZfcFc(ResultSet& results,
                const CurvesArguments& a,
                const curves::ModelChoice& choice,
                const curves::ZfcFcCurves& c) {
  std::string zfcfc = header(choice, a.params, "T (K), M_ZFC (emu), M_FC (emu)");
  std::string separate = header(choice, a.params,
                                "T (K), Integral11SP, Integral22SP, Integral1p, Integral1m, Integral2p, "
                                "Integral2m, Integral3pZFC, Integral3mZFC, Integral3pFC (before the factor "
                                "Norm_coeff)");
  for (std::size_t k = 0; k < c.T.size(); ++k) {
    zfcfc += row({c.T[k], c.M_ZFC[k], c.M_FC[k]});
    std::vector<double> values{c.T[k]};
    values.insert(values.end(), c.integrals[k].begin(), c.integrals[k].end());
    separate += row(values);
  }
  results.add(a.outDir + "/ZFCFC.txt", zfcfc);
  results.add(a.outDir + "/separate.txt", separate);
}

void writeLoop(ResultSet& results,
               const CurvesArguments& a,
               const curves::ModelChoice& choice,
               const std::vector<curves::MomentPoint>& m) {
  std::string text = header(choice, a.params, "H (Oe), M, (1 - f) M_irr, f M_rev (emu); descending branch first");
  for (const curves::MomentPoint& point : m) text += row({point.H, point.M, point.irreversible, point.reversible});
  results.add(a.outDir + "/moment.txt", text);
}

bool finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// The first temperature at which a number of the ZFC/FC files is not
// finite, and how many are; none: count 0.
struct NonFinite {
  std::size_t count = 0;
  std::size_t first = 0;
};

NonFinite nonFinitePoints(const curves::ZfcFcCurves& c) {
  NonFinite n;
  for (std::size_t k = 0; k < c.T.size(); ++k) {
    bool ok = finite({c.M_ZFC[k], c.M_FC[k]});
    for (double x : c.integrals[k]) ok = ok && std::isfinite(x);
    if (!ok && n.count++ == 0) n.first = k;
  }
  return n;
}

NonFinite nonFinitePoints(const std::vector<curves::MomentPoint>& m) {
  NonFinite n;
  for (std::size_t k = 0; k < m.size(); ++k)
    if (!finite({m[k].M, m[k].irreversible, m[k].reversible}) && n.count++ == 0) n.first = k;
  return n;
}

// A computation whose numbers are not all finite is reported, with the
// likely cause (on the grid its Norm_coeff at the first such point), and
// nothing is written: no result file of the lab holds nan or inf.
void refuseNonFiniteZfcFc(const parameters::ParameterSet& p,
                          const curves::ModelChoice& choice,
                          const curves::ZfcFcCurves& c,
                          const NonFinite& n) {
  const float T = static_cast<float>(c.T[n.first]);
  std::optional<double> Norm_coeff;
  if (choice.evaluator == curves::Evaluator::Grid) Norm_coeff = zfcfc::evaluateZfcFcPoint(p, p.m, T).Norm_coeff;
  throw ComputationError("the ZFC/FC curves on the " + curves::describe(choice) + " are not finite at " +
                         std::to_string(n.count) + " of " + std::to_string(c.T.size()) + " temperatures (nan or " +
                         "inf): " + driver::zfcFcNonFiniteCause(p, T, Norm_coeff) + "; nothing is written");
}

void refuseNonFiniteLoop(const parameters::ParameterSet& p,
                         const curves::ModelChoice& choice,
                         const std::vector<curves::MomentPoint>& m,
                         const NonFinite& n) {
  refuseNonFiniteFields(p, choice, "hysteresis loop", n.count, m.size());
}

}  // namespace

void refuseNonFiniteFields(const parameters::ParameterSet& p,
                           const curves::ModelChoice& choice,
                           const std::string& what,
                           std::size_t count,
                           std::size_t fields) {
  const bool plural = !what.empty() && what.back() == 's';
  std::optional<double> Norm_coeff;
  if (choice.evaluator == curves::Evaluator::Grid)
    Norm_coeff =
        static_cast<double>(static_cast<float>(model::evaluateNormalisation(p, p.m, p.T_hyst, p.Ha_max).Norm_coeff));
  throw ComputationError("the " + what + " on the " + curves::describe(choice) + (plural ? " are" : " is") +
                         " not finite at " + std::to_string(count) + " of " + std::to_string(fields) +
                         " fields (nan or inf): " + driver::loopNonFiniteCause(p, Norm_coeff) + "; nothing is written");
}

void addCurvesCommand(CLI::App& app, CurvesArguments& a) {
  CLI::App* command = app.add_subcommand(
      "curves",
      "The curves the parameter file's flags ask for, at the program's temperatures (K) and fields (Oe): "
      "ZFCFC.txt (T, M_ZFC, M_FC in emu), separate.txt (T and the nine partial integrals before Norm_coeff) "
      "and moment.txt (H, M, (1 - f) M_irr, f M_rev in emu), every number to 17 significant digits");
  a.params = parameters::dataFilePath(parameters::kParameterFileName);
  command->add_option("--params", a.params, "the parameter file")->capture_default_str();
  addModelOptions(command, a.model);
  command->add_option("--out-dir", a.outDir, "the folder the files are written to")->capture_default_str();
  command->callback([&a] { a.chosen = true; });
}

int runCurves(const CurvesArguments& a) {
  const parameters::ParameterSet p = readParameters(a.params);
  const curves::ModelChoice choice = chosenModel(a.model, p.m);
  requireWritableFolder(a.outDir);
  const std::vector<std::string> names{"ZFCFC.txt", "separate.txt", "moment.txt"};
  std::vector<NamedFile> outputs;
  for (const std::string& name : names) outputs.push_back({"--out-dir", a.outDir + "/" + name});
  requireSeparateFiles({{"--params", a.params}}, outputs);
  const bool zfcfc = parameters::isOn(p.Calculate_ZFCFC), loop = parameters::isOn(p.Calculate_Hysteresis);
  if (!zfcfc && !loop) throw DataError(a.params + ": neither Calculate_ZFCFC nor Calculate_Hysteresis is y");
  if (zfcfc) requireZfcFcSweep(p, choice, a.params);
  if (loop) requireLoopFields(p, a.params);
  ResultSet results;
  try {
    // The folder holds one run's set: a file of the previous run that this
    // run does not write goes with the commit.
    if (zfcfc) {
      const curves::ZfcFcCurves c = curves::zfcfcCurves(p, driver::temperatureSchedule(p.T_max), choice);
      if (const NonFinite n = nonFinitePoints(c); n.count > 0) refuseNonFiniteZfcFc(p, choice, c, n);
      writeZfcFc(results, a, choice, c);
    } else {
      results.discard(a.outDir + "/ZFCFC.txt"), results.discard(a.outDir + "/separate.txt");
    }
    if (loop) {
      const std::vector<float> down = driver::fieldSchedule(p.Ha_max, model::Branch::Descending);
      const std::vector<float> up = driver::fieldSchedule(p.Ha_max, model::Branch::Ascending);
      const std::vector<curves::MomentPoint> m = curves::loopCurve(p, down, up, choice);
      if (const NonFinite n = nonFinitePoints(m); n.count > 0) refuseNonFiniteLoop(p, choice, m, n);
      writeLoop(results, a, choice, m);
    } else {
      results.discard(a.outDir + "/moment.txt");
    }
  } catch (const ComputationError& e) {
    std::cerr << "preisach-lab curves: " << measured::shownName(a.params) << ": " << e.what() << std::endl;
    return 1;
  }
  results.commit();
  std::cerr << "curves on the " << curves::describe(choice) << " written to " << measured::shownName(a.outDir)
            << std::endl;
  return 0;
}

}  // namespace preisach::lab
