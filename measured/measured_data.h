#pragma once

#include <optional>
#include <string>
#include <vector>

#include "measured/curve.h"
#include "measured/data_error.h"

namespace preisach::measured {

// A ZFC/FC measurement: both curves in one applied field. `field` is the
// mean of the file's field column when it has one.
struct ZfcFcData {
  Curve zfc;
  Curve fc;
  std::optional<double> field;
};

// A hysteresis loop; each point is on the descending (true) or ascending
// branch, as the direction of the field steps tells.
struct LoopData {
  Curve loop;
  std::vector<bool> descending;
};

// The readers take plain columns (plain_columns.h) and magnetometer files
// (magnetometer_file.h), told apart by their first lines; the columns each
// format knows are listed in known_columns.cpp. CRLF line ends, empty cells
// and extra columns are accepted; every refusal is a DataError.

// Both curves from one file: plain columns T, M_ZFC, M_FC (the layout of
// ZFCFCbc.txt), or a magnetometer file split by ZFC/FC labels in its
// Comment column, else at the first turnaround of the temperature.
ZfcFcData readZfcFc(const std::string& path);

// One curve of T and M: the ZFC or the FC curve of its own file.
Curve readTemperatureCurve(const std::string& path);

// A loop: plain columns H, M (momentbc.txt: its first two columns), or a
// magnetometer file's field and moment.
LoopData readLoop(const std::string& path);

}  // namespace preisach::measured
