#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "model/console.h"

namespace preisach::driver {

// A result file of the data directory being written. Its rows go to a new
// file of a name no other file has (the final name, the process id, a random
// token and ".partial"), created exclusively so that it can never be an
// existing file or a link planted in its place. Only commit() moves it over
// the final name: an interrupted or failed computation leaves the previous
// complete file in place, and the temporary file is removed on every other
// way out, on SIGINT, SIGTERM, SIGHUP and SIGQUIT too. Temporary files left
// by a process that was killed outright are removed the next time the same
// result file is created.
class ResultFile {
 public:
  // Creates the temporary file; when it cannot be created, says so on
  // console.err with the system's reason and `consequence` (what is not
  // done for it) and returns nullptr.
  static std::unique_ptr<ResultFile> create(const char* fileName,
                                            const char* consequence,
                                            const model::Console& console);
  // The same for a file at any path: its temporary file is made in the
  // folder of `finalPath` (the current folder when it names none), so that
  // the final move stays within one file system.
  static std::unique_ptr<ResultFile> createAt(const std::string& finalPath,
                                              const char* consequence,
                                              const model::Console& console);

  ~ResultFile();  // not committed: the temporary file is closed and removed
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // The rows go here; the handle stays owned by this object.
  std::FILE* handle() const { return handle_; }
  // Where the rows are until commit(): a caller may read them back from here.
  const std::string& temporaryPath() const { return temporaryPath_; }
  const std::string& finalPath() const { return finalPath_; }
  // Closes the file, checks that every row reached it and moves it over the
  // final name; a write, close or move that fails is reported on
  // console.err, and the previous file stays. writeError is the errno of a
  // failed write made on another thread (errno is per thread), or 0.
  bool commit(const model::Console& console, int writeError = 0);

 private:
  ResultFile(std::FILE* handle, std::string finalPath, std::string temporaryPath, int slot);
  std::FILE* handle_;
  std::string finalPath_;
  std::string temporaryPath_;
  int slot_;  // in the table of files the signal handler removes
  bool committed_ = false;
};

// Installs the handlers that remove the temporary files of result files
// still being written when the program is interrupted, then end the program
// by the same signal.
void removeTemporaryFilesOnInterrupt();

}  // namespace preisach::driver
