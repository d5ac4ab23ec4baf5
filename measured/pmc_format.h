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
// comma-separated export alike. Only the header's "Units of measure" line
// and its column-header row decide the units (Oe, T or A/m; emu or A m^2,
// converted to Oe and emu); where plain "SI" leaves the field unit open,
// the magnitudes decide, with a note. The result's report names the units.
// Refused with a DataError naming the file and line: unknown units, a line
// that is neither data nor blank after the data began (a number cut
// mid-way), a last line without its line end whose numbers are cut, counts
// that disagree with NCrv or NData, fewer than three curves.
ForcSet readPmc(const std::string& path);

// The same on a file's text in memory; `name` stands for the file.
ForcSet readPmcText(const std::string& name, const std::string& text);

}  // namespace preisach::measured
