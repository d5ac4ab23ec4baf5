#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "model/density.h"
#include "parameters/parameter_fields.h"
#include "parameters/parameter_set.h"

namespace preisach::parameters {

// A continuous value of the record by its name in the parameter file.
struct NamedValue {
  const char* name;
  float ParameterSet::*member;
};

// The fourteen continuous values of the physics (the grid, the flags, the
// temperatures of the runs, Ha_max and MC_err excluded), in file order.
const std::vector<NamedValue>& continuousValues();

// The value of that name, or nullptr.
const NamedValue* findContinuousValue(const std::string& name);

// One record of the 24 values, blank-separated, in file order, ended by a
// line feed; every float in the shortest form that reads back to the same
// float32, so that the reader gives the record back bit for bit.
std::string formatParameterRecord(const ParameterSet& p);

// A flag is on only when it is the lower-case letter y.
inline bool isOn(char flag) {
  return flag == 'y';
}

enum class ReadStatus {
  Complete,         // every record read in full (a trailing empty read is not an error)
  NoValue,          // the file holds nothing but whitespace; nothing was echoed
  FieldUnreadable,  // a record broke off at `field`
};

enum class ReadFailure {
  None,
  EndOfFile,   // the file ended inside a record
  NotANumber,  // text where a number belongs
  OutOfRange,  // a number beyond the range of its field
};

struct ReadResult {
  ReadStatus status = ReadStatus::Complete;
  int record = 0;                   // 1-based record of the failure
  int field = 0;                    // 1-based position of the failing field
  const char* fieldName = nullptr;  // its name, as in ParameterSet
  ReadFailure failure = ReadFailure::None;
  std::string found;       // the text that could not be read, escaped
  int line = 0;            // where it starts, from 1
  int column = 0;          // from 1, in bytes
  std::string quotedLine;  // that line, quoted and escaped
  std::string context;     // "; the text ... gave ..." where the record went out of step, or ""
};

using KeyPause = std::function<void()>;

// Reads records of 24 whitespace-separated values until the end of the
// stream, echoing every field to `out` as soon as it is read and lowering a
// T_max or T_hyst not below Tc to Tc - 10 (with its message and a key pause).
// The last record read is in force. A field that cannot be read keeps its
// value, as do the fields after it, which are still echoed; reading then
// stops.
ReadResult readParameterFile(std::istream& file, ParameterSet& parameters, std::ostream& out, const KeyPause& pause);

// One line saying what went wrong and where, without the file name.
std::string describeReadFailure(const ReadResult& result);

// Text for a message: printable ASCII as itself, every other byte as \xHH.
std::string escapedText(const std::string& text);

}  // namespace preisach::parameters
