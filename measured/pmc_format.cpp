#include "measured/pmc_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
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

// The words of a data line ("+1.0E+03,+2.0E-05" or blank-separated).
std::vector<std::string> wordsOf(const std::string& line) {
  std::string text = line;
  for (char& c : text)
    if (c == ',' || c == ';' || c == '\t') c = ' ';
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// The numbers of a data line; false for a line that is not all numbers.
bool numbersOf(const std::vector<std::string>& words, std::vector<double>& numbers) {
  numbers.clear();
  for (const std::string& word : words) {
    double x = 0.0;
    if (!parseNumber(word, x)) return false;
    numbers.push_back(x);
  }
  return !numbers.empty();
}

// How a number is written: its length without a sign, and where its
// exponent starts. A last line cut short by a copy that stopped mid-way
// writes a number shorter than the line before it ("+1.2" for
// "+1.234567E-05").
std::string shapeOf(const std::string& word) {
  std::string shape;
  for (char c : word) shape += std::isdigit(static_cast<unsigned char>(c)) ? '9' : c == '-' ? '+' : c;
  if (!shape.empty() && shape[0] != '+') shape.insert(0, "+");
  return shape;
}

// The units a file's header states, and where.
struct StatedUnits {
  const KnownColumn* field = nullptr;
  const KnownColumn* moment = nullptr;
  bool fieldOpen = false;  // "SI" without saying T or A/m
  int line = 0;
  std::string source;  // "the Units of measure line", "the column-header row"
};

// The values of the header ("NCrv = 12", "HSat  1.0"), by lower-case name.
struct HeaderValue {
  double value;
  int line;
};

struct PmcHeader {
  StatedUnits unitsLine;
  StatedUnits columnRow;
  std::vector<std::pair<std::string, HeaderValue>> values;
  const HeaderValue* find(const std::string& name) const {
    for (const auto& v : values)
      if (v.first == name) return &v.second;
    return nullptr;
  }
};

const KnownColumn* pmcUnit(Role role, const std::string& name) {
  static const std::vector<KnownColumn> fields = knownColumns(Format::Pmc, Role::Field);
  static const std::vector<KnownColumn> moments = knownColumns(Format::Pmc, Role::Moment);
  for (const KnownColumn& unit : role == Role::Field ? fields : moments)
    if (names(unit, name)) return &unit;
  return nullptr;
}

// The "Units of measure" line's values, in lower case. The PMC MicroMag
// writes "cgs" (Oe, emu), "SI" or "SiMuNaughtH" (its SI setting with the
// field as mu0 H); RockmagPy's reader of MicroMag FORC exports
// (PmagPy/PmagPy, pmagpy/forc.py, read_file_units) reads both "SI" and
// "SiMuNaughtH" as fields in T and moments in A m^2. A strict SI field H
// is in A/m, though, and a file converted by other software may hold that
// under "SI": the field unit of plain "SI" is left to the column-header row
// or to the magnitudes (pmcFieldByMagnitude).
StatedUnits unitsOfMeasure(const std::string& path, const std::string& value, int line) {
  StatedUnits units;
  units.line = line;
  units.source = "the Units of measure line";
  if (value == "cgs") {
    units.field = pmcUnit(Role::Field, "(oe)");
    units.moment = pmcUnit(Role::Moment, "(emu)");
  } else if (value == "simunaughth" || value == "hybrid si") {
    // "Hybrid SI" is the instrument's usual SI setting: the field as mu0 H
    // in T, the moment in A m^2.
    units.field = pmcUnit(Role::Field, "(t)");
    units.moment = pmcUnit(Role::Moment, "(am2)");
  } else if (value == "si") {
    units.fieldOpen = true;
    units.moment = pmcUnit(Role::Moment, "(am2)");
  } else {
    refuse(path, line, 0,
           "states units of measure " + quoted(value) + ": known are cgs, SI, Hybrid SI and SiMuNaughtH");
  }
  return units;
}

// The units in a column-header row: "Field (Oe), Moment (emu), Temperature
// (K)" names them, "(T) (Am2)" gives them in the order field, moment.
StatedUnits columnUnits(const std::string& path, const std::string& lower, int line) {
  std::vector<std::string> units;
  std::vector<std::size_t> at;
  for (std::size_t open = lower.find('('); open != std::string::npos; open = lower.find('(', open + 1)) {
    const std::size_t close = lower.find(')', open);
    if (close == std::string::npos) break;
    units.push_back(lower.substr(open, close + 1 - open));
    at.push_back(open);
  }
  StatedUnits stated;
  stated.line = line;
  stated.source = "the column-header row";
  const std::size_t field = lower.find("field"), moment = lower.find("moment");
  for (std::size_t k = 0; k < units.size(); ++k) {
    const bool isField = field != std::string::npos ? at[k] > field && (moment < field || at[k] < moment) : k == 0;
    const bool isMoment = moment != std::string::npos ? at[k] > moment && (field < moment || at[k] < field) : k == 1;
    if (isField && stated.field == nullptr) {
      stated.field = pmcUnit(Role::Field, units[k]);
      if (stated.field == nullptr) refuse(path, line, 0, "gives the field in unknown units " + quoted(units[k]));
    } else if (isMoment && stated.moment == nullptr) {
      stated.moment = pmcUnit(Role::Moment, units[k]);
      if (stated.moment == nullptr) refuse(path, line, 0, "gives the moment in unknown units " + quoted(units[k]));
    }
  }
  return stated;
}

// A row of units alone: units in parentheses, separated by blanks or
// commas, and nothing else ("(c) 2004 Princeton" is text).
bool onlyUnits(const std::string& lower) {
  bool any = false, inside = false;
  for (char c : lower) {
    if (c == '(' && !inside) {
      inside = any = true;
    } else if (c == ')' && inside) {
      inside = false;
    } else if (!inside && c != ' ' && c != '\t' && c != ',') {
      return false;
    }
  }
  return any && !inside;
}

// A header line: the units of measure, a column-header row, a value, or
// free text (a title, a source path), which says nothing about units.
void takeHeaderLine(const std::string& path, const std::string& line, int lineNumber, PmcHeader& header) {
  const std::string lower = lowerCase(trimmed(line));
  if (lower.compare(0, 16, "units of measure") == 0) {
    // Two statements of the units leave the reader to guess which holds.
    if (header.unitsLine.line > 0)
      refuse(path, lineNumber, 0,
             "states the units of measure a second time (first on line " + std::to_string(header.unitsLine.line) +
                 "): which one holds is not clear");
    const std::size_t begin = lower.find_first_not_of(" \t:=", 16);
    header.unitsLine = unitsOfMeasure(path, begin == std::string::npos ? "" : lower.substr(begin), lineNumber);
    return;
  }
  if ((lower.compare(0, 5, "field") == 0 && lower.find("moment") != std::string::npos) || onlyUnits(lower)) {
    const StatedUnits stated = columnUnits(path, lower, lineNumber);
    if (stated.field != nullptr) header.columnRow.field = stated.field;
    if (stated.moment != nullptr) header.columnRow.moment = stated.moment;
    if (stated.field != nullptr || stated.moment != nullptr)
      header.columnRow.line = lineNumber, header.columnRow.source = stated.source;
    return;
  }
  const std::size_t equals = lower.find('=');
  const std::size_t split = equals != std::string::npos ? equals : lower.find_last_of(" \t");
  if (split == std::string::npos) return;
  double value = 0.0;
  const std::string name = trimmed(lower.substr(0, split));
  if (!name.empty() && parseNumber(trimmed(lower.substr(split + 1)), value) && std::isfinite(value))
    header.values.push_back({name, {value, lineNumber}});
}

// A run of data lines between blank lines: field and moment of each, as
// the file writes them, and its line.
struct DataRun {
  std::vector<std::array<double, 2>> points;
  std::vector<int> lines;
};

// A run of one point is the calibration point of the next curve, unless a
// calibration point is already waiting for its curve: then it is that curve,
// of one point (the instrument's first reversal curve, whose Hr is at the
// saturation side, has no other). A longer run is a curve, perhaps with its
// calibration point written right before it without a blank line (at a
// field above the curve's start).
void closeRun(const std::string& path, DataRun& run, ForcSet& forcs, std::size_t& calibrations) {
  const std::vector<std::array<double, 2>>& group = run.points;
  const bool calibrationWaiting = !forcs.curves.empty() && forcs.curves.back().H.empty();
  if (group.size() == 1 && calibrationWaiting) {
    forcs.curves.back().H.push_back(group[0][0]);
    forcs.curves.back().M.push_back(group[0][1]);
  } else if (group.size() == 1) {
    ForcSet::Curve curve;
    curve.calibrationField = group[0][0];
    curve.calibrationMoment = group[0][1];
    forcs.curves.push_back(curve);
    ++calibrations;
  } else if (group.size() > 1) {
    if (forcs.curves.empty() || !forcs.curves.back().H.empty()) forcs.curves.emplace_back();
    std::size_t first = 0;
    if (group.size() > 2 && group[0][0] > group[1][0]) {
      forcs.curves.back().calibrationField = group[0][0];
      forcs.curves.back().calibrationMoment = group[0][1];
      first = 1;
      ++calibrations;
    }
    for (std::size_t k = first; k < group.size(); ++k) {
      ForcSet::Curve& curve = forcs.curves.back();
      if (!curve.H.empty() && !(group[k][0] > curve.H.back()))
        refuse(path, run.lines[k], 0, "the field does not rise along the reversal curve");
      curve.H.push_back(group[k][0]);
      curve.M.push_back(group[k][1]);
    }
  }
  run.points.clear();
  run.lines.clear();
}

// What the data section gave, in the file's units.
struct PmcData {
  ForcSet forcs;
  std::size_t calibrations = 0;
  double largestField = 0.0;
};

bool isEndLine(const std::string& line) {
  const std::string lower = lowerCase(trimmed(line));
  return lower.compare(0, 8, "micromag") == 0 && lower.find("ends") != std::string::npos;
}

// The last line of a file without a line end is taken only when its numbers
// are written like those of the data line before it.
void checkLastLine(const std::string& path,
                   int lineNumber,
                   const std::vector<std::string>& words,
                   const std::vector<std::string>& before) {
  bool same = words.size() == before.size();
  for (std::size_t k = 0; same && k < words.size(); ++k) same = shapeOf(words[k]) == shapeOf(before[k]);
  if (!same)
    refuse(path, lineNumber, 0,
           "the last line has no line end and its numbers are not written like those before it: the file is cut "
           "short");
}

// The data section, from the first line of two or more numbers: data
// lines, blank lines between runs, and the end line; anything else (a
// number cut mid-way, text) is refused.
PmcData readData(const std::string& path, const std::vector<std::string>& lines, std::size_t first, bool lastUnended) {
  PmcData data;
  DataRun run;
  std::vector<double> numbers;
  std::vector<std::string> before;
  for (std::size_t k = first; k < lines.size(); ++k) {
    const int lineNumber = static_cast<int>(k) + 1;
    if (isEndLine(lines[k])) break;
    const std::vector<std::string> words = wordsOf(lines[k]);
    if (words.empty()) {
      closeRun(path, run, data.forcs, data.calibrations);
      continue;
    }
    if (!numbersOf(words, numbers)) refuse(path, lineNumber, 0, quoted(trimmed(lines[k])) + " is not a data line");
    if (numbers.size() < 2) refuse(path, lineNumber, 0, "a data line needs a field and a moment");
    if (!std::isfinite(numbers[0]) || !std::isfinite(numbers[1]))
      refuse(path, lineNumber, 0, "a field or moment that is not a number");
    if (lastUnended && k + 1 == lines.size() && !before.empty()) checkLastLine(path, lineNumber, words, before);
    before = words;
    data.largestField = std::max(data.largestField, std::fabs(numbers[0]));
    run.points.push_back({numbers[0], numbers[1]});
    run.lines.push_back(lineNumber);
  }
  closeRun(path, run, data.forcs, data.calibrations);
  return data;
}

// The largest field value of the header (HCal, HSat, the diagram's limits,
// the field range) and its name; 0 without one.
std::pair<double, std::string> largestHeaderField(const PmcHeader& header) {
  static const char* const kFieldValues[] = {"hcal", "hsat", "hb1", "hb2", "hc1", "hc2", "hncr", "field range"};
  std::pair<double, std::string> largest{0.0, ""};
  for (const char* name : kFieldValues)
    if (const HeaderValue* v = header.find(name))
      if (std::fabs(v->value) > largest.first) largest = {std::fabs(v->value), name};
  return largest;
}

std::string shownNumber(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", x);
  return text;
}

// The field unit of a file that says "SI" and no more. No laboratory magnet
// reaches 30 T, and no FORC protocol spans less than 30 A/m (0.4 Oe): a
// largest field up to 30 is in T, above it in A/m. The header's field values
// decide where it has them, else the data's.
const KnownColumn* pmcFieldByMagnitude(const PmcHeader& header, const PmcData& data, ReadReport& report) {
  constexpr double kMostTesla = 30.0;
  const std::pair<double, std::string> fromHeader = largestHeaderField(header);
  const double reference = fromHeader.first > 0.0 ? fromHeader.first : data.largestField;
  const bool tesla = reference <= kMostTesla;
  report.notes.push_back(
      "\"Units of measure: SI\" leaves the field unit open: read as " + std::string(tesla ? "T" : "A/m") + ", as " +
      (fromHeader.first > 0.0 ? "the header's largest field value (" + fromHeader.second + ")" : "the largest field") +
      ", " + shownNumber(reference) + ", is " + (tesla ? "at most 30" : "above 30 (no magnet reaches 30 T)"));
  return pmcUnit(Role::Field, tesla ? "(t)" : "(a/m)");
}

// The header's fields and the data's are in one unit: a factor of more
// than 1000 between their largest values means they are not.
void checkHeaderFields(const std::string& path, const PmcHeader& header, const PmcData& data) {
  constexpr double kMostRatio = 1000.0;
  const std::pair<double, std::string> largest = largestHeaderField(header);
  if (largest.first <= 0.0 || data.largestField <= 0.0) return;
  if (largest.first > kMostRatio * data.largestField || data.largestField > kMostRatio * largest.first)
    refuse(path, header.find(largest.second)->line, 0,
           "the header's fields (up to " + shownNumber(largest.first) + ") and the data's (up to " +
               shownNumber(data.largestField) + ") differ by more than a factor 1000: not in the same units");
}

// One unit from the Units of measure line and the column-header row;
// refused where they disagree.
const KnownColumn* agreedUnit(const std::string& path,
                              const KnownColumn* fromLine,
                              const KnownColumn* fromRow,
                              const PmcHeader& header,
                              const char* what) {
  if (fromLine != nullptr && fromRow != nullptr && fromLine->toLabUnit != fromRow->toLabUnit)
    refuse(path, header.columnRow.line, 0,
           std::string("gives the ") + what + " in " + fromRow->unit + " but the Units of measure line (line " +
               std::to_string(header.unitsLine.line) + ") says " + fromLine->unit);
  return fromRow != nullptr ? fromRow : fromLine;
}

struct PmcUnits {
  const KnownColumn* field;
  const KnownColumn* moment;
  ReadReport report;
};

// The units of the field and the moment, decided only by the Units of
// measure line and the column-header row, never by other header text.
PmcUnits decideUnits(const std::string& path, const PmcHeader& header, const PmcData& data) {
  ReadReport report;
  report.format = "PMC file";
  const KnownColumn* field = agreedUnit(path, header.unitsLine.field, header.columnRow.field, header, "field");
  const KnownColumn* moment = agreedUnit(path, header.unitsLine.moment, header.columnRow.moment, header, "moment");
  const bool stated = header.unitsLine.line > 0 || header.columnRow.line > 0;
  if (field == nullptr && header.unitsLine.fieldOpen) field = pmcFieldByMagnitude(header, data, report);
  if (!stated) report.notes.push_back("states no units: read as CGS (Oe, emu), the units this program writes");
  if (field == nullptr) {
    field = pmcUnit(Role::Field, "(oe)");
    if (stated) report.notes.push_back("states no field unit: read as Oe");
  }
  if (moment == nullptr) {
    const bool si = field->toLabUnit != 1.0;  // an SI field comes with moments in A m^2
    moment = pmcUnit(Role::Moment, si ? "(am2)" : "(emu)");
    if (stated) report.notes.push_back(std::string("states no moment unit: read as ") + moment->unit);
  }
  report.fieldUnit = field->unit;
  report.momentUnit = moment->unit;
  report.columns = "field and moment: the first two numbers of each data line";
  for (const StatedUnits* from : {&header.unitsLine, &header.columnRow})
    if (from->line > 0) report.columns += "; units from " + from->source + " (line " + std::to_string(from->line) + ")";
  return {field, moment, report};
}

// NCrv and NData, where the header has them, agree with the data: a file
// cut short after a whole curve is caught here. NData counts the points of
// the curves, with or without the calibration points.
void checkCounts(const std::string& path, const PmcHeader& header, const PmcData& data) {
  const double curves = static_cast<double>(data.forcs.curves.size());
  const double points = static_cast<double>(data.forcs.points());
  if (const HeaderValue* n = header.find("ncrv"); n != nullptr && n->value != curves)
    refuse(path, n->line, 0,
           "NCrv = " + shownNumber(n->value) + " but the file holds " + shownNumber(curves) + " reversal curves");
  const double withCalibrations = points + static_cast<double>(data.calibrations);
  if (const HeaderValue* n = header.find("ndata"); n != nullptr && n->value != points && n->value != withCalibrations)
    refuse(path, n->line, 0,
           "NData = " + shownNumber(n->value) + " but the file holds " + shownNumber(points) +
               " points on its curves and " + shownNumber(withCalibrations) + " with the calibration points");
}

// To Oe and emu. A conversion that would merge two neighbouring fields of a
// curve, or leave the range of a double, is refused.
void convert(const std::string& path, ForcSet& forcs, double fieldScale, double momentScale) {
  for (ForcSet::Curve& c : forcs.curves) {
    c.calibrationField *= fieldScale;
    c.calibrationMoment *= momentScale;
    bool finite = std::isfinite(c.calibrationField) && std::isfinite(c.calibrationMoment);
    for (std::size_t k = 0; k < c.H.size(); ++k) {
      c.H[k] *= fieldScale;
      c.M[k] *= momentScale;
      finite = finite && std::isfinite(c.H[k]) && std::isfinite(c.M[k]);
      if (k > 0 && !(c.H[k] > c.H[k - 1]))
        refuse(path, 0, 0, "holds fields too close to tell apart in Oe along a reversal curve");
    }
    if (!finite) refuse(path, 0, 0, "holds a field or moment beyond the range of numbers in Oe or emu");
  }
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
  return readPmcText(path, inputFileText(path));
}

ForcSet readPmcText(const std::string& path, const std::string& text) {
  const std::vector<std::string> lines = textLines(text);
  PmcHeader header;
  std::size_t first = 0;
  std::vector<double> numbers;
  // The header ends at the first line of two or more numbers (field,
  // moment, perhaps a temperature).
  for (; first < lines.size(); ++first) {
    if (numbersOf(wordsOf(lines[first]), numbers) && numbers.size() >= 2) break;
    takeHeaderLine(path, lines[first], static_cast<int>(first) + 1, header);
  }
  PmcData data = readData(path, lines, first, lastLineUnended(text));
  ForcSet& forcs = data.forcs;
  forcs.curves.erase(
      std::remove_if(forcs.curves.begin(), forcs.curves.end(), [](const ForcSet::Curve& c) { return c.H.empty(); }),
      forcs.curves.end());
  if (forcs.curves.size() < 3) refuse(path, 0, 0, "holds fewer than three reversal curves");
  checkCounts(path, header, data);
  checkHeaderFields(path, header, data);
  const PmcUnits units = decideUnits(path, header, data);
  forcs.report = units.report;
  convert(path, forcs, units.field->toLabUnit, units.moment->toLabUnit);
  return forcs;
}

}  // namespace preisach::measured
