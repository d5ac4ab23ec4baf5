#include "measured/measured_data.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace preisach::measured {

namespace {

// One line of a file, cut into cells.
struct Row {
  int line = 0;                    // from 1
  std::vector<std::string> cells;  // trimmed
};

[[noreturn]] void refuse(const std::string& file, int line, int column, const std::string& what) {
  std::string where = file;
  if (line > 0) where += ":" + std::to_string(line);
  if (column > 0) where += ":" + std::to_string(column);
  throw DataError(where + ": " + what);
}

std::string trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) refuse(path, 0, 0, "cannot be opened");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) refuse(path, 0, 0, "cannot be read");
  if (!lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);
  return lines;
}

// Comma-separated cells, a cell in double quotes may hold commas.
std::vector<std::string> commaCells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.push_back(trimmed(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(trimmed(cell));
  return cells;
}

// Cells separated by blanks, tabs or commas (a comma between blanks is one
// separator; two commas in a row leave an empty cell).
std::vector<std::string> plainCells(const std::string& line) {
  if (line.find(',') != std::string::npos) return commaCells(line);
  std::vector<std::string> cells;
  std::istringstream words(line);
  for (std::string word; words >> word;) cells.push_back(word);
  return cells;
}

// A whole cell as a number; false for text, an empty cell or a partial number.
bool parseNumber(const std::string& cell, double& value) {
  if (cell.empty()) return false;
  char* end = nullptr;
  value = std::strtod(cell.c_str(), &end);
  return end == cell.c_str() + cell.size();
}

double numberAt(const std::string& file, const Row& row, std::size_t column, const char* what) {
  const std::string& cell = column < row.cells.size() ? row.cells[column] : std::string();
  double value = 0.0;
  if (cell.empty()) refuse(file, row.line, static_cast<int>(column) + 1, std::string("no ") + what);
  if (!parseNumber(cell, value))
    refuse(file, row.line, static_cast<int>(column) + 1, std::string(what) + " \"" + cell + "\" is not a number");
  if (!std::isfinite(value)) refuse(file, row.line, static_cast<int>(column) + 1, std::string(what) + " is " + cell);
  return value;
}

bool isMagnetometerFile(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string text = trimmed(line);
    if (text.empty()) continue;
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper.compare(0, 8, "[HEADER]") == 0;
  }
  return false;
}

// ---- plain columns ----------------------------------------------------------

struct PlainTable {
  std::vector<std::string> names;  // from a header row, or empty
  std::vector<Row> rows;
};

PlainTable readPlain(const std::string& path, const std::vector<std::string>& lines) {
  PlainTable table;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string text = trimmed(lines[k]);
    if (text.empty() || text[0] == '#') continue;
    Row row{static_cast<int>(k) + 1, plainCells(text)};
    double ignored = 0.0;
    if (table.rows.empty() && table.names.empty() && !parseNumber(row.cells[0], ignored)) {
      table.names = row.cells;  // a header row of names
      continue;
    }
    table.rows.push_back(std::move(row));
  }
  if (table.rows.empty()) refuse(path, 0, 0, "holds no numeric rows");
  return table;
}

bool namesAnError(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const char* word : {"err", "sigma", "std", "unc"})
    if (lower.find(word) != std::string::npos) return true;
  return false;
}

// How many standard-error columns (0 .. most) follow the `columns` value
// columns of a plain table: those named so in the header, or, without a
// header, the extra columns when every row has the same 1 .. most of them
// (momentbc.txt, with two columns more than a loop's two, has none).
std::size_t plainErrorColumns(const PlainTable& table, std::size_t columns, std::size_t most) {
  if (!table.names.empty()) {
    std::size_t k = 0;
    while (k < most && columns + k < table.names.size() && namesAnError(table.names[columns + k])) ++k;
    return k;
  }
  const std::size_t width = table.rows.front().cells.size();
  for (const Row& row : table.rows)
    if (row.cells.size() != width) return 0;
  return width > columns && width - columns <= most ? width - columns : 0;
}

