#include "measured/text_cells.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "measured/data_error.h"

namespace preisach::measured {

void refuse(const std::string& file, int line, int column, const std::string& what) {
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

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string upperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
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

}  // namespace preisach::measured
