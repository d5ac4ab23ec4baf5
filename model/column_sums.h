#pragma once

#include <cstdint>

#include "model/density.h"
#include "model/runs.h"

namespace preisach::model {

// One region of the (hc, hi) plane: its counter and its running sum.
struct RegionSum {
  std::int32_t count = 0;
  double sum = 0.0;
};

// A region's share of one hc column: the run of hi rows it holds there, and
// the weight its integrand puts on the density, one per row (weights[j]) or
// one for the whole run (weights[0]).
struct Chain {
  RegionSum* region = nullptr;
  Run run;
  const long double* weights = nullptr;
  bool weightPerRow = false;
};

// For every chain, in increasing row order, counts each node of its run and
// sets sum = density * weight + sum, the product and sum in extended
// precision and the sum rounded to float64 at every node: the order of a
// node-by-node sweep of column i. The chains are independent and advance
// side by side. At most kMaxChains chains, of which at most
// kMaxChainsPerRow hold any one row: the regions of the model that share a
// node are the rectangle, one zero-field-cooled and one field-cooled region.
inline constexpr int kMaxChains = 8;
inline constexpr int kMaxChainsPerRow = 3;
void accumulateColumn(const DensityTable& table, std::int32_t i, Chain* chains, int chainCount);

}  // namespace preisach::model
