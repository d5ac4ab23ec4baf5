#include "parameters/data_directory.h"

#include <string>

namespace preisach::parameters {

std::string dataFilePath(const char* fileName) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  return std::string(kDataDirectory) + kSeparator + fileName;
}

}  // namespace preisach::parameters
