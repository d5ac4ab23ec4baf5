// libFuzzer target: the PMC reader of first-order reversal curves on any
// bytes. Every input must give at least three curves of finite numbers in
// Oe and emu with fields rising along each, units named in the report, or
// a refusal of one printable line naming the file.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "measured/data_error.h"
#include "measured/pmc_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace preisach::measured;
  using preisach::fuzz::check;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const ForcSet forcs = readPmcText("input", text);
    check(forcs.curves.size() >= 3);
    check(!forcs.report.fieldUnit.empty() && !forcs.report.momentUnit.empty());
    for (const ForcSet::Curve& c : forcs.curves) {
      check(!c.H.empty() && c.H.size() == c.M.size());
      check(std::isfinite(c.calibrationField) && std::isfinite(c.calibrationMoment));
      preisach::fuzz::checkFinite(c.H);
      preisach::fuzz::checkFinite(c.M);
      for (std::size_t k = 1; k < c.H.size(); ++k) check(c.H[k] > c.H[k - 1]);
    }
  } catch (const DataError& e) {
    preisach::fuzz::checkRefusal(e.what(), "input");
  }
  return 0;
}
