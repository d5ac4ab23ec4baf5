#include "reference/normalisation_reference.h"

#include <cstdint>
#include <cstdio>
#include <ostream>

#include "model/grid.h"
#include "model/scaling.h"
#include "model/thermal.h"
#include "reference/density_reference.h"

namespace preisach::reference {

using namespace model;

double normaliseDensity(const Console& console,
                        std::FILE* mapFile,
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
                        DensityShape PDF,
                        float T,
                        float Ha_max,
                        char Calculate_PDF,
                        std::int32_t* countedNodes) {
  using Extended = long double;
  const double mu = scaledParameter(T, Tc, mu0, Gamma);
  // k1 and k2 only flag a thermal field that is not positive (T <= 0, or
  // NaN); they are printed beside k10 for comparison with the other grids.
  const double hts_T = static_cast<double>(thermalField(T, mu0));
  const std::int32_t k1 = hts_T > 0.0 ? 0 : 1;
  const std::int32_t k2 = k1;
  console.out << "hts_T0=" << thermalFieldAt5K(mu0) << std::endl;

  const double H = Ha_max;
  const GridAxis hcAxis = makeGridAxis(0.0, H, m, sigmac0);
  const GridAxis hiAxis = makeGridAxis(-H, H, m, sigmai0);
  console.out << "dhc=" << hcAxis.step << " mc=" << hcAxis.count << " dhi=" << hiAxis.step << " mi=" << hiAxis.count
              << " ha_max=" << Ha_max << " ha=" << ha << std::endl;

  const bool writeMap = Calculate_PDF == 'y' && mapFile != nullptr;
  std::int32_t k10 = 0;
  double sum = 0.0;
  for (std::int32_t i = 0; i < hcAxis.nodeCount(); ++i) {
    const double hc = hcAxis.coordinate(i);
    for (std::int32_t j = 0; j < hiAxis.nodeCount(); ++j) {
      const double hi = hiAxis.coordinate(j);
      // Strictly inside the rectangle: the first node of each axis never counts.
      if (-H >= hi || hi >= H || hc <= 0.0 || hc >= H) continue;
      ++k10;
      const double rho = reference::preisachDensity(T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i,
                                                    km, static_cast<float>(hc), static_cast<float>(hi), N, PDF);
      sum = static_cast<double>(static_cast<Extended>(sum) + static_cast<Extended>(rho));
      if (writeMap) std::fprintf(mapFile, "%e %e %e\n", hc, hi, rho);
    }
  }

  // Mean density times the area of the full rectangle estimates the
  // integral; with no counted node the mean is 0/0, a NaN.
  const double rangeHc = H - 0.0;
  const double rangeHi = H - -H;
  const double mean =
      static_cast<double>(static_cast<Extended>(sum) / (static_cast<Extended>(k10) * static_cast<Extended>(1.0)));
  const double denominator = static_cast<double>(static_cast<Extended>(mean) * static_cast<Extended>(rangeHi) *
                                                 static_cast<Extended>(rangeHc));
  console.out << "k1=" << k1 << " k2=" << k2 << " k10=" << k10 << std::endl;
  const double Norm_coeff = static_cast<double>(static_cast<Extended>(N) / static_cast<Extended>(denominator));
  console.out << " Norm_coeff=" << Norm_coeff << " mu=" << mu << std::endl;

  if (countedNodes != nullptr) *countedNodes = k10;
  if (k10 == 0) {
    console.err << "no grid node lies inside the normalisation rectangle (m=" << m << ", Ha_max=" << Ha_max
                << "): the density cannot be normalised" << std::endl;
  }
  return Norm_coeff;
}

}  // namespace preisach::reference
