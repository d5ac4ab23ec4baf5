#include "lab/history_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "history/field_history.h"
#include "history/forc_distribution.h"
#include "history/forc_simulation.h"
#include "lab/lab_files.h"
#include "measured/data_error.h"
#include "measured/pmc_format.h"
#include "parameters/data_directory.h"

namespace preisach::lab {

namespace {

using measured::DataError;

// One field per line, "#" comments and blank lines allowed, each within
// +-Ha_max.
std::vector<float> readFields(const std::string& path, float Ha_max) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError(path + ": cannot be opened");
  std::vector<float> fields;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    char* end = nullptr;
    const double field = std::strtod(word.c_str(), &end);
    std::string rest;
    if (end != word.c_str() + word.size() || (words >> rest))
      throw DataError(path + ":" + std::to_string(number) + ": \"" + parameters::escapedText(trimmedLine(line)) +
                      "\" is not one field in Oe");
    if (!std::isfinite(field) || std::fabs(field) > static_cast<double>(Ha_max))
      throw DataError(path + ":" + std::to_string(number) + ": the field " + word +
                      " Oe lies outside the loop's range +-Ha_max = " + formatNumber(Ha_max) + " Oe");
    fields.push_back(static_cast<float>(field));
  }
  if (fields.empty()) throw DataError(path + ": holds no field");
  return fields;
}

void checkLoopParameters(const parameters::ParameterSet& p, const std::string& path) {
  if (!(p.Ha_max > 0.0f)) throw DataError(path + ": Ha_max must be positive for a field history");
}

// The picture shows where the distribution lives: the points above 5 % of
// its largest magnitude, with a margin.
void drawForcDiagram(const std::vector<std::vector<history::ForcValue>>& blocks,
                     const std::string& diagram,
                     const std::string& picture) {
  double largest = 0.0;
  for (const auto& block : blocks)
    for (const history::ForcValue& v : block) largest = std::max(largest, std::fabs(v.rho));
  double hcMax = 0.0, huMin = 0.0, huMax = 0.0;
  bool any = false;
  for (const auto& block : blocks)
    for (const history::ForcValue& v : block)
      if (std::fabs(v.rho) >= 0.05 * largest) {
        hcMax = std::max(hcMax, v.Hc);
        huMin = any ? std::min(huMin, v.Hu) : v.Hu;
        huMax = any ? std::max(huMax, v.Hu) : v.Hu;
        any = true;
      }
  const double margin = 0.25 * std::max(hcMax, huMax - huMin);
  std::ostringstream gp;
  gp << "set terminal pngcairo size 820,700 font ',11'\n";
  gp << "set output '" << picture << "'\n";
  gp << "stats '" << diagram << "' using 3 nooutput\n";
  gp << "limit = (abs(STATS_min) > abs(STATS_max) ? abs(STATS_min) : abs(STATS_max))\n";
  gp << "set cbrange [-limit:limit]\n";
  // Filled contours: 17 levels of a diverging scale, the middle one (white)
  // centred on 0.
  gp << "set palette defined (-1 '#2166ac', -0.5 '#92c5de', 0 'white', 0.5 '#f4a582', 1 '#b2182b') maxcolors 17\n";
  gp << "set view map\nset pm3d map flush begin interpolate 3,3 corners2color mean\n";
  gp << "set xrange [0:" << hcMax + margin << "]\n";
  gp << "set yrange [" << huMin - margin << ":" << huMax + margin << "]\n";

  gp << "set xlabel 'H_c = (H - H_r)/2 (Oe)'\nset ylabel 'H_u = (H + H_r)/2 (Oe)'\n";
  gp << "set cblabel 'rho = -1/2 d^2M / dH_r dH (emu/Oe^2)' offset 1,0\n";
  gp << "set format cb '%.1te%+T'\n";
  gp << "set title 'FORC distribution'\n";
  gp << "set grid front\n";
  gp << "splot '" << diagram << "' using 1:2:3 with pm3d notitle\n";
  runGnuplot(gp.str());
}

}  // namespace

void addHistoryCommand(CLI::App& app, HistoryArguments& a) {
  CLI::App* history = app.add_subcommand("history", "The moment along any field history, from positive saturation");
  history->add_option("--params", a.params, "parameter file (T_hyst, Ha_max, the grid and the density)")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  history->add_option("--fields", a.fields, "one field (Oe) per line, # comments allowed")->required();
  history->add_option("--out", a.out, "rows \"%f %e %e %e\" as momentbc.txt: field, M, (1 - f) M_irr, f M_rev")
      ->default_val(parameters::dataFilePath("history.txt"));
  history->callback([&a] { a.chosen = true; });
}

