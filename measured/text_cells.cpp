#include "measured/text_cells.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "measured/data_error.h"
#include "parameters/parameters.h"

namespace preisach::measured {

namespace {

// A piece of file text as a message shows it: escaped, and cut so that a
// line of megabytes is not echoed whole.
std::string shown(const std::string& text) {
  constexpr std::size_t kShown = 80;
  if (text.size() <= kShown) return parameters::escapedText(text);
  return parameters::escapedText(text.substr(0, kShown)) + "...";
}

}  // namespace

void refuse(const std::string& file, int line, int column, const std::string& what) {
  // A file's name as the program shows names, cut like any name: a path of
  // kilobytes does not make a message of kilobytes.
  constexpr std::size_t kShownName = 200;
  std::string where = parameters::escapedText(file.substr(0, kShownName)) + (file.size() > kShownName ? "..." : "");
  if (line > 0) where += ":" + std::to_string(line);
  if (column > 0) where += ":" + std::to_string(column);
  throw DataError(where + ": " + what);
}

std::string escapedControls(const std::string& text) {
  std::string shownText;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shownText += c;
    } else if (c == '\n') {
      shownText += "\\n";
    } else if (c == '\r') {
      shownText += "\\r";
    } else if (c == '\t') {
      shownText += "\\t";
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(byte));
      shownText += code;
    }
  }
  return shownText;
}

std::string shownName(const std::string& name) {
  constexpr std::size_t kShownBytes = 200;
  if (name.size() <= kShownBytes) return escapedControls(name);
  // Cut before a UTF-8 continuation byte, never inside a letter.
  std::size_t cut = kShownBytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return escapedControls(name.substr(0, cut)) + "...";
}

std::string quoted(const std::string& text) {
  return "\"" + shown(text) + "\"";
}

std::string quotedList(const std::vector<std::string>& names) {
  constexpr std::size_t kListed = 12;  // enough to see what kind of file it is
  if (names.empty()) return "none";
  std::string list;
  const std::size_t listed = std::min(names.size(), kListed);
  for (std::size_t k = 0; k < listed; ++k) {
    if (k > 0) list += k + 1 == names.size() ? " and " : ", ";
    list += quoted(names[k]);
  }
  if (listed < names.size()) list += " and " + std::to_string(names.size() - listed) + " more";
  return list;
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

// The kind of file is checked before it is opened: opening a FIFO blocks,
// and /dev/zero never ends.
std::string inputFileText(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) refuse(path, 0, 0, "cannot be opened");
  if (std::filesystem::is_directory(status)) refuse(path, 0, 0, "is a folder, not a file of measured data");
  if (!std::filesystem::is_regular_file(status))
    refuse(path, 0, 0, "is not a regular file (a device, a FIFO or a socket): give a file of measured data");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  const std::string limit = "is larger than " + std::to_string(kMaxInputBytes >> 20) + " MB, the most a reader takes";
  if (error || size > kMaxInputBytes) refuse(path, 0, 0, error ? "cannot be read" : limit);
  std::ifstream in(path, std::ios::binary);
  if (!in) refuse(path, 0, 0, "cannot be opened");
  // Read in pieces up to one byte past the limit: the file may have grown
  // since its size was taken.
  std::string text;
  text.reserve(static_cast<std::size_t>(size));
  char piece[1 << 16];
  while (text.size() <= kMaxInputBytes && in.read(piece, sizeof piece).gcount() > 0)
    text.append(piece, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) refuse(path, 0, 0, "cannot be read");
  if (text.size() > kMaxInputBytes) refuse(path, 0, 0, limit);
  return text;
}

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (begin < text.size()) {
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(begin, end - begin));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    begin = end + 1;
  }
  return lines;
}

bool lastLineUnended(const std::string& text) {
  return !text.empty() && text.back() != '\n' && text.back() != '\r';
}

std::vector<std::string> separatedCells(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::string cell;
  bool quotes = false;
  for (char c : line) {
    if (c == '"') {
      quotes = !quotes;
    } else if (c == separator && !quotes) {
      cells.push_back(trimmed(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(trimmed(cell));
  return cells;
}

std::vector<std::string> commaCells(const std::string& line) {
  return separatedCells(line, ',');
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
    refuse(file, row.line, static_cast<int>(column) + 1, std::string(what) + " " + quoted(cell) + " is not a number");
  if (!std::isfinite(value))
    refuse(file, row.line, static_cast<int>(column) + 1, std::string(what) + " is " + shown(cell));
  return value;
}

std::string lineList(const std::vector<int>& lines) {
  constexpr std::size_t kListed = 5;
  std::string list = lines.size() == 1 ? "line " : "lines ";
  const std::size_t listed = std::min(lines.size(), kListed);
  for (std::size_t k = 0; k < listed; ++k) {
    if (k > 0) list += k + 1 == lines.size() ? " and " : ", ";
    list += std::to_string(lines[k]);
  }
  if (listed < lines.size()) list += " and " + std::to_string(lines.size() - listed) + " more";
  return list;
}

}  // namespace preisach::measured
