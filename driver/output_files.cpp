#include "driver/output_files.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "driver/data_directory.h"

namespace preisach::driver {

std::FILE* createResultFile(const char* fileName, const model::Console& console) {
  const std::string path = dataFilePath(fileName);
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr)
    console.err << "cannot create " << path << ": " << std::strerror(errno) << "; its computation is skipped"
                << std::endl;
  return file;
}

}  // namespace preisach::driver
