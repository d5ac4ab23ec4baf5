#include "model/normalisation.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "model/library_math.h"
#include "model/scaling.h"
#include "model/thermal.h"

namespace preisach::model {

NormalisationValues startNormalisation(const ModelParameters& p, std::int32_t m, float T, float Ha_max) {
  NormalisationValues v;
  v.mu = scaledParameter(T, p.Tc, p.mu0, p.Gamma);
  v.hts_T0 = thermalFieldAt5K(p.mu0);
  // k1 and k2 only flag a thermal field that is not positive (T <= 0, or
  // NaN); they are printed beside k10 for comparison with the other grids.
  const double hts_T = static_cast<double>(thermalField(T, p.mu0));
  v.k1 = v.k2 = hts_T > 0.0 ? 0 : 1;
  const double H = Ha_max;
  v.hcAxis = makeGridAxis(0.0, H, m, p.sigmac0);
  v.hiAxis = makeGridAxis(-H, H, m, p.sigmai0);
  v.Ha_max = Ha_max;
  v.ha = p.ha;
  v.m = m;
  return v;
}

Run rectangleColumns(const AxisNodes& hcNodes, float Ha_max) {
  return hcNodes.between(0.0L, ext(Ha_max));
}

Run rectangleRows(const AxisNodes& hiNodes, float Ha_max) {
  return hiNodes.between(-ext(Ha_max), ext(Ha_max));
}

void finishNormalisation(NormalisationValues& v, float N) {
  // Mean density times the area of the full rectangle estimates the
  // integral; with no counted node the mean is 0/0, a NaN.
  const double H = v.Ha_max;
  const double rangeHc = H - 0.0;
  const double rangeHi = H - -H;
  const double mean = static_cast<double>(ext(v.rectangle.sum) / (static_cast<Extended>(v.rectangle.count) * ext(1.0)));
  const double denominator = static_cast<double>(ext(mean) * ext(rangeHi) * ext(rangeHc));
  v.Norm_coeff = static_cast<double>(ext(N) / ext(denominator));
}

NormalisationValues evaluateNormalisation(
    const ModelParameters& p, std::int32_t m, float T, float Ha_max, const RectangleTask& task) {
  NormalisationValues v = startNormalisation(p, m, T, Ha_max);
  const DensityTable table(densityAt(p, T), v.hcAxis, v.hiAxis);
  const AxisNodes hcNodes(v.hcAxis), hiNodes(v.hiAxis);
  const Run columns = rectangleColumns(hcNodes, Ha_max);
  const Run rows = rectangleRows(hiNodes, Ha_max);
  const double one = 1.0;
  ColumnSweep sweep({&table});
  const std::vector<Chain> chains{Chain{&v.rectangle, rows, &one, false, 0}};
  for (std::int32_t i = columns.begin; i < columns.end; ++i) sweep.accumulate(i, chains);
  if (task) task(RectangleNodes{table, hcNodes, hiNodes, columns, rows});
  finishNormalisation(v, p.N);
  return v;
}

}  // namespace preisach::model
