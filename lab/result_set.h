#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/output_files.h"
#include "measured/data_error.h"

namespace preisach::lab {

// A result that could not be written although the input was good (a full
// disk, a failed move): the work was done and did not succeed, exit 1.
class WriteFailure : public measured::DataError {
 public:
  using measured::DataError::DataError;
};

// The model's numbers came out nan or inf: the input was readable, the
// computation failed (exit status 1, not 2), and nothing is written.
class ComputationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Result files that appear together or not at all. Each add() writes its
// text at once to a fresh temporary file beside its final name (created
// exclusively, never a planted link, removed on an interruption, see
// driver::ResultFile); commit() moves them all into place, holding a lock on
// each folder so that two runs into one folder cannot interleave their
// files. A set destroyed without commit() removes its temporary files and
// leaves the previous results as they were. Every failure throws
// measured::DataError with one line naming the file and the system's reason.
class ResultSet {
 public:
  ResultSet() = default;
  ~ResultSet();
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  // Writes `content` (text or the bytes of a picture) for `path`, flushed to
  // disk; returns the temporary file that holds it until commit(), from
  // which a caller may read it back.
  const std::string& add(const std::string& path, const std::string& content);
  // At commit(), `path` is removed (a link itself, never its target): an
  // older result that would no longer match the others.
  void discard(const std::string& path);
  void commit();

 private:
  std::vector<std::unique_ptr<driver::ResultFile>> files_;
  std::vector<std::string> discarded_;
};

// Writes one file through a ResultSet: the whole new file or the old one.
void writeResultFile(const std::string& path, const std::string& content);

// Throws measured::DataError unless `folder` exists and a file can be
// created in it: checked before the work, not after it.
void requireWritableFolder(const std::string& folder);

// The folder of `path` ("." when it names none), checked as above.
void requireWritableFolderOf(const std::string& path);

// One file of a run, named as its option names it ("--out run.txt").
struct NamedFile {
  std::string option;  // "--out", "--zfcfc", ...
  std::string path;
};

// Checked before any work: every output names a file, and where it exists
// already it is a regular file (or a link to one), never a folder, device,
// pipe or socket; no output is, by device and inode or by its resolved
// path, any input of the run or another output of it. Throws
// measured::DataError naming both.
void requireSeparateFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

// To be called first in main(): a standard descriptor closed by whoever
// started the program is opened again (standard output on /dev/full, so
// that a write to it fails; the others on /dev/null), so that no file
// opened later takes its number.
void guardStandardDescriptors();

// Writes `text` to standard output and flushes it; throws
// measured::DataError when standard output was closed at the start or a
// write fails (a full disk, a closed pipe).
void writeStandardOutput(const std::string& text);

// Flushes standard output; false when anything written to it was lost.
bool standardOutputIntact();

}  // namespace preisach::lab
