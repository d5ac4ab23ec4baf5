#pragma once

#include <cstdint>
#include <cstdio>

#include "model/console.h"
#include "model/density.h"
#include "model/grid.h"

namespace preisach::zfcfc {

// One region of the (hc, hi) plane: its counter and its running sum.
struct RegionSum {
  std::int32_t count = 1;  // the band counters start at 1, so their means divide by one more
  double sum = 0.0;
};

// Everything a ZFC/FC point computes, before it is printed.
struct ZfcFcPointValues {
  double mu = 0.0;        // mu(T), a float32 value
  double hts_T = 0.0;     // thermal fluctuation field at T
  double hts_Tmax = 0.0;  // ... at T_max: the hc extent of the grid
  double hts_T0 = 0.0;    // ... at 5 K, printed
  double floorValue = 0.0;
  model::GridAxis hcAxis;
  model::GridAxis hiAxis;

  RegionSum norm{0, 0.0};  // k10: the whole rectangle, counted exactly
  RegionSum sp1;           // k1: band 1, |h| < hc, superparamagnetic
  RegionSum sp2;           // k2: band 2, |h| < hts_T - hc, superparamagnetic
  RegionSum up1;           // k3: band 1, saturated up
  RegionSum down1;         // k4: band 1, saturated down
  RegionSum up2;           // k5: band 2, saturated up
  RegionSum down2;         // k6: band 2, saturated down
  RegionSum upZFC;         // k7: band 3, switched up after zero-field cooling
  RegionSum downZFC;       // k8: band 3, switched down after zero-field cooling
  RegionSum upFC;          // kFCplus: band 3, h > 0 after field cooling
  RegionSum downFC;        // kFCminus: band 3, h < 0 after field cooling
  std::int32_t k9 = 1;     // printed only

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

// The ZFC/FC grid: hc from 0 to hts(T_max), hi over +-(ha + hts(T_max)). It
// does not depend on the temperature of the point.
model::GridAxis zfcfcHcAxis(float T_max, float mu0, std::int32_t m, float sigmac0);
model::GridAxis zfcfcHiAxis(float T_max, float mu0, float ha, std::int32_t m, float sigmai0);

// Whether any node of that grid lies strictly inside its normalisation
// rectangle; without one the density cannot be normalised at any T.
bool zfcfcGridHasNormalisationNode(float T_max, float mu0, float ha, std::int32_t m, float sigmac0, float sigmai0);

// The ZFC and FC moments at T in the field ha, from the eleven region sums
// of the density (weighted by the reversible moment in the two
// superparamagnetic regions, by mu(T) elsewhere), each integral the region's
// mean times its exact area, normalised over the rectangle at T.
ZfcFcPointValues evaluateZfcFcPoint(float T_max,
                                    float T,
                                    float Tc,
                                    float mu0,
                                    float Gamma,
                                    float ha,
                                    float hc0_mean,
                                    float Gamma_c,
                                    float sigmac0,
                                    float Gamma_cprim,
                                    float sigmai0,
                                    float Gamma_i,
                                    float km,
                                    float N,
                                    std::int32_t m,
                                    model::DensityShape PDF);

// evaluateZfcFcPoint with its six console lines, a "%f %e %e" row (T, M_ZFC,
// M_FC) appended to zfcFcFile and a row of T and the nine partial integrals
// appended to separateFile. Returns 0.
double zfcfcPoint(const model::Console& console,
                  std::FILE* zfcFcFile,
                  std::FILE* separateFile,
                  float T_max,
                  float T,
                  float Tc,
                  float mu0,
                  float Gamma,
                  float ha,
                  float hc0_mean,
                  float Gamma_c,
                  float sigmac0,
                  float Gamma_cprim,
                  float sigmai0,
                  float Gamma_i,
                  float km,
                  float N,
                  std::int32_t m,
                  model::DensityShape PDF);

}  // namespace preisach::zfcfc
