#include "measured/read_report.h"

namespace preisach::measured {

std::string describe(const ReadReport& report) {
  std::string line = report.format;
  if (!report.fieldUnit.empty()) line += ", fields in " + report.fieldUnit;
  if (!report.momentUnit.empty()) line += ", moments in " + report.momentUnit;
  if (!report.columns.empty()) line += "; " + report.columns;
  return line;
}

}  // namespace preisach::measured
