#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "measured/read_report.h"

namespace preisach::measured {

// One measured curve: abscissae (temperatures in K or fields in Oe), moments
// (emu) and, where the file gives them, their standard errors.
struct Curve {
  std::string file;
  std::vector<double> x;
  std::vector<double> moment;
  std::vector<double> error;  // empty when the file has no error column
  std::vector<int> line;      // the line of each point in its file, from 1
  // The mean of a magnetometer file's field (Oe) and temperature (K) columns
  // over the curve's points, where the column has values.
  std::optional<double> field;
  std::optional<double> temperature;
  ReadReport report;
  std::size_t size() const { return x.size(); }
  bool hasErrors() const { return !error.empty(); }
};

}  // namespace preisach::measured
