#include "hysteresis/loop_pass.h"

#include <algorithm>
#include <functional>

#include "model/column_sums.h"
#include "model/parallel.h"

namespace preisach::hysteresis {

LoopValues evaluateLoop(const model::ModelParameters& p,
                        std::int32_t m,
                        const std::vector<float>& down,
                        const std::vector<float>& up,
                        const model::RectangleTask& rectangleTask,
                        unsigned threads) {
  LoopValues loop;
  model::NormalisationValues& n = loop.normalisation;
  n = model::startNormalisation(p, m, p.T_hyst, p.Ha_max);
  const model::DensityTable table(model::densityAt(p, p.T_hyst), n.hcAxis, n.hiAxis);
  const model::AxisNodes hcNodes(n.hcAxis), hiNodes(n.hiAxis);
  const model::Run columns = model::rectangleColumns(hcNodes, p.Ha_max);
  const model::Run rows = model::rectangleRows(hiNodes, p.Ha_max);

  // Both branches start at +-Ha_max on the normalisation's own grid, and
  // their regions join the sweeps.
  HysteresisPointValues fromPositive = startHysteresisPoint(p, m, Branch::Descending);
  HysteresisPointValues fromNegative = startHysteresisPoint(p, m, Branch::Ascending);
  const bool branches = fromPositive.branch != Branch::None && !(down.empty() && up.empty());
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
  if (rectangleTask)
    tasks.push_back([&] { rectangleTask(model::RectangleNodes{table, hcNodes, hiNodes, columns, rows}); });
  // The sums and the map run side by side, each on a thread of its own,
  // unless one core is asked for.
  if (model::coresFor(threads) <= 1)
    for (const auto& task : tasks) task();
  else
    model::onWorkers(tasks.size(), [&](std::size_t k) { tasks[k](); });

  model::finishNormalisation(n, p.N);
  const float Norm_coeff = static_cast<float>(n.Norm_coeff);
  fromPositive.k1 = fromNegative.k1 = triangle.count;
  fromPositive.sum1 = fromNegative.sum1 = triangle.sum;
  for (std::size_t k = 0; k < down.size(); ++k)
    loop.descending.push_back(fieldPoint(fromPositive, reversedDown[k], p, down[k], Norm_coeff));
  for (std::size_t k = 0; k < up.size(); ++k)
    loop.ascending.push_back(fieldPoint(fromNegative, reversedUp[k], p, up[k], Norm_coeff));
  return loop;
}

}  // namespace preisach::hysteresis
