#pragma once

// The model's continuum limit: every integral of the ZFC/FC point, the loop
// and any field history evaluated exactly (to a set tolerance) instead of as
// a grid's mean times an area. Templated on the number type, so that a fit
// can differentiate through it with Jets.

#include <vector>

#include "continuum/history.h"
#include "continuum/loop.h"
#include "continuum/physics.h"
#include "continuum/quadrature.h"
#include "continuum/zfcfc.h"

namespace preisach::continuum {

// One first-order reversal curve: from +Ha_max to the reversal field Hr,
// then M at H = Hr, Hr + step, ... up to Ha_max.
struct ForcCurve {
  double Hr = 0.0;
  std::vector<double> H;
  std::vector<double> M;
};

// The FORC protocol on the continuum model: Hr from +Ha_max down to
// -Ha_max in steps of `step` (each field k * step from its start, so no
// rounding accumulates). Empty when the model or the step is not usable.
std::vector<ForcCurve> forcCurves(const Physics<double>& p, double step, const Tolerance& tolerance = {});

}  // namespace preisach::continuum
