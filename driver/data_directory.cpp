#include "driver/data_directory.h"

#include <string>

namespace preisach::driver {

std::string dataFilePath(const char* fileName) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  return std::string(kDataDirectory) + kSeparator + fileName;
}

}  // namespace preisach::driver
