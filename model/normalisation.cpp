#include "model/normalisation.h"

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "model/column_sums.h"
#include "model/grid.h"
#include "model/library_math.h"
#include "model/number_format.h"
#include "model/runs.h"
#include "model/scaling.h"
#include "model/thermal.h"

namespace preisach::model {

namespace {

// The map rows "%e %e %e\n" (hc, hi, density) of the counted nodes in grid
// order; each coordinate is formatted once, and the rows leave in large
// blocks.
void writeMap(std::FILE* mapFile,
              const DensityTable& table,
              const GridAxis& hcAxis,
              const GridAxis& hiAxis,
              const Run& columns,
              const Run& rows) {
  std::vector<std::string> hiText;
  for (std::int32_t j = rows.begin; j < rows.end; ++j) {
    char text[kScientificWidth];
    hiText.emplace_back(text, formatScientific(hiAxis.coordinate(j), text));
  }
  std::string block;
  constexpr std::size_t kBlock = 1 << 16;
  block.reserve(kBlock + 128);
  for (std::int32_t i = columns.begin; i < columns.end; ++i) {
    char hcText[kScientificWidth];
    const std::size_t hcLength = formatScientific(hcAxis.coordinate(i), hcText);
    for (std::int32_t j = rows.begin; j < rows.end; ++j) {
      char rho[kScientificWidth];
      const std::size_t rhoLength = formatScientific(table.at(i, j), rho);
      block.append(hcText, hcLength).append(1, ' ').append(hiText[static_cast<std::size_t>(j - rows.begin)]);
      block.append(1, ' ').append(rho, rhoLength).append(1, '\n');
      if (block.size() >= kBlock) {
        std::fwrite(block.data(), 1, block.size(), mapFile);
        block.clear();
      }
    }
  }
  std::fwrite(block.data(), 1, block.size(), mapFile);
}

}  // namespace

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

  // The rectangle's nodes: 0 < hc < Ha_max and -Ha_max < hi < Ha_max, all
  // strict, so the first node of each axis never counts.
  const DensityTable table(
      DensityParameters{T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, PDF}, hcAxis, hiAxis);
  const Run columns = runBetween(hcAxis, 0.0L, static_cast<long double>(H));
  const Run rows = runBetween(hiAxis, -static_cast<long double>(H), static_cast<long double>(H));
  RegionSum rectangle;
  const long double one = 1.0L;
  for (std::int32_t i = columns.begin; i < columns.end; ++i) {
    Chain chain{&rectangle, rows, &one, false};
    accumulateColumn(table, i, &chain, 1);
  }
  const std::int32_t k10 = rectangle.count;
  const double sum = rectangle.sum;
  if (Calculate_PDF == 'y' && mapFile != nullptr) writeMap(mapFile, table, hcAxis, hiAxis, columns, rows);

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

}  // namespace preisach::model
