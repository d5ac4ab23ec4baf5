#include "model/column_sums.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "model/library_math.h"

namespace preisach::model {

namespace {

// Rows summed per block: the density values and weights of a block stay in
// the first-level cache for every chain of a sweep.
constexpr std::int32_t kBlock = 128;

}  // namespace

ColumnSweep::ColumnSweep(std::vector<const DensityTable*> tables)
    : tables_(std::move(tables)),
      rowCount_(tables_.empty() ? 0 : tables_.front()->rowCount()),
      values_(tables_.size() * rowCount_),
      users_(tables_.size(), 0) {
  for (const DensityTable* table : tables_)
    if (table->divides() != tables_.front()->divides() || table->rowCount() != rowCount_)
      throw std::invalid_argument("a sweep's densities must share their grid and the way their factors combine");
}

const double* ColumnSweep::uniformColumn(const double* weight) {
  for (const Uniform& u : uniform_)
    if (u.weight == weight && std::memcmp(&u.value, weight, sizeof u.value) == 0) return u.column.data();
  uniform_.push_back(Uniform{weight, *weight, std::vector<double>(rowCount_, *weight)});
  return uniform_.back().column.data();
}

void ColumnSweep::activate(const std::vector<Chain>& chains, std::size_t k) {
  const Chain& c = chains[k];
  const std::size_t table = static_cast<std::size_t>(c.table);
  ++users_[table];
  position_[k] = active_.size();
  const double* weights = c.weightPerRow ? c.weights : uniformColumn(c.weights);
  active_.push_back(Active{&values_[table * rowCount_], weights, c.region->sum, k});
}

void ColumnSweep::retire(const std::vector<Chain>& chains, std::size_t k) {
  const Chain& c = chains[k];
  --users_[static_cast<std::size_t>(c.table)];
  const std::size_t at = position_[k];
  c.region->sum = active_[at].sum;
  c.region->count += c.run.end - c.run.begin;
  active_[at] = active_.back();
  position_[active_[at].chain] = at;
  active_.pop_back();
}

void ColumnSweep::accumulate(std::int32_t i, const std::vector<Chain>& chains) {
  // Cut the column where a run begins or ends; between two cuts the set of
  // chains that hold a row does not change. An end sorts before a begin.
  events_.clear();
  for (std::size_t k = 0; k < chains.size(); ++k) {
    if (chains[k].run.empty()) continue;
    events_.emplace_back(chains[k].run.begin, 2 * k + 1);
    events_.emplace_back(chains[k].run.end, 2 * k);
  }
  std::sort(events_.begin(), events_.end());
  position_.resize(chains.size());
  const bool divides = !tables_.empty() && tables_.front()->divides();
  for (std::size_t e = 0; e < events_.size();) {
    const std::int32_t row = events_[e].first;
    for (; e < events_.size() && events_[e].first == row; ++e) {
      const std::size_t k = events_[e].second / 2;
      if (events_[e].second % 2 == 1)
        activate(chains, k);
      else
        retire(chains, k);
    }
    if (e == events_.size() || active_.empty()) continue;
    if (divides)
      sumRows<true>(i, row, events_[e].first);
    else
      sumRows<false>(i, row, events_[e].first);
  }
}

template <bool Divides>
void ColumnSweep::sumRows(std::int32_t i, std::int32_t begin, std::int32_t end) {
  for (std::int32_t b = begin; b < end; b += kBlock) {
    const std::int32_t e = std::min(end, b + kBlock);
    // Each node's density, rounded to float64 as every evaluation returns it.
    for (std::size_t t = 0; t < tables_.size(); ++t) {
      if (users_[t] == 0) continue;
      double* values = &values_[t * rowCount_];
      const Extended column = tables_[t]->column(i);
      if (Divides) {
        const long double* rows = tables_[t]->rows();
#pragma GCC unroll 4
        for (std::int32_t j = b; j < e; ++j) values[j] = static_cast<double>(column / rows[j]);
      } else {
        const double* rows = tables_[t]->rowValues();
#pragma GCC unroll 4
        for (std::int32_t j = b; j < e; ++j) values[j] = static_cast<double>(column * ext(rows[j]));
      }
    }
    // The chains side by side, row by row; two at a time to spend fewer
    // instructions on the loop itself.
    Active* const active = active_.data();
    const std::size_t K = active_.size();
    for (std::int32_t j = b; j < e; ++j) {
      std::size_t k = 0;
      for (; k + 1 < K; k += 2) {
        Active& x = active[k];
        Active& y = active[k + 1];
        x.sum = static_cast<double>(ext(x.density[j]) * ext(x.weights[j]) + ext(x.sum));
        y.sum = static_cast<double>(ext(y.density[j]) * ext(y.weights[j]) + ext(y.sum));
      }
      if (k < K) {
        Active& x = active[k];
        x.sum = static_cast<double>(ext(x.density[j]) * ext(x.weights[j]) + ext(x.sum));
      }
    }
  }
}

}  // namespace preisach::model