Curve plainCurve(const std::string& path,
                 const PlainTable& table,
                 std::size_t column,
                 std::size_t errorColumn,
                 bool errors,
                 const char* what) {
  Curve curve;
  curve.file = path;
  for (const Row& row : table.rows) {
    curve.x.push_back(numberAt(path, row, 0, "abscissa"));
    curve.moment.push_back(numberAt(path, row, column, what));
    if (errors) curve.error.push_back(numberAt(path, row, errorColumn, "standard error"));
    curve.line.push_back(row.line);
  }
  return curve;
}

// ---- magnetometer files -----------------------------------------------------

struct MagnetometerTable {
  std::vector<std::string> names;
  std::vector<Row> rows;
  int namesLine = 0;
};

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
int columnNamed(const MagnetometerTable& table, const char* name) {
  for (std::size_t k = 0; k < table.names.size(); ++k)
    if (table.names[k] == name) return static_cast<int>(k);
  return -1;
}

int requiredColumn(const std::string& path, const MagnetometerTable& table, const char* name) {
  const int column = columnNamed(table, name);
  if (column < 0) refuse(path, table.namesLine, 0, std::string("has no column \"") + name + "\"");
  return column;
}

const std::string& cellAt(const Row& row, int column) {
  static const std::string empty;
  return column >= 0 && static_cast<std::size_t>(column) < row.cells.size()
             ? row.cells[static_cast<std::size_t>(column)]
             : empty;
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

// The points that carry a moment: from "Moment (emu)", or where that cell
// is empty from "DC Moment Free Ctr (emu)"; rows with neither are other
// measurements and are passed over.
std::vector<MagnetometerPoint> magnetometerPoints(
    const std::string& path, const MagnetometerTable& table, bool needTemperature, bool needField, bool& hasErrors) {
  const int moment = columnNamed(table, "Moment (emu)");
  const int dcMoment = columnNamed(table, "DC Moment Free Ctr (emu)");
  if (moment < 0 && dcMoment < 0)
    refuse(path, table.namesLine, 0, "has neither a \"Moment (emu)\" nor a \"DC Moment Free Ctr (emu)\" column");
  const int error = columnNamed(table, "M. Std. Err. (emu)");
  const int dcError = columnNamed(table, "DC Moment Err Free Ctr (emu)");
  const int temperature =
      needTemperature ? requiredColumn(path, table, "Temperature (K)") : columnNamed(table, "Temperature (K)");
  const int field =
      needField ? requiredColumn(path, table, "Magnetic Field (Oe)") : columnNamed(table, "Magnetic Field (Oe)");
  const int comment = columnNamed(table, "Comment");
  std::vector<MagnetometerPoint> points;
  hasErrors = error >= 0 || dcError >= 0;
  for (const Row& row : table.rows) {
    const bool fromMoment = !cellAt(row, moment).empty();
    const int momentColumn = fromMoment ? moment : dcMoment;
    if (cellAt(row, momentColumn).empty()) continue;
    MagnetometerPoint point{};
    point.line = row.line;
    point.moment = numberAt(path, row, static_cast<std::size_t>(momentColumn), "moment");
    point.temperature =
        temperature >= 0 ? numberAt(path, row, static_cast<std::size_t>(temperature), "temperature") : std::nan("");
    point.field = field >= 0 && !cellAt(row, field).empty()
                      ? numberAt(path, row, static_cast<std::size_t>(field), "field")
                      : std::nan("");
    if (needField && std::isnan(point.field)) refuse(path, row.line, field + 1, "no field");
    const int errorColumn = fromMoment ? error : dcError;
    point.error = std::nan("");
    if (errorColumn >= 0 && !cellAt(row, errorColumn).empty())
      point.error = numberAt(path, row, static_cast<std::size_t>(errorColumn), "standard error");
    if (std::isnan(point.error)) hasErrors = false;
    point.comment = cellAt(row, comment);
    points.push_back(point);
  }
  if (points.empty()) refuse(path, 0, 0, "holds no row with a moment");
  return points;
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

std::string upperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
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

}  // namespace

ZfcFcData readZfcFc(const std::string& path) {
  const std::vector<std::string> lines = fileLines(path);
  ZfcFcData data;
  if (!isMagnetometerFile(lines)) {
    const PlainTable table = readPlain(path, lines);
    // T, M_ZFC, M_FC and optionally one error column for both, or one each.
    const std::size_t errors = plainErrorColumns(table, 3, 2);
    data.zfc = plainCurve(path, table, 1, 3, errors > 0, "M_ZFC");
    data.fc = plainCurve(path, table, 2, errors == 2 ? 4 : 3, errors > 0, "M_FC");
    return data;
  }
  const MagnetometerTable table = readMagnetometer(path, lines);
  bool errors = false;
  const std::vector<MagnetometerPoint> points = magnetometerPoints(path, table, true, false, errors);
  // The applied field: the mean of the field column, where it has values.
  double fieldSum = 0.0;
  std::size_t fields = 0;
  for (const MagnetometerPoint& p : points)
    if (!std::isnan(p.field)) fieldSum += p.field, ++fields;
  if (fields > 0) data.field = fieldSum / static_cast<double>(fields);

  // Split by the labels of the Comment column, a label holding until the next.
  std::vector<std::size_t> zfcRows, fcRows;
  std::string current;
  bool labelled = false;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const std::string label = segmentLabel(points[k].comment);
    if (!label.empty()) current = label, labelled = true;
    if (current == "ZFC") zfcRows.push_back(k);
    if (current == "FC") fcRows.push_back(k);
  }
  const auto gather = [&](const std::vector<std::size_t>& rows) {
    std::vector<MagnetometerPoint> chosen;
    for (std::size_t k : rows) chosen.push_back(points[k]);
    return curveOf(path, chosen, 0, chosen.size(), true, errors);
  };
  if (labelled) {
    if (zfcRows.empty()) refuse(path, 0, 0, "has FC labels in its Comment column but no ZFC label");
    if (fcRows.empty()) refuse(path, 0, 0, "has ZFC labels in its Comment column but no FC label");
    data.zfc = gather(zfcRows);
    data.fc = gather(fcRows);
    return data;
  }
  // Without labels: the first monotone run of temperatures is ZFC, the next FC.
  double low = points[0].temperature, high = low;
  for (const MagnetometerPoint& p : points) low = std::min(low, p.temperature), high = std::max(high, p.temperature);
  const double tolerance = std::max(0.5, 0.01 * (high - low));
  const std::size_t turn = monotoneRunEnd(points, 0, tolerance);
  if (turn >= points.size())
    refuse(path, 0, 0,
           "has no ZFC/FC labels and its temperatures never turn around, so ZFC and FC cannot be told apart");
  const std::size_t end = monotoneRunEnd(points, turn, tolerance);
  data.zfc = curveOf(path, points, 0, turn, true, errors);
  data.fc = curveOf(path, points, turn, end, true, errors);
  return data;
}

