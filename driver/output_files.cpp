#include "driver/output_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "driver/data_directory.h"

namespace preisach::driver {

namespace {

// Moves `from` over `to`, replacing it in one step.
bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

std::unique_ptr<ResultFile> ResultFile::create(const char* fileName, const model::Console& console) {
  const std::string finalPath = dataFilePath(fileName);
  const std::string partialPath = finalPath + ".partial";
  // A folder in the file's place could never be replaced by the rows.
  std::error_code ignored;
  std::FILE* handle = std::filesystem::is_directory(finalPath, ignored) ? nullptr : std::fopen(partialPath.c_str(), "w");
  if (handle == nullptr) {
    const int reason = std::filesystem::is_directory(finalPath, ignored) ? EISDIR : errno;
    console.err << "cannot create " << finalPath << ": " << std::strerror(reason) << "; its computation is skipped"
                << std::endl;
    return nullptr;
  }
  return std::unique_ptr<ResultFile>(new ResultFile(handle, finalPath, partialPath));
}

ResultFile::ResultFile(std::FILE* handle, std::string finalPath, std::string partialPath)
    : handle_(handle), finalPath_(std::move(finalPath)), partialPath_(std::move(partialPath)) {}

ResultFile::~ResultFile() {
  if (committed_) return;
  if (handle_ != nullptr) std::fclose(handle_);
  std::remove(partialPath_.c_str());
}

bool ResultFile::commit(const model::Console& console) {
  bool written = true;
  int reason = 0;
  if (handle_ != nullptr) {
    written = std::ferror(handle_) == 0;
    if (!written) reason = errno;
    if (std::fclose(handle_) != 0 && written) {
      written = false;
      reason = errno;
    }
    handle_ = nullptr;
  }
  if (!written) {
    console.err << "cannot write " << finalPath_ << ": " << std::strerror(reason) << "; the previous file is kept"
                << std::endl;
    return false;
  }
  if (!replaceFile(partialPath_, finalPath_)) {
    console.err << "cannot replace " << finalPath_ << ": " << std::strerror(errno) << "; the new rows are in "
                << partialPath_ << std::endl;
    committed_ = true;  // keep the rows where they are
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace preisach::driver
