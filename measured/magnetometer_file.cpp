#include "measured/magnetometer_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "measured/text_cells.h"
#include "measured/units.h"

namespace preisach::measured {

namespace {

struct MagnetometerTable {
  std::vector<std::string> names;
  std::vector<Row> rows;
  int namesLine = 0;
  char separator = ',';
  double massGrams = std::nan("");  // the header's SAMPLE_MASS, where it gives one
  int massLine = 0;
};

// The header's sample mass: "INFO,2.875,SAMPLE_MASS", in mg as the
// instrument's software records it.
void readSampleMass(const std::vector<std::string>& header, MagnetometerTable& table) {
  for (std::size_t k = 0; k < header.size(); ++k) {
    const std::vector<std::string> cells =
        separatedCells(header[k], header[k].find('\t') != std::string::npos ? '\t' : ',');
    if (cells.size() < 3 || upperCase(trimmed(cells[2])) != "SAMPLE_MASS") continue;
    double milligrams = 0.0;
    if (parseNumber(trimmed(cells[1]), milligrams) && milligrams > 0.0 && std::isfinite(milligrams))
      table.massGrams = milligrams * 1e-3, table.massLine = static_cast<int>(k) + 1;
  }
}

bool startsWithHeader(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string text = trimmed(line);
    if (text.empty()) continue;
    return upperCase(text).compare(0, 8, "[HEADER]") == 0;
  }
  return false;
}

// The separator of the data section: of comma, tab and semicolon the one the
// row of column names holds most often outside quotes (the instrument
// writes commas; a spreadsheet may save the file with tabs or semicolons).
char separatorOf(const std::string& names) {
  const char candidates[] = {',', '\t', ';'};
  std::size_t counts[3] = {0, 0, 0};
  bool quotes = false;
  for (char c : names) {
    if (c == '"') quotes = !quotes;
    for (std::size_t k = 0; k < 3 && !quotes; ++k) counts[k] += c == candidates[k];
  }
  std::size_t best = 0;
  for (std::size_t k = 1; k < 3; ++k)
    if (counts[k] > counts[best]) best = k;
  return candidates[best];
}

std::string separatorName(char separator) {
  return separator == ',' ? "comma-separated" : separator == ';' ? "semicolon-separated" : "tab-separated";
}

MagnetometerTable readMagnetometer(const std::string& path, const std::vector<std::string>& lines) {
  MagnetometerTable table;
  std::size_t k = 0;
  while (k < lines.size() && upperCase(trimmed(lines[k])).compare(0, 6, "[DATA]") != 0) ++k;
  if (k == lines.size()) refuse(path, 0, 0, "has a [Header] but no [Data] section");
  readSampleMass(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(k)), table);
  ++k;
  if (k == lines.size()) refuse(path, static_cast<int>(k), 0, "has no row of column names after [Data]");
  table.separator = separatorOf(lines[k]);
  table.names = separatedCells(lines[k], table.separator);
  table.namesLine = static_cast<int>(k) + 1;
  for (++k; k < lines.size(); ++k) {
    if (trimmed(lines[k]).empty()) continue;
    table.rows.push_back({static_cast<int>(k) + 1, separatedCells(lines[k], table.separator)});
  }
  return table;
}

// "; its columns are \"a\", \"b\" and \"c\"": what a refusal of a missing column
// shows, so that a renamed column can be seen.
std::string foundColumns(const MagnetometerTable& table) {
  return "; its columns are " + quotedList(table.names);
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
  if (required && column < 0)
    refuse(path, table.namesLine, 0, std::string("has no column \"") + known.name + "\"" + foundColumns(table));
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
  std::size_t rows = 0;  // the rows whose moment it gave
  double toEmu = 1.0;    // the factor of its unit (and the mass, for a moment per mass)
  std::string unit = "emu";
};

// The factor to the lab's unit of a column of that role: its unit from its
// name (none written: the lab's own), a unit this reader does not know
// refused by name.
const UnitFactor* columnUnit(const std::string& path, const MagnetometerTable& table, int column, Role role) {
  static const UnitFactor kLabUnits[] = {{"K", 1.0, false}, {"Oe", 1.0, false}, {"emu", 1.0, false}};
  const std::string unit = splitUnit(table.names[static_cast<std::size_t>(column)]).unit;
  if (unit.empty()) return &kLabUnits[role == Role::Temperature ? 0 : role == Role::Field ? 1 : 2];
  const UnitFactor* factor = unitOf(role, unit);
  if (factor == nullptr)
    refuse(path, table.namesLine, column + 1,
           "the column " + quoted(table.names[static_cast<std::size_t>(column)]) + " is in units " + quoted(unit) +
               " this reader does not know: known are " + knownUnits(role == Role::MomentError ? Role::Moment : role));
  return factor;
}

