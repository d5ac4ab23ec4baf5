#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/column_sums.h"
#include "model/density.h"
#include "model/grid.h"
#include "model/model_parameters.h"

namespace preisach::zfcfc {

using model::ModelParameters;
using model::RegionSum;

// Everything a ZFC/FC point computes, before it is printed.
struct ZfcFcPointValues {
  double mu = 0.0;        // mu(T), a float32 value
  double hts_T = 0.0;     // thermal fluctuation field at T
  double hts_Tmax = 0.0;  // ... at T_max: the hc extent of the grid
  double hts_T0 = 0.0;    // ... at 5 K, printed
  double floorValue = 0.0;
  model::GridAxis hcAxis;
  model::GridAxis hiAxis;

  // The normalisation counter starts at 0; the band counters start at 1, so
  // their means divide by one more than the nodes they hold.
  RegionSum norm{0, 0.0};     // k10: the whole rectangle
  RegionSum sp1{1, 0.0};      // k1: band 1, |h| < hc, superparamagnetic
  RegionSum sp2{1, 0.0};      // k2: band 2, |h| < hts_T - hc, superparamagnetic
  RegionSum up1{1, 0.0};      // k3: band 1, saturated up
  RegionSum down1{1, 0.0};    // k4: band 1, saturated down
  RegionSum up2{1, 0.0};      // k5: band 2, saturated up
  RegionSum down2{1, 0.0};    // k6: band 2, saturated down
  RegionSum upZFC{1, 0.0};    // k7: band 3, switched up after zero-field cooling
  RegionSum downZFC{1, 0.0};  // k8: band 3, switched down after zero-field cooling
  RegionSum upFC{1, 0.0};     // kFCplus: band 3, h > 0 after field cooling
  RegionSum downFC{1, 0.0};   // kFCminus: band 3, h < 0 after field cooling
  std::int32_t k9 = 1;        // printed only

  double IntegralNorm = 0.0;
  double Integral11SP = 0.0;
  double Integral22SP = 0.0;
  double Integral1p = 0.0;
  double Integral1m = 0.0;
  double Integral2p = 0.0;
  double Integral2m = 0.0;
  double Integral3pZFC = 0.0;
  double Integral3mZFC = 0.0;
  double Integral3FCplus = 0.0;
  double Integral3FCminus = 0.0;
  double Integral3pFC = 0.0;
  double Norm_coeff = 0.0;
  double M_ZFC = 0.0;
  double M_FC = 0.0;
};

// The ZFC/FC grid of m divisions: hc from 0 to hts(T_max), hi over
// +-(ha + hts(T_max)). It does not depend on the temperature of the point.
model::GridAxis zfcfcHcAxis(const ModelParameters& p, std::int32_t m);
model::GridAxis zfcfcHiAxis(const ModelParameters& p, std::int32_t m);

// The rectangle over which the density is normalised, a product of an hc
// and an hi interval. The bounds are formed in extended precision and
// compared unrounded, so the first hi row counts exactly when its float64
// rounding lies above -ha - hts_Tmax.
bool hcInsideRectangle(double hc, double hts_Tmax);
bool hiInsideRectangle(double hi, float ha, double hts_Tmax);

// Whether any node of that grid lies strictly inside its normalisation
// rectangle; without one the density cannot be normalised at any T.
bool zfcfcGridHasNormalisationNode(const ModelParameters& p, std::int32_t m);

// A point's temperature quantities and grid, with every sum and counter at
// its start: the first step of evaluateZfcFcPoint.
ZfcFcPointValues startZfcFcPoint(const ModelParameters& p, std::int32_t m, float T);

// The last step: the integrals from the region sums, the normalisation over
// the rectangle at T, M_ZFC and M_FC.
void finishZfcFcPoint(ZfcFcPointValues& v, const ModelParameters& p);

// The most temperatures per sweep of the ZFC/FC grid. Each adds two to five
// chains to every row, and more chains in flight hide more of the latency
// of each rounded addition, until the columns of density values and weights
// of a block no longer fit the first-level cache. Chosen from the
// benchmark's timings by group size (bench/whole_pass.cpp, "by most
// temperatures per sweep"): on the 3000 x 3000 case 8 was fastest, about
// 2.6 times faster than one temperature per sweep.
inline constexpr std::size_t kTemperaturesPerSweep = 8;

// How `count` temperatures are shared among sweeps of the grid: sweep k
// takes the temperatures [firsts[k], firsts[k + 1]). At most `most` per
// sweep, and a number of sweeps that `cores` divide, so that the cores
// finish together, the temperatures spread evenly over them.
std::vector<std::size_t> sweepGroups(std::size_t count, std::size_t most, unsigned cores);

// The points at several temperatures in one sweep of the grid: the chains
// of every temperature's regions advance side by side, each in its own
// order, so every point is bit for bit the one evaluateZfcFcPoint gives.
std::vector<ZfcFcPointValues> evaluateZfcFcPoints(const ModelParameters& p,
                                                  std::int32_t m,
                                                  const std::vector<float>& temperatures);

// The ZFC and FC moments at T in the field ha, from the eleven region sums
// of the density (weighted by the reversible moment in the two
// superparamagnetic regions, by mu(T) elsewhere), each integral the region's
// mean times its exact area, normalised over the rectangle at T. Each region
// is a run of hi rows in every hc column; the runs are summed in grid order.
ZfcFcPointValues evaluateZfcFcPoint(const ModelParameters& p, std::int32_t m, float T);

}  // namespace preisach::zfcfc
