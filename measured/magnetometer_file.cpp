#include "measured/magnetometer_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

struct MagnetometerTable {
  std::vector<std::string> names;
  std::vector<Row> rows;
  int namesLine = 0;
};

bool startsWithHeader(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string text = trimmed(line);
    if (text.empty()) continue;
    return upperCase(text).compare(0, 8, "[HEADER]") == 0;
  }
  return false;
}

MagnetometerTable readMagnetometer(const std::string& path, const std::vector<std::string>& lines) {
  MagnetometerTable table;
  std::size_t k = 0;
  while (k < lines.size() && trimmed(lines[k]).compare(0, 6, "[Data]") != 0 &&
         trimmed(lines[k]).compare(0, 6, "[DATA]") != 0)
    ++k;
  if (k == lines.size()) refuse(path, 0, 0, "has a [Header] but no [Data] section");
  ++k;
  if (k == lines.size()) refuse(path, static_cast<int>(k), 0, "has no row of column names after [Data]");
  table.names = commaCells(lines[k]);
  table.namesLine = static_cast<int>(k) + 1;
  for (++k; k < lines.size(); ++k) {
    if (trimmed(lines[k]).empty()) continue;
    table.rows.push_back({static_cast<int>(k) + 1, commaCells(lines[k])});
  }
  return table;
}

// The index of the column of that name, or -1.
int columnNamed(const MagnetometerTable& table, const KnownColumn& known) {
  for (std::size_t k = 0; k < table.names.size(); ++k)
    if (names(known, table.names[k])) return static_cast<int>(k);
  return -1;
}

// The column of the role (its first name in the table), or -1; refused when
// `required` and missing.
int roleColumn(const std::string& path, const MagnetometerTable& table, Role role, bool required) {
  const KnownColumn known = knownColumns(Format::Magnetometer, role).front();
  const int column = columnNamed(table, known);
  if (required && column < 0) refuse(path, table.namesLine, 0, std::string("has no column \"") + known.name + "\"");
  return column;
}

const std::string& cellAt(const Row& row, int column) {
  static const std::string empty;
  return column >= 0 && static_cast<std::size_t>(column) < row.cells.size()
             ? row.cells[static_cast<std::size_t>(column)]
             : empty;
}

// A moment column of the file and the column of its standard error (-1: none).
struct MomentColumn {
  int moment;
  int error;
};

// The file's moment columns in the table's order of preference; refused
// when it has none.
std::vector<MomentColumn> momentColumns(const std::string& path, const MagnetometerTable& table) {
  std::vector<MomentColumn> found;
  std::string missing;
  for (const KnownColumn& moment : knownColumns(Format::Magnetometer, Role::Moment)) {
    missing += std::string(missing.empty() ? "has neither a \"" : " nor a \"") + moment.name + "\"";
    int error = -1;
    for (const KnownColumn& e : knownColumns(Format::Magnetometer, Role::MomentError))
      if (std::string(e.errorOf) == moment.name) error = columnNamed(table, e);
    found.push_back({columnNamed(table, moment), error});
  }
  if (std::none_of(found.begin(), found.end(), [](const MomentColumn& c) { return c.moment >= 0; }))
    refuse(path, table.namesLine, 0, missing + " column");
  return found;
}

// A measured point of a magnetometer file, with its comment.
struct MagnetometerPoint {
  int line;
  double temperature;
  double field;
  double moment;
  double error;  // NaN without one
  std::string comment;
};

struct MagnetometerPoints {
  std::vector<MagnetometerPoint> points;
  bool errors = false;  // every point has a standard error
};

// The points that carry a moment: from the first moment column (in the
// table's order) whose cell has a value; rows with none are other
// measurements and are passed over.
MagnetometerPoints magnetometerPoints(const std::string& path,
                                      const MagnetometerTable& table,
                                      bool needTemperature,
                                      bool needField) {
  const std::vector<MomentColumn> moments = momentColumns(path, table);
  const int temperature = roleColumn(path, table, Role::Temperature, needTemperature);
  const int field = roleColumn(path, table, Role::Field, needField);
  const int comment = roleColumn(path, table, Role::Comment, false);
  MagnetometerPoints found;
  found.errors = std::any_of(moments.begin(), moments.end(), [](const MomentColumn& c) { return c.error >= 0; });
  for (const Row& row : table.rows) {
    const auto from = std::find_if(moments.begin(), moments.end(),
                                   [&](const MomentColumn& c) { return !cellAt(row, c.moment).empty(); });
    if (from == moments.end()) continue;
    MagnetometerPoint point{};
    point.line = row.line;
    point.moment = numberAt(path, row, static_cast<std::size_t>(from->moment), "moment");
    point.temperature =
        temperature >= 0 ? numberAt(path, row, static_cast<std::size_t>(temperature), "temperature") : std::nan("");
    point.field = field >= 0 && !cellAt(row, field).empty()
                      ? numberAt(path, row, static_cast<std::size_t>(field), "field")
                      : std::nan("");
    if (needField && std::isnan(point.field)) refuse(path, row.line, field + 1, "no field");
    point.error = std::nan("");
    if (from->error >= 0 && !cellAt(row, from->error).empty())
      point.error = numberAt(path, row, static_cast<std::size_t>(from->error), "standard error");
    if (std::isnan(point.error)) found.errors = false;
    point.comment = cellAt(row, comment);
    found.points.push_back(point);
  }
  if (found.points.empty()) refuse(path, 0, 0, "holds no row with a moment");
  return found;
}

MagnetometerPoints pointsOf(const std::string& path,
                            const std::vector<std::string>& lines,
                            bool needTemperature,
                            bool needField) {
  return magnetometerPoints(path, readMagnetometer(path, lines), needTemperature, needField);
}

