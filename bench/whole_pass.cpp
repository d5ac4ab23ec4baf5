// Times whole passes of the program as a user runs it: a process started in
// a folder holding Magnetism/Parameters.txt, with no input. The fine-grid
// record is run by the program and by the node-by-node reference program in
// the same run, their outputs compared byte for byte; then the program alone
// at growing grids, with the density map off.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Timing {
  double seconds = 0.0;
  long peakKilobytes = 0;
};

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path freshWorkspace(const std::string& record) {
  std::string pattern = (fs::temp_directory_path() / "preisach-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::exit(2);
  const fs::path dir = pattern;
  fs::create_directory(dir / "Magnetism");
  std::ofstream(dir / "Magnetism" / "Parameters.txt") << record << "\n";
  return dir;
}

// One run of `program` in `dir`: standard input from /dev/null, standard
// output to dir/stdout.txt; wall time and the child's peak resident memory.
Timing runOnce(const char* program, const fs::path& dir) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed in %s\n", program, dir.c_str());
    std::exit(1);
  }
  return Timing{std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

Timing bestOf(int runs, const char* program, const fs::path& dir) {
  Timing best = runOnce(program, dir);
  for (int r = 1; r < runs; ++r) {
    const Timing t = runOnce(program, dir);
    if (t.seconds < best.seconds) best = t;
  }
  return best;
}

// The record with some of its values replaced: {position from 1, value}.
std::string withValues(const std::string& record, std::initializer_list<std::pair<int, const char*>> changes) {
  std::istringstream in(record);
  std::vector<std::string> values(std::istream_iterator<std::string>(in), {});
  for (const auto& [position, value] : changes) values.at(static_cast<std::size_t>(position - 1)) = value;
  std::string out;
  for (const std::string& v : values) out += (out.empty() ? "" : " ") + v;
  return out;
}

bool sameOutputs(const fs::path& a, const fs::path& b) {
  bool same = readAll(a / "stdout.txt") == readAll(b / "stdout.txt");
  for (const char* name : {"ZFCFCbc.txt", "separatebc.txt", "PDFbc.txt", "momentbc.txt"}) {
    const bool equal = readAll(a / "Magnetism" / name) == readAll(b / "Magnetism" / name);
    if (!equal) std::printf("  %s differs\n", name);
    same = same && equal;
  }
  return same;
}

}  // namespace

int main() {
  const fs::path recordPath = fs::path(PREISACH_SOURCE_DIR) / "bench" / "fine-grid" / "Magnetism" / "Parameters.txt";
  std::string record = readAll(recordPath);
  while (!record.empty() && (record.back() == '\n' || record.back() == '\r')) record.pop_back();

  std::printf("fine-grid pass: %s\n", record.c_str());
  const fs::path fastDir = freshWorkspace(record), slowDir = freshWorkspace(record);
  const Timing fast = bestOf(3, PREISACH_EXECUTABLE, fastDir);
  const Timing slow = runOnce(PREISACH_REFERENCE_EXECUTABLE, slowDir);
  const bool same = sameOutputs(fastDir, slowDir);
  std::printf("  program   %8.3f s  %6ld kB peak (best of 3)\n", fast.seconds, fast.peakKilobytes);
  std::printf("  reference %8.3f s  %6ld kB peak\n", slow.seconds, slow.peakKilobytes);
  std::printf("  ratio     %8.1f x   outputs %s\n", slow.seconds / fast.seconds, same ? "identical" : "DIFFER");
  fs::remove_all(fastDir);
  fs::remove_all(slowDir);

  std::printf("program alone, density map off (best of 3), by grid:\n");
  for (const char* m : {"100", "200", "400", "800", "1000"}) {
    const fs::path dir = freshWorkspace(withValues(record, {{13, m}, {24, "n"}}));
    const Timing t = bestOf(3, PREISACH_EXECUTABLE, dir);
    const std::string out = readAll(dir / "stdout.txt");
    const std::size_t grid = out.find("dhc=");
    const std::string line = out.substr(grid, out.find('\n', grid) - grid);
    std::printf("  m=%-5s %8.3f s  %6ld kB peak   first grid: %s\n", m, t.seconds, t.peakKilobytes, line.c_str());
    fs::remove_all(dir);
  }

  std::printf("ZFC/FC sweep alone on an 800 x 800 grid (m=800, best of 3), by number of temperatures:\n");
  for (const auto& [T_max, count] : {std::pair{"95", 19}, std::pair{"300", 39}, std::pair{"590", 68}}) {
    const fs::path dir = freshWorkspace(withValues(record, {{13, "800"}, {17, T_max}, {18, "n"}, {24, "n"}}));
    const Timing t = bestOf(3, PREISACH_EXECUTABLE, dir);
    std::printf("  T_max=%-4s %2d temperatures %8.3f s\n", T_max, count, t.seconds);
    fs::remove_all(dir);
  }
  return same ? 0 : 1;
}
