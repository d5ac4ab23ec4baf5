#include "hysteresis/hysteresis_point.h"

#include <cmath>
#include <cstdint>

#include "model/column_sums.h"
#include "model/library_math.h"
#include "model/runs.h"
#include "model/scaling.h"
#include "model/thermal.h"

namespace preisach::hysteresis {

namespace {

using model::ext;
using model::Extended;

// Mean over a region's counted nodes; 0 for a region the grid does not see.
double regionMean(double sum, std::int32_t count) {
  if (count == 0) return 0.0;
  return static_cast<double>(ext(sum) / static_cast<Extended>(count));
}

// The bounds of every region test are extended-precision differences,
// compared unrounded: the grid steps are commensurate with the boundary
// lines, so many nodes lie on a boundary in exact arithmetic, and only the
// rounding of the node coordinates decides whether they count. In each hc
// column a region holds the hi rows strictly between two such bounds.

// Switching triangle: both switching fields between -H and H.
bool triangleColumn(double hc, float H) {
  return hc > 0.0 && hc < static_cast<double>(H);
}
}  // namespace

model::Run triangleRows(const model::AxisNodes& hiNodes, double hc, float H) {
  return hiNodes.between(ext(hc) - ext(H), ext(H) - ext(hc));
}

namespace {

// Descending: switched down since saturation at +H (down-switching field
// -hc - hi above ha). Ascending: switched up since saturation at -H
// (up-switching field hc - hi below ha).
bool reversedColumn(Branch branch, double hc, float H, float ha) {
  const Extended half = (ext(H) - ext(ha)) * ext(0.5);
  return hc > 0.0 && (branch == Branch::Descending ? half > ext(hc) : ext(H) - half > ext(hc));
}
model::Run reversedRows(Branch branch, const model::AxisNodes& hiNodes, double hc, float H, float ha) {
  if (branch == Branch::Descending) return hiNodes.between(ext(hc) - ext(H), -ext(hc) - ext(ha));
  return hiNodes.between(ext(hc) - ext(ha), ext(H) - ext(hc));
}

}  // namespace

HysteresisPointValues startHysteresisPoint(const ModelParameters& p, std::int32_t m, Branch branch) {
  HysteresisPointValues v;
  v.mu = static_cast<double>(model::scaledParameter(p.T_hyst, p.Tc, p.mu0, p.Gamma));
  const double hts_T = static_cast<double>(model::thermalField(p.T_hyst, p.mu0));
  v.hts_T0 = model::thermalFieldAt5K(p.mu0);
  v.floorValue = std::floor(static_cast<double>(ext(hts_T) / ext(v.hts_T0) + ext(1.0)));
  // The thermal field plays no part in the regions; a non-positive one only
  // starts both counters at 1.
  v.k1 = v.k2 = hts_T > 0.0 ? 0 : 1;
  if (!(p.Ha_max > 0.0f)) return v;
  v.branch = branch;
  v.H = p.Ha_max;
  v.hcAxis = model::makeGridAxis(0.0, static_cast<double>(v.H), m, p.sigmac0);
  v.hiAxis = model::makeGridAxis(-static_cast<double>(v.H), static_cast<double>(v.H), m, p.sigmai0);
  return v;
}

void finishHysteresisPoint(HysteresisPointValues& v, const ModelParameters& p, float ha, float Norm_coeff) {
  const float H = v.H;
  // Mean times exact area: the reversed region's is (H - ha)^2 / 4
  // descending and c^2 with c = (H + ha) / 2 ascending.
  const Extended mean2 = ext(regionMean(v.sum2, v.k2));
  if (v.branch == Branch::Descending) {
    const Extended width = ext(H) - ext(ha);
    v.Integral2 = static_cast<double>(width * mean2 * width * ext(0.25));
  } else {
    const Extended c = ext(H) - (ext(H) - ext(ha)) * ext(0.5);
    v.Integral2 = static_cast<double>(c * mean2 * c);
  }
  completeHysteresisPoint(v, p, ha, Norm_coeff);
}

void completeHysteresisPoint(HysteresisPointValues& v, const ModelParameters& p, float ha, float Norm_coeff) {
  const float N = p.N, s = p.s, lambda = p.lambda, f = p.f;
  // The triangle's area is H^2, formed as 2H * H * 0.5.
  const Extended mean1 = ext(regionMean(v.sum1, v.k1));
  const double twoH = 2.0 * static_cast<double>(v.H);
  v.Integral1 = static_cast<double>(mean1 * ext(twoH) * ext(v.H) * ext(0.5));

  // The reversible part jumps at zero field: sign(ha) N mu tanh((|ha| + s) / lambda).
  if (ha != 0.0f) {
    const double magnitude = std::fabs(static_cast<double>(ha));
    const Extended amplitude = ext(N) * ext(v.mu) * ext(ha) / ext(magnitude);
    const double t = std::tanh(static_cast<double>((ext(magnitude) + ext(s)) / ext(lambda)));
    v.M_rev = static_cast<double>(amplitude * ext(t));
  }
  // The reversed nodes count against the saturation they left.
  const bool descending = v.branch == Branch::Descending;
  const Extended irreversible =
      descending ? ext(v.Integral1) - ext(2.0) * ext(v.Integral2) : ext(2.0) * ext(v.Integral2) - ext(v.Integral1);
  v.M_irr = static_cast<double>(irreversible * ext(Norm_coeff));
  v.M = static_cast<double>(ext(f) * ext(v.M_rev) + (ext(1.0) - ext(f)) * ext(v.M_irr));
  v.irreversibleColumn = static_cast<double>((ext(1.0) - ext(f)) * ext(v.M_irr));
  v.reversibleColumn = static_cast<double>(ext(f) * ext(v.M_rev));
}

RegionRows triangleRegion(const model::AxisNodes& hiNodes, float H) {
  return [&hiNodes, H](std::int32_t, double hc) {
    return triangleColumn(hc, H) ? triangleRows(hiNodes, hc, H) : model::Run{};
  };
}

RegionRows reversedRegion(Branch branch, const model::AxisNodes& hiNodes, float H, float ha) {
  return [branch, &hiNodes, H, ha](std::int32_t, double hc) {
    return reversedColumn(branch, hc, H, ha) ? reversedRows(branch, hiNodes, hc, H, ha) : model::Run{};
  };
}

void sumRegions(const model::DensityTable& table,
                const model::AxisNodes& hcNodes,
                const std::vector<BranchRegion>& regions) {
  model::ColumnSweep sweep({&table});
  std::vector<model::Chain> chains(regions.size());
  for (std::int32_t i = 0; i < hcNodes.count(); ++i) {
    const double hc = hcNodes[i];
    for (std::size_t k = 0; k < regions.size(); ++k)
      chains[k] = model::Chain{regions[k].sum, regions[k].rows(i, hc), regions[k].weight, false, 0};
    sweep.accumulate(i, chains);
  }
}

HysteresisPointValues fieldPoint(const HysteresisPointValues& start,
                                 const model::RegionSum& reversed,
                                 const ModelParameters& p,
                                 float ha,
                                 float Norm_coeff) {
  HysteresisPointValues v = start;
  if (v.branch == Branch::None) return v;
  v.k2 = reversed.count;
  v.sum2 = reversed.sum;
  // At the branch's starting field the reversed region is empty; every node
  // of the grid gives it a mean of 0 over a count of 1.
  const bool atStartingField = v.branch == Branch::Descending ? ha == v.H : ha == -v.H;
  if (atStartingField && v.hcAxis.nodeCount() > 0 && v.hiAxis.nodeCount() > 0) {
    v.sum2 = 0.0;
    v.k2 = 1;
  }
  finishHysteresisPoint(v, p, ha, Norm_coeff);
  return v;
}

HysteresisBranch::HysteresisBranch(const ModelParameters& p, std::int32_t m, Branch branch)
    : p_(p),
      start_(startHysteresisPoint(p, m, branch)),
      table_(model::densityAt(p, p.T_hyst), start_.hcAxis, start_.hiAxis),
      hcNodes_(start_.hcAxis),
      hiNodes_(start_.hiAxis) {
  if (start_.branch == Branch::None) return;
  model::RegionSum triangle{start_.k1, 0.0};
  sumRegions(table_, hcNodes_, {BranchRegion{&triangle, triangleRegion(hiNodes_, start_.H), &start_.mu}});
  start_.k1 = triangle.count;
  start_.sum1 = triangle.sum;
}

std::vector<HysteresisPointValues> HysteresisBranch::evaluate(const std::vector<float>& fields,
                                                              float Norm_coeff) const {
  std::vector<model::RegionSum> reversed(fields.size(), model::RegionSum{start_.k2, 0.0});
  std::vector<HysteresisPointValues> points;
  if (start_.branch != Branch::None) {
    std::vector<BranchRegion> regions;
    for (std::size_t k = 0; k < fields.size(); ++k)
      regions.push_back({&reversed[k], reversedRegion(start_.branch, hiNodes_, start_.H, fields[k]), &start_.mu});
    sumRegions(table_, hcNodes_, regions);
  }
  for (std::size_t k = 0; k < fields.size(); ++k)
    points.push_back(fieldPoint(start_, reversed[k], p_, fields[k], Norm_coeff));
  return points;
}

HysteresisPointValues HysteresisBranch::evaluate(float ha, float Norm_coeff) const {
  return evaluate(std::vector<float>{ha}, Norm_coeff).front();
}

std::vector<HysteresisPointValues> HysteresisBranch::evaluateReversed(const std::vector<Reversal>& reversals,
                                                                      Branch from,
                                                                      float Norm_coeff) const {
  std::vector<model::RegionSum> reversed(reversals.size(), model::RegionSum{start_.k2, 0.0});
  std::vector<HysteresisPointValues> points(reversals.size(), start_);
  if (start_.branch == Branch::None) return points;
  std::vector<BranchRegion> regions;
  for (std::size_t k = 0; k < reversals.size(); ++k) {
    // Only the triangle's columns hold reversed nodes.
    const RegionRows& rows = reversals[k].rows;
    const float H = start_.H;
    regions.push_back(
        {&reversed[k],
         [&rows, H](std::int32_t i, double hc) { return triangleColumn(hc, H) ? rows(i, hc) : model::Run{}; },
         &start_.mu});
  }
  sumRegions(table_, hcNodes_, regions);
  for (std::size_t k = 0; k < reversals.size(); ++k) {
    HysteresisPointValues& v = points[k];
    v.branch = from;
    v.k2 = reversed[k].count;
    v.sum2 = reversed[k].sum;
    v.Integral2 = static_cast<double>(reversals[k].area * ext(regionMean(v.sum2, v.k2)));
    completeHysteresisPoint(v, p_, reversals[k].ha, Norm_coeff);
  }
  return points;
}

HysteresisPointValues evaluateHysteresisPoint(
    const ModelParameters& p, std::int32_t m, float ha, Branch branch, float Norm_coeff) {
  return HysteresisBranch(p, m, branch).evaluate(ha, Norm_coeff);
}

}  // namespace preisach::hysteresis
