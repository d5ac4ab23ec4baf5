#include "driver/output_files.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>

#include "parameters/data_directory.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace preisach::driver {

namespace {

constexpr char kTemporarySuffix[] = ".partial";

// The temporary files being written, where a signal handler can reach them:
// fixed storage, a path is published before its slot is marked used.
constexpr int kTemporarySlots = 8;
constexpr std::size_t kLongestPath = 4096;
char temporaryPaths[kTemporarySlots][kLongestPath];
volatile std::sig_atomic_t temporaryUsed[kTemporarySlots];

int registerTemporary(const std::string& path) {
  if (path.size() >= kLongestPath) return -1;
  for (int slot = 0; slot < kTemporarySlots; ++slot) {
    if (temporaryUsed[slot]) continue;
    std::memcpy(temporaryPaths[slot], path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    temporaryUsed[slot] = 1;
    return slot;
  }
  return -1;
}

void releaseTemporary(int slot) {
  if (slot >= 0) temporaryUsed[slot] = 0;
}

extern "C" void removeTemporariesAndReraise(int signal) {
  for (int slot = 0; slot < kTemporarySlots; ++slot)
    if (temporaryUsed[slot]) {
#ifdef _WIN32
      std::remove(temporaryPaths[slot]);
#else
      unlink(temporaryPaths[slot]);  // async-signal-safe, unlike std::remove
#endif
    }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

int currentProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

bool processIsRunning(int pid) {
  if (pid == currentProcessId()) return true;
#ifdef _WIN32
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return false;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) != 0 && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
#else
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether `middle` is what createTemporary puts between a file name and
// ".partial": a process id and eight lower-case hexadecimal digits. Only such
// names can have been made by this program; anything else beside a result
// file is the user's.
bool isTemporaryToken(const std::string& middle, int& pid) {
  const std::size_t dot = middle.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 9 || middle.size() != dot + 9) return false;
  for (std::size_t k = 0; k < dot; ++k)
    if (middle[k] < '0' || middle[k] > '9') return false;
  if (middle[0] == '0') return false;  // a process id is written without leading zeros
  for (std::size_t k = dot + 1; k < middle.size(); ++k)
    if (!((middle[k] >= '0' && middle[k] <= '9') || (middle[k] >= 'a' && middle[k] <= 'f'))) return false;
  pid = std::atoi(middle.substr(0, dot).c_str());
  return pid > 0;
}

// Removes the temporary files of `fileName` in `folder` that no running
// process writes: what a program killed outright left behind. Only names of
// the exact form "<fileName>.<pid>.<8 hex digits>.partial" are touched, and
// only when that process is gone.
void removeStaleTemporaries(const std::filesystem::path& folder, const std::string& fileName) {
  if (fileName.empty()) return;
  const std::string prefix = fileName + ".";
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0 || !endsWith(name, kTemporarySuffix)) continue;
    if (name.size() < prefix.size() + (sizeof kTemporarySuffix - 1)) continue;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - (sizeof kTemporarySuffix - 1));
    int pid = 0;
    if (!isTemporaryToken(middle, pid) || processIsRunning(pid)) continue;
    // Only a regular file, as this program creates them: never a pipe, a
    // link or a folder that merely carries such a name.
    std::error_code kind;
    if (!std::filesystem::is_regular_file(entry->symlink_status(kind))) continue;
    std::error_code ignored;
    std::filesystem::remove(entry->path(), ignored);  // a link is removed, never followed
  }
}

// Creates `path`, which must not exist in any form (no file, no link), for
// writing in text mode; nullptr with errno set when it cannot.
std::FILE* createExclusively(const std::string& path) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "w");
  if (file == nullptr) _close(fd);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    errno = reason;
  }
#endif
  return file;
}

