#include "reference/zfcfc_reference.h"

#include <cstdint>

#include "model/scaling.h"
#include "reference/density_reference.h"

namespace preisach::reference {

namespace {

using Extended = long double;
using zfcfc::RegionSum;

Extended ext(double x) { return static_cast<Extended>(x); }
Extended ext(float x) { return static_cast<Extended>(x); }

void add(RegionSum& region, Extended integrand) {
  ++region.count;
  region.sum = static_cast<double>(integrand + ext(region.sum));
}

}  // namespace

zfcfc::ZfcFcPointValues evaluateZfcFcPoint(float T_max,
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
                                           model::DensityShape PDF) {
  zfcfc::ZfcFcPointValues v = zfcfc::startZfcFcPoint(T_max, T, Tc, mu0, Gamma, ha, m, sigmac0, sigmai0);
  const Extended t = ext(v.hts_T), W = ext(v.hts_Tmax), h = ext(ha), mu = ext(v.mu);
  const auto p = [&](double hc, double hi) {
    return ext(reference::preisachDensity(T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km,
                               static_cast<float>(hc), static_cast<float>(hi), N, PDF));
  };
  const auto r = [&](double hi) { return ext(model::reversibleMoment(T, Tc, mu0, Gamma, ha, static_cast<float>(hi))); };
  for (std::int32_t i = 0; i < v.hcAxis.nodeCount(); ++i) {
    const double hcGrid = v.hcAxis.coordinate(i);
    const Extended hc = ext(hcGrid);
    for (std::int32_t j = 0; j < v.hiAxis.nodeCount(); ++j) {
      const double hiGrid = v.hiAxis.coordinate(j);
      const Extended hi = ext(hiGrid);
      if (hcGrid > 0.0 && hc < W && -h - W < hi && hi < h + W) add(v.norm, p(hcGrid, hiGrid));
      if (hcGrid > 0.0 && hc < t * ext(0.5) && -hc - h < hi && hi < hc - h) add(v.sp1, p(hcGrid, hiGrid) * r(hiGrid));
      if (t * ext(0.5) < hc && hc < t && hc - h - t < hi && hi < -hc + t - h)
        add(v.sp2, p(hcGrid, hiGrid) * r(hiGrid));
      if (hcGrid > 0.0 && hc < t * ext(0.5) && hc - h < hi && hi < W + h) add(v.up1, p(hcGrid, hiGrid) * mu);
      if (hcGrid > 0.0 && hc < t * ext(0.5) && -W - h < hi && hi < -hc - h) add(v.down1, p(hcGrid, hiGrid) * mu);
      if (t * ext(0.5) < hc && hc < t && -hc + t - h < hi && hi < W + h) add(v.up2, p(hcGrid, hiGrid) * mu);
      if (t * ext(0.5) < hc && hc < t && -W - h < hi && hi < hc - h - t) add(v.down2, p(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && hc - h - t < hi && hi < W + h) add(v.upZFC, p(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -W - h < hi && hi < -hc + t - h) add(v.downZFC, p(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -h < hi && hi < W + h) add(v.upFC, p(hcGrid, hiGrid) * mu);
      if (t < hc && hc < W && -W - h < hi && hi < -h) add(v.downFC, p(hcGrid, hiGrid) * mu);
    }
  }
  zfcfc::finishZfcFcPoint(v, ha, N);
  return v;
}

}  // namespace preisach::reference