// The factor to emu of a moment column: its unit, times the sample's mass
// for a moment per mass.
double momentFactor(const std::string& path, const MagnetometerTable& table, int column, std::string& unit) {
  const UnitFactor* factor = columnUnit(path, table, column, Role::Moment);
  unit = factor->name;
  if (!factor->perMass) return factor->toLab;
  if (std::isnan(table.massGrams))
    refuse(path, table.namesLine, column + 1,
           "gives moments per mass (" + std::string(factor->name) +
               ") but its header gives no SAMPLE_MASS: give the moment in emu or the sample's mass in the header");
  return factor->toLab * table.massGrams;
}

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
    found.push_back({columnNamed(table, moment), error, 0});
    if (found.back().moment >= 0)
      found.back().toEmu = momentFactor(path, table, found.back().moment, found.back().unit);
  }
  if (std::none_of(found.begin(), found.end(), [](const MomentColumn& c) { return c.moment >= 0; }))
    refuse(path, table.namesLine, 0, missing + " column" + foundColumns(table));
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
  int fieldColumn = -1;
  ReadReport report;
};

// The columns used and the rows passed over, in words.
ReadReport magnetometerReport(const MagnetometerTable& table,
                              const std::vector<MomentColumn>& moments,
                              int temperature,
                              int field,
                              const std::string& fieldUnit,
                              const std::vector<int>& skipped,
                              const std::vector<int>& withoutError) {
  ReadReport report;
  report.format = "magnetometer file (" + separatorName(table.separator) + ")";
  report.fieldUnit = field >= 0 ? fieldUnit : "";
  report.momentUnit = "emu";
  for (const MomentColumn& c : moments)
    if (c.rows > 0) report.momentUnit = c.unit;
  if (field >= 0 && fieldUnit != "Oe") report.notes.push_back("fields converted from " + fieldUnit + " to Oe");
  for (const MomentColumn& c : moments) {
    if (c.rows == 0 || c.unit == "emu") continue;
    std::string note = "moments converted from " + c.unit + " to emu";
    if (c.unit.find('/') != std::string::npos) {
      char mass[64];
      std::snprintf(mass, sizeof mass, " with the header's sample mass %.6g mg (line %d)", table.massGrams * 1e3,
                    table.massLine);
      note += mass;
    }
    report.notes.push_back(note);
  }
  const auto name = [&](int column) { return quoted(table.names[static_cast<std::size_t>(column)]); };
  if (temperature >= 0) report.columns += "T: " + name(temperature) + ", ";
  if (field >= 0) report.columns += "H: " + name(field) + ", ";
  report.columns += "M:";
  bool first = true;
  for (const MomentColumn& c : moments) {
    if (c.rows == 0) continue;
    report.columns += std::string(first ? " " : "; ") + name(c.moment) + " (" + std::to_string(c.rows) + " rows)";
    first = false;
    if (c.error >= 0 && withoutError.empty()) report.columns += " with its standard error " + name(c.error);
  }
  if (!skipped.empty())
    report.notes.push_back(std::to_string(skipped.size()) + " rows with empty moment cells skipped (" +
                           lineList(skipped) + ")");
  if (!withoutError.empty())
    report.notes.push_back("standard errors left out: " + std::to_string(withoutError.size()) +
                           " rows with a moment have none (" + lineList(withoutError) + ")");
  return report;
}

