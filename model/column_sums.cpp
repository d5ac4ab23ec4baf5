#include "model/column_sums.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "model/library_math.h"

namespace preisach::model {

namespace {

// Rows [begin, end) of a column for K chains that all hold every row of the
// segment. The K sums are separate dependency chains, so the rounding of
// one overlaps the arithmetic of the others.
template <int K, bool Divides>
void sumSegment(Extended column, const Extended* rows, std::int32_t begin, std::int32_t end, Chain* const* active) {
  double sums[K];
  const Extended* weights[K];
  std::int32_t strides[K];
  for (int k = 0; k < K; ++k) {
    sums[k] = active[k]->region->sum;
    weights[k] = active[k]->weights;
    strides[k] = active[k]->weightPerRow ? 1 : 0;
  }
  for (std::int32_t j = begin; j < end; ++j) {
    // The node's density, rounded to float64 as every evaluation returns it.
    const Extended p = static_cast<Extended>(static_cast<double>(Divides ? column / rows[j] : column * rows[j]));
    for (int k = 0; k < K; ++k)
      sums[k] = static_cast<double>(p * weights[k][j * strides[k]] + static_cast<Extended>(sums[k]));
  }
  for (int k = 0; k < K; ++k) {
    active[k]->region->sum = sums[k];
    active[k]->region->count += end - begin;
  }
}

template <bool Divides>
void sumSegmentOf(
    int K, Extended column, const Extended* rows, std::int32_t begin, std::int32_t end, Chain* const* active) {
  switch (K) {
    case 1:
      return sumSegment<1, Divides>(column, rows, begin, end, active);
    case 2:
      return sumSegment<2, Divides>(column, rows, begin, end, active);
    default:
      return sumSegment<kMaxChainsPerRow, Divides>(column, rows, begin, end, active);
  }
}

}  // namespace

void accumulateColumn(const DensityTable& table, std::int32_t i, Chain* chains, int chainCount) {
  // Cut the column at every run boundary; between two cuts the set of
  // chains that hold a row does not change.
  std::int32_t cuts[2 * kMaxChains];
  int cutCount = 0;
  for (int k = 0; k < chainCount; ++k) {
    if (chains[k].run.empty()) continue;
    cuts[cutCount++] = chains[k].run.begin;
    cuts[cutCount++] = chains[k].run.end;
  }
  std::sort(cuts, cuts + cutCount);
  cutCount = static_cast<int>(std::unique(cuts, cuts + cutCount) - cuts);
  const Extended column = table.column(i);
  for (int c = 0; c + 1 < cutCount; ++c) {
    const std::int32_t begin = cuts[c], end = cuts[c + 1];
    Chain* active[kMaxChains];
    int K = 0;
    for (int k = 0; k < chainCount; ++k)
      if (!chains[k].run.empty() && chains[k].run.begin <= begin && end <= chains[k].run.end) active[K++] = &chains[k];
    if (K == 0) continue;
    if (K > kMaxChainsPerRow) std::abort();  // a caller broke the contract: no sum may be skipped
    if (table.divides())
      sumSegmentOf<true>(K, column, table.rows(), begin, end, active);
    else
      sumSegmentOf<false>(K, column, table.rows(), begin, end, active);
  }
}

}  // namespace preisach::model
