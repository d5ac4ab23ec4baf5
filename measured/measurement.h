#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "measured/curve.h"

namespace preisach::measured {

// What one measurement of a sequence is. A temperature sweep whose kind no
// label and no neighbour tells (a file holding one sweep alone) is a
// TemperatureSweep: the option that names the file says ZFC or FC.
enum class MeasurementKind { Zfc, Fc, TemperatureSweep, Loop, Virgin };

// "ZFC", "FC", "temperature sweep", "loop", "virgin curve".
const char* kindName(MeasurementKind kind);

// One measurement of a file that holds a measurement sequence: a ZFC or FC
// curve at one field, or a loop (or the virgin curve before it) at one
// temperature. Its curve's x is the temperature (K) of a temperature sweep,
// the field (Oe) of a field sweep.
struct Measurement {
  MeasurementKind kind = MeasurementKind::TemperatureSweep;
  Curve curve;
  std::vector<bool> descending;       // loops: the branch of each point
  double field = std::nan("");        // Oe: the mean field of a temperature sweep
  double temperature = std::nan("");  // K: the mean temperature of a field sweep
  std::string how;                    // how it was told apart: "labelled \"ZFC, 100\"", "warming", ...

  bool isTemperatureSweep() const {
    return kind == MeasurementKind::Zfc || kind == MeasurementKind::Fc || kind == MeasurementKind::TemperatureSweep;
  }
};

// The tolerances within which a sequence holds its temperature (K) or its
// field (Oe): the instrument's own jitter is far smaller, the steps of a
// sweep and the distance between neighbouring set points larger.
double heldTemperature(double T);
double heldField(double H);

// One line for a report: "ZFC at 99.8 Oe, warming 5 to 310 K, 1882 points (lines 45 to 1926), labelled ...".
std::string describe(const Measurement& measurement);

}  // namespace preisach::measured
