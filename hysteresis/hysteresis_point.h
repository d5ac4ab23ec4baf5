#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "model/column_sums.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/model_parameters.h"
#include "model/runs.h"

namespace preisach::hysteresis {

using model::Branch;
using model::ModelParameters;

// Everything a hysteresis point computes, before it is printed.
struct HysteresisPointValues {
  Branch branch = Branch::None;
  double mu = 0.0;          // mu(T_hyst), a float32 value
  double hts_T0 = 0.0;      // thermal field at 5 K, printed
  double floorValue = 0.0;  // floor(hts_T / hts_T0 + 1), printed
  float H = 0.0f;           // |ha_max|
  model::GridAxis hcAxis;
  model::GridAxis hiAxis;
  std::int32_t k1 = 0;   // nodes of the switching triangle (+1 when hts_T <= 0)
  std::int32_t k2 = 0;   // nodes of the reversed region (+1 when hts_T <= 0)
  std::int32_t k10 = 0;  // printed only, always 0
  double sum1 = 0.0;
  double sum2 = 0.0;
  double Integral1 = 0.0;
  double Integral2 = 0.0;
  double M_rev = 0.0;
  double M_irr = 0.0;
  double M = 0.0;
  double irreversibleColumn = 0.0;  // (1 - f) * M_irr, as written to the row
  double reversibleColumn = 0.0;    // f * M_rev, as written to the row
};

// A point's temperature quantities (at T_hyst), branch and grid (bound
// H = Ha_max, m divisions), with both counters at their start (1 when the
// thermal field is not positive, else 0): the first step of every
// evaluation. An Ha_max that is not positive (or NaN) runs no branch.
HysteresisPointValues startHysteresisPoint(const ModelParameters& p, std::int32_t m, Branch branch);

// The last step, once k1, sum1, k2 and sum2 are known: the two integrals
// (a region with no counted node contributes 0), the reversible part
// sign(ha) N mu tanh((|ha| + s) / lambda), M_irr and M.
void finishHysteresisPoint(HysteresisPointValues& v, const ModelParameters& p, float ha, float Norm_coeff);

// The rest once Integral2 is known (with sum1, k1): the triangle's integral,
// the reversible part, M_irr counted from the saturation the branch left
// (+H descending, -H ascending), M and the row's columns.
void completeHysteresisPoint(HysteresisPointValues& v, const ModelParameters& p, float ha, float Norm_coeff);

// The rows of the switching triangle in the column hc: hc - H < hi < H - hc.
model::Run triangleRows(const model::AxisNodes& hiNodes, double hc, float H);

// The rows a region holds in column i (coordinate hc); an empty run where
// it holds none.
using RegionRows = std::function<model::Run(std::int32_t i, double hc)>;

// A region of a branch's grid: where its sum goes, its rows in each column
// and the weight its integrand puts on the density.
struct BranchRegion {
  model::RegionSum* sum;
  RegionRows rows;
  const double* weight;
};

// Sums every region in one sweep of the grid, their chains side by side:
// each region's nodes in grid order, one density value per node for all.
void sumRegions(const model::DensityTable& table,
                const model::AxisNodes& hcNodes,
                const std::vector<BranchRegion>& regions);

// The switching triangle (0 < hc < H) and the reversed region of the branch
// at field ha: since saturation at +H the nodes whose down-switching field
// -hc - hi lies above ha, since -H those whose up-switching field hc - hi
// lies below it.
RegionRows triangleRegion(const model::AxisNodes& hiNodes, float H);
RegionRows reversedRegion(Branch branch, const model::AxisNodes& hiNodes, float H, float ha);

// A field's point from the start of its branch (with the triangle summed)
// and its reversed region's sum: the starting-field rule, then
// finishHysteresisPoint.
HysteresisPointValues fieldPoint(const HysteresisPointValues& start,
                                 const model::RegionSum& reversed,
                                 const ModelParameters& p,
                                 float ha,
                                 float Norm_coeff);

// One branch of the loop on its grid: the density table and the switching
// triangle (hc - H < hi < H - hc, 0 < hc < H), which do not depend on the
// field, summed once; each field then adds only its reversed region.
class HysteresisBranch {
 public:
  HysteresisBranch(const ModelParameters& p, std::int32_t m, Branch branch);

  // The point at field ha: the nodes reversed since saturation counted with
  // the opposite sign, scaled by Norm_coeff, mixed with weight f with the
  // reversible part. Many fields are summed in one sweep of the grid.
  HysteresisPointValues evaluate(float ha, float Norm_coeff) const;
  std::vector<HysteresisPointValues> evaluate(const std::vector<float>& fields, float Norm_coeff) const;

  // The point at field ha after any history: the nodes reversed since the
  // last saturation (at +H for `from` Descending, at -H for Ascending) are, in
  // each column i of the triangle (coordinate hc), the hi rows rows(i, hc),
  // summed in grid order as the branch sums its region, and their region of
  // the plane has the exact area `area`. Many such points are summed in one
  // sweep of the grid.
  struct Reversal {
    float ha;
    RegionRows rows;
    long double area;
  };
  std::vector<HysteresisPointValues> evaluateReversed(const std::vector<Reversal>& reversals,
                                                      Branch from,
                                                      float Norm_coeff) const;

  const model::GridAxis& hcAxis() const { return start_.hcAxis; }
  const model::GridAxis& hiAxis() const { return start_.hiAxis; }
  const model::AxisNodes& hiNodes() const { return hiNodes_; }

 private:
  ModelParameters p_;
  HysteresisPointValues start_;
  model::DensityTable table_;
  model::AxisNodes hcNodes_;
  model::AxisNodes hiNodes_;
};

// The magnetisation at applied field ha on `branch`, at T_hyst (a
// HysteresisBranch evaluated at one field).
HysteresisPointValues evaluateHysteresisPoint(
    const ModelParameters& p, std::int32_t m, float ha, Branch branch, float Norm_coeff);

}  // namespace preisach::hysteresis
