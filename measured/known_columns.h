#pragma once

// The one table of the columns each file format knows: how a column is
// named, its unit and its role. The readers look their columns up here and
// name them from here in their refusals.

#include <string>
#include <vector>

namespace preisach::measured {

enum class Format { PlainColumns, Magnetometer, Pmc };
enum class Role { Temperature, Field, Moment, MomentError, Comment };

struct KnownColumn {
  Format format;
  Role role;
  // The name as the file writes it, found in any case; for plain columns a
  // whole name or a piece of one, for PMC files a unit in parentheses.
  const char* name;
  bool wholeName;  // the name must match whole, else it is a piece
  const char* unit;
  double toLabUnit;  // the factor to K, Oe or emu
  // For a standard error: the name of the moment column it belongs to.
  const char* errorOf;
};

// The entries of a format in one role, in the table's order (a reader takes
// the first one present before the others).
std::vector<KnownColumn> knownColumns(Format format, Role role);

// Whether `name` (a column name or header line) is that column's.
bool names(const KnownColumn& column, const std::string& name);

// Whether `name` is one of the format's names for that role.
bool namesRole(Format format, Role role, const std::string& name);

}  // namespace preisach::measured
