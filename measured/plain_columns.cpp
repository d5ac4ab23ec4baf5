#include "measured/plain_columns.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "measured/text_cells.h"
#include "measured/units.h"

namespace preisach::measured {

namespace {

struct PlainTable {
  std::vector<std::string> names;  // from a header row, or empty
  int namesLine = 0;
  std::vector<Row> rows;
};

// The factor to the lab's unit of a column, from the unit its header name
// gives; 1 where it gives none (the lab's units are assumed, and said).
struct ColumnUnit {
  double factor = 1.0;
  std::string name;  // "" where the header states none
};

ColumnUnit plainUnit(const std::string& path, const PlainTable& table, std::size_t column, Role role) {
  if (column >= table.names.size()) return {};
  const std::string unit = splitUnit(table.names[column]).unit;
  if (unit.empty()) return {};
  const UnitFactor* factor = unitOf(role, unit);
  if (factor == nullptr || factor->perMass)
    refuse(path, table.namesLine, static_cast<int>(column) + 1,
           "the column " + quoted(table.names[column]) + " is in units " + quoted(unit) +
               (factor == nullptr ? " this reader does not know here: known are " + knownUnits(role)
                                  : ": a moment per mass needs the sample's mass, which plain columns do not give"));
  return {factor->toLab, factor->name};
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

// The names of a header row: split at tabs where it has them ("Temperature
// (K)<TAB>Moment (emu)"), else like the data, a unit in parentheses kept
// with the name before it ("T (K) M (emu)").
std::vector<std::string> headerNames(const std::string& line) {
  if (line.find('\t') != std::string::npos) {
    std::vector<std::string> names;
    for (const std::string& cell : separatedCells(line, '\t'))
      if (!trimmed(cell).empty()) names.push_back(trimmed(cell));
    return names;
  }
  std::vector<std::string> names;
  for (const std::string& cell : plainCells(line)) {
    const bool unitAlone = !cell.empty() && (cell.front() == '(' || cell.front() == '[');
    if (unitAlone && !names.empty())
      names.back() += " " + cell;
    else
      names.push_back(cell);
  }
  return names;
}

PlainTable readPlain(const std::string& path, const std::vector<std::string>& lines) {
  PlainTable table;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string text = trimmed(lines[k]);
    if (text.empty() || text[0] == '#') continue;
    Row row{static_cast<int>(k) + 1, plainCells(text)};
    double ignored = 0.0;
    if (table.rows.empty() && table.names.empty() && !parseNumber(row.cells[0], ignored)) {
      table.names = headerNames(text);  // a header row of names
      table.namesLine = row.line;
      continue;
    }
    table.rows.push_back(std::move(row));
  }
  if (table.rows.empty()) refuse(path, 0, 0, "holds no numeric rows");
  return table;
}

// Whether a header name says the column is a standard error: a piece of
// its name ("err", "sigma", ...), or d or s before the name of the value
// column it belongs to ("dM" after "M").
bool namedError(const std::string& name, const std::string& valueName) {
  if (namesRole(Format::PlainColumns, Role::MomentError, name)) return true;
  const std::string lower = lowerCase(name);
  return lower.size() > 1 && (lower[0] == 'd' || lower[0] == 's') && lower.substr(1) == lowerCase(valueName);
}

// Whether a header name says the column holds something else than an error.
bool namedOther(const std::string& name) {
  for (Role role : {Role::Temperature, Role::Field, Role::Moment, Role::Comment})
    if (namesRole(Format::PlainColumns, role, name)) return true;
  return false;
}

// How many standard-error columns (0 .. most) follow the `columns` value
// columns of a plain table. By position: the extra columns when every row
// has the same 1 .. most of them (momentbc.txt, with two columns more than a
// loop's two, has none). A header row overrides the position where it
// names a column: as an error, or as another quantity; a column it leaves
// unnamed goes by its position.
std::size_t plainErrorColumns(const PlainTable& table, std::size_t columns, std::size_t most) {
  const std::size_t width = table.rows.front().cells.size();
  bool sameWidth = true;
  for (const Row& row : table.rows) sameWidth = sameWidth && row.cells.size() == width;
  const std::size_t byPosition = sameWidth && width > columns && width - columns <= most ? width - columns : 0;
  if (table.names.empty()) return byPosition;
  std::size_t k = 0;
  while (k < most) {
    const std::string name = columns + k < table.names.size() ? table.names[columns + k] : std::string();
    const std::size_t value = std::min(columns - 1, 1 + k);
    const std::string valueName = value < table.names.size() ? table.names[value] : std::string();
    if (namedError(name, valueName) || (!namedOther(name) && k < byPosition))
      ++k;
    else
      break;
  }
  return k;
}

// "column 2 \"M_ZFC\"", or "column 2" without a header row.
std::string columnName(const PlainTable& table, std::size_t column) {
  std::string text = "column " + std::to_string(column + 1);
  if (column < table.names.size()) text += " " + quoted(table.names[column]);
  return text;
}

// The report: which column gave what, and the columns left unused.
ReadReport plainReport(const PlainTable& table,
                       const std::vector<const char*>& roles,
                       const std::vector<std::size_t>& errorColumns,
                       const std::vector<ColumnUnit>& units) {
  ReadReport report;
  const bool stated = std::any_of(units.begin(), units.end(), [](const ColumnUnit& u) { return !u.name.empty(); });
  report.format =
      stated ? "plain columns (units from the header row)" : "plain columns (no units stated: read as K or Oe and emu)";
  if (stated) {
    std::string unitsUsed;
    for (std::size_t k = 0; k < units.size() && k < roles.size(); ++k)
      unitsUsed +=
          std::string(k > 0 ? ", " : "") + roles[k] + " in " +
          (units[k].name.empty() ? std::string(k == 0 ? "K or Oe (not stated)" : "emu (not stated)") : units[k].name);
    report.notes.push_back(unitsUsed + ": converted to K, Oe and emu");
  }
  std::size_t used = 0;
  for (std::size_t k = 0; k < roles.size(); ++k, ++used)
    report.columns += std::string(k > 0 ? ", " : "") + roles[k] + ": " + columnName(table, k);
  for (std::size_t column : errorColumns) {
    report.columns += ", standard error: " + columnName(table, column);
    used = std::max(used, column + 1);
  }
  std::size_t widest = table.names.size();
  for (const Row& row : table.rows) widest = std::max(widest, row.cells.size());
  if (widest > used)
    report.notes.push_back("columns " + std::to_string(used + 1) + " to " + std::to_string(widest) +
                           " are not used (not named or placed as standard errors)");
  return report;
}

Curve plainCurve(const std::string& path,
                 const PlainTable& table,
                 std::size_t column,
                 std::size_t errorColumn,
                 bool errors,
                 const char* what,
                 Role abscissa) {
  const double toX = plainUnit(path, table, 0, abscissa).factor;
  const double toEmu = plainUnit(path, table, column, Role::Moment).factor;
  // An error column without a unit of its own is in its moment's.
  const ColumnUnit errorUnit = plainUnit(path, table, errorColumn, Role::MomentError);
  const double errorToEmu = errorUnit.name.empty() ? toEmu : errorUnit.factor;
  Curve curve;
  curve.file = path;
  for (const Row& row : table.rows) {
    curve.x.push_back(numberAt(path, row, 0, "abscissa") * toX);
    curve.moment.push_back(numberAt(path, row, column, what) * toEmu);
    if (errors) curve.error.push_back(numberAt(path, row, errorColumn, "standard error") * errorToEmu);
    curve.line.push_back(row.line);
  }
  return curve;
}

bool anyLines(const std::vector<std::string>&) {
  return true;
}

// T, M_ZFC, M_FC and optionally one error column for both, or one each.
ZfcFcData plainZfcFc(const std::string& path, const std::vector<std::string>& lines) {
  const PlainTable table = readPlain(path, lines);
  const std::size_t errors = plainErrorColumns(table, 3, 2);
  ZfcFcData data;
  data.zfc = plainCurve(path, table, 1, 3, errors > 0, "M_ZFC", Role::Temperature);
  data.fc = plainCurve(path, table, 2, errors == 2 ? 4 : 3, errors > 0, "M_FC", Role::Temperature);
  std::vector<std::size_t> errorColumns;
  for (std::size_t k = 0; k < errors; ++k) errorColumns.push_back(3 + k);
  data.report = plainReport(table, {"T", "M_ZFC", "M_FC"}, errorColumns,
                            {plainUnit(path, table, 0, Role::Temperature), plainUnit(path, table, 1, Role::Moment),
                             plainUnit(path, table, 2, Role::Moment)});
  data.zfc.report = data.fc.report = data.report;
  return data;
}

// The abscissa, the moment and perhaps its standard error.
Curve plainCurveOf(const std::string& path, const std::vector<std::string>& lines, const char* name, Role abscissa) {
  const PlainTable table = readPlain(path, lines);
  const bool errors = plainErrorColumns(table, 2, 1) == 1;
  Curve curve = plainCurve(path, table, 1, 2, errors, "moment", abscissa);
  curve.report = plainReport(table, {name, "M"}, errors ? std::vector<std::size_t>{2} : std::vector<std::size_t>{},
                             {plainUnit(path, table, 0, abscissa), plainUnit(path, table, 1, Role::Moment)});
  return curve;
}

Curve plainTemperatureCurve(const std::string& path, const std::vector<std::string>& lines) {
  return plainCurveOf(path, lines, "T", Role::Temperature);
}

Curve plainFieldCurve(const std::string& path, const std::vector<std::string>& lines) {
  return plainCurveOf(path, lines, "H", Role::Field);
}

}  // namespace

const FormatReader& plainColumnsReader() {
  static const FormatReader reader{Format::PlainColumns,  anyLines,        plainZfcFc,
                                   plainTemperatureCurve, plainFieldCurve, nullptr};
  return reader;
}

}  // namespace preisach::measured
