#pragma once

#include <istream>

#include "driver/evaluations.h"
#include "model/console.h"
#include "parameters/parameters.h"

namespace preisach::driver {

// The whole run: passes while the answer read at the continue prompt is y.
// Each pass reads the parameter file of the data directory afresh, echoes
// it, pauses for a key and runs what its flags ask for. The run ends when
// the answer is anything else or cannot be read (end of input). Returns the
// exit status: 0 when the last pass did everything its flags asked for, 1
// when it could not (the file refused, a result not written).
int runProgram(std::istream& answers,
               const model::Console& console,
               const KeyPause& pause,
               const Evaluations& evaluations = fastEvaluations());

}  // namespace preisach::driver
