#pragma once

#include <cstdio>

#include "hysteresis/hysteresis_point.h"
#include "model/console.h"
#include "model/normalisation.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::driver {

// The normalisation's diagnostic lines on console.out, and on console.err
// the reason when no node lies inside the rectangle.
void printNormalisation(const model::Console& console, const model::NormalisationValues& v);

// The six console lines of a ZFC/FC point at T, its "%f %e %e" row (T,
// M_ZFC, M_FC) in zfcFcFile and its row of T and the nine partial integrals
// in separateFile (either file may be absent).
void printZfcFcPoint(const model::Console& console,
                     std::FILE* zfcFcFile,
                     std::FILE* separateFile,
                     float T,
                     const zfcfc::ZfcFcPointValues& v);

// The console lines of a hysteresis point ("hts_T0=", "floor=", and when a
// branch runs the grid, counter and Norm_coeff lines) and, when a branch
// runs, its "%f %e %e %e" row (ha, M, (1 - f) M_irr, f M_rev) appended to
// momentFile.
void printHysteresisPoint(const model::Console& console,
                          std::FILE* momentFile,
                          float ha,
                          float Norm_coeff,
                          const hysteresis::HysteresisPointValues& v);

}  // namespace preisach::driver