// The points that carry a moment: from the first moment column (in the
// table's order) whose cell has a value; rows with none are other
// measurements, passed over with a note.
MagnetometerPoints magnetometerPoints(const std::string& path,
                                      const MagnetometerTable& table,
                                      bool needTemperature,
                                      bool needField) {
  std::vector<MomentColumn> moments = momentColumns(path, table);
  const int temperature = roleColumn(path, table, Role::Temperature, needTemperature);
  const int field = roleColumn(path, table, Role::Field, needField);
  const int comment = roleColumn(path, table, Role::Comment, false);
  const double toKelvin = temperature >= 0 ? columnUnit(path, table, temperature, Role::Temperature)->toLab : 1.0;
  const UnitFactor* fieldUnit = field >= 0 ? columnUnit(path, table, field, Role::Field) : nullptr;
  const double toOe = fieldUnit != nullptr ? fieldUnit->toLab : 1.0;
  MagnetometerPoints found;
  found.fieldColumn = field;
  std::vector<int> skipped, withoutError;
  // The instrument writes a sequence's comment ("ZFC, 100") on a row of its
  // own, without a moment: it belongs to the points that follow.
  std::string pendingComment;
  for (const Row& row : table.rows) {
    const auto from = std::find_if(moments.begin(), moments.end(),
                                   [&](const MomentColumn& c) { return !cellAt(row, c.moment).empty(); });
    if (from == moments.end()) {
      skipped.push_back(row.line);
      if (!cellAt(row, comment).empty()) pendingComment = cellAt(row, comment);
      continue;
    }
    ++from->rows;
    MagnetometerPoint point{};
    point.line = row.line;
    point.moment = numberAt(path, row, static_cast<std::size_t>(from->moment), "moment") * from->toEmu;
    point.temperature = temperature >= 0
                            ? numberAt(path, row, static_cast<std::size_t>(temperature), "temperature") * toKelvin
                            : std::nan("");
    point.field = field >= 0 && !cellAt(row, field).empty()
                      ? numberAt(path, row, static_cast<std::size_t>(field), "field") * toOe
                      : std::nan("");
    if (needField && std::isnan(point.field)) refuse(path, row.line, field + 1, "no field");
    point.error = std::nan("");
    if (from->error >= 0 && !cellAt(row, from->error).empty())
      point.error = numberAt(path, row, static_cast<std::size_t>(from->error), "standard error") * from->toEmu;
    if (std::isnan(point.error)) withoutError.push_back(row.line);
    point.comment = cellAt(row, comment).empty() ? pendingComment : cellAt(row, comment);
    pendingComment.clear();
    found.points.push_back(point);
  }
  if (found.points.empty()) refuse(path, 0, 0, "holds no row with a moment");
  const bool anyError = std::any_of(moments.begin(), moments.end(), [](const MomentColumn& c) { return c.error >= 0; });
  found.errors = anyError && withoutError.empty();
  if (!anyError) withoutError.clear();  // no error column: nothing left out
  found.report = magnetometerReport(table, moments, temperature, field, fieldUnit != nullptr ? fieldUnit->name : "",
                                    skipped, withoutError);
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

// A monotone run of temperatures: the point where it reaches its extreme
// (the first of equal ones) and where it has turned, moving against its
// direction by more than `tolerance` (measurement jitter is smaller), or
// the end of the points.
struct TemperatureRun {
  std::size_t last;
  std::size_t end;
};

TemperatureRun monotoneRun(const std::vector<MagnetometerPoint>& points, std::size_t begin, double tolerance) {
  int direction = 0;
  double extreme = points[begin].temperature;
  std::size_t last = begin;
  for (std::size_t k = begin + 1; k < points.size(); ++k) {
    const double T = points[k].temperature;
    if (direction == 0) {
      if (std::fabs(T - extreme) > tolerance) direction = T > extreme ? 1 : -1, extreme = T, last = k;
      continue;
    }
    if ((T - extreme) * direction < -tolerance) return {last, k};
    if ((T - extreme) * direction > 0.0) extreme = T, last = k;
  }
  return {last, points.size()};
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
  data.report.notes.push_back("split by the ZFC/FC labels of the Comment column");
  return true;
}

// Without labels: the first monotone run of temperatures is ZFC, the next FC.
void splitAtTurnaround(const std::string& path, const MagnetometerPoints& found, ZfcFcData& data) {
  const std::vector<MagnetometerPoint>& points = found.points;
  double low = points[0].temperature, high = low;
  for (const MagnetometerPoint& p : points) low = std::min(low, p.temperature), high = std::max(high, p.temperature);
  const double tolerance = std::max(0.5, 0.01 * (high - low));
  const TemperatureRun zfc = monotoneRun(points, 0, tolerance);
  if (zfc.end >= points.size())
    refuse(path, 0, 0,
           "has no ZFC/FC labels and its temperatures never turn around, so ZFC and FC cannot be told apart");
  // The ZFC curve ends where its temperature is highest; the FC curve starts
  // with the next point, which is usually measured at about that
  // temperature, and ends where it turns in its turn.
  const std::size_t fcBegin = zfc.last + 1;
  const TemperatureRun fc = monotoneRun(points, fcBegin, tolerance);
  const std::size_t fcEnd = fc.end < points.size() ? fc.last + 1 : points.size();
  data.zfc = curveOf(path, points, 0, fcBegin, true, found.errors);
  data.fc = curveOf(path, points, fcBegin, fcEnd, true, found.errors);
  data.report.notes.push_back("no ZFC/FC labels: split where the temperature turns, FC from line " +
                              std::to_string(points[fcBegin].line));
  if (fcEnd < points.size())
    data.report.notes.push_back(std::to_string(points.size() - fcEnd) +
                                " points after the FC curve not used (from line " + std::to_string(points[fcEnd].line) +
                                ")");
}

// The applied field of a ZFC/FC file: the mean of its field column, where it
// has values; a sum past the largest double is refused at the line it
// overflows (such a field is no field a magnetometer applies).
std::optional<double> meanField(const std::string& path, const MagnetometerPoints& found) {
  double sum = 0.0;
  std::size_t fields = 0;
  for (const MagnetometerPoint& p : found.points) {
    if (std::isnan(p.field)) continue;
    sum += p.field, ++fields;
    if (!std::isfinite(sum))
      refuse(path, p.line, found.fieldColumn + 1, "the fields add up past the largest number: no mean field");
  }
  if (fields == 0) return std::nullopt;
  return sum / static_cast<double>(fields);
}

ZfcFcData magnetometerZfcFc(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, true, false);
  ZfcFcData data;
  data.report = found.report;
  data.field = meanField(path, found);
  if (!splitByLabels(path, found, data)) splitAtTurnaround(path, found, data);
  data.zfc.report = data.fc.report = data.report;
  return data;
}

