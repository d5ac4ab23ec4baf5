#pragma once

// The text handling all readers of measured files share: bounded reads of
// regular files, lines with any line end, cells, whole-cell numbers and
// refusals that name the file, line and column.

#include <cstddef>
#include <string>
#include <vector>

namespace preisach::measured {

// The largest input file the readers take: far above any measured curve
// (a magnetometer export of a day is a few MB), and small enough to hold.
constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// One line of a file, cut into cells.
struct Row {
  int line = 0;                    // from 1
  std::vector<std::string> cells;  // trimmed
};

// Throws DataError "file:line:column: what", leaving out a line or column of
// 0; the file name is escaped like quoted text.
[[noreturn]] void refuse(const std::string& file, int line, int column, const std::string& what);

// Text from a file for a message: in double quotes, unprintable bytes as
// \xHH, cut after 80 characters with "...".
std::string quoted(const std::string& text);

// A name (a file's, an option's value) as a message or a result file's
// header shows it: control bytes escaped (\n, \r, \t, \x1B), so that it
// can never end a line or drive a terminal, other bytes (UTF-8 letters
// included) as they are, cut after 200 bytes with "...".
std::string shownName(const std::string& name);

// A whole message with its control bytes escaped as shownName escapes
// them, not cut.
std::string escapedControls(const std::string& text);

// Names for a message: "\"a\", \"b\" and 3 more", each quoted.
std::string quotedList(const std::vector<std::string>& names);

std::string trimmed(const std::string& text);
std::string lowerCase(std::string text);
std::string upperCase(std::string text);

// The whole content of an input file, refused before reading unless it is a
// regular file of at most kMaxInputBytes (a folder, a device such as
// /dev/zero, a FIFO).
std::string inputFileText(const std::string& path);

// The lines of a text, ended by LF, CRLF or a lone CR, without a UTF-8
// byte-order mark at the start.
std::vector<std::string> textLines(const std::string& text);

// Whether the text's last line has no line end (a file cut short, or one
// written without a final line end).
bool lastLineUnended(const std::string& text);

// Cells separated by `separator`; a cell in double quotes may hold it.
std::vector<std::string> separatedCells(const std::string& line, char separator);

// Comma-separated cells, a cell in double quotes may hold commas.
std::vector<std::string> commaCells(const std::string& line);

// A whole cell as a number; false for text, an empty cell or a partial number.
bool parseNumber(const std::string& cell, double& value);

// The finite number in cell `column` of the row; refuses an empty cell, text
// or an infinity or NaN, calling the value `what`.
double numberAt(const std::string& file, const Row& row, std::size_t column, const char* what);

// "lines 4, 9 and 12", "lines 4, 9, 12 and 30 more", "line 7".
std::string lineList(const std::vector<int>& lines);

}  // namespace preisach::measured