Curve curveOf(const std::string& path,
              const std::vector<MagnetometerPoint>& points,
              std::size_t begin,
              std::size_t end,
              bool temperatureAxis,
              bool errors) {
  Curve curve;
  curve.file = path;
  double fieldSum = 0.0, temperatureSum = 0.0;
  std::size_t fields = 0, temperatures = 0;
  for (std::size_t k = begin; k < end; ++k) {
    curve.x.push_back(temperatureAxis ? points[k].temperature : points[k].field);
    curve.moment.push_back(points[k].moment);
    if (errors) curve.error.push_back(points[k].error);
    curve.line.push_back(points[k].line);
    if (!std::isnan(points[k].field)) fieldSum += points[k].field, ++fields;
    if (!std::isnan(points[k].temperature)) temperatureSum += points[k].temperature, ++temperatures;
  }
  if (fields > 0) curve.field = fieldSum / static_cast<double>(fields);
  if (temperatures > 0) curve.temperature = temperatureSum / static_cast<double>(temperatures);
  return curve;
}

// The label a comment gives a segment: "ZFC", "FC" or "" (none).
std::string segmentLabel(const std::string& comment) {
  const std::string upper = upperCase(comment);
  if (upper.find("ZFC") != std::string::npos) return "ZFC";
  std::size_t at = upper.find("FC");
  while (at != std::string::npos) {
    const bool startsWord = at == 0 || !std::isalpha(static_cast<unsigned char>(upper[at - 1]));
    const bool endsWord = at + 2 >= upper.size() || !std::isalpha(static_cast<unsigned char>(upper[at + 2]));
    if (startsWord && endsWord) return "FC";
    at = upper.find("FC", at + 1);
  }
  return "";
}

// The end of the monotone run of temperatures starting at `begin`: where
// the temperature first moves against the run's direction by more than
// `tolerance` (measurement jitter is smaller).
std::size_t monotoneRunEnd(const std::vector<MagnetometerPoint>& points, std::size_t begin, double tolerance) {
  int direction = 0;
  double extreme = points[begin].temperature;
  for (std::size_t k = begin + 1; k < points.size(); ++k) {
    const double T = points[k].temperature;
    if (direction == 0) {
      if (std::fabs(T - extreme) > tolerance) direction = T > extreme ? 1 : -1;
      extreme = direction > 0 ? std::max(extreme, T) : direction < 0 ? std::min(extreme, T) : extreme;
      continue;
    }
    if ((T - extreme) * direction < -tolerance) return k;
    extreme = direction > 0 ? std::max(extreme, T) : std::min(extreme, T);
  }
  return points.size();
}

// Split by the labels of the Comment column, a label holding until the
// next; false when no comment holds a label.
bool splitByLabels(const std::string& path, const MagnetometerPoints& found, ZfcFcData& data) {
  const std::vector<MagnetometerPoint>& points = found.points;
  std::vector<MagnetometerPoint> zfc, fc;
  std::string current;
  bool labelled = false;
  for (const MagnetometerPoint& point : points) {
    const std::string label = segmentLabel(point.comment);
    if (!label.empty()) current = label, labelled = true;
    if (current == "ZFC") zfc.push_back(point);
    if (current == "FC") fc.push_back(point);
  }
  if (!labelled) return false;
  if (zfc.empty()) refuse(path, 0, 0, "has FC labels in its Comment column but no ZFC label");
  if (fc.empty()) refuse(path, 0, 0, "has ZFC labels in its Comment column but no FC label");
  data.zfc = curveOf(path, zfc, 0, zfc.size(), true, found.errors);
  data.fc = curveOf(path, fc, 0, fc.size(), true, found.errors);
  return true;
}

// Without labels: the first monotone run of temperatures is ZFC, the next FC.
void splitAtTurnaround(const std::string& path, const MagnetometerPoints& found, ZfcFcData& data) {
  const std::vector<MagnetometerPoint>& points = found.points;
  double low = points[0].temperature, high = low;
  for (const MagnetometerPoint& p : points) low = std::min(low, p.temperature), high = std::max(high, p.temperature);
  const double tolerance = std::max(0.5, 0.01 * (high - low));
  const std::size_t turn = monotoneRunEnd(points, 0, tolerance);
  if (turn >= points.size())
    refuse(path, 0, 0,
           "has no ZFC/FC labels and its temperatures never turn around, so ZFC and FC cannot be told apart");
  const std::size_t end = monotoneRunEnd(points, turn, tolerance);
  data.zfc = curveOf(path, points, 0, turn, true, found.errors);
  data.fc = curveOf(path, points, turn, end, true, found.errors);
}

ZfcFcData magnetometerZfcFc(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, true, false);
  ZfcFcData data;
  // The applied field: the mean of the field column, where it has values.
  double fieldSum = 0.0;
  std::size_t fields = 0;
  for (const MagnetometerPoint& p : found.points)
    if (!std::isnan(p.field)) fieldSum += p.field, ++fields;
  if (fields > 0) data.field = fieldSum / static_cast<double>(fields);
  if (!splitByLabels(path, found, data)) splitAtTurnaround(path, found, data);
  return data;
}

Curve magnetometerTemperatureCurve(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, true, false);
  return curveOf(path, found.points, 0, found.points.size(), true, found.errors);
}

Curve magnetometerFieldCurve(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, false, true);
  return curveOf(path, found.points, 0, found.points.size(), false, found.errors);
}

}  // namespace

const FormatReader& magnetometerReader() {
  static const FormatReader reader{Format::Magnetometer, startsWithHeader, magnetometerZfcFc,
                                   magnetometerTemperatureCurve, magnetometerFieldCurve};
  return reader;
}

}  // namespace preisach::measured