int runHistory(const HistoryArguments& a) {
  const parameters::ParameterSet p = readParameters(a.params);
  checkLoopParameters(p, a.params);
  const std::vector<float> fields = readFields(a.fields, p.Ha_max);
  requireFolderOf(a.out);
  history::FieldHistory sample(parameters::modelParameters(p), p.m);
  std::string rows;
  char row[160];
  for (float field : fields) {
    const hysteresis::HysteresisPointValues v = sample.apply(field);
    std::snprintf(row, sizeof row, "%f %e %e %e\n", static_cast<double>(field), v.M, v.irreversibleColumn,
                  v.reversibleColumn);
    rows += row;
  }
  writeTextFile(a.out, rows);
  std::cerr << "history: " << fields.size() << " fields, written to " << a.out << std::endl;
  return 0;
}

void addForcCommand(CLI::App& app, ForcArguments& a) {
  CLI::App* forc = app.add_subcommand("forc", "First-order reversal curves and their FORC distribution");
  forc->add_option("--params", a.params, "parameter file (T_hyst, Ha_max, the grid and the density)")
      ->default_val(parameters::dataFilePath(parameters::kParameterFileName));
  forc->add_option("--step", a.step,
                   "field step of the reversal fields and along the curves (Oe); default 1 % of 2 Ha_max")
      ->check(CLI::PositiveNumber);
  forc->add_option("--sf", a.smoothing, "smoothing factor SF: the quadratic fit spans (2 SF + 1)^2 points")
      ->default_val(3)
      ->check(CLI::Range(1, 20));
  forc->add_option("--measured", a.measured, "process measured FORCs (PMC MicroMag text) instead of simulating");
  forc->add_option("--out-dir", a.outDir, "folder of forc-curves.frc, forc-diagram.txt and forc-diagram.png")
      ->default_val(std::string(parameters::kDataDirectory));
  forc->callback([&a] { a.chosen = true; });
}

int runForc(const ForcArguments& a) {
  const std::string base = a.outDir.empty() ? std::string(".") : a.outDir;
  requireFolderOf(base + "/forc-diagram.txt");
  measured::ForcSet forcs;
  double step = a.step;
  std::string source;
  if (!a.measured.empty()) {
    forcs = measured::readPmc(a.measured);
    source = a.measured;
  } else {
    const parameters::ParameterSet p = readParameters(a.params);
    checkLoopParameters(p, a.params);
    if (step == 0.0) step = 0.02 * static_cast<double>(p.Ha_max);
    if (2.0 * static_cast<double>(p.Ha_max) / step > 2000.0)
      throw DataError("--step " + formatNumber(step) + " Oe makes more than 2000 reversal curves; take a larger step");
    std::cerr << "forc: simulating " << static_cast<long>(2.0 * static_cast<double>(p.Ha_max) / step) + 1
              << " reversal curves" << std::endl;
    forcs = history::simulateForcs(parameters::modelParameters(p), p.m, step);
    source = "preisach-lab forc, " + a.params;
  }
  if (a.measured.empty()) {
    // The diagram is made from the curves as written, so that the file read
    // back as a measurement gives the same diagram.
    std::ostringstream pmc;
    measured::writePmc(pmc, forcs, step, a.smoothing, source);
    writeTextFile(base + "/forc-curves.frc", pmc.str());
    forcs = measured::readPmc(base + "/forc-curves.frc");
  }
  const std::vector<std::vector<history::ForcValue>> blocks = history::forcDistribution(forcs, a.smoothing);
  if (blocks.empty()) throw DataError("the FORCs are too few or too irregular for a FORC distribution");
  std::ostringstream text;
  history::writeDistribution(text, blocks);
  writeTextFile(base + "/forc-diagram.txt", text.str());
  if (haveGnuplot()) drawForcDiagram(blocks, base + "/forc-diagram.txt", base + "/forc-diagram.png");
  std::cerr << "forc: " << forcs.curves.size() << " curves, " << forcs.points() << " points, written to " << base
            << std::endl;
  return 0;
}

}  // namespace preisach::lab
