#pragma once

#include <cstdio>

#include "model/console.h"

namespace preisach::driver {

// Opens a result file of the data directory with mode "w" (created or
// truncated). When it cannot be created, says so on console.err with the
// system's reason and returns nullptr.
std::FILE* createResultFile(const char* fileName, const model::Console& console);

}  // namespace preisach::driver
