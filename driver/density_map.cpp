#include "driver/density_map.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/number_format.h"

namespace preisach::driver {

int writeDensityMap(std::FILE* mapFile, const model::RectangleNodes& nodes) {
  const model::Run& rows = nodes.rows;
  const model::Run& columns = nodes.columns;
  // Each row's " hi " text is formed once, with its blanks.
  std::vector<std::string> hiText;
  for (std::int32_t j = rows.begin; j < rows.end; ++j) {
    char text[model::kScientificWidth];
    hiText.push_back(" " + std::string(text, model::formatScientific(nodes.hiNodes[j], text)) + " ");
  }
  char zero[model::kScientificWidth];
  const std::size_t zeroLength = model::formatScientific(0.0, zero);
  constexpr std::size_t kRowRoom = 3 * model::kScientificWidth + 3;
  std::vector<char> buffer(std::size_t{1} << 16);
  std::size_t used = 0;
  int error = 0;
  const auto flush = [&] {
    if (std::fwrite(buffer.data(), 1, used, mapFile) != used && error == 0) error = errno;
    used = 0;
  };
  const auto put = [&](const char* text, std::size_t length) {
    std::memcpy(&buffer[used], text, length);
    used += length;
  };
  for (std::int32_t i = columns.begin; i < columns.end; ++i) {
    char hcText[model::kScientificWidth];
    const std::size_t hcLength = model::formatScientific(nodes.hcNodes[i], hcText);
    for (std::int32_t j = rows.begin; j < rows.end; ++j) {
      if (used + kRowRoom > buffer.size()) flush();
      put(hcText, hcLength);
      const std::string& hi = hiText[static_cast<std::size_t>(j - rows.begin)];
      put(hi.data(), hi.size());
      const double rho = nodes.table.at(i, j);
      if (rho == 0.0 && !std::signbit(rho)) {
        put(zero, zeroLength);
      } else {
        char text[model::kScientificWidth];
        put(text, model::formatScientific(rho, text));
      }
      buffer[used++] = '\n';
    }
  }
  flush();
  return error;
}

}  // namespace preisach::driver
