#pragma once

#include "driver/evaluations.h"

namespace preisach::reference {

// The pass evaluated node by node, on one core: the grid loops as written,
// the density afresh at every region test.
const driver::Evaluations& referenceEvaluations();

}  // namespace preisach::reference
