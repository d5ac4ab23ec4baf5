#include "measured/plain_columns.h"

#include <sstream>
#include <string>
#include <vector>

#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

struct PlainTable {
  std::vector<std::string> names;  // from a header row, or empty
  std::vector<Row> rows;
};

// Cells separated by blanks, tabs or commas (a comma between blanks is one
// separator; two commas in a row leave an empty cell).
std::vector<std::string> plainCells(const std::string& line) {
  if (line.find(',') != std::string::npos) return commaCells(line);
  std::vector<std::string> cells;
  std::istringstream words(line);
  for (std::string word; words >> word;) cells.push_back(word);
  return cells;
}

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

// How many standard-error columns (0 .. most) follow the `columns` value
// columns of a plain table: those named so in the header, or, without a
// header, the extra columns when every row has the same 1 .. most of them
// (momentbc.txt, with two columns more than a loop's two, has none).
std::size_t plainErrorColumns(const PlainTable& table, std::size_t columns, std::size_t most) {
  if (!table.names.empty()) {
    std::size_t k = 0;
    while (k < most && columns + k < table.names.size() &&
           namesRole(Format::PlainColumns, Role::MomentError, table.names[columns + k]))
      ++k;
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

bool anyLines(const std::vector<std::string>&) {
  return true;
}

// T, M_ZFC, M_FC and optionally one error column for both, or one each.
ZfcFcData plainZfcFc(const std::string& path, const std::vector<std::string>& lines) {
  const PlainTable table = readPlain(path, lines);
  const std::size_t errors = plainErrorColumns(table, 3, 2);
  ZfcFcData data;
  data.zfc = plainCurve(path, table, 1, 3, errors > 0, "M_ZFC");
  data.fc = plainCurve(path, table, 2, errors == 2 ? 4 : 3, errors > 0, "M_FC");
  return data;
}

// The abscissa, the moment and perhaps its standard error.
Curve plainCurveOf(const std::string& path, const std::vector<std::string>& lines) {
  const PlainTable table = readPlain(path, lines);
  return plainCurve(path, table, 1, 2, plainErrorColumns(table, 2, 1) == 1, "moment");
}

}  // namespace

const FormatReader& plainColumnsReader() {
  static const FormatReader reader{Format::PlainColumns, anyLines, plainZfcFc, plainCurveOf, plainCurveOf};
  return reader;
}

}  // namespace preisach::measured
