#pragma once

#include <cstdint>
#include <vector>

#include "model/density.h"
#include "model/runs.h"

namespace preisach::model {

// One region of the (hc, hi) plane: its counter and its running sum.
struct RegionSum {
  std::int32_t count = 0;
  double sum = 0.0;
};

// A region's share of one hc column: the run of hi rows it holds there, the
// density it sums (an index into the sweep's tables) and the weight its
// integrand puts on that density, one per row (weights[j]) or one for the
// whole run (weights[0]).
struct Chain {
  RegionSum* region = nullptr;
  Run run;
  const double* weights = nullptr;
  bool weightPerRow = false;
  std::int32_t table = 0;
};

// Sums the regions of one or more densities sampled on the same grid (the
// density at several temperatures, say), one hc column at a time. For every
// chain, in increasing row order, it counts each node of the run and sets
// sum = density * weight + sum, the product and the sum in extended
// precision and the sum rounded to float64 at every node: the order of a
// node-by-node sweep of the column. A region's sum depends only on its own
// last value, so its additions form a chain whose speed is the latency of
// one rounded addition; the sweep advances all chains that hold a row side
// by side, and their additions overlap. Each density value is formed once
// per node and shared by every chain of that density holding the node.
// All tables must be of shapes that combine their factors alike.
class ColumnSweep {
 public:
  explicit ColumnSweep(std::vector<const DensityTable*> tables);

  // Adds the nodes of column i to every chain; chains with an empty run are
  // skipped. A region may have at most one chain in a column.
  void accumulate(std::int32_t i, const std::vector<Chain>& chains);

 private:
  // A chain while the sweep is inside its run; density[j] and weights[j]
  // are its values at row j.
  struct Active {
    const double* density;
    const double* weights;
    double sum;
    std::size_t chain;
  };

  void activate(const std::vector<Chain>& chains, std::size_t k);
  void retire(const std::vector<Chain>& chains, std::size_t k);
  template <bool Divides>
  void sumRows(std::int32_t i, std::int32_t begin, std::int32_t end);

  std::vector<const DensityTable*> tables_;
  std::size_t rowCount_;
  std::vector<double> values_;       // a column of density values per table
  std::vector<std::int32_t> users_;  // active chains per table
  // A column of copies of each weight that serves a whole run, so that
  // every chain reads weights[j]: (the weight's address, its value, the column).
  struct Uniform {
    const double* weight;
    double value;
    std::vector<double> column;
  };
  const double* uniformColumn(const double* weight);
  std::vector<Uniform> uniform_;
  std::vector<Active> active_;
  std::vector<std::size_t> position_;  // of each chain in active_
  std::vector<std::pair<std::int32_t, std::size_t>> events_;
};

}  // namespace preisach::model
