#include "measured/known_columns.h"

#include <iterator>

#include "measured/text_cells.h"
#include "measured/units.h"

namespace preisach::measured {

namespace {

// The magnetometer's moment, in this order of preference: "Moment" (the
// moment of record, filled in VSM mode), then the DC scan's free-centre fit
// (it follows a sample that sits off the centre), then its fixed-centre fit;
// each has its own standard error. A row takes the first of them it has a
// value in. Older exports name the field "Field (Oe)" and the moment "Long
// Moment (emu)"; they are refused by name rather than guessed at.
//
// Plain columns carry no units. A header row may name the columns; an
// error column is told by a piece of its name, and a name with one of the
// other roles is not an error column (any other name is, by its position).
//
// A PMC file gives the units of its field and moment in its column-header
// row, as a unit in parentheses after each name ("Field (T)") or a row of
// units alone ("(T) (Am2)"). Fields in T are mu0 H; A/m is H itself.
constexpr double kOePerAm = 4e-3 * 3.14159265358979323846;  // 1 A/m = 4 pi 1e-3 Oe

const KnownColumn kColumns[] = {
    {Format::Magnetometer, Role::Temperature, "Temperature (K)", true, "K", 1.0, nullptr},
    {Format::Magnetometer, Role::Field, "Magnetic Field (Oe)", true, "Oe", 1.0, nullptr},
    {Format::Magnetometer, Role::Moment, "Moment (emu)", true, "emu", 1.0, nullptr},
    {Format::Magnetometer, Role::Moment, "DC Moment Free Ctr (emu)", true, "emu", 1.0, nullptr},
    {Format::Magnetometer, Role::Moment, "DC Moment Fixed Ctr (emu)", true, "emu", 1.0, nullptr},
    {Format::Magnetometer, Role::MomentError, "M. Std. Err. (emu)", true, "emu", 1.0, "Moment (emu)"},
    {Format::Magnetometer, Role::MomentError, "DC Moment Err Free Ctr (emu)", true, "emu", 1.0,
     "DC Moment Free Ctr (emu)"},
    {Format::Magnetometer, Role::MomentError, "DC Moment Err Fixed Ctr (emu)", true, "emu", 1.0,
     "DC Moment Fixed Ctr (emu)"},
    {Format::Magnetometer, Role::Comment, "Comment", true, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "err", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "sigma", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "std", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::MomentError, "unc", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Temperature, "t", true, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Temperature, "temp", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Field, "h", true, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Field, "field", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Moment, "m", true, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Moment, "moment", false, "", 1.0, nullptr},
    {Format::PlainColumns, Role::Comment, "time", false, "", 1.0, nullptr},
    {Format::Pmc, Role::Field, "(oe)", true, "Oe", 1.0, nullptr},
    {Format::Pmc, Role::Field, "(t)", true, "T", 1e4, nullptr},
    {Format::Pmc, Role::Field, "(a/m)", true, "A/m", kOePerAm, nullptr},
    {Format::Pmc, Role::Moment, "(emu)", true, "emu", 1.0, nullptr},
    {Format::Pmc, Role::Moment, "(am2)", true, "A m^2", 1e3, nullptr},
    {Format::Pmc, Role::Moment, "(a m2)", true, "A m^2", 1e3, nullptr},
    {Format::Pmc, Role::Moment, "(am^2)", true, "A m^2", 1e3, nullptr},
    {Format::Pmc, Role::Moment, "(a m^2)", true, "A m^2", 1e3, nullptr},
};

}  // namespace

std::vector<KnownColumn> knownColumns(Format format, Role role) {
  std::vector<KnownColumn> found;
  for (const KnownColumn& column : kColumns)
    if (column.format == format && column.role == role) found.push_back(column);
  return found;
}

bool names(const KnownColumn& column, const std::string& name) {
  // A magnetometer column is known by its name whatever unit the export
  // was set to ("Magnetic Field (T)"): the reader converts the unit.
  if (column.format == Format::Magnetometer)
    return lowerCase(splitUnit(name).name) == lowerCase(splitUnit(column.name).name);
  // A plain column's name is matched without its unit ("T (K)" is "T").
  const std::string bare = column.format == Format::PlainColumns ? lowerCase(splitUnit(name).name) : lowerCase(name);
  if (column.wholeName) return bare == lowerCase(column.name);
  return bare.find(column.name) != std::string::npos;
}

bool namesRole(Format format, Role role, const std::string& name) {
  for (const KnownColumn& column : knownColumns(format, role))
    if (names(column, name)) return true;
  return false;
}

}  // namespace preisach::measured
