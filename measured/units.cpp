#include "measured/units.h"

#include <algorithm>
#include <vector>

#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct KnownUnit {
  Role role;
  const char* spelling;  // compared without blanks, dots and middle dots
  UnitFactor factor;
};

// Fields in T and mT are mu0 H, as magnetometers write them; A/m is H
// itself (1 A/m = 4 pi 1e-3 Oe). 1 A m^2 = 1000 emu; 1 A m^2/kg = 1 emu/g.
const KnownUnit kUnits[] = {
    {Role::Temperature, "K", {"K", 1.0, false}},        {Role::Field, "Oe", {"Oe", 1.0, false}},
    {Role::Field, "kOe", {"kOe", 1e3, false}},          {Role::Field, "T", {"T", 1e4, false}},
    {Role::Field, "mT", {"mT", 10.0, false}},           {Role::Field, "A/m", {"A/m", 4e-3 * kPi, false}},
    {Role::Field, "kA/m", {"kA/m", 4.0 * kPi, false}},  {Role::Moment, "emu", {"emu", 1.0, false}},
    {Role::Moment, "memu", {"memu", 1e-3, false}},      {Role::Moment, "Am2", {"A m^2", 1e3, false}},
    {Role::Moment, "Am^2", {"A m^2", 1e3, false}},      {Role::Moment, "Am²", {"A m^2", 1e3, false}},
    {Role::Moment, "emu/g", {"emu/g", 1.0, true}},      {Role::Moment, "Am2/kg", {"A m^2/kg", 1.0, true}},
    {Role::Moment, "Am^2/kg", {"A m^2/kg", 1.0, true}},
};

// The spelling of a unit without blanks, dots and the middle dot, so that
// "A m2", "A.m2", "A·m2" and "Am2" are one.
std::string compact(const std::string& unit) {
  std::string out;
  for (std::size_t k = 0; k < unit.size(); ++k) {
    const char c = unit[k];
    if (c == ' ' || c == '.' || c == '*') continue;
    if (static_cast<unsigned char>(c) == 0xC2 && k + 1 < unit.size() &&
        static_cast<unsigned char>(unit[k + 1]) == 0xB7) {  // U+00B7, the middle dot
      ++k;
      continue;
    }
    out += c;
  }
  return out;
}

// Units are compared in any case: nobody writes mega-oersted or mega-tesla,
// so "MT" can only be a shouted mT.
bool sameUnit(const std::string& written, const char* spelling) {
  return lowerCase(compact(written)) == lowerCase(spelling);
}

}  // namespace

NameAndUnit splitUnit(const std::string& columnName) {
  const std::string name = trimmed(columnName);
  if (name.empty()) return {name, ""};
  const char close = name.back();
  if (close != ')' && close != ']') return {name, ""};
  const std::size_t open = name.find_last_of(close == ')' ? '(' : '[');
  if (open == std::string::npos) return {name, ""};
  return {trimmed(name.substr(0, open)), trimmed(name.substr(open + 1, name.size() - open - 2))};
}

const UnitFactor* unitOf(Role role, const std::string& unit) {
  const Role looked = role == Role::MomentError ? Role::Moment : role;
  for (const KnownUnit& known : kUnits)
    if (known.role == looked && sameUnit(unit, known.spelling)) return &known.factor;
  return nullptr;
}

std::string knownUnits(Role role) {
  std::vector<std::string> names;
  for (const KnownUnit& known : kUnits)
    if (known.role == role && std::find(names.begin(), names.end(), known.factor.name) == names.end())
      names.push_back(known.factor.name);
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

}  // namespace preisach::measured
