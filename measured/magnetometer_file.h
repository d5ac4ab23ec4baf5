#pragma once

#include "measured/format_reader.h"

namespace preisach::measured {

// Magnetometer files: a [Header] section, then a [Data] section whose first
// row names comma-separated columns (those of known_columns.cpp: the
// temperature, the field, one of two moments, their standard errors and a
// Comment). A ZFC/FC file is split by ZFC/FC labels in its Comment column,
// else at the first turnaround of the temperature. Rows without a moment
// (other measurements) are passed over.
const FormatReader& magnetometerReader();

}  // namespace preisach::measured
