// How the program's grid approaches the model it sums: on the default file
// and every example, the largest departure of the grid's ZFC/FC curves and
// loop from the continuum limit, relative to the curve's largest value, at
// m = 400, 800, 1600, 3200, and m_eff times that departure, m_eff the
// smaller count of divisions of the grid's two axes once refined (an axis
// whose step exceeds a third of its width at 0 K has 3m): constant for a
// first-order error. Run by hand; it takes a few seconds.
//
//   convergence_bench

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "curves/model_curves.h"
#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "model/grid.h"
#include "support/parameter_records.h"
#include "zfcfc/zfcfc_point.h"

namespace {

namespace pc = preisach::curves;
using preisach::model::Branch;

preisach::parameters::ParameterSet fileAt(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return preisach::support::parametersFrom(text.str());
}

double largestDeparture(const std::vector<double>& grid, const std::vector<double>& limit) {
  double difference = 0.0, largest = 0.0;
  for (std::size_t k = 0; k < limit.size(); ++k) {
    difference = std::max(difference, std::fabs(grid[k] - limit[k]));
    largest = std::max(largest, std::fabs(limit[k]));
  }
  return difference / largest;
}

std::vector<double> moments(const std::vector<pc::MomentPoint>& points) {
  std::vector<double> M;
  for (const pc::MomentPoint& p : points) M.push_back(p.M);
  return M;
}

double effectiveDivisions(const preisach::model::GridAxis& hc, const preisach::model::GridAxis& hi) {
  return static_cast<double>(std::min(hc.count, hi.count));
}

void study(const std::string& name, const preisach::parameters::ParameterSet& p) {
  const std::vector<float> T = preisach::driver::temperatureSchedule(p.T_max);
  const std::vector<float> down = preisach::driver::fieldSchedule(p.Ha_max, Branch::Descending);
  const std::vector<float> up = preisach::driver::fieldSchedule(p.Ha_max, Branch::Ascending);
  const pc::ModelChoice limit = pc::modelChoice("continuum", 1e-10, 0);
  const pc::ZfcFcCurves zfcfc = pc::zfcfcCurves(p, T, limit);
  const std::vector<double> loop = moments(pc::loopCurve(p, down, up, limit));
  std::printf("%s (shape %c)\n  %6s %10s %10s %10s %9s %9s %9s\n", name.c_str(), static_cast<char>(p.PDF), "m", "ZFC",
              "FC", "loop", "meff*ZFC", "meff*FC", "meff*loop");
  for (std::int32_t m : {400, 800, 1600, 3200}) {
    const pc::ModelChoice grid = pc::modelChoice("grid", 1e-10, m);
    const pc::ZfcFcCurves g = pc::zfcfcCurves(p, T, grid);
    const double zfc = largestDeparture(g.M_ZFC, zfcfc.M_ZFC), fc = largestDeparture(g.M_FC, zfcfc.M_FC);
    const double l = largestDeparture(moments(pc::loopCurve(p, down, up, grid)), loop);
    const double zfcCount = effectiveDivisions(preisach::zfcfc::zfcfcHcAxis(p, m), preisach::zfcfc::zfcfcHiAxis(p, m));
    const double H = static_cast<double>(p.Ha_max);
    const double loopCount = effectiveDivisions(preisach::model::makeGridAxis(0.0, H, m, p.sigmac0),
                                                preisach::model::makeGridAxis(-H, H, m, p.sigmai0));
    std::printf("  %6d %10.3e %10.3e %10.3e %9.3f %9.3f %9.3f\n", m, zfc, fc, l, zfcCount * zfc, zfcCount * fc,
                loopCount * l);
    std::fflush(stdout);
  }
}

}  // namespace

int main() {
  const std::string root = PREISACH_SOURCE_DIR;
  study("default file", fileAt(root + "/Magnetism/Parameters.txt"));
  std::vector<std::string> examples;
  for (const auto& entry : std::filesystem::directory_iterator(root + "/examples"))
    if (std::filesystem::exists(entry.path() / "Magnetism/Parameters.txt")) examples.push_back(entry.path().string());
  std::sort(examples.begin(), examples.end());
  for (const std::string& e : examples)
    study(std::filesystem::path(e).filename().string(), fileAt(e + "/Magnetism/Parameters.txt"));
  return 0;
}
