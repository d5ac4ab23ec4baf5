#pragma once

#include <optional>
#include <string>
#include <vector>

#include "measured/curve.h"
#include "measured/data_error.h"
#include "measured/measurement.h"

namespace preisach::measured {

// A ZFC/FC measurement: both curves in one applied field. `field` is the
// mean of the file's field column when it has one. `report` tells how the
// file was read (its curves carry the same).
struct ZfcFcData {
  Curve zfc;
  Curve fc;
  std::optional<double> field;
  ReadReport report;
};

// A hysteresis loop; each point is on the descending (true) or ascending
// branch, as the direction of the field steps tells.
struct LoopData {
  Curve loop;
  std::vector<bool> descending;
};

// The readers take plain columns (plain_columns.h) and magnetometer files
// (magnetometer_file.h), told apart by their first lines; the columns each
// format knows are listed in known_columns.cpp. LF, CRLF and CR line ends, a
// byte-order mark, empty cells and extra columns are accepted; the input
// must be a regular file of at most 64 MB. Every refusal is a DataError of
// one line naming the file and, where there is one, the line and column.
// What a reader passed over or decided is in the result's report.

// Both curves from one file: plain columns T, M_ZFC, M_FC (the layout of
// ZFCFCbc.txt), or a magnetometer file split by ZFC/FC labels in its
// Comment column, else at the first turnaround of the temperature.
ZfcFcData readZfcFc(const std::string& path);

// One curve of T and M: the ZFC or the FC curve of its own file.
Curve readTemperatureCurve(const std::string& path);

// A loop: plain columns H, M (momentbc.txt: its first two columns), or a
// magnetometer file's field and moment.
LoopData readLoop(const std::string& path);

// Every measurement of a file that records a measurement sequence (a
// magnetometer file: temperature and field beside each moment), in the
// order measured: temperature sweeps at each held field, cut into ZFC and FC
// curves by labels in the Comment column or where the temperature turns,
// and field sweeps at each held temperature, a virgin curve apart from the
// loop. Empty for a file of plain columns, which holds one curve of the
// kind its option names.
std::vector<Measurement> readMeasurements(const std::string& path);
std::vector<Measurement> readMeasurementsText(const std::string& name, const std::string& text);

// The same on a file's text already in memory; `name` stands for the file
// in messages.
ZfcFcData readZfcFcText(const std::string& name, const std::string& text);
Curve readTemperatureCurveText(const std::string& name, const std::string& text);
LoopData readLoopText(const std::string& name, const std::string& text);

}  // namespace preisach::measured
