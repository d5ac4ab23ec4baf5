#pragma once

#include <cstdint>

#include "measured/forc_set.h"
#include "model/model_parameters.h"

namespace preisach::history {

using measured::ForcSet;

// The FORC protocol on the model: for Hr from +Ha_max down to -Ha_max in
// steps of `step`, saturate at +Ha_max, go to Hr, then record M at Hr,
// Hr + step, ... up to +Ha_max. The curves are computed on `threads` cores
// (0: all), each with the history engine of the program's arithmetic.
ForcSet simulateForcs(const model::ModelParameters& p, std::int32_t m, double step, unsigned threads = 0);

}  // namespace preisach::history
