#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace preisach::measured {

// An input the lab cannot use: one line naming the file, and where it can,
// the line and column.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
  std::size_t size() const { return x.size(); }
  bool hasErrors() const { return !error.empty(); }
};

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

// The kinds of file the readers take:
// - plain columns: numbers separated by blanks, tabs or commas, "#" comment
//   lines, an optional first row of column names;
// - magnetometer files: a [Header] section, then a [Data] section whose
//   first row names comma-separated columns ("Temperature (K)", "Magnetic
//   Field (Oe)", "Moment (emu)" or "DC Moment Free Ctr (emu)", their
//   standard errors "M. Std. Err. (emu)" or "DC Moment Err Free Ctr (emu)",
//   and "Comment").
// CRLF line ends, empty cells and extra columns are accepted; every refusal
// is a DataError.

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
