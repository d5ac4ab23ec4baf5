#include "reference/zfcfc_reference.h"

#include <cmath>
#include <cstdint>

#include "model/library_math.h"
#include "reference/density_reference.h"
#include "reference/grid_reference.h"
#include "reference/scaling_reference.h"

namespace preisach::reference {

namespace {

// Written from the formulas of the model alone, sharing no code with the
// program's: the temperature law, the grid, the density and the reversible
// moment are the oracle's own, so a slip in an integral, an area or a moment
// of the program shows as a difference here.
using model::ext;
using model::Extended;
using zfcfc::RegionSum;

void add(RegionSum& region, Extended integrand) {
  ++region.count;
  region.sum = static_cast<double>(integrand + ext(region.sum));
}

double meanOf(const RegionSum& region) {
  return static_cast<double>(ext(region.sum) / (region.count * ext(1.0)));
}

// hts = ((k T) / mu0) * 25 with the float64 constant k = 1.38e-16 (and 6.9e-16
// = 5 k at 5 K), in extended precision, rounded once.
double thermal(double k, float T, float mu0) {
  return static_cast<double>(ext(k) * ext(T) / ext(mu0) * ext(25.0f));
}

// mu(T) tanh(x) with x = (ha + hi) * mu(T) * (1 / kB) / T in extended
// precision, 1 / kB the extended reciprocal of the float64 1.38e-16.
float reversibleMoment(float T, const model::ModelParameters& p, float hi) {
  const float mu = scaledParameter(T, p.Tc, p.mu0, p.Gamma);
  const Extended inverseBoltzmann = 1.0L / ext(1.38e-16);
  const double t = std::tanh(static_cast<double>((ext(p.ha) + ext(hi)) * ext(mu) * inverseBoltzmann / ext(T)));
  return static_cast<float>(ext(mu) * ext(t));
}

}  // namespace

zfcfc::ZfcFcPointValues evaluateZfcFcPoint(const model::ModelParameters& p, std::int32_t m, float T) {
  const float Tc = p.Tc, mu0 = p.mu0, Gamma = p.Gamma, ha = p.ha, N = p.N;
  zfcfc::ZfcFcPointValues v;
  v.mu = static_cast<double>(scaledParameter(T, Tc, mu0, Gamma));
  v.hts_T = thermal(1.38e-16, T, mu0);
  v.hts_Tmax = thermal(1.38e-16, p.T_max, mu0);
  v.hts_T0 = thermal(6.9e-16, 1.0f, mu0);
  v.floorValue = std::floor(static_cast<double>(ext(v.hts_T) / ext(v.hts_T0) + 1.0L));
  const double hiTop = static_cast<double>(ext(ha) + ext(v.hts_Tmax));
  const double hiBottom = static_cast<double>(-ext(ha) - ext(v.hts_Tmax));
  v.hcAxis = referenceAxis(0.0, v.hts_Tmax, m, p.sigmac0);
  v.hiAxis = referenceAxis(hiBottom, hiTop, m, p.sigmai0);

  const Extended t = ext(v.hts_T), W = ext(v.hts_Tmax), h = ext(ha), mu = ext(v.mu);
  const model::DensityParameters density = densityOf(p, T);
  const auto rho = [&](double hc, double hi) {
    return ext(reference::preisachDensity(density, static_cast<float>(hc), static_cast<float>(hi)));
  };
  const auto r = [&](double hi) { return ext(reversibleMoment(T, p, static_cast<float>(hi))); };
  for (std::int32_t i = 0; i < referenceNodeCount(v.hcAxis); ++i) {
    const double hcGrid = referenceCoordinate(v.hcAxis, i);
    const Extended hc = ext(hcGrid);
    for (std::int32_t j = 0; j < referenceNodeCount(v.hiAxis); ++j) {
      const double hiGrid = referenceCoordinate(v.hiAxis, j);
      const Extended hi = ext(hiGrid);
      if (hcGrid > 0.0 && hc < W && -h - W < hi && hi < h + W) add(v.norm, rho(hcGrid, hiGrid));
      if (hcGrid > 0.0 && hc < t * ext(0.5) && -hc - h < hi && hi < hc - h) add(v.sp1, rho(hcGrid, hiGrid) * r(hiGrid));
      if (t * ext(0.5) < hc && hc < t && hc - h - t < hi && hi < -hc + t - h)
        add(v.sp2, rho(hcGrid, hiGrid) * r(hiGrid));
      if (hcGrid > 0.0 && hc < t * ext(0.5) && hc - h < hi && hi < W + h) add(v.up1, rho(hcGrid, hiGrid) * mu);
      if (hcGrid > 0.0 && hc < t * ext(0.5) && -W - h < hi && hi < -hc - h) add(v.down1, rho(hcGrid, hiGrid) * mu);
      if (t * ext(0.5) < hc && hc < t && -hc + t - h < hi && hi < W + h) add(v.up2, rho(hcGrid, hiGrid) * mu);
      if (t * ext(0.5) < hc && hc < t && -W - h < hi && hi < hc - h - t) add(v.down2, rho(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && hc - h - t < hi && hi < W + h) add(v.upZFC, rho(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -W - h < hi && hi < -hc + t - h) add(v.downZFC, rho(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -h < hi && hi < W + h) add(v.upFC, rho(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -W - h < hi && hi < -h) add(v.downFC, rho(hcGrid, hiGrid) * mu);
    }
  }

  // Mean times exact area; a, b, c the widths of bands 1, 2, 3.
  const Extended a = t * 0.5L - 0.0L;
  const Extended b = t - t * 0.5L;
  const Extended c = W - t;
  const auto M = [](const RegionSum& region) { return ext(meanOf(region)); };
  v.Integral11SP = static_cast<double>(a * M(v.sp1) * a);
  v.Integral22SP = static_cast<double>(b * M(v.sp2) * b);
  v.Integral1p = static_cast<double>(((W + h + h) * a - a * a * 0.5L) * M(v.up1));
  v.Integral1m = static_cast<double>(((-h + W + h) * a - a * a * 0.5L) * M(v.down1));
  v.Integral2p = static_cast<double>((b * (W + h + h) - b * b * 0.5L) * M(v.up2));
  v.Integral2m = static_cast<double>((b * (-h + W + h) - b * b * 0.5L) * M(v.down2));
  v.Integral3pZFC = static_cast<double>(((W + h + h) * c - c * c * 0.5L) * M(v.upZFC));
  v.Integral3mZFC = static_cast<double>(((-h + W + h) * c - c * c * 0.5L) * M(v.downZFC));
  v.Integral3FCplus = static_cast<double>((W + h + h) * M(v.upFC) * c);
  v.Integral3FCminus = static_cast<double>((W + h - h) * M(v.downFC) * c);
  v.Integral3pFC = static_cast<double>(ext(v.Integral3FCplus) - ext(v.Integral3FCminus));

  const double hcRange = static_cast<double>(W - 0.0L);
  const double hiRange = static_cast<double>(ext(hiTop) - ext(hiBottom));
  v.IntegralNorm = static_cast<double>(M(v.norm) * ext(hiRange) * ext(hcRange));
  v.Norm_coeff = static_cast<double>(ext(N) / ext(v.IntegralNorm));

  v.M_ZFC = static_cast<double>((ext(v.Integral1p) + ext(v.Integral2p) + ext(v.Integral11SP) + ext(v.Integral22SP) +
                                 ext(v.Integral3pZFC) - ext(v.Integral3mZFC) - ext(v.Integral1m) - ext(v.Integral2m)) *
                                ext(v.Norm_coeff));
  v.M_FC = static_cast<double>((ext(v.Integral1p) + ext(v.Integral2p) + ext(v.Integral11SP) + ext(v.Integral22SP) +
                                ext(v.Integral3pFC) - ext(v.Integral1m) - ext(v.Integral2m)) *
                               ext(v.Norm_coeff));
  return v;
}

}  // namespace preisach::reference
