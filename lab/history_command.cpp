#include "lab/history_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>

#include "curves/model_curves.h"
#include "history/field_history.h"
#include "history/forc_distribution.h"
#include "history/forc_simulation.h"
#include "lab/curves_command.h"
#include "lab/gnuplot.h"
#include "lab/lab_files.h"
#include "lab/result_set.h"
#include "lab/run_limits.h"
#include "measured/data_error.h"
#include "measured/pmc_format.h"
#include "measured/text_cells.h"
#include "parameters/data_directory.h"

namespace preisach::lab {

namespace {

using measured::DataError;

// One field per line, "#" comments and blank lines allowed, each within
// +-Ha_max.
std::vector<float> readFields(const std::string& path, float Ha_max) {
  // Bounded like every input: a regular file of at most 64 MB; any line end,
  // a byte-order mark skipped, as the readers of measured files read them.
  const std::vector<std::string> lines = measured::textLines(measured::inputFileText(path));
  std::vector<float> fields;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string line = lines[k];
    const int number = static_cast<int>(k + 1);
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    char* end = nullptr;
    const double field = std::strtod(word.c_str(), &end);
    std::string rest;
    if (end != word.c_str() + word.size() || (words >> rest))
      measured::refuse(path, number, 0, measured::quoted(trimmedLine(line)) + " is not one field in Oe");
    if (!std::isfinite(field) || std::fabs(field) > static_cast<double>(Ha_max))
      measured::refuse(path, number, 0,
                       "the field " + formatNumber(field) +
                           " Oe lies outside the loop's range +-Ha_max = " + formatNumber(Ha_max) + " Oe");
    fields.push_back(static_cast<float>(field));
  }
  if (fields.empty()) throw DataError(measured::shownName(path) + ": holds no field");
  return fields;
}

void checkLoopParameters(const parameters::ParameterSet& p, const std::string& path) {
  if (!(p.Ha_max > 0.0f) || !std::isfinite(p.Ha_max))
    throw DataError(path + ": Ha_max must be a positive finite field for a field history");
}

// The bound of the option itself; a run also refuses a step above Ha_max,
// which leaves fewer than three reversal curves and so no distribution.
constexpr double kLargestStep = 1e7;  // Oe
constexpr double kMostReversalCurves = 2000.0;

// The curves of the protocol and their points, as simulateForcs makes them:
// n reversal fields, the k-th curve with k points after its saturation.
Work forcWork(double Ha_max, double step, std::int32_t m) {
  const double curves = std::floor(2.0 * Ha_max / step) + 1.0;
  Work work;
  work.fieldPoints = curves * (curves + 1.0) / 2.0 + curves;
  work.m = m;
  return work;
}

// What the picture of a FORC diagram says about where it came from.
struct ForcPicture {
  std::string title;      // file, SF and, for a simulation, the model
  double Ha_max = 0.0;    // Oe, the largest field of the protocol: Hc <= Ha_max
  double lowestHr = 0.0;  // Oe, the last reversal field (the saturation curve's start)
  double stepHr = 0.0;    // Oe, the spacing of the reversal fields there
  int smoothing = 0;
};

// Where the last reversal curve starts the protocol is the ascending
// saturation branch: every neighbourhood that reaches it (within SF curves)
// fits a surface across an edge where M stops depending on Hr, and shows a
// negative ridge where the model has no density. Those values are masked.
bool reachesSaturationCurve(const history::ForcValue& v, const ForcPicture& picture) {
  const double Hr = v.Hu - v.Hc;
  return Hr < picture.lowestHr + (picture.smoothing + 0.5) * picture.stepHr;
}

struct ForcWindow {
  double hcHigh = 0.0, huLow = 0.0, huHigh = 0.0;
  double limit = 0.0;  // the colour scale's +-limit: the largest |rho| shown
};

double quantile(std::vector<double> values, double q) {
  const auto at = static_cast<std::ptrdiff_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + at, values.end());
  return values[static_cast<std::size_t>(at)];
}

