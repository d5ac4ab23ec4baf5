#pragma once

#include <cstddef>
#include <vector>

#include "measured/read_report.h"

namespace preisach::measured {

// A set of first-order reversal curves, measured or simulated: for each
// curve its reversal field Hr, the fields H (the first is Hr) and moments M
// along it, and the calibration point measured at saturation before it.
// Fields in Oe, moments in emu.
struct ForcSet {
  struct Curve {
    double calibrationField = 0.0;
    double calibrationMoment = 0.0;
    std::vector<double> H;
    std::vector<double> M;
  };
  std::vector<Curve> curves;
  ReadReport report;  // how a file was read; empty for a simulated set

  std::size_t points() const {
    std::size_t n = 0;
    for (const Curve& c : curves) n += c.H.size();
    return n;
  }
};

}  // namespace preisach::measured
