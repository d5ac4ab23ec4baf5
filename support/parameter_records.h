#pragma once

// A parameter record as the program's reader gives it, for the tests and
// benchmarks that start from one.

#include <sstream>
#include <string>

#include "parameters/parameters.h"

namespace preisach::support {

inline parameters::ParameterSet parametersFrom(const std::string& record) {
  std::istringstream file(record);
  std::ostringstream echo;
  parameters::ParameterSet p;
  parameters::readParameterFile(file, p, echo, [] {});
  return p;
}

}  // namespace preisach::support
