#pragma once

// What a format of measured curves gives the readers of measured_data.h:
// one entry per format, tried in turn on a file's lines.

#include <string>
#include <vector>

#include "measured/known_columns.h"
#include "measured/measured_data.h"
#include "measured/measurement.h"

namespace preisach::measured {

struct FormatReader {
  Format format;
  // Whether the lines are in this format.
  bool (*recognises)(const std::vector<std::string>& lines);
  ZfcFcData (*zfcFc)(const std::string& path, const std::vector<std::string>& lines);
  // One curve of M against the temperature, or against the field.
  Curve (*temperatureCurve)(const std::string& path, const std::vector<std::string>& lines);
  Curve (*fieldCurve)(const std::string& path, const std::vector<std::string>& lines);
  // Every measurement of a file that records a measurement sequence (its
  // temperature and field beside each moment); nullptr for a format of one
  // curve, whose kind the caller knows.
  std::vector<Measurement> (*measurements)(const std::string& path, const std::vector<std::string>& lines);
};

}  // namespace preisach::measured