Curve readTemperatureCurve(const std::string& path) {
  const std::vector<std::string> lines = fileLines(path);
  if (!isMagnetometerFile(lines)) {
    const PlainTable table = readPlain(path, lines);
    return plainCurve(path, table, 1, 2, plainErrorColumns(table, 2, 1) == 1, "moment");
  }
  const MagnetometerTable table = readMagnetometer(path, lines);
  bool errors = false;
  const std::vector<MagnetometerPoint> points = magnetometerPoints(path, table, true, false, errors);
  return curveOf(path, points, 0, points.size(), true, errors);
}

LoopData readLoop(const std::string& path) {
  const std::vector<std::string> lines = fileLines(path);
  LoopData data;
  if (!isMagnetometerFile(lines)) {
    const PlainTable table = readPlain(path, lines);
    data.loop = plainCurve(path, table, 1, 2, plainErrorColumns(table, 2, 1) == 1, "moment");
  } else {
    const MagnetometerTable table = readMagnetometer(path, lines);
    bool errors = false;
    const std::vector<MagnetometerPoint> points = magnetometerPoints(path, table, false, true, errors);
    data.loop = curveOf(path, points, 0, points.size(), false, errors);
  }
  // A point is on the branch its field is moving along: the direction of the
  // step into it, or for the first point the step out of it.
  const std::vector<double>& H = data.loop.x;
  if (H.size() < 2) refuse(path, 0, 0, "holds fewer than two fields: no branch can be told");
  data.descending.resize(H.size());
  for (std::size_t k = 0; k < H.size(); ++k) {
    const double step = k == 0 ? H[1] - H[0] : H[k] - H[k - 1];
    data.descending[k] = step < 0.0 || (step == 0.0 && k > 0 && data.descending[k - 1]);
  }
  return data;
}

}  // namespace preisach::measured