// The window is where the signal is. A measured diagram is mostly noise of
// both signs, so the points that count are those whose rho stands above
// both 5 % of the largest and five times the noise (the median |rho|): their
// 0.5 % and 99.5 % quantiles in Hc and Hu, with a margin, never past the
// fields the protocol can reach (Hc <= Ha_max, |Hu| <= Ha_max). The outermost
// block and rows, where one noisy curve can dominate, and the values next to
// the saturation curve are left out of the search; the colour scale covers
// every value shown inside the window, so the peak is never clipped.
ForcWindow forcWindow(const std::vector<std::vector<history::ForcValue>>& blocks, const ForcPicture& picture) {
  ForcWindow w;
  const auto interior = [&](std::size_t b, std::size_t k) {
    return b > 0 && b + 1 < blocks.size() && k > 0 && k + 1 < blocks[b].size() &&
           !reachesSaturationCurve(blocks[b][k], picture);
  };
  double largest = 0.0;
  std::vector<double> magnitudes;
  for (std::size_t b = 0; b < blocks.size(); ++b)
    for (std::size_t k = 0; k < blocks[b].size(); ++k)
      if (interior(b, k)) {
        largest = std::max(largest, blocks[b][k].rho);
        magnitudes.push_back(std::fabs(blocks[b][k].rho));
      }
  const double noise = magnitudes.empty() ? 0.0 : quantile(magnitudes, 0.5);
  const double threshold = std::max(0.05 * largest, 5.0 * noise);
  std::vector<double> hc, hu;
  for (std::size_t b = 0; b < blocks.size(); ++b)
    for (std::size_t k = 0; k < blocks[b].size(); ++k)
      if (interior(b, k) && blocks[b][k].rho >= threshold && blocks[b][k].rho > 0.0) {
        hc.push_back(blocks[b][k].Hc);
        hu.push_back(blocks[b][k].Hu);
      }
  if (hc.empty()) {
    w = {picture.Ha_max, -picture.Ha_max, picture.Ha_max, 0.0};
  } else {
    const double hcHigh = quantile(hc, 0.995), huLow = quantile(hu, 0.005), huHigh = quantile(hu, 0.995);
    const double margin = 0.25 * std::max(hcHigh, huHigh - huLow) + 1e-9;
    w.hcHigh = std::min(hcHigh + margin, picture.Ha_max);
    w.huLow = std::max(huLow - margin, -picture.Ha_max);
    w.huHigh = std::min(huHigh + margin, picture.Ha_max);
  }
  for (const auto& block : blocks)
    for (const history::ForcValue& v : block)
      if (v.Hc <= w.hcHigh && v.Hu >= w.huLow && v.Hu <= w.huHigh && !reachesSaturationCurve(v, picture))
        w.limit = std::max(w.limit, std::fabs(v.rho));
  return w;
}

// A tick step of 1, 2 or 5 times a power of ten that puts about four ticks
// on `span`, so that labels of up to five digits never run together.
double tickStep(double span) {
  const double raw = span / 4.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= raw) return factor * power;
  return 10.0 * power;
}

// The rows gnuplot draws: the diagram with the masked values NaN, which
// pm3d leaves blank.
std::string shownDiagram(const std::vector<std::vector<history::ForcValue>>& blocks, const ForcPicture& picture) {
  std::string text;
  char row[128];
  for (const auto& block : blocks) {
    for (const history::ForcValue& v : block) {
      std::snprintf(row, sizeof row, "%.9g %.9g %.9e\n", v.Hc, v.Hu,
                    reachesSaturationCurve(v, picture) ? std::nan("") : v.rho);
      text += row;
    }
    text += "\n";
  }
  return text;
}

// Text of several lines as a gnuplot string expression: single-quoted
// parts (nothing in them is interpreted) joined by newlines.
std::string quotedLines(const std::string& text) {
  std::string expression;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
    expression += gnuplotQuoted(text.substr(begin, end - begin)) + " . \"\\n\" . ";
  return expression + gnuplotQuoted(text.substr(begin));
}

