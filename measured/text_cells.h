#pragma once

// The text handling all readers of measured files share: lines without
// their CRLF ends, cells, whole-cell numbers and refusals that name the file,
// line and column.

#include <cstddef>
#include <string>
#include <vector>

namespace preisach::measured {

// One line of a file, cut into cells.
struct Row {
  int line = 0;                    // from 1
  std::vector<std::string> cells;  // trimmed
};

// Throws DataError "file:line:column: what", leaving out a line or column of 0.
[[noreturn]] void refuse(const std::string& file, int line, int column, const std::string& what);

std::string trimmed(const std::string& text);
std::string lowerCase(std::string text);
std::string upperCase(std::string text);

// The lines of a file without CR ends or a UTF-8 byte-order mark.
std::vector<std::string> fileLines(const std::string& path);

// Comma-separated cells, a cell in double quotes may hold commas.
std::vector<std::string> commaCells(const std::string& line);

// A whole cell as a number; false for text, an empty cell or a partial number.
bool parseNumber(const std::string& cell, double& value);

// The finite number in cell `column` of the row; refuses an empty cell, text
// or an infinity or NaN, calling the value `what`.
double numberAt(const std::string& file, const Row& row, std::size_t column, const char* what);

}  // namespace preisach::measured
