#include "measured/known_columns.h"

#include <iterator>

#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

// The magnetometer's moment comes from the fixed-centre fit ("Moment") or,
// in the DC option, from the free-centre fit; each has its own standard
// error. Plain columns carry no units: only their error columns are told by
// name. A PMC file states SI units in its header or its column names.
const KnownColumn kColumns[] = {
    {Format::Magnetometer, Role::Temperature, "Temperature (K)", true, "K", 1.0, nullptr},
    {Format::Magnetometer, Role::Field, "Magnetic Field (Oe)", true, "Oe", 1.0, nullptr},
    {Format::Magnetometer, Role::Moment, "Moment (emu)", true, "emu", 1.0, nullptr},
    {Format::Magnetometer, Role::Moment, "DC Moment Free Ctr (emu)", true, "emu", 1.0, nullptr},
    {Format::Magnetometer, Role::MomentError, "M. Std. Err. (emu)", true, "emu", 1.0, "Moment (emu)"},
    {Format::Magnetometer, Role::MomentError, "DC Moment Err Free Ctr (emu)", true, "emu", 1.0,
     "DC Moment Free Ctr (emu)"},
    {Format::Magnetometer, Role::Comment, "Comment", true, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "err", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "sigma", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "std", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "unc", false, "", 1.0, nullptr},
    {Format::Pmc, Role::Field, "(t)", false, "T", 1e4, nullptr},
    {Format::Pmc, Role::Moment, "(am2)", false, "A m^2", 1e3, nullptr},
    {Format::Pmc, Role::Moment, "(a m2)", false, "A m^2", 1e3, nullptr},
};

}  // namespace

std::vector<KnownColumn> knownColumns(Format format, Role role) {
  std::vector<KnownColumn> found;
  for (const KnownColumn& column : kColumns)
    if (column.format == format && column.role == role) found.push_back(column);
  return found;
}

bool names(const KnownColumn& column, const std::string& name) {
  if (column.wholeName) return name == column.name;
  return lowerCase(name).find(column.name) != std::string::npos;
}

bool namesRole(Format format, Role role, const std::string& name) {
  for (const KnownColumn& column : knownColumns(format, role))
    if (names(column, name)) return true;
  return false;
}

}  // namespace preisach::measured
