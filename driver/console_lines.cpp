#include "driver/console_lines.h"

#include <cstdio>
#include <ostream>

namespace preisach::driver {

using hysteresis::Branch;

void printNormalisation(const model::Console& console, const model::NormalisationValues& v) {
  console.out << "hts_T0=" << v.hts_T0 << std::endl;
  console.out << "dhc=" << v.hcAxis.step << " mc=" << v.hcAxis.count << " dhi=" << v.hiAxis.step
              << " mi=" << v.hiAxis.count << " ha_max=" << v.Ha_max << " ha=" << v.ha << std::endl;
  console.out << "k1=" << v.k1 << " k2=" << v.k2 << " k10=" << v.rectangle.count << std::endl;
  console.out << " Norm_coeff=" << v.Norm_coeff << " mu=" << v.mu << std::endl;
  if (v.rectangle.count == 0)
    console.err << "no grid node lies inside the normalisation rectangle (m=" << v.m << ", Ha_max=" << v.Ha_max
                << "): the density cannot be normalised" << std::endl;
}

void printZfcFcPoint(const model::Console& console,
                     std::FILE* zfcFcFile,
                     std::FILE* separateFile,
                     float T,
                     const zfcfc::ZfcFcPointValues& v) {
  std::ostream& out = console.out;
  out << "hts_T0=" << v.hts_T0 << std::endl;
  out << "floor=" << v.floorValue << std::endl;
  // mi and "dhi=" run together on this line, as the console has always shown them.
  out << "dhc=" << v.hcAxis.step << " mc=" << v.hcAxis.count << " mi=" << v.hiAxis.count << "dhi=" << v.hiAxis.step
      << std::endl;
  out << "k1=" << v.sp1.count << " k2=" << v.sp2.count << " k3=" << v.up1.count << " k4=" << v.down1.count
      << " k5=" << v.up2.count << " k6=" << v.down2.count << " k7=" << v.upZFC.count << " k8=" << v.downZFC.count
      << " k9=" << v.k9 << " k10=" << v.norm.count << std::endl;
  out << " Norm_coeff=" << v.Norm_coeff << " mu=" << v.mu << std::endl;

  const double t = static_cast<double>(T);
  char line[512];
  std::snprintf(line, sizeof line,
                "T= %.2f, Integral11SP %e  Integral22SP %e  Integral1p  %e , Integral2p %e , Integral1m  %e  "
                "Integral2m %e  Integral3pZFC %e  Integral3mZFC %e  Integral3pFC %e\n",
                t, v.Integral11SP, v.Integral22SP, v.Integral1p, v.Integral2p, v.Integral1m, v.Integral2m,
                v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC);
  out << line << std::flush;

  if (zfcFcFile != nullptr) std::fprintf(zfcFcFile, "%f %e %e\n", t, v.M_ZFC, v.M_FC);
  if (separateFile != nullptr)
    std::fprintf(separateFile, "%f %e %e  %e %e %e %e  %e %e %e\n", t, v.Integral11SP, v.Integral22SP, v.Integral1p,
                 v.Integral1m, v.Integral2p, v.Integral2m, v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC);
}

void printHysteresisPoint(const model::Console& console,
                          std::FILE* momentFile,
                          float ha,
                          float Norm_coeff,
                          const hysteresis::HysteresisPointValues& v) {
  console.out << "hts_T0=" << v.hts_T0 << std::endl;
  console.out << "floor=" << v.floorValue << std::endl;
  if (v.branch == Branch::None) return;
  console.out << "dhc=" << v.hcAxis.step << " mc=" << v.hcAxis.count << " dhi=" << v.hiAxis.step
              << " mi=" << v.hiAxis.count << " ha_max=" << v.H << " ha=" << ha << std::endl;
  console.out << "k1=" << v.k1 << " k2=" << v.k2 << " k10=" << v.k10 << std::endl;
  console.out << " Norm_coeff=" << Norm_coeff << " mu=" << v.mu << std::endl;
  if (momentFile != nullptr)
    std::fprintf(momentFile, "%f %e %e %e\n", static_cast<double>(ha), v.M, v.irreversibleColumn, v.reversibleColumn);
}

}  // namespace preisach::driver
