#include "measured/pmc_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "measured/data_error.h"
#include "measured/known_columns.h"
#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

std::string pmcNumber(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.6E", x);
  return text;
}

// The numbers of a data line ("+1.0E+03,+2.0E-05" or blank-separated);
// false for a line that is not all numbers.
bool numbersOf(const std::string& line, std::vector<double>& numbers) {
  numbers.clear();
  std::string text = line;
  for (char& c : text)
    if (c == ',' || c == ';' || c == '\t') c = ' ';
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    char* end = nullptr;
    const double x = std::strtod(word.c_str(), &end);
    if (end != word.c_str() + word.size()) return false;
    numbers.push_back(x);
  }
  return !numbers.empty();
}

// The factors from the file's units to Oe and emu.
struct Scales {
  double field = 1.0;
  double moment = 1.0;
};

// A header line (lower case) may state the system of units in words ("Units
// of measure: SI") or name columns with their units; a row naming any SI
// unit is an SI row, its moments in A m^2 whatever the field's unit.
void takeUnits(const std::string& text, Scales& scales) {
  const KnownColumn siField = knownColumns(Format::Pmc, Role::Field).front();
  const KnownColumn siMoment = knownColumns(Format::Pmc, Role::Moment).front();
  if (text.find("units of measure") != std::string::npos || text.find("units") == 0) {
    if (text.find("si") != std::string::npos && text.find("cgs") == std::string::npos) {
      scales.field = siField.toLabUnit;
      scales.moment = siMoment.toLabUnit;
    }
  }
  bool siRow = namesRole(Format::Pmc, Role::Moment, text);
  if (names(siField, text)) scales.field = siField.toLabUnit, siRow = true;
  if (siRow) scales.moment = siMoment.toLabUnit;
}

// A run of data lines between blank or text lines: field and moment of each
// (already in Oe and emu) and its line.
struct DataRun {
  std::vector<std::array<double, 2>> points;
  std::vector<int> lines;
};

// A run of one point is the calibration point of the next curve; a longer
// run is a curve, perhaps with its calibration point written right before
// it without a blank line (at a field above the curve's start).
void closeRun(const std::string& path, DataRun& run, ForcSet& forcs) {
  const std::vector<std::array<double, 2>>& group = run.points;
  if (group.size() == 1) {
    ForcSet::Curve curve;
    curve.calibrationField = group[0][0];
    curve.calibrationMoment = group[0][1];
    forcs.curves.push_back(curve);
  } else if (group.size() > 1) {
    if (forcs.curves.empty() || !forcs.curves.back().H.empty()) forcs.curves.emplace_back();
    std::size_t first = 0;
    if (group.size() > 2 && group[0][0] > group[1][0]) {
      forcs.curves.back().calibrationField = group[0][0];
      forcs.curves.back().calibrationMoment = group[0][1];
      first = 1;
    }
    for (std::size_t k = first; k < group.size(); ++k) {
      ForcSet::Curve& curve = forcs.curves.back();
      if (!curve.H.empty() && !(group[k][0] > curve.H.back()))
        throw DataError(path + ":" + std::to_string(run.lines[k]) +
                        ": the field does not rise along the reversal curve");
      curve.H.push_back(group[k][0]);
      curve.M.push_back(group[k][1]);
    }
  }
  run.points.clear();
  run.lines.clear();
}

}  // namespace

void writePmc(std::ostream& out, const ForcSet& forcs, double step, int smoothing, const std::string& source) {
  const double Hsat = forcs.curves.empty() ? 0.0 : forcs.curves.front().calibrationField;
  out << "MicroMag 2900/3900 Data File (Series 0016)\r\n";
  out << "\"First-order reversal curves\"\r\n";
  out << "Configuration   VSM\r\n";
  out << "Source          " << source << "\r\n";
  out << "Units of measure: Cgs\r\n";
  out << "Temperature in: Kelvin\r\n";
  out << "\r\n";
  out << "Averaging time = " << pmcNumber(0.0) << "\r\n";
  out << "Hb1            = " << pmcNumber(-Hsat) << "\r\n";
  out << "Hb2            = " << pmcNumber(Hsat) << "\r\n";
  out << "Hc1            = " << pmcNumber(0.0) << "\r\n";
  out << "Hc2            = " << pmcNumber(Hsat) << "\r\n";
  out << "HCal           = " << pmcNumber(Hsat) << "\r\n";
  out << "HNcr           = " << pmcNumber(step) << "\r\n";
  out << "HSat           = " << pmcNumber(Hsat) << "\r\n";
  out << "NCrv           = " << forcs.curves.size() << "\r\n";
  out << "NData          = " << forcs.points() << "\r\n";
  out << "Smoothing      = " << smoothing << "\r\n";
  out << "\r\n";
  for (const ForcSet::Curve& c : forcs.curves) {
    out << pmcNumber(c.calibrationField) << "," << pmcNumber(c.calibrationMoment) << "\r\n\r\n";
    for (std::size_t k = 0; k < c.H.size(); ++k) out << pmcNumber(c.H[k]) << "," << pmcNumber(c.M[k]) << "\r\n";
    out << "\r\n";
  }
  out << "MicroMag 2900/3900 Data File ends\r\n";
}

ForcSet readPmc(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError(path + ": cannot be opened");
  Scales scales;
  bool inData = false;
  ForcSet forcs;
  DataRun run;
  std::string line;
  std::vector<double> numbers;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!inData) takeUnits(lowerCase(line), scales);
    // A data line is two or more numbers (field, moment, perhaps a
    // temperature), separated by commas or blanks.
    const bool numeric = numbersOf(line, numbers);
    const bool isData = numeric && numbers.size() >= 2;
    if (isData) {
      if (!std::isfinite(numbers[0]) || !std::isfinite(numbers[1]))
        throw DataError(path + ":" + std::to_string(lineNumber) + ": a field or moment that is not a number");
      inData = true;
      run.points.push_back({numbers[0] * scales.field, numbers[1] * scales.moment});
      run.lines.push_back(lineNumber);
      continue;
    }
    if (inData && numeric)  // a lone number among the data
      throw DataError(path + ":" + std::to_string(lineNumber) + ": a data line needs a field and a moment");
    closeRun(path, run, forcs);
  }
  closeRun(path, run, forcs);
  forcs.curves.erase(
      std::remove_if(forcs.curves.begin(), forcs.curves.end(), [](const ForcSet::Curve& c) { return c.H.empty(); }),
      forcs.curves.end());
  if (forcs.curves.size() < 3) throw DataError(path + ": holds fewer than three reversal curves");
  return forcs;
}

}  // namespace preisach::measured
