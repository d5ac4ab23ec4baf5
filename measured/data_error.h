#pragma once

#include <stdexcept>

namespace preisach::measured {

// An input the lab cannot use: one line naming the file, and where it can,
// the line and column.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace preisach::measured
