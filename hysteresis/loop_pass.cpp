#include "hysteresis/loop_pass.h"

#include <algorithm>
#include <functional>

#include "model/column_sums.h"
#include "model/parallel.h"

namespace preisach::hysteresis {

namespace {

// The points of the branch that ha_max selects, on that branch's own grid.
std::vector<HysteresisPointValues> branchOnItsGrid(const parameters::ParameterSet& p,
                                                   float ha_max,
                                                   const std::vector<float>& fields,
                                                   float Norm_coeff) {
  return HysteresisBranch(p.Tc, p.mu0, p.Gamma, p.hc0_mean, p.Gamma_c, p.sigmac0, p.Gamma_cprim, p.sigmai0, p.Gamma_i,
                          p.km, p.N, p.m, p.PDF, p.T_hyst, ha_max)
      .evaluate(fields, p.N, Norm_coeff, p.s, p.lambda, p.f);
}

}  // namespace

LoopValues evaluateLoop(const parameters::ParameterSet& p,
                        const std::vector<float>& down,
                        const std::vector<float>& up,
                        std::FILE* mapFile,
                        unsigned threads) {
  LoopValues loop;
  model::NormalisationValues& n = loop.normalisation;
  n = model::startNormalisation(p.Tc, p.mu0, p.Gamma, p.ha, p.sigmac0, p.sigmai0, p.m, p.T_hyst, p.Ha_max);
  const model::DensityTable table(model::DensityParameters{p.T_hyst, p.Tc, p.hc0_mean, p.Gamma_c, p.sigmac0,
                                                           p.Gamma_cprim, p.sigmai0, p.Gamma_i, p.km, p.N, p.PDF},
                                  n.hcAxis, n.hiAxis);
  const model::AxisNodes hcNodes(n.hcAxis), hiNodes(n.hiAxis);
  const model::Run columns = model::rectangleColumns(hcNodes, p.Ha_max);
  const model::Run rows = model::rectangleRows(hiNodes, p.Ha_max);

  // A branch starts at +-Ha_max on the normalisation's own grid when Ha_max
  // is positive, and its regions join the sweeps. Otherwise the sign of
  // Ha_max swaps the branches, each on a grid of its own (or, for 0 or NaN,
  // there is none): a case of no practical use, evaluated branch by branch
  // once Norm_coeff is known.
  const bool sameGrid = p.Ha_max > 0.0f;
  HysteresisPointValues fromPositive =
      startHysteresisPoint(p.Tc, p.mu0, p.Gamma, p.m, p.sigmac0, p.sigmai0, p.T_hyst, p.Ha_max);
  HysteresisPointValues fromNegative =
      startHysteresisPoint(p.Tc, p.mu0, p.Gamma, p.m, p.sigmac0, p.sigmai0, p.T_hyst, -p.Ha_max);
  const bool branches = sameGrid && !(down.empty() && up.empty());
  const float H = fromPositive.H;
  std::vector<model::RegionSum> reversedDown(down.size(), model::RegionSum{fromPositive.k2, 0.0});
  std::vector<model::RegionSum> reversedUp(up.size(), model::RegionSum{fromNegative.k2, 0.0});
  model::RegionSum triangle{fromPositive.k1, 0.0};

  const double one = 1.0;
  std::vector<BranchRegion> descending{BranchRegion{
      &n.rectangle, [&](std::int32_t i, double) { return columns.begin <= i && i < columns.end ? rows : model::Run{}; },
      &one}};
  std::vector<BranchRegion> ascending;
  if (branches) {
    ascending.push_back(BranchRegion{&triangle, triangleRegion(hiNodes, H), &fromPositive.mu});
    for (std::size_t k = 0; k < down.size(); ++k)
      descending.push_back(
          {&reversedDown[k], reversedRegion(Branch::Descending, hiNodes, H, down[k]), &fromPositive.mu});
    for (std::size_t k = 0; k < up.size(); ++k)
      ascending.push_back({&reversedUp[k], reversedRegion(Branch::Ascending, hiNodes, H, up[k]), &fromNegative.mu});
  }
  std::vector<std::function<void()>> tasks{[&] { sumRegions(table, hcNodes, descending); }};
  if (!ascending.empty()) tasks.push_back([&] { sumRegions(table, hcNodes, ascending); });
  if (mapFile != nullptr)
    tasks.push_back(
        [&] { loop.mapWriteError = model::writeDensityMap(mapFile, table, hcNodes, hiNodes, columns, rows); });
  model::forEachIndex(tasks.size(), threads, [&](std::size_t k) { tasks[k](); });

  model::finishNormalisation(n, p.N);
  const float Norm_coeff = static_cast<float>(n.Norm_coeff);
  if (!sameGrid) {
    loop.descending = branchOnItsGrid(p, p.Ha_max, down, Norm_coeff);
    loop.ascending = branchOnItsGrid(p, -p.Ha_max, up, Norm_coeff);
    return loop;
  }
  fromPositive.k1 = fromNegative.k1 = triangle.count;
  fromPositive.sum1 = fromNegative.sum1 = triangle.sum;
  for (std::size_t k = 0; k < down.size(); ++k)
    loop.descending.push_back(fieldPoint(fromPositive, reversedDown[k], down[k], p.N, Norm_coeff, p.s, p.lambda, p.f));
  for (std::size_t k = 0; k < up.size(); ++k)
    loop.ascending.push_back(fieldPoint(fromNegative, reversedUp[k], up[k], p.N, Norm_coeff, p.s, p.lambda, p.f));
  return loop;
}

}  // namespace preisach::hysteresis
