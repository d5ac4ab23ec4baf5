#pragma once

#include <ostream>
#include <string>

#include "measured/forc_set.h"

namespace preisach::measured {

// The PMC MicroMag text format that FORC programs read: a header with the
// protocol's values (in CGS: Oe and emu), then per curve its calibration
// point, a blank line, the curve's points and a blank line. Numbers are
// written "+1.234567E+02,+1.234567E-15".
void writePmc(std::ostream& out, const ForcSet& forcs, double step, int smoothing, const std::string& source);

// Reads FORCs in that format, its older text form and the newer
// comma-separated export alike: the header's "Units of measure" (or units in
// a row of column names) decide between CGS and SI (T and A m^2, converted
// to Oe and emu). Throws DataError naming the file and line.
ForcSet readPmc(const std::string& path);

}  // namespace preisach::measured
