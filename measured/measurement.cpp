#include "measured/measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace preisach::measured {

double heldTemperature(double T) {
  return std::max(0.5, 0.02 * std::fabs(T));
}

double heldField(double H) {
  return std::max(5.0, 0.01 * std::fabs(H));
}

const char* kindName(MeasurementKind kind) {
  switch (kind) {
    case MeasurementKind::Zfc:
      return "ZFC";
    case MeasurementKind::Fc:
      return "FC";
    case MeasurementKind::TemperatureSweep:
      return "temperature sweep";
    case MeasurementKind::Loop:
      return "loop";
    case MeasurementKind::Virgin:
      return "virgin curve";
  }
  return "";
}

std::string describe(const Measurement& m) {
  char condition[64];
  if (m.isTemperatureSweep())
    std::snprintf(condition, sizeof condition, " at %.4g Oe", m.field);
  else
    std::snprintf(condition, sizeof condition, " at %.4g K", m.temperature);
  std::string text = std::string(kindName(m.kind)) + condition + ": " + std::to_string(m.curve.size()) + " points";
  if (!m.curve.line.empty())
    text += " (lines " + std::to_string(m.curve.line.front()) + " to " + std::to_string(m.curve.line.back()) + ")";
  return text + ", " + m.how;
}

}  // namespace preisach::measured
