// The fit as a user meets it: the time of a four-parameter fit (hc0_mean,
// sigmac0, sigmai0, N) to ZFC/FC curves of 39 temperatures at m = 300, the
// data made by the model at m = 600 with 1 % noise and the start 30 % off;
// then a coverage study: over many noise realisations, how often the truth
// lies within two reported standard errors of each fitted value (about 95 %
// for honest errors).
//
//   fit_bench [realisations]   (default 50)

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fitting/fit.h"
#include "support/parameter_records.h"
#include "support/synthetic_curves.h"

using preisach::parameters::ParameterSet;

int main(int argc, char** argv) {
  const int realisations = argc > 1 ? std::atoi(argv[1]) : 50;
  const ParameterSet truth = preisach::support::parametersFrom(
      "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 600 0.01 y 100 300 y 300 2000 50 300 0.1 n");
  ParameterSet start = truth;
  start.m = 300;
  start.hc0_mean *= 1.3f;
  start.sigmac0 *= 1.3f;
  start.sigmai0 *= 0.7f;
  start.N *= 0.7f;
  preisach::fitting::FitOptions options;
  options.free = preisach::fitting::parseFreeParameters("hc0_mean,sigmac0,sigmai0,N", start, truth.T_max);

  std::printf("four-parameter fit, ZFC/FC of 39 temperatures, fit m = 300, data m = 600, 1 %% noise\n");
  std::vector<int> within(options.free.size(), 0);
  std::vector<int> within5(options.free.size(), 0);
  double totalSeconds = 0.0;
  int converged = 0;
  for (int n = 0; n < realisations; ++n) {
    const std::vector<preisach::fitting::Dataset> data =
        preisach::support::measuredCurves(truth, false, 1000u + static_cast<unsigned>(n));
    const auto began = std::chrono::steady_clock::now();
    const preisach::fitting::FitResult r = preisach::fitting::fitParameters(start, data, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    totalSeconds += seconds;
    converged += r.converged ? 1 : 0;
    std::printf("realisation %2d: %5.2f s, %3d evaluations, chi-square %7.2f:", n + 1, seconds, r.evaluations,
                r.chiSquare);
    for (std::size_t j = 0; j < r.values.size(); ++j) {
      const double expected = static_cast<double>(truth.*(options.free[j].value->member));
      const double pulls = (r.values[j] - expected) / r.errors[j];
      within[j] += std::fabs(pulls) <= 2.0 ? 1 : 0;
      within5[j] += std::fabs(r.values[j] - expected) <= 0.05 * expected ? 1 : 0;
      std::printf(" %s %+.2f sigma", r.names[j].c_str(), pulls);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("\nmean time of a fit: %.2f s (goal: under 20 s on 2 cores); converged %d of %d\n",
              totalSeconds / realisations, converged, realisations);
  std::printf("coverage (truth within two reported standard errors; goal at least 85 %%), within 5 %%:\n");
  for (std::size_t j = 0; j < options.free.size(); ++j)
    std::printf("  %-9s %5.1f %%   %5.1f %%\n", options.free[j].value->name, 100.0 * within[j] / realisations,
                100.0 * within5[j] / realisations);
  return 0;
}
