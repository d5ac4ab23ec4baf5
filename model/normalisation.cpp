#include "model/normalisation.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "model/library_math.h"
#include "model/number_format.h"
#include "model/scaling.h"
#include "model/thermal.h"

namespace preisach::model {

NormalisationValues startNormalisation(
    float Tc, float mu0, float Gamma, float ha, float sigmac0, float sigmai0, std::int32_t m, float T, float Ha_max) {
  NormalisationValues v;
  v.mu = scaledParameter(T, Tc, mu0, Gamma);
  v.hts_T0 = thermalFieldAt5K(mu0);
  // k1 and k2 only flag a thermal field that is not positive (T <= 0, or
  // NaN); they are printed beside k10 for comparison with the other grids.
  const double hts_T = static_cast<double>(thermalField(T, mu0));
  v.k1 = v.k2 = hts_T > 0.0 ? 0 : 1;
  const double H = Ha_max;
  v.hcAxis = makeGridAxis(0.0, H, m, sigmac0);
  v.hiAxis = makeGridAxis(-H, H, m, sigmai0);
  v.Ha_max = Ha_max;
  v.ha = ha;
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

void printNormalisation(const Console& console, const NormalisationValues& v) {
  console.out << "hts_T0=" << v.hts_T0 << std::endl;
  console.out << "dhc=" << v.hcAxis.step << " mc=" << v.hcAxis.count << " dhi=" << v.hiAxis.step
              << " mi=" << v.hiAxis.count << " ha_max=" << v.Ha_max << " ha=" << v.ha << std::endl;
  console.out << "k1=" << v.k1 << " k2=" << v.k2 << " k10=" << v.rectangle.count << std::endl;
  console.out << " Norm_coeff=" << v.Norm_coeff << " mu=" << v.mu << std::endl;
  if (v.rectangle.count == 0)
    console.err << "no grid node lies inside the normalisation rectangle (m=" << v.m << ", Ha_max=" << v.Ha_max
                << "): the density cannot be normalised" << std::endl;
}

int writeDensityMap(std::FILE* mapFile,
                    const DensityTable& table,
                    const AxisNodes& hcNodes,
                    const AxisNodes& hiNodes,
                    const Run& columns,
                    const Run& rows) {
  // Each row's " hi " text is formed once, with its blanks.
  std::vector<std::string> hiText;
  for (std::int32_t j = rows.begin; j < rows.end; ++j) {
    char text[kScientificWidth];
    hiText.push_back(" " + std::string(text, formatScientific(hiNodes[j], text)) + " ");
  }
  char zero[kScientificWidth];
  const std::size_t zeroLength = formatScientific(0.0, zero);
  constexpr std::size_t kRowRoom = 3 * kScientificWidth + 3;
  std::vector<char> buffer(std::size_t{1} << 16);
  std::size_t used = 0;
  int error = 0;
  const auto flush = [&] {
    if (std::fwrite(buffer.data(), 1, used, mapFile) != used && error == 0) error = errno;
    used = 0;
  };
  const auto put = [&](const char* text, std::size_t length) {
    std::memcpy(&buffer[used], text, length);
    used += length;
  };
  for (std::int32_t i = columns.begin; i < columns.end; ++i) {
    char hcText[kScientificWidth];
    const std::size_t hcLength = formatScientific(hcNodes[i], hcText);
    for (std::int32_t j = rows.begin; j < rows.end; ++j) {
      if (used + kRowRoom > buffer.size()) flush();
      put(hcText, hcLength);
      const std::string& hi = hiText[static_cast<std::size_t>(j - rows.begin)];
      put(hi.data(), hi.size());
      const double rho = table.at(i, j);
      if (rho == 0.0 && !std::signbit(rho)) {
        put(zero, zeroLength);
      } else {
        char text[kScientificWidth];
        put(text, formatScientific(rho, text));
      }
      buffer[used++] = '\n';
    }
  }
  flush();
  return error;
}

NormalisationValues evaluateNormalisation(std::FILE* mapFile,
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
                                          float Ha_max) {
  NormalisationValues v = startNormalisation(Tc, mu0, Gamma, ha, sigmac0, sigmai0, m, T, Ha_max);
  const DensityTable table(
      DensityParameters{T, Tc, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N, PDF}, v.hcAxis,
      v.hiAxis);
  const AxisNodes hcNodes(v.hcAxis), hiNodes(v.hiAxis);
  const Run columns = rectangleColumns(hcNodes, Ha_max);
  const Run rows = rectangleRows(hiNodes, Ha_max);
  const double one = 1.0;
  ColumnSweep sweep({&table});
  const std::vector<Chain> chains{Chain{&v.rectangle, rows, &one, false, 0}};
  for (std::int32_t i = columns.begin; i < columns.end; ++i) sweep.accumulate(i, chains);
  if (mapFile != nullptr) writeDensityMap(mapFile, table, hcNodes, hiNodes, columns, rows);
  finishNormalisation(v, N);
  return v;
}

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
  const NormalisationValues v =
      evaluateNormalisation(Calculate_PDF == 'y' ? mapFile : nullptr, Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0,
                            Gamma_cprim, sigmai0, Gamma_i, km, N, m, PDF, T, Ha_max);
  printNormalisation(console, v);
  if (countedNodes != nullptr) *countedNodes = v.rectangle.count;
  return v.Norm_coeff;
}

}  // namespace preisach::model
