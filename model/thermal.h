#pragma once

namespace preisach::model {

// Thermal fluctuation field hts(T) = ((1.38e-16 * T) / mu0) * 25 in oersted,
// left in extended precision: each caller rounds it to the width it keeps
// (float64 in the grid computations, float32 for the sweep's console line).
// It divides by the moment at 0 K, not by mu(T). mu0 = 0 gives an infinity
// or, for T = 0, a NaN.
long double thermalField(float T, float mu0);

// The same field at 5 K, formed as (6.9e-16 / mu0) * 25 and rounded to
// float64; the grid computations print it after "hts_T0=".
double thermalFieldAt5K(float mu0);

}  // namespace preisach::model
