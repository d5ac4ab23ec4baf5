#include "lab/result_set.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>

#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "model/console.h"

namespace preisach::lab {

using measured::DataError;

namespace {

bool standardOutputWasClosed = false;

// The one line a ResultFile wrote on its console, as an exception.
[[noreturn]] void fail(const std::ostringstream& report) {
  std::string line = report.str();
  while (!line.empty() && line.back() == '\n') line.pop_back();
  throw WriteFailure(line);
}

std::string named(const NamedFile& file) {
  return file.option + " " + measured::shownName(file.path);
}

// The file a path names now, links followed; nullopt where nothing is.
std::optional<struct stat> statusOf(const std::string& path) {
  struct stat s {};
  if (stat(path.c_str(), &s) != 0) return std::nullopt;
  return s;
}

// Where a path would be, its folder resolved (links and "..", the file
// itself need not exist): two names of one place compare equal.
std::string placeOf(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
  return error ? path : resolved.string();
}

bool samePlace(const NamedFile& a, const NamedFile& b) {
  const std::optional<struct stat> x = statusOf(a.path), y = statusOf(b.path);
  if (x && y) return x->st_dev == y->st_dev && x->st_ino == y->st_ino;
  return placeOf(a.path) == placeOf(b.path);
}

std::string folderOf(const std::string& path) {
  const std::filesystem::path place(path);
  return place.has_parent_path() ? place.parent_path().string() : std::string(".");
}

// An exclusive lock on a folder, released when the descriptor closes.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

ResultSet::~ResultSet() = default;

const std::string& ResultSet::add(const std::string& path, const std::string& content) {
  std::ostringstream report;
  const model::Console console{report, report};
  std::unique_ptr<driver::ResultFile> file = driver::ResultFile::createAt(path, "nothing is written", console);
  if (!file) fail(report);
  std::FILE* handle = file->handle();
  // On disk before it can replace anything: a crash after the move must not
  // leave an empty file in place of the previous one.
  const bool written = std::fwrite(content.data(), 1, content.size(), handle) == content.size() &&
                       std::fflush(handle) == 0 && fsync(fileno(handle)) == 0;
  if (!written)
    throw WriteFailure("cannot write " + measured::shownName(path) + ": " + std::strerror(errno) +
                       "; nothing is written");
  files_.push_back(std::move(file));
  return files_.back()->temporaryPath();
}

void ResultSet::discard(const std::string& path) {
  discarded_.push_back(path);
}

void ResultSet::commit() {
  std::set<std::string> folders;
  for (const auto& file : files_) folders.insert(folderOf(file->finalPath()));
  for (const std::string& path : discarded_) folders.insert(folderOf(path));
  std::vector<std::unique_ptr<FolderLock>> locks;
  for (const std::string& folder : folders) locks.push_back(std::make_unique<FolderLock>(folder));
  for (const auto& file : files_) {
    std::ostringstream report;
    const model::Console console{report, report};
    if (!file->commit(console)) fail(report);
  }
  files_.clear();
  for (const std::string& path : discarded_)
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
      throw WriteFailure("cannot remove " + measured::shownName(path) + ": " + std::strerror(errno));
  discarded_.clear();
}

void writeResultFile(const std::string& path, const std::string& content) {
  ResultSet set;
  set.add(path, content);
  set.commit();
}

void requireSeparateFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const NamedFile& out = outputs[k];
    if (out.path.empty() || out.path.back() == '/')
      throw DataError(out.option + " \"" + measured::shownName(out.path) + "\" names no file");
    if (const std::optional<struct stat> s = statusOf(out.path); s && !S_ISREG(s->st_mode))
      throw DataError(named(out) +
                      (S_ISDIR(s->st_mode) ? " is a folder" : " is not a regular file (a device, a pipe or a socket)") +
                      ": a result file cannot take its place");
    for (const NamedFile& in : inputs)
      if (samePlace(out, in))
        throw DataError(named(out) + " is the input " + named(in) + ": it would be replaced by a result");
    for (std::size_t j = 0; j < k; ++j)
      if (samePlace(out, outputs[j]))
        throw DataError(named(out) + " and " + named(outputs[j]) + " are one file: one result would replace the other");
  }
}

void requireWritableFolder(const std::string& folder) {
  std::error_code error;
  if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error))
    throw DataError(measured::shownName(folder) + " is not a folder");
  if (!std::filesystem::is_directory(folder, error))
    throw DataError("the folder " + measured::shownName(folder) + " does not exist");
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    throw DataError("the folder " + measured::shownName(folder) + " cannot be written: " + std::strerror(errno));
}

void requireWritableFolderOf(const std::string& path) {
  requireWritableFolder(folderOf(path));
}

void guardStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    // A closed standard output is opened on /dev/full: whatever is written
    // to it fails, and the failure is seen as for a full disk.
    if (fd == STDOUT_FILENO) {
      standardOutputWasClosed = true;
      if (open("/dev/full", O_WRONLY) == STDOUT_FILENO) continue;
    }
    if (open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) == -1) _exit(2);
  }
}

void writeStandardOutput(const std::string& text) {
  if (standardOutputWasClosed) throw WriteFailure("standard output is closed: the report cannot be written");
  std::cout << text;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0)
    throw WriteFailure(std::string("standard output cannot be written: ") + std::strerror(errno));
}

bool standardOutputIntact() {
  std::cout.flush();
  return std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

}  // namespace preisach::lab
