// libFuzzer target: the parameter reader on any bytes. Besides the
// sanitizers' checks (no read past the input, no undefined behaviour, no
// leak), every input must give an echo of whole 24-line blocks, one key
// pause per limit message, and no echo for a file without a value.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "parameters/parameters.h"

namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace preisach::parameters;
  std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  ParameterSet parameters;
  int pauses = 0;
  const ReadResult result = readParameterFile(file, parameters, out, [&pauses] { ++pauses; });
  const std::string echo = out.str();

  const std::size_t messages = count(echo, "therefore T_max assigned as Tc-10=");
  const std::size_t lines = count(echo, "\n");
  if (static_cast<std::size_t>(pauses) != messages) __builtin_trap();
  if ((lines - messages) % 24 != 0) __builtin_trap();
  if ((result.status == ReadStatus::NoValue) != echo.empty()) __builtin_trap();
  if (result.status == ReadStatus::FieldUnreadable &&
      (result.field < 1 || result.field > 24 || result.fieldName == nullptr || result.record < 1))
    __builtin_trap();
  if (describeReadFailure(result).empty()) __builtin_trap();
  return 0;
}
