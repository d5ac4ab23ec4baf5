#pragma once

#include <string>
#include <vector>

namespace preisach::measured {

// What a reader found in a file, for the lab's report: the units the
// file's values were in (before conversion to K, Oe and emu), the columns it
// took, in words, and notes on what it passed over or decided on its own
// (rows without a moment, units left open by the file). A caller prints the
// notes; an empty list means the file was read as it stands.
struct ReadReport {
  std::string format;      // "plain columns", "magnetometer file", "PMC file"
  std::string fieldUnit;   // "Oe", "T", "A/m", or "" when the file has no field
  std::string momentUnit;  // "emu", "A m^2", or "" when the file states none
  std::string columns;     // the columns used: "T: column 1 \"T\", M: column 2, ..."
  std::vector<std::string> notes;
};

// One line: the format, the units and the columns.
std::string describe(const ReadReport& report);

}  // namespace preisach::measured
