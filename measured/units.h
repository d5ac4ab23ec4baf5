#pragma once

// The units instruments and people write in column names ("Magnetic Field
// (T)", "M(Am2)", "Moment [emu/g]") and their factors to the lab's K, Oe
// and emu.

#include <string>

#include "measured/known_columns.h"

namespace preisach::measured {

struct UnitFactor {
  const char* name;  // as a report names it: "T", "A m^2", "emu/g"
  double toLab;      // the factor to K, Oe or emu (per gram for a moment per mass)
  bool perMass;      // a moment per mass: times the sample's mass in g
};

// A column name and the unit in parentheses or brackets at its end:
// "Magnetic Field (T)" is {"Magnetic Field", "T"}; a name without one has
// an empty unit.
struct NameAndUnit {
  std::string name;
  std::string unit;
};
NameAndUnit splitUnit(const std::string& columnName);

// The unit of a quantity of that role; nullptr for a unit this reader does
// not know (case matters only where it tells units apart: mT, MT).
const UnitFactor* unitOf(Role role, const std::string& unit);

// "K", "Oe, kOe, T, mT, A/m, kA/m", ... for a refusal.
std::string knownUnits(Role role);

}  // namespace preisach::measured
