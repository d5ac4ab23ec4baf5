#include "model/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace preisach::model {

std::size_t formatScientific(double x, char* out) {
  // to_chars is correctly rounded like glibc's printf, and its
  // scientific form has the same shape; the non-finite words are written
  // by hand to keep the sign of a NaN as printf shows it.
  if (std::isnan(x) || std::isinf(x)) {
    const char* word = std::isnan(x) ? (std::signbit(x) ? "-nan" : "nan") : (std::signbit(x) ? "-inf" : "inf");
    const std::size_t n = std::strlen(word);
    std::memcpy(out, word, n);
    return n;
  }
  const std::to_chars_result r = std::to_chars(out, out + kScientificWidth, x, std::chars_format::scientific, 6);
  return static_cast<std::size_t>(r.ptr - out);
}

}  // namespace preisach::model
