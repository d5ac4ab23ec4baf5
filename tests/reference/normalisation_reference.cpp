#include "reference/normalisation_reference.h"

#include <cstdint>
#include <cstdio>
#include <ostream>

#include "driver/console_lines.h"
#include "model/grid.h"
#include "model/scaling.h"
#include "model/thermal.h"
#include "reference/density_reference.h"

namespace preisach::reference {

using namespace model;

NormalisationValues evaluateNormalisation(
    std::FILE* mapFile, const ModelParameters& p, std::int32_t m, float T, float Ha_max) {
  using Extended = long double;
  NormalisationValues v;
  v.mu = scaledParameter(T, p.Tc, p.mu0, p.Gamma);
  // k1 and k2 only flag a thermal field that is not positive (T <= 0, or NaN).
  const double hts_T = static_cast<double>(thermalField(T, p.mu0));
  v.k1 = v.k2 = hts_T > 0.0 ? 0 : 1;
  v.hts_T0 = thermalFieldAt5K(p.mu0);
  const double H = Ha_max;
  v.hcAxis = makeGridAxis(0.0, H, m, p.sigmac0);
  v.hiAxis = makeGridAxis(-H, H, m, p.sigmai0);
  v.Ha_max = Ha_max;
  v.ha = p.ha;
  v.m = m;
  const DensityParameters density = densityOf(p, T);
  std::int32_t k10 = 0;
  double sum = 0.0;
  for (std::int32_t i = 0; i < v.hcAxis.nodeCount(); ++i) {
    const double hc = v.hcAxis.coordinate(i);
    for (std::int32_t j = 0; j < v.hiAxis.nodeCount(); ++j) {
      const double hi = v.hiAxis.coordinate(j);
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

double normaliseDensity(const Console& console,
                        std::FILE* mapFile,
                        const ModelParameters& p,
                        std::int32_t m,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes) {
  const NormalisationValues v =
      reference::evaluateNormalisation(Calculate_PDF == 'y' ? mapFile : nullptr, p, m, T, Ha_max);
  driver::printNormalisation(console, v);
  if (countedNodes != nullptr) *countedNodes = v.rectangle.count;
  return v.Norm_coeff;
}

}  // namespace preisach::reference
