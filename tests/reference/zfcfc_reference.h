#pragma once

#include <cstdint>

#include "model/model_parameters.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach::reference {

// The ZFC/FC point with its grid swept node by node: the eleven region tests
// in table order at every node, the density and the reversible moment
// evaluated afresh for every region a node belongs to, at temperature T.
zfcfc::ZfcFcPointValues evaluateZfcFcPoint(const model::ModelParameters& p, std::int32_t m, float T);

}  // namespace preisach::reference
