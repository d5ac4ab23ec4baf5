// FORCs of the model on a 600 x 600 grid: 100 reversal curves (step 20 Oe
// over +-1000 Oe) with every point of the protocol, timed whole on all
// cores, then their FORC distribution.
//
//   forc_bench

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "history/forc_distribution.h"
#include "history/forc_simulation.h"
#include "support/parameter_records.h"

int main() {
  const preisach::parameters::ParameterSet p = preisach::support::parametersFrom(
      "600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 600 0.01 n 100 300 y 300 1000 50 300 0 n");
  const auto began = std::chrono::steady_clock::now();
  const preisach::history::ForcSet forcs =
      preisach::history::simulateForcs(preisach::parameters::modelParameters(p), p.m, 20.0);
  const auto simulated = std::chrono::steady_clock::now();
  const auto blocks = preisach::history::forcDistribution(forcs, 3);
  const auto processed = std::chrono::steady_clock::now();
  std::size_t values = 0;
  for (const auto& block : blocks) values += block.size();
  std::printf(
      "600 x 600 grid (m = 600, Ha_max = 1000 Oe), step 20 Oe: %zu curves, %zu moments in %.2f s "
      "(goal: under 5 s on 2 cores)\n",
      forcs.curves.size(), forcs.points(), std::chrono::duration<double>(simulated - began).count());
  std::printf("FORC distribution, SF = 3: %zu values in %.2f s\n", values,
              std::chrono::duration<double>(processed - simulated).count());
  return 0;
}