Curve magnetometerTemperatureCurve(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, true, false);
  Curve curve = curveOf(path, found.points, 0, found.points.size(), true, found.errors);
  curve.report = found.report;
  return curve;
}

Curve magnetometerFieldCurve(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerPoints found = pointsOf(path, lines, false, true);
  Curve curve = curveOf(path, found.points, 0, found.points.size(), false, found.errors);
  curve.report = found.report;
  return curve;
}

// A measurement sequence holds its temperature while the field sweeps
// (a loop) or its field while the temperature sweeps (ZFC, FC), within
// heldTemperature and heldField (measurement.h).

// A run of points over which the temperature or the field is held.
struct Sweep {
  std::size_t begin = 0, end = 0;
  bool fieldHeld = false;        // a temperature sweep
  bool temperatureHeld = false;  // a field sweep
};

// The sequence cut into sweeps: a sweep goes on while its temperature or
// its field stays within the held tolerance of its first point's. A run in
// which both are held (the instrument waiting) is neither sweep.
std::vector<Sweep> sweepsOf(const std::vector<MagnetometerPoint>& points) {
  std::vector<Sweep> sweeps;
  for (std::size_t begin = 0; begin < points.size();) {
    const double T0 = points[begin].temperature, H0 = points[begin].field;
    const bool noField = std::isnan(H0), noTemperature = std::isnan(T0);  // a column the file lacks
    bool temperatureHeld = !noTemperature, fieldHeld = true;
    std::size_t end = begin + 1;
    for (; end < points.size(); ++end) {
      const double T = points[end].temperature, H = points[end].field;
      const bool keepsT = temperatureHeld && std::fabs(T - T0) <= heldTemperature(T0);
      const bool keepsH = fieldHeld && (noField ? std::isnan(H) : std::fabs(H - H0) <= heldField(H0));
      if (!keepsT && !keepsH) break;
      temperatureHeld = keepsT, fieldHeld = keepsH;
    }
    double lowT = T0, highT = T0, lowH = H0, highH = H0;
    for (std::size_t k = begin; k < end; ++k) {
      lowT = std::min(lowT, points[k].temperature), highT = std::max(highT, points[k].temperature);
      lowH = std::min(lowH, points[k].field), highH = std::max(highH, points[k].field);
    }
    Sweep sweep{begin, end, false, false};
    if (fieldHeld && highT - lowT > heldTemperature(T0))
      sweep.fieldHeld = true;
    else if (temperatureHeld && highH - lowH > heldField(H0))
      sweep.temperatureHeld = true;
    sweeps.push_back(sweep);
    begin = end;
  }
  return sweeps;
}