// Filled contours on equal axes (a field is a field along both), in a
// diverging scale centred on 0.
std::optional<std::string> drawForcDiagram(const std::vector<std::vector<history::ForcValue>>& blocks,
                                           const ForcPicture& picture) {
  const ForcWindow w = forcWindow(blocks, picture);
  std::ostringstream gp;
  gp << "set terminal pngcairo size 820,820 font ',11'\n";
  gp << "set output picture\n";
  gp << "set size ratio -1\n";
  // A diagram of zeros (a moment of the field alone) still gets a scale.
  const double limit = w.limit > 0.0 ? w.limit : 1.0;
  gp << "set cbrange [" << -limit << ":" << limit << "]\n";
  gp << "set palette defined (-1 '#2166ac', -0.5 '#92c5de', 0 'white', 0.5 '#f4a582', 1 '#b2182b') maxcolors 17\n";
  gp << "set view map\nset pm3d map flush begin interpolate 3,3 corners2color mean\n";
  gp << "set xrange [0:" << w.hcHigh << "]\n";
  gp << "set yrange [" << w.huLow << ":" << w.huHigh << "]\n";
  if (w.hcHigh > 0.0 && w.huHigh > w.huLow)
    gp << "set xtics " << tickStep(w.hcHigh) << "\nset ytics " << tickStep(w.huHigh - w.huLow) << "\n";
  gp << "set xlabel 'H_c = (H - H_r)/2 (Oe)'\nset ylabel 'H_u = (H + H_r)/2 (Oe)'\n";
  gp << "set cblabel 'rho = -1/2 d^2M / dH_r dH (emu/Oe^2)' offset 1,0\n";
  gp << "set format cb '%.1te%+T'\n";
  // Equal axes centre the plot in the canvas: the title is lifted clear of it.
  gp << "set title " << quotedLines(picture.title) << " offset 0,1.5 noenhanced\n";
  gp << "set grid front\n";
  gp << "splot diagram using 1:2:3 with pm3d notitle\n";
  return drawPng(gp.str(), {{"diagram", shownDiagram(blocks, picture)}});
}

std::string baseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The reversal fields are the curves' first fields, from +Ha_max down.
ForcPicture forcPicture(const measured::ForcSet& forcs, const std::string& file, int smoothing) {
  ForcPicture picture;
  picture.smoothing = smoothing;
  picture.lowestHr = std::numeric_limits<double>::infinity();
  double secondHr = std::numeric_limits<double>::infinity();
  for (const measured::ForcSet::Curve& c : forcs.curves) {
    if (c.H.empty()) continue;
    for (double h : c.H) picture.Ha_max = std::max(picture.Ha_max, std::fabs(h));
    if (c.H.front() < picture.lowestHr) {
      secondHr = picture.lowestHr;
      picture.lowestHr = c.H.front();
    } else if (c.H.front() < secondHr) {
      secondHr = c.H.front();
    }
  }
  picture.stepHr = std::isfinite(secondHr) ? secondHr - picture.lowestHr : 0.0;
  picture.title = "forc-diagram.txt: FORC distribution of " + measured::shownName(baseName(file)) +
                  ", SF = " + std::to_string(smoothing);
  return picture;
}

std::string modelSummary(const parameters::ParameterSet& p, const curves::ModelChoice& choice) {
  std::ostringstream s;
  s << "shape " << static_cast<char>(p.PDF) << ", T_hyst " << p.T_hyst << " K: hc0_mean " << p.hc0_mean << ", sigmac0 "
    << p.sigmac0 << ", sigmai0 " << p.sigmai0 << ", km " << p.km << " Oe, f " << p.f << "\n"
    << curves::describe(choice);
  return s.str();
}

}  // namespace

void addHistoryCommand(CLI::App& app, HistoryArguments& a) {
  CLI::App* history = app.add_subcommand(
      "history", "The moment (emu) along any field history (Oe), from positive saturation, at T_hyst (K)");
  history->add_option("--params", a.params, "parameter file (T_hyst in K, Ha_max in Oe, the grid and the density)")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  history->add_option("--fields", a.fields, "one field in Oe per line, each within +-Ha_max, # comments allowed")
      ->required();
  history
      ->add_option("--out", a.out, "rows \"%f %e %e %e\" as momentbc.txt: field (Oe), M, (1 - f) M_irr, f M_rev (emu)")
      ->default_val(parameters::dataFilePath("history.txt"));
  addModelOptions(history, a.model);
  history->add_flag("--progress", a.progress, "a progress line on standard error every few seconds");
  history->callback([&a] { a.chosen = true; });
}

