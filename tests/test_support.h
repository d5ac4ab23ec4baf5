#pragma once

// Helpers shared by the tests: temporary folders, whole-file reads and runs
// of the real program with a parameter file and scripted standard input.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace preisach::test {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

inline std::size_t countLines(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// Hexfloat form of a floating-point value: exact, so that comparing two of
// them compares the values bit for bit (but for a NaN's payload), and a
// failure message shows the bits that differ.
template <typename T>
std::string hex(T value) {
  static_assert(std::is_floating_point_v<T>, "hexfloat applies to floating-point values only");
  std::ostringstream s;
  s << std::hexfloat << value;
  return s.str();
}

// A fresh folder below the system's temporary directory, removed at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "preisach-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The rows of numbers of a result file, "#" lines and blank lines skipped.
inline std::vector<std::vector<double>> numberRows(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::vector<double> values;
    for (double x; row >> x;) values.push_back(x);
    rows.push_back(values);
  }
  return rows;
}

struct RunResult {
  int status = -1;  // exit status of the shell that ran the program
  std::string out;
  std::string err;
};

// A working directory with Magnetism/ in it, in which the real program runs.
class Workspace {
 public:
  Workspace() { std::filesystem::create_directory(dataDir()); }
  std::filesystem::path dataDir() const { return dir_.path() / "Magnetism"; }
  std::filesystem::path root() const { return dir_.path(); }
  void writeParameters(const std::string& content) const { writeFile(dataDir() / "Parameters.txt", content); }

  // Runs the program with `input` on standard input; a run that takes longer
  // than `seconds` is killed, which shows as exit status 137.
  RunResult run(const std::string& input,
                int seconds = 60,
                const std::string& arguments = "",
                const std::string& executable = PREISACH_EXECUTABLE) const {
    writeFile(root() / "stdin.txt", input);
    return runCommand("cd '" + root().string() + "' && timeout -s KILL " + std::to_string(seconds) + " '" + executable +
                      "' " + arguments + " < stdin.txt > stdout.txt 2> stderr.txt");
  }

  // Runs a shell command of the caller's in the workspace; its program's
  // output is expected in stdout.txt and stderr.txt.
  RunResult runCommand(const std::string& command) const {
    const int raw = std::system(command.c_str());
    RunResult result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    result.out = readFile(root() / "stdout.txt");
    result.err = readFile(root() / "stderr.txt");
    return result;
  }

 private:
  TempDir dir_;
};

}  // namespace preisach::test
