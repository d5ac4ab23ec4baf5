#pragma once

#include <cstdint>
#include <functional>

#include "model/column_sums.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/model_parameters.h"
#include "model/runs.h"

namespace preisach::model {

// Everything the normalisation computes, before it is printed.
struct NormalisationValues {
  double hts_T0 = 0.0;
  double mu = 0.0;  // mu(T), a float32 value
  GridAxis hcAxis;
  GridAxis hiAxis;
  float Ha_max = 0.0f;
  float ha = 0.0f;  // printed only
  std::int32_t m = 0;
  std::int32_t k1 = 0;  // 1 when the thermal field at T is not positive
  std::int32_t k2 = 0;  // the same
  RegionSum rectangle;  // k10 and the sum of the density over the rectangle
  double Norm_coeff = 0.0;
};

// The grid (bound Ha_max), the temperature quantities and the counters, the
// rectangle's sum still empty.
NormalisationValues startNormalisation(const ModelParameters& p, std::int32_t m, float T, float Ha_max);

// The rectangle's nodes: 0 < hc < Ha_max and -Ha_max < hi < Ha_max, all
// strict, so the first node of each axis never counts.
Run rectangleColumns(const AxisNodes& hcNodes, float Ha_max);
Run rectangleRows(const AxisNodes& hiNodes, float Ha_max);

// Norm_coeff = N / (mean density * 2 Ha_max * Ha_max) once the rectangle is
// summed; with no counted node the mean is 0/0 and Norm_coeff a NaN.
void finishNormalisation(NormalisationValues& v, float N);

// The rectangle's nodes and their densities, handed to a task that runs
// beside the sums (the density map, which the driver writes).
struct RectangleNodes {
  const DensityTable& table;
  const AxisNodes& hcNodes;
  const AxisNodes& hiNodes;
  Run columns;
  Run rows;
};
using RectangleTask = std::function<void(const RectangleNodes&)>;

// The normalisation of the density at temperature T over 0 < hc < Ha_max,
// -Ha_max < hi < Ha_max on the grid of m divisions: Norm_coeff = N / (mean
// density * 2 Ha_max * Ha_max). With no node inside the rectangle (m < 3 on
// an unrefined axis, Ha_max not positive) the count is 0 and Norm_coeff a
// NaN. `task`, when given, receives the rectangle's nodes.
NormalisationValues evaluateNormalisation(
    const ModelParameters& p, std::int32_t m, float T, float Ha_max, const RectangleTask& task = nullptr);

}  // namespace preisach::model