int runHistory(const HistoryArguments& a) {
  const parameters::ParameterSet p = readParameters(a.params);
  checkLoopParameters(p, a.params);
  requireFolderOf(a.out);
  requireSeparateFiles({{"--params", a.params}, {"--fields", a.fields}}, {{"--out", a.out}});
  const curves::ModelChoice choice = chosenModel(a.model, p.m);
  const std::vector<float> fields = readFields(a.fields, p.Ha_max);
  if (choice.evaluator == curves::Evaluator::Grid)
    requireFeasible({static_cast<double>(fields.size()), p.m}, "history: " + a.fields);
  std::string rows;
  {
    const ProgressLines progress("history", progressWanted(a.progress));
    char row[160];
    const std::vector<curves::MomentPoint> moments = curves::historyCurve(p, fields, choice);
    std::size_t notFinite = 0;
    for (const curves::MomentPoint& v : moments)
      notFinite += std::isfinite(v.M) && std::isfinite(v.irreversible) && std::isfinite(v.reversible) ? 0u : 1u;
    if (notFinite > 0) refuseNonFiniteFields(p, choice, "field history", notFinite, moments.size());
    for (const curves::MomentPoint& v : moments) {
      std::snprintf(row, sizeof row, "%f %e %e %e\n", v.H, v.M, v.irreversible, v.reversible);
      rows += row;
    }
  }
  writeTextFile(a.out, rows);
  std::cerr << "history: " << fields.size() << " fields on the " << curves::describe(choice) << ", written to "
            << measured::shownName(a.out) << std::endl;
  return 0;
}

void addForcCommand(CLI::App& app, ForcArguments& a) {
  CLI::App* forc = app.add_subcommand(
      "forc", "First-order reversal curves (fields in Oe, moments in emu, at T_hyst in K) and their FORC distribution");
  forc->add_option("--params", a.params, "parameter file (T_hyst in K, Ha_max in Oe, the grid and the density)")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  forc->add_option("--step", a.step,
                   "field step in Oe of the reversal fields and along the curves, at most Ha_max; "
                   "default 1 % of 2 Ha_max")
      ->check(finiteNumberIn(0.0, kLargestStep, "Oe", true));
  forc->add_option("--sf", a.smoothing, "smoothing factor SF: the quadratic fit spans (2 SF + 1)^2 points")
      ->default_val(3)
      ->check(wholeNumberIn(1, 20, "smoothing factor SF"));
  forc->add_option("--measured", a.measured,
                   "process measured FORCs (PMC MicroMag text in cgs, SI, Hybrid SI or SiMuNaughtH units, converted to "
                   "Oe and emu) instead of simulating");
  forc->add_option("--out-dir", a.outDir, "folder of forc-curves.frc, forc-diagram.txt and forc-diagram.png")
      ->default_val(std::string(parameters::kDataDirectory));
  addModelOptions(forc, a.model);
  forc->add_flag("--progress", a.progress, "a progress line on standard error every few seconds");
  forc->callback([&a] { a.chosen = true; });
}

namespace {

struct SimulatedForcs {
  measured::ForcSet forcs;
  double step = 0.0;
  std::string source;
  parameters::ParameterSet p;
  curves::ModelChoice choice;
};

SimulatedForcs simulate(const ForcArguments& a) {
  const parameters::ParameterSet p = readParameters(a.params);
  checkLoopParameters(p, a.params);
  const double Ha_max = static_cast<double>(p.Ha_max);
  SimulatedForcs s;
  s.p = p;
  s.choice = chosenModel(a.model, p.m);
  s.step = a.step == 0.0 ? 0.02 * Ha_max : a.step;
  if (s.step > Ha_max)
    throw DataError("--step " + formatNumber(s.step) + " Oe is larger than Ha_max = " + formatNumber(Ha_max) +
                    " Oe: it leaves fewer than three reversal curves");
  // The curves' points grow as the square of their number, and the
  // distribution and its picture with them.
  if (2.0 * Ha_max / s.step > kMostReversalCurves)
    throw DataError("--step " + formatNumber(s.step) + " Oe makes more than " + formatNumber(kMostReversalCurves) +
                    " reversal curves; take a larger step");
  if (s.choice.evaluator == curves::Evaluator::Grid)
    requireFeasible(forcWork(Ha_max, s.step, p.m), "forc --step " + formatNumber(s.step));
  const long curves = static_cast<long>(std::floor(2.0 * Ha_max / s.step)) + 1;
  std::cerr << "forc: simulating " << curves << " reversal curves on the " << curves::describe(s.choice) << std::endl;
  const ProgressLines progress("forc", progressWanted(a.progress));
  s.forcs = curves::forcCurves(p, s.step, s.choice);
  std::size_t notFinite = 0;
  for (const measured::ForcSet::Curve& c : s.forcs.curves)
    for (double M : c.M) notFinite += std::isfinite(M) ? 0u : 1u;
  if (notFinite > 0) refuseNonFiniteFields(p, s.choice, "reversal curves", notFinite, s.forcs.points());
  s.source = "preisach-lab forc, " + measured::shownName(a.params) + ", " + curves::describe(s.choice);
  return s;
}

}  // namespace

