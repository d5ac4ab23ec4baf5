#pragma once

#include <ostream>

namespace preisach::model {

// Where a computation prints: `out` carries the diagnostic lines that belong
// to the results, `err` the one-line reports of inputs the model cannot use.
struct Console {
  std::ostream& out;
  std::ostream& err;
};

}  // namespace preisach::model
