#pragma once

// What every reader of measured files owes any input, checked by the fuzz
// targets: a result of finite numbers, or a refusal of one printable line.

#include <cmath>
#include <string>
#include <vector>

namespace preisach::fuzz {

inline void check(bool condition) {
  if (!condition) __builtin_trap();
}

// One line of printable ASCII, starting with the file's name, and short: a
// quoted cell is cut at 80 characters and a list of columns at 12 names.
inline void checkRefusal(const std::string& message, const std::string& name) {
  constexpr std::size_t kLongest = 2000;
  check(message.compare(0, name.size() + 1, name + ":") == 0);
  check(message.size() <= kLongest);
  for (char c : message) check(c >= 0x20 && c < 0x7f);
}

inline void checkFinite(const std::vector<double>& values) {
  for (double x : values) check(std::isfinite(x));
}

}  // namespace preisach::fuzz
