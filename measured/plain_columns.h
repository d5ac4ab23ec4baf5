#pragma once

#include "measured/format_reader.h"

namespace preisach::measured {

// Plain columns: numbers separated by blanks, tabs or commas, "#" comment
// lines, an optional first row of column names. A ZFC/FC file holds T,
// M_ZFC, M_FC (the layout of ZFCFCbc.txt), a curve its abscissa and moment
// (momentbc.txt: its first two columns); standard errors follow in columns
// named so. Any file is taken as plain columns.
const FormatReader& plainColumnsReader();

}  // namespace preisach::measured