std::string shownNumberOf(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

Measurement measurementOf(const std::string& path,
                          const MagnetometerPoints& found,
                          std::size_t begin,
                          std::size_t end,
                          MeasurementKind kind,
                          const std::string& how) {
  Measurement m;
  m.kind = kind;
  m.how = how;
  m.curve = curveOf(path, found.points, begin, end, m.isTemperatureSweep(), found.errors);
  m.curve.report = found.report;
  if (m.curve.field) m.field = *m.curve.field;
  if (m.curve.temperature) m.temperature = *m.curve.temperature;
  return m;
}

// The temperature sweeps at one held field: cut where a label changes and
// where the temperature turns; each monotone run is one curve. A label
// names its kind; without one the first run at a field is ZFC (the curve
// measured first, after cooling in zero field) and the later ones FC, and a
// run alone in its file is a temperature sweep of unnamed kind.
void temperatureMeasurements(const std::string& path,
                             const MagnetometerPoints& found,
                             const Sweep& sweep,
                             std::vector<Measurement>& out,
                             std::vector<std::string>& notes) {
  const std::vector<MagnetometerPoint>& points = found.points;
  double low = points[sweep.begin].temperature, high = low;
  for (std::size_t k = sweep.begin; k < sweep.end; ++k)
    low = std::min(low, points[k].temperature), high = std::max(high, points[k].temperature);
  const double tolerance = std::max(0.5, 0.01 * (high - low));
  std::string label, labelText;
  int unlabelled = 0;
  const std::size_t first = out.size();
  for (std::size_t begin = sweep.begin; begin < sweep.end;) {
    // The run ends at the next change of label or where the temperature turns.
    std::size_t labelEnd = begin + 1;
    const std::string here = segmentLabel(points[begin].comment);
    if (!here.empty()) label = here, labelText = points[begin].comment;
    while (labelEnd < sweep.end) {
      const std::string next = segmentLabel(points[labelEnd].comment);
      if (!next.empty() && next != label) break;
      ++labelEnd;
    }
    std::vector<MagnetometerPoint> run(points.begin() + static_cast<std::ptrdiff_t>(begin),
                                       points.begin() + static_cast<std::ptrdiff_t>(labelEnd));
    const TemperatureRun turn = monotoneRun(run, 0, tolerance);
    const std::size_t end = turn.end < run.size() ? begin + turn.last + 1 : labelEnd;
    constexpr std::size_t kFewestPoints = 3;
    if (end - begin < kFewestPoints) {
      notes.push_back(std::to_string(end - begin) + " points at a turn of the temperature not used (line " +
                      std::to_string(points[begin].line) + ")");
      begin = end;
      continue;
    }
    const bool warming = points[end - 1].temperature > points[begin].temperature;
    const std::string direction = std::string(warming ? "warming" : "cooling") + " " +
                                  shownNumberOf(points[begin].temperature) + " to " +
                                  shownNumberOf(points[end - 1].temperature) + " K";
    MeasurementKind kind = MeasurementKind::TemperatureSweep;
    std::string how = direction;
    if (!label.empty()) {
      kind = label == "ZFC" ? MeasurementKind::Zfc : MeasurementKind::Fc;
      how += ", labelled " + quoted(labelText);
    } else {
      kind = unlabelled++ == 0 ? MeasurementKind::Zfc : MeasurementKind::Fc;
    }
    out.push_back(measurementOf(path, found, begin, end, kind, how));
    begin = end;
  }
  // An unlabelled run alone at its field is of unnamed kind.
  if (out.size() == first + 1 && unlabelled == 1)
    out.back().kind = MeasurementKind::TemperatureSweep;
  else if (unlabelled > 1)
    for (std::size_t k = first; k < out.size(); ++k)
      if (out[k].how.find("labelled") == std::string::npos)
        out[k].how += out[k].kind == MeasurementKind::Zfc ? ", ZFC as the first curve at its field"
                                                          : ", FC as a later curve at its field";
}

// A field sweep at one held temperature: a first run that starts near zero
// field is the virgin curve; the rest, from the first turn on, is the loop,
// each point on the branch its field moves along.
void fieldMeasurements(const std::string& path,
                       const MagnetometerPoints& found,
                       const Sweep& sweep,
                       std::vector<Measurement>& out) {
  const std::vector<MagnetometerPoint>& points = found.points;
  double reach = 0.0;
  for (std::size_t k = sweep.begin; k < sweep.end; ++k) reach = std::max(reach, std::fabs(points[k].field));
  const double tolerance = std::max(5.0, 1e-3 * reach);
  // The first turn of the field.
  int direction = 0;
  double extreme = points[sweep.begin].field;
  std::size_t turn = sweep.end;
  for (std::size_t k = sweep.begin + 1; k < sweep.end; ++k) {
    const double H = points[k].field;
    if (direction == 0) {
      if (std::fabs(H - extreme) > tolerance) direction = H > extreme ? 1 : -1, extreme = H;
      continue;
    }
    if ((H - extreme) * direction < -tolerance) {
      turn = k;
      break;
    }
    if ((H - extreme) * direction > 0.0) extreme = H;
  }
  std::size_t loopBegin = sweep.begin;
  if (std::fabs(points[sweep.begin].field) < 0.1 * reach && turn < sweep.end) {
    // The virgin curve ends at its extreme field, where the loop begins.
    std::size_t last = sweep.begin;
    for (std::size_t k = sweep.begin; k < turn; ++k)
      if (std::fabs(points[k].field) >= std::fabs(points[last].field)) last = k;
    out.push_back(measurementOf(path, found, sweep.begin, last + 1, MeasurementKind::Virgin,
                                "from zero field to " + shownNumberOf(points[last].field) + " Oe"));
    loopBegin = last;
  }
  Measurement loop = measurementOf(path, found, loopBegin, sweep.end, MeasurementKind::Loop, "");
  const std::vector<double>& H = loop.curve.x;
  loop.descending.resize(H.size());
  // A branch turns where the field has moved back by more than the
  // tolerance from its extreme: a swept field jitters by less, and a point
  // of that jitter stays on its branch. The points between the extreme and
  // the turn belong to the new branch.
  int branches = 1, heading = 0;
  std::size_t branchBegin = 0, extremeAt = 0;
  for (std::size_t k = 1; k < H.size(); ++k) {
    if (heading == 0) {
      if (std::fabs(H[k] - H[0]) > tolerance) heading = H[k] > H[0] ? 1 : -1, extremeAt = k;
      continue;
    }
    if ((H[k] - H[extremeAt]) * heading > 0.0) extremeAt = k;
    if ((H[k] - H[extremeAt]) * heading < -tolerance) {
      for (std::size_t j = branchBegin; j <= extremeAt; ++j) loop.descending[j] = heading < 0;
      branchBegin = extremeAt + 1, heading = -heading, extremeAt = k, ++branches;
    }
  }
  for (std::size_t j = branchBegin; j < H.size(); ++j) loop.descending[j] = heading < 0;
  const auto [low, high] = std::minmax_element(H.begin(), H.end());
  loop.how = std::to_string(branches) + (branches == 1 ? " branch" : " branches") + " between " + shownNumberOf(*low) +
             " and " + shownNumberOf(*high) + " Oe";
  out.push_back(std::move(loop));
}

std::vector<Measurement> magnetometerMeasurements(const std::string& path, const std::vector<std::string>& lines) {
  const MagnetometerTable table = readMagnetometer(path, lines);
  if (roleColumn(path, table, Role::Temperature, false) < 0 && roleColumn(path, table, Role::Field, false) < 0)
    refuse(path, table.namesLine, 0, "has neither a temperature nor a field column" + foundColumns(table));
  MagnetometerPoints found = magnetometerPoints(path, table, false, false);
  std::vector<Measurement> out;
  std::vector<std::string> notes;
  std::size_t unused = 0;
  for (const Sweep& sweep : sweepsOf(found.points)) {
    if (sweep.fieldHeld)
      temperatureMeasurements(path, found, sweep, out, notes);
    else if (sweep.temperatureHeld)
      fieldMeasurements(path, found, sweep, out);
    else
      unused += sweep.end - sweep.begin;
  }
  if (unused > 0)
    notes.push_back(std::to_string(unused) + " points at a held temperature and field (no sweep) not used");
  for (Measurement& m : out) {
    m.curve.report.notes.insert(m.curve.report.notes.end(), notes.begin(), notes.end());
  }
  if (out.empty()) refuse(path, 0, 0, "holds no sweep of the temperature or the field");
  return out;
}

}  // namespace

const FormatReader& magnetometerReader() {
  static const FormatReader reader{Format::Magnetometer,         startsWithHeader,       magnetometerZfcFc,
                                   magnetometerTemperatureCurve, magnetometerFieldCurve, magnetometerMeasurements};
  return reader;
}

}  // namespace preisach::measured
