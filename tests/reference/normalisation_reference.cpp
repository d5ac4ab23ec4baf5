#include "reference/normalisation_reference.h"

#include <cstdint>
#include <cstdio>

#include "model/library_math.h"
#include "reference/density_reference.h"
#include "reference/grid_reference.h"
#include "reference/scaling_reference.h"

namespace preisach::reference {

using model::DensityParameters;
using model::ext;
using model::ModelParameters;
using model::NormalisationValues;
using model::RegionSum;

NormalisationValues evaluateNormalisation(
    std::FILE* mapFile, const ModelParameters& p, std::int32_t m, float T, float Ha_max) {
  using Extended = long double;
  NormalisationValues v;
  v.mu = scaledParameter(T, p.Tc, p.mu0, p.Gamma);
  // k1 and k2 only flag a thermal field ((1.38e-16 T) / mu0) * 25 that is
  // not positive (T <= 0, or NaN); the one at 5 K is formed from 6.9e-16.
  const double hts_T = static_cast<double>(ext(1.38e-16) * ext(T) / ext(p.mu0) * ext(25.0f));
  v.k1 = v.k2 = hts_T > 0.0 ? 0 : 1;
  v.hts_T0 = static_cast<double>(ext(6.9e-16) / ext(p.mu0) * ext(25.0f));
  const double H = Ha_max;
  v.hcAxis = referenceAxis(0.0, H, m, p.sigmac0);
  v.hiAxis = referenceAxis(-H, H, m, p.sigmai0);
  v.Ha_max = Ha_max;
  v.ha = p.ha;
  v.m = m;
  const DensityParameters density = densityOf(p, T);
  std::int32_t k10 = 0;
  double sum = 0.0;
  for (std::int32_t i = 0; i < referenceNodeCount(v.hcAxis); ++i) {
    const double hc = referenceCoordinate(v.hcAxis, i);
    for (std::int32_t j = 0; j < referenceNodeCount(v.hiAxis); ++j) {
      const double hi = referenceCoordinate(v.hiAxis, j);
      // Strictly inside the rectangle: the first node of each axis never counts.
      if (-H >= hi || hi >= H || hc <= 0.0 || hc >= H) continue;
      ++k10;
      const double rho = reference::preisachDensity(density, static_cast<float>(hc), static_cast<float>(hi));
      sum = static_cast<double>(static_cast<Extended>(sum) + static_cast<Extended>(rho));
      if (mapFile != nullptr) std::fprintf(mapFile, "%e %e %e\n", hc, hi, rho);
    }
  }
  v.rectangle = RegionSum{k10, sum};
  // Mean density times the area of the full rectangle estimates the
  // integral; with no counted node the mean is 0/0, a NaN.
  const double rangeHc = H - 0.0;
  const double rangeHi = H - -H;
  const double mean =
      static_cast<double>(static_cast<Extended>(sum) / (static_cast<Extended>(k10) * static_cast<Extended>(1.0)));
  const double denominator = static_cast<double>(static_cast<Extended>(mean) * static_cast<Extended>(rangeHi) *
                                                 static_cast<Extended>(rangeHc));
  v.Norm_coeff = static_cast<double>(static_cast<Extended>(p.N) / static_cast<Extended>(denominator));
  return v;
}

}  // namespace preisach::reference
