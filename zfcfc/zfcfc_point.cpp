#include "zfcfc/zfcfc_point.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "model/column_sums.h"
#include "model/library_math.h"
#include "model/runs.h"
#include "model/scaling.h"
#include "model/thermal.h"

namespace preisach::zfcfc {

namespace {

using model::ext;
using model::Extended;

// Upper hi bound of the grid, ha + hts(T_max), and the float64 rounding of
// the lower one, -ha - hts(T_max).
double hiUpperBound(float ha, double hts_Tmax) {
  return static_cast<double>(ext(ha) + ext(hts_Tmax));
}
double hiLowerBound(float ha, double hts_Tmax) {
  return static_cast<double>(-ext(ha) - ext(hts_Tmax));
}

double mean(const RegionSum& region) {
  return static_cast<double>(ext(region.sum) / (static_cast<Extended>(region.count) * ext(1.0)));
}

// One temperature of a sweep: its point, its density and the weights of its
// integrands (the reversible moment depends on the row alone; mu is one
// value for every row).
struct TemperatureColumns {
  ZfcFcPointValues* v;
  model::DensityTable table;
  std::vector<double> reversible;
  double mu;
};

// The row bounds that do not depend on the column or the temperature: the
// rectangle's (-ha - hts_Tmax and ha + hts_Tmax) and the line h = 0 (hi =
// -ha) that parts the field-cooled regions, each searched once.
struct FixedRows {
  model::Run rectangle;
  std::int32_t aboveZeroField;     // first row with hi > -ha
  std::int32_t notBelowZeroField;  // first row with hi >= -ha
};

// The chains of column i at one temperature. In every hc column each region
// holds the hi rows strictly between two bounds, formed in extended
// precision in the order its boundary lines are written (from the float64
// hc, hts_T, hts_Tmax and the float32 ha); those rows are one run.
void appendColumnChains(std::vector<model::Chain>& chains,
                        TemperatureColumns& at,
                        std::int32_t table,
                        const model::AxisNodes& hiNodes,
                        double hcGrid,
                        const FixedRows& fixed,
                        float ha) {
  static const double one = 1.0;
  ZfcFcPointValues& v = *at.v;
  const Extended hc = ext(hcGrid);
  const Extended t = ext(v.hts_T), h = ext(ha);
  const Extended halfT = t * ext(0.5);
  // A region from the first row above `begin` (a search index) to the row
  // before `end`, holding no row when they cross.
  const auto region = [&](RegionSum& sum, std::int32_t begin, std::int32_t end, bool reversible) {
    chains.push_back(model::Chain{&sum, model::Run{begin, std::max(begin, end)},
                                  reversible ? at.reversible.data() : &at.mu, reversible, table});
  };
  const auto above = [&](Extended x) { return hiNodes.firstAbove(x); };
  const auto notBelow = [&](Extended x) { return hiNodes.firstNotBelow(x); };
  // -hts_Tmax - ha and hts_Tmax + ha are the rectangle's own bounds.
  const std::int32_t bottom = fixed.rectangle.begin, top = fixed.rectangle.end;
  if (hcInsideRectangle(hcGrid, v.hts_Tmax))
    chains.push_back(model::Chain{&v.norm, fixed.rectangle, &one, false, table});
  // Band 1: 0 < hc < hts_T/2; band 2: hts_T/2 < hc < hts_T; band 3: hts_T < hc < hts_Tmax.
  if (hcGrid > 0.0 && hc < halfT) {
    region(v.sp1, above(-hc - h), notBelow(hc - h), true);
    region(v.up1, above(hc - h), top, false);
    region(v.down1, bottom, notBelow(-hc - h), false);
  }
  if (halfT < hc && hc < t) {
    region(v.sp2, above(hc - h - t), notBelow(-hc + t - h), true);
    region(v.up2, above(-hc + t - h), top, false);
    region(v.down2, bottom, notBelow(hc - h - t), false);
  }
  if (t < hc && hc < ext(v.hts_Tmax)) {
    region(v.upZFC, above(hc - h - t), top, false);
    region(v.downZFC, bottom, notBelow(-hc + t - h), false);
    region(v.upFC, fixed.aboveZeroField, top, false);
    region(v.downFC, bottom, fixed.notBelowZeroField, false);
  }
}

}  // namespace

bool hcInsideRectangle(double hc, double hts_Tmax) {
  return hc > 0.0 && ext(hc) < ext(hts_Tmax);
}

bool hiInsideRectangle(double hi, float ha, double hts_Tmax) {
  const Extended W = ext(hts_Tmax), h = ext(ha);
  return -h - W < ext(hi) && ext(hi) < h + W;
}

model::GridAxis zfcfcHcAxis(const ModelParameters& p, std::int32_t m) {
  return model::makeGridAxis(0.0, static_cast<double>(model::thermalField(p.T_max, p.mu0)), m, p.sigmac0);
}

model::GridAxis zfcfcHiAxis(const ModelParameters& p, std::int32_t m) {
  const double hts_Tmax = static_cast<double>(model::thermalField(p.T_max, p.mu0));
  return model::makeGridAxis(hiLowerBound(p.ha, hts_Tmax), hiUpperBound(p.ha, hts_Tmax), m, p.sigmai0);
}

bool zfcfcGridHasNormalisationNode(const ModelParameters& p, std::int32_t m) {
  const double hts_Tmax = static_cast<double>(model::thermalField(p.T_max, p.mu0));
  const model::GridAxis hcAxis = zfcfcHcAxis(p, m);
  const model::GridAxis hiAxis = zfcfcHiAxis(p, m);
  bool hcInside = false, hiInside = false;
  for (std::int32_t i = 0; i < hcAxis.nodeCount() && !hcInside; ++i)
    hcInside = hcInsideRectangle(hcAxis.coordinate(i), hts_Tmax);
  for (std::int32_t j = 0; j < hiAxis.nodeCount() && !hiInside; ++j)
    hiInside = hiInsideRectangle(hiAxis.coordinate(j), p.ha, hts_Tmax);
  return hcInside && hiInside;
}

ZfcFcPointValues startZfcFcPoint(const ModelParameters& p, std::int32_t m, float T) {
  ZfcFcPointValues v;
  v.mu = static_cast<double>(model::scaledParameter(T, p.Tc, p.mu0, p.Gamma));
  v.hts_T = static_cast<double>(model::thermalField(T, p.mu0));
  v.hts_Tmax = static_cast<double>(model::thermalField(p.T_max, p.mu0));
  v.hts_T0 = model::thermalFieldAt5K(p.mu0);
  v.floorValue = std::floor(static_cast<double>(ext(v.hts_T) / ext(v.hts_T0) + ext(1.0)));
  v.hcAxis = zfcfcHcAxis(p, m);
  v.hiAxis = zfcfcHiAxis(p, m);
  return v;
}

// Each integral is its region's mean times the region's exact area, the
// band widths a = hts_T/2, b = hts_T - hts_T/2, c = hts_Tmax - hts_T formed
// afresh, everything in extended precision left to right.
void finishZfcFcPoint(ZfcFcPointValues& v, const ModelParameters& p) {
  const float ha = p.ha;
  const Extended t = ext(v.hts_T), W = ext(v.hts_Tmax), h = ext(ha);
  const Extended a = t * ext(0.5) - ext(0.0);
  const Extended b = t - t * ext(0.5);
  const Extended c = W - t;
  const auto rounded = [](Extended x) { return static_cast<double>(x); };
  v.Integral11SP = rounded(a * ext(mean(v.sp1)) * a);
  v.Integral22SP = rounded(b * ext(mean(v.sp2)) * b);
  v.Integral1p = rounded(((W + h + h) * a - a * a * ext(0.5)) * ext(mean(v.up1)));
  v.Integral1m = rounded(((-h + W + h) * a - a * a * ext(0.5)) * ext(mean(v.down1)));
  v.Integral2p = rounded((b * (W + h + h) - b * b * ext(0.5)) * ext(mean(v.up2)));
  v.Integral2m = rounded((b * (-h + W + h) - b * b * ext(0.5)) * ext(mean(v.down2)));
  v.Integral3pZFC = rounded(((W + h + h) * c - c * c * ext(0.5)) * ext(mean(v.upZFC)));
  v.Integral3mZFC = rounded(((-h + W + h) * c - c * c * ext(0.5)) * ext(mean(v.downZFC)));
  v.Integral3FCplus = rounded((W + h + h) * ext(mean(v.upFC)) * c);
  v.Integral3FCminus = rounded((W + h - h) * ext(mean(v.downFC)) * c);
  v.Integral3pFC = rounded(ext(v.Integral3FCplus) - ext(v.Integral3FCminus));

  // The density is normalised afresh at every temperature, over the grid's
  // whole rectangle.
  const double hcRange = static_cast<double>(ext(v.hts_Tmax) - ext(0.0));
  const double hiRange = static_cast<double>(ext(hiUpperBound(ha, v.hts_Tmax)) - ext(hiLowerBound(ha, v.hts_Tmax)));
  v.IntegralNorm = static_cast<double>(ext(mean(v.norm)) * ext(hiRange) * ext(hcRange));
  v.Norm_coeff = static_cast<double>(ext(p.N) / ext(v.IntegralNorm));

  // Bands 1 and 2 are the same after either cooling; only band 3 differs.
  const Extended common = ext(v.Integral1p) + ext(v.Integral2p) + ext(v.Integral11SP) + ext(v.Integral22SP);
  v.M_ZFC = static_cast<double>(
      (common + ext(v.Integral3pZFC) - ext(v.Integral3mZFC) - ext(v.Integral1m) - ext(v.Integral2m)) *
      ext(v.Norm_coeff));
  v.M_FC =
      static_cast<double>((common + ext(v.Integral3pFC) - ext(v.Integral1m) - ext(v.Integral2m)) * ext(v.Norm_coeff));
}

std::vector<std::size_t> sweepGroups(std::size_t count, std::size_t most, unsigned cores) {
  // As many sweeps as cores, or a multiple of it, so that the cores finish
  // together; the temperatures shared out evenly, in order.
  const std::size_t perRound = std::max<std::size_t>(1, cores) * std::max<std::size_t>(1, most);
  const std::size_t sweeps = std::min(count, std::max<std::size_t>(1, cores) * ((count + perRound - 1) / perRound));
  std::vector<std::size_t> firsts;
  for (std::size_t k = 0; k <= sweeps; ++k) firsts.push_back(sweeps == 0 ? 0 : k * count / sweeps);
  return firsts;
}

std::vector<ZfcFcPointValues> evaluateZfcFcPoints(const ModelParameters& p,
                                                  std::int32_t m,
                                                  const std::vector<float>& temperatures) {
  std::vector<ZfcFcPointValues> points;
  for (float T : temperatures) points.push_back(startZfcFcPoint(p, m, T));
  if (points.empty()) return points;
  // The grid does not depend on the temperature.
  const model::GridAxis& hcAxis = points.front().hcAxis;
  const model::AxisNodes hcNodes(hcAxis), hiNodes(points.front().hiAxis);
  std::vector<TemperatureColumns> columns;
  columns.reserve(points.size());
  std::vector<const model::DensityTable*> tables;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const float T = temperatures[k];
    TemperatureColumns& at = columns.emplace_back(TemperatureColumns{
        &points[k], model::DensityTable(model::densityAt(p, T), hcAxis, points[k].hiAxis), {}, points[k].mu});
    for (std::int32_t j = 0; j < hiNodes.count(); ++j)
      at.reversible.push_back(
          static_cast<double>(model::reversibleMoment(T, p.Tc, p.mu0, p.Gamma, p.ha, static_cast<float>(hiNodes[j]))));
    tables.push_back(&at.table);
  }
  const double hts_Tmax = points.front().hts_Tmax;
  const float ha = p.ha;
  const FixedRows fixed{hiNodes.between(-ext(ha) - ext(hts_Tmax), ext(ha) + ext(hts_Tmax)),
                        hiNodes.firstAbove(-ext(ha)), hiNodes.firstNotBelow(-ext(ha))};

  // One sweep of the grid for all the temperatures: their chains advance
  // side by side, columns in order and rows in order within each chain.
  model::ColumnSweep sweep(tables);
  std::vector<model::Chain> chains;
  for (std::int32_t i = 0; i < hcNodes.count(); ++i) {
    chains.clear();
    for (std::size_t k = 0; k < columns.size(); ++k)
      appendColumnChains(chains, columns[k], static_cast<std::int32_t>(k), hiNodes, hcNodes[i], fixed, ha);
    sweep.accumulate(i, chains);
  }
  for (ZfcFcPointValues& v : points) finishZfcFcPoint(v, p);
  return points;
}

ZfcFcPointValues evaluateZfcFcPoint(const ModelParameters& p, std::int32_t m, float T) {
  return evaluateZfcFcPoints(p, m, {T}).front();
}

}  // namespace preisach::zfcfc