// A fresh temporary file beside finalPath; nullptr with errno set when none
// can be created. A name that exists already (planted, or taken by chance)
// is never opened: another random token is drawn.
std::FILE* createTemporary(const std::string& finalPath, std::string& temporaryPath) {
  static std::mt19937_64 tokens{std::random_device{}() ^ static_cast<std::uint64_t>(currentProcessId())};
  constexpr int kTries = 64;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    char token[32];
    std::snprintf(token, sizeof token, ".%d.%08llx", currentProcessId(),
                  static_cast<unsigned long long>(tokens() & 0xffffffffu));
    temporaryPath = finalPath + token + kTemporarySuffix;
    std::FILE* file = createExclusively(temporaryPath);
    if (file != nullptr || errno != EEXIST) return file;
  }
  return nullptr;
}

// Moves `from` over `to`, replacing it in one step.
bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

void removeTemporaryFilesOnInterrupt() {
#ifdef _WIN32
  for (int signal : {SIGINT, SIGTERM}) std::signal(signal, removeTemporariesAndReraise);
#else
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
#endif
}

std::unique_ptr<ResultFile> ResultFile::create(const char* fileName,
                                               const char* consequence,
                                               const model::Console& console) {
  return createAt(parameters::dataFilePath(fileName), consequence, console);
}

std::unique_ptr<ResultFile> ResultFile::createAt(const std::string& finalPath,
                                                 const char* consequence,
                                                 const model::Console& console) {
  const std::filesystem::path place(finalPath);
  const std::filesystem::path folder = place.has_parent_path() ? place.parent_path() : std::filesystem::path(".");
  removeStaleTemporaries(folder, place.filename().string());
  std::string temporaryPath;
  int reason = 0;
  std::FILE* handle = nullptr;
  // A folder in the file's place could never be replaced by the rows.
  std::error_code ignored;
  // Nor may a device, a pipe or a socket be replaced by a regular file: an
  // output named /dev/null must leave /dev/null as it is.
  const std::filesystem::file_status existing = std::filesystem::status(finalPath, ignored);
  if (std::filesystem::is_directory(existing)) {
    reason = EISDIR;
  } else if (std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing)) {
    console.err << "cannot create " << finalPath << ": it is not a regular file (a device, a pipe or a socket); "
                << consequence << std::endl;
    return nullptr;
  } else {
    handle = createTemporary(finalPath, temporaryPath);
    reason = errno;  // the reason of the failing call, before anything else can change it
  }
  if (handle == nullptr) {
    console.err << "cannot create " << finalPath << ": " << std::strerror(reason) << "; " << consequence << std::endl;
    return nullptr;
  }
  const int slot = registerTemporary(temporaryPath);
  return std::unique_ptr<ResultFile>(new ResultFile(handle, finalPath, temporaryPath, slot));
}

ResultFile::ResultFile(std::FILE* handle, std::string finalPath, std::string temporaryPath, int slot)
    : handle_(handle), finalPath_(std::move(finalPath)), temporaryPath_(std::move(temporaryPath)), slot_(slot) {}

ResultFile::~ResultFile() {
  if (handle_ != nullptr) std::fclose(handle_);
  if (!committed_) std::remove(temporaryPath_.c_str());
  releaseTemporary(slot_);
}

bool ResultFile::commit(const model::Console& console, int writeError) {
  // A failed row leaves the stream's error flag set; errno still holds the
  // reason of the last failing write of this thread unless something failed
  // since.
  int reason = writeError != 0 ? writeError : errno;
  bool written = std::ferror(handle_) == 0;
  errno = 0;
  if (std::fclose(handle_) != 0 && written) {
    written = false;
    reason = errno;
  }
  handle_ = nullptr;
  if (!written) {
    console.err << "cannot write " << finalPath_ << ": " << std::strerror(reason != 0 ? reason : EIO)
                << "; the previous file is kept" << std::endl;
    return false;
  }
  if (!replaceFile(temporaryPath_, finalPath_)) {
    reason = errno;
    console.err << "cannot replace " << finalPath_ << ": " << std::strerror(reason) << "; the new rows are in "
                << temporaryPath_ << std::endl;
    committed_ = true;  // keep the rows where they are
    releaseTemporary(slot_);
    slot_ = -1;
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace preisach::driver
