#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "model/console.h"

namespace preisach::driver {

// A result file of the data directory being written. Its rows go to a file
// beside the final name (the name with ".partial" added), which is moved
// over the final name only by commit(): an interrupted or failed
// computation leaves the previous complete file in place.
class ResultFile {
 public:
  // Creates the partial file (mode "w"); when it cannot be created, says so
  // on console.err with the system's reason and returns nullptr.
  static std::unique_ptr<ResultFile> create(const char* fileName, const model::Console& console);

  ~ResultFile();  // not committed: the partial file is closed and removed
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  std::FILE* handle() const { return handle_; }
  // The computation that wrote the rows closed the handle itself.
  void closedByComputation() { handle_ = nullptr; }
  // Closes the file and moves it over the final name; a write or move that
  // fails is reported on console.err and the previous file stays.
  bool commit(const model::Console& console);

 private:
  ResultFile(std::FILE* handle, std::string finalPath, std::string partialPath);
  std::FILE* handle_;
  std::string finalPath_;
  std::string partialPath_;
  bool committed_ = false;
};

}  // namespace preisach::driver