int runForc(const ForcArguments& a) {
  const std::string base = a.outDir.empty() ? std::string(".") : a.outDir;
  requireFolderOf(base + "/forc-diagram.txt");
  std::vector<NamedFile> outputs;
  for (const char* name : {"forc-curves.frc", "forc-diagram.txt", "forc-diagram-exact.txt", "forc-diagram.png"})
    outputs.push_back({"--out-dir", base + "/" + name});
  requireSeparateFiles({a.measured.empty() ? NamedFile{"--params", a.params} : NamedFile{"--measured", a.measured}},
                       outputs);
  ResultSet results;
  measured::ForcSet forcs;
  std::optional<SimulatedForcs> simulated;
  if (!a.measured.empty()) {
    forcs = measured::readPmc(a.measured);
    // Simulated curves of an earlier run do not belong to this diagram.
    results.discard(base + "/forc-curves.frc");
  } else {
    simulated = simulate(a);
    // The diagram is made from the curves as written, so that the file read
    // back as a measurement gives the same diagram.
    std::ostringstream pmc;
    measured::writePmc(pmc, simulated->forcs, simulated->step, a.smoothing, simulated->source);
    results.add(base + "/forc-curves.frc", pmc.str());
    forcs = measured::readPmcText(base + "/forc-curves.frc", pmc.str());
  }
  std::vector<std::vector<history::ForcValue>> blocks;
  {
    const ProgressLines progress("forc distribution", progressWanted(a.progress));
    blocks = history::forcDistribution(forcs, a.smoothing);
  }
  if (blocks.empty()) throw DataError("the FORCs are too few or too irregular for a FORC distribution");
  // How a measured file was read (its units, what the reader decided on its
  // own) is said on standard error and kept in the diagram's header.
  std::vector<std::string> readNotes;
  if (!a.measured.empty()) {
    readNotes.push_back("read from " + measured::shownName(a.measured) + ": " + measured::describe(forcs.report));
    for (const std::string& note : forcs.report.notes) readNotes.push_back("note: " + measured::escapedControls(note));
    for (const std::string& note : readNotes) std::cerr << "forc: " << note << std::endl;
  }
  std::ostringstream text;
  history::writeDistribution(text, blocks, readNotes);
  results.add(base + "/forc-diagram.txt", text.str());
  // On the continuum the model's own distribution at the same points shows
  // what the processing (its smoothing, its edges) does to it.
  if (simulated && simulated->choice.evaluator == curves::Evaluator::Continuum) {
    std::ostringstream exact;
    history::writeDistribution(exact, curves::exactForcDistribution(simulated->p, blocks, simulated->choice.tolerance));
    results.add(base + "/forc-diagram-exact.txt", exact.str());
  } else {
    results.discard(base + "/forc-diagram-exact.txt");
  }
  // Without a picture of this diagram, an older one must not stay beside it.
  std::optional<std::string> picture;
  {
    const ProgressLines progress("forc picture", progressWanted(a.progress));
    ForcPicture facts = forcPicture(forcs, simulated ? a.params : a.measured, a.smoothing);
    if (simulated) {
      facts.Ha_max = static_cast<double>(simulated->p.Ha_max);
      facts.title += "\n" + modelSummary(simulated->p, simulated->choice);
    }
    picture = drawForcDiagram(blocks, facts);
  }
  if (picture)
    results.add(base + "/forc-diagram.png", *picture);
  else
    results.discard(base + "/forc-diagram.png");
  results.commit();
  std::cerr << "forc: " << forcs.curves.size() << " curves, " << forcs.points() << " points, written to "
            << measured::shownName(base) << std::endl;
  return 0;
}

}  // namespace preisach::lab
