#pragma once

#include "model/density.h"

namespace preisach::reference {

// The density at one point, each shape's steps transcribed one after the
// other with nothing cached: the oracle for the model's separable form.
double preisachDensity(float T,
                       float Tc,
                       float hc0_mean,
                       float Gamma_c,
                       float sigmac0,
                       float Gamma_cprim,
                       float sigmai0,
                       float Gamma_i,
                       float km,
                       float hc,
                       float hi,
                       float A,
                       model::DensityShape shape);

}  // namespace preisach::reference
