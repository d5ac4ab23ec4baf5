#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "model/density.h"

namespace preisach::parameters {

// The 24 values of the parameter file, in file order, named after their echo
// labels. Before the first read every number is 0 and every letter a blank.
struct ParameterSet {
  float Tc = 0.0f;           // K, critical temperature of every scaling law
  float mu0 = 0.0f;          // emu, particle moment at 0 K
  float Gamma = 0.0f;        // exponent of mu(T)
  float hc0_mean = 0.0f;     // Oe, mean coercive field at 0 K
  float Gamma_c = 0.0f;      // exponent of hcm(T)
  float sigmac0 = 0.0f;      // Oe, coercive-field width at 0 K
  float Gamma_cprim = 0.0f;  // exponent of sigma_c(T)
  float sigmai0 = 0.0f;      // Oe, interaction-field width at 0 K
  float Gamma_i = 0.0f;      // exponent of sigma_i(T)
  float km = 0.0f;           // Oe, centre of the interaction-field distribution
  float N = 0.0f;            // amplitude of the ensemble
  model::DensityShape PDF = static_cast<model::DensityShape>(' ');
  std::int32_t m = 0;   // grid divisions per axis before refinement
  float MC_err = 0.0f;  // read and echoed only
  char Calculate_ZFCFC = ' ';
  float ha = 0.0f;     // Oe, applied field of the ZFC/FC curves
  float T_max = 0.0f;  // K, end of the ZFC/FC sweep
  char Calculate_Hysteresis = ' ';
  float T_hyst = 0.0f;  // K, temperature of the loop
  float Ha_max = 0.0f;  // Oe, largest field of the loop and extent of its grid
  float s = 0.0f;       // Oe, shift of the reversible term
  float lambda = 0.0f;  // Oe, field scale of the reversible term
  float f = 0.0f;       // weight of the reversible part
  char Calculate_PDF = ' ';
};

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
