// Times whole passes of the program as a user runs it: a process started in
// a folder holding Magnetism/Parameters.txt, with no input.
//
// For each case it prints the work the case must do (the ordered additions
// of the region sums and the density values they need, counted from the
// program's own region counters), the throughput floor of that work on this
// machine (each count times the cost of one such operation measured here
// by a micro-benchmark, divided by the cores), the program's time and its
// ratio to the floor, and the earlier program's time (built from this
// repository's history, target preisach_landed) with the outputs compared
// byte for byte. The fine-grid record is also run by the node-by-node
// reference program. Then the ZFC/FC sweep by temperatures per sweep, and
// the program alone at growing grids.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "hysteresis/loop_pass.h"
#include "model/cores.h"
#include "support/parameter_records.h"
#include "zfcfc/zfcfc_point.h"

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

using preisach::parameters::ParameterSet;
using Extended = long double;
using Clock = std::chrono::steady_clock;

// The best of `runs` timings of task(), in seconds.
template <typename Task>
double bestSeconds(int runs, Task task) {
  double best = 1e300;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    task();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// What the additions of the sweeps cost when enough of them are in flight:
// kChains independent sums, each sum = density * weight + sum with the
// product and sum in extended precision and the sum rounded to float64
// (stored and reloaded), every chain reading its own density and weight
// columns, over data in the first-level cache. Nanoseconds per addition.
constexpr int kChains = 12;

__attribute__((noinline)) void addRows(const double* const* density,
                                       const double* const* weights,
                                       int n,
                                       double* sums) {
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < kChains; ++k)
      sums[k] = static_cast<double>(static_cast<Extended>(density[k][j]) * static_cast<Extended>(weights[k][j]) +
                                    static_cast<Extended>(sums[k]));
}

double additionCost() {
  constexpr int n = 128, reps = 20000;
  std::vector<std::vector<double>> densityColumns(kChains, std::vector<double>(n));
  std::vector<std::vector<double>> weightColumns(kChains, std::vector<double>(n));
  const double* density[kChains];
  const double* weights[kChains];
  for (int k = 0; k < kChains; ++k) {
    const std::size_t c = static_cast<std::size_t>(k);
    for (int j = 0; j < n; ++j) {
      densityColumns[c][static_cast<std::size_t>(j)] = 1.0 / (j + k + 1);
      weightColumns[c][static_cast<std::size_t>(j)] = 0.5 + k;
    }
    density[k] = densityColumns[c].data();
    weights[k] = weightColumns[c].data();
  }
  double sums[kChains] = {};
  const double seconds = bestSeconds(7, [&] {
    for (int r = 0; r < reps; ++r) addRows(density, weights, n, sums);
  });
  if (sums[0] < 0.0) std::printf("%g\n", sums[0]);  // keeps the sums alive
  return seconds * 1e9 / (static_cast<double>(reps) * n * kChains);
}

// What forming one node's density costs: the column factor (extended)
// multiplied by the row factor (a float64 for shapes G and M) or divided by
// it (extended, shapes L and N), rounded to float64 and stored.
template <typename Row>
__attribute__((noinline)) void evaluateRow(Extended column, const Row* rows, int n, bool divides, double* out) {
  if (divides)
    for (int j = 0; j < n; ++j) out[j] = static_cast<double>(column / static_cast<Extended>(rows[j]));
  else
    for (int j = 0; j < n; ++j) out[j] = static_cast<double>(column * static_cast<Extended>(rows[j]));
}

double evaluationCost(bool divides) {
  constexpr int n = 128, reps = 40000;
  std::vector<double> rows(n), out(n);
  std::vector<Extended> extendedRows(n);
  for (int j = 0; j < n; ++j) {
    rows[static_cast<std::size_t>(j)] = 1.0 + 1.0 / (j + 1);
    extendedRows[static_cast<std::size_t>(j)] = 1.0L + 1.0L / (j + 3);
  }
  const double seconds = bestSeconds(7, [&] {
    for (int r = 0; r < reps; ++r) {
      if (divides)
        evaluateRow(0.75L, extendedRows.data(), n, true, out.data());
      else
        evaluateRow(0.75L, rows.data(), n, false, out.data());
    }
  });
  if (out[0] < 0.0) std::printf("%g\n", out[0]);
  return seconds * 1e9 / (static_cast<double>(reps) * n);
}

struct Costs {
  double addition = 0.0;               // ns
  double multiplyingEvaluation = 0.0;  // ns, shapes G and M
  double dividingEvaluation = 0.0;     // ns, shapes L and N
  unsigned cores = 1;
};

// The work a pass must do: every node of every region summed once in
// order (one ordered addition each), and the density at every node of the
// grids' rectangles once per temperature (every region lies inside its
// rectangle). The loop's switching triangle is the same for both branches
// and counts once; a branch's starting field has an empty reversed region.
struct Work {
  double additions = 0.0;
  double evaluations = 0.0;
};

Work passWork(const ParameterSet& p) {
  namespace pz = preisach::zfcfc;
  Work work;
  if (p.Calculate_ZFCFC == 'y') {
    const std::vector<float> schedule = preisach::driver::temperatureSchedule(p.T_max);
    const std::size_t most = preisach::zfcfc::kTemperaturesPerSweep;
    for (std::size_t k = 0; k < schedule.size(); k += most) {
      const std::vector<float> group(
          schedule.begin() + static_cast<std::ptrdiff_t>(k),
          schedule.begin() + static_cast<std::ptrdiff_t>(std::min(schedule.size(), k + most)));
      for (const pz::ZfcFcPointValues& v :
           pz::evaluateZfcFcPoints(preisach::parameters::modelParameters(p), p.m, group)) {
        work.evaluations += v.norm.count;
        work.additions += v.norm.count;
        // Every band counter starts at 1.
        for (const pz::RegionSum* r :
             {&v.sp1, &v.sp2, &v.up1, &v.down1, &v.up2, &v.down2, &v.upZFC, &v.downZFC, &v.upFC, &v.downFC})
          work.additions += r->count - 1;
      }
    }
  }
  if (p.Calculate_Hysteresis == 'y') {
    namespace ph = preisach::hysteresis;
    const std::vector<float> down = preisach::driver::fieldSchedule(p.Ha_max, ph::Branch::Descending);
    const std::vector<float> up = preisach::driver::fieldSchedule(p.Ha_max, ph::Branch::Ascending);
    const ph::LoopValues loop = ph::evaluateLoop(preisach::parameters::modelParameters(p), p.m, down, up, nullptr, 0);
    const std::int32_t k10 = loop.normalisation.rectangle.count;
    work.evaluations += k10;
    work.additions += k10;
    const std::int32_t start = loop.normalisation.k1;  // both loop counters start there too
    if (!loop.descending.empty()) work.additions += loop.descending.front().k1 - start;
    for (std::size_t k = 0; k < down.size(); ++k)
      if (down[k] != p.Ha_max) work.additions += loop.descending[k].k2 - start;
    for (std::size_t k = 0; k < up.size(); ++k)
      if (up[k] != -p.Ha_max) work.additions += loop.ascending[k].k2 - start;
  }
  return work;
}

bool haveLanded() {
  return fs::exists(PREISACH_LANDED_EXECUTABLE);
}

// One case: its work and floor, the program's time against the floor, the
// earlier program's (and the reference's) against the program's.
bool timeCase(const char* title, const std::string& record, const Costs& costs, int runs, bool withReference) {
  const ParameterSet p = preisach::support::parametersFrom(record);
  const bool divides = preisach::model::findDensityShape(static_cast<char>(p.PDF))->divides;
  const double evaluation = divides ? costs.dividingEvaluation : costs.multiplyingEvaluation;
  const Work work = passWork(p);
  const double floor = (work.additions * costs.addition + work.evaluations * evaluation) * 1e-9 / costs.cores;
  std::printf("%s: %s\n", title, record.c_str());
  std::printf("  work      %.4e ordered additions, %.4e node evaluations\n", work.additions, work.evaluations);
  std::printf("  floor     (%.4e x %.3f ns + %.4e x %.3f ns) / %u cores = %.3f s\n", work.additions, costs.addition,
              work.evaluations, evaluation, costs.cores, floor);
  const fs::path dir = freshWorkspace(record);
  const Timing program = bestOf(runs, PREISACH_EXECUTABLE, dir);
  std::printf("  program   %8.3f s  %6ld kB peak (best of %d)   %.2f x the floor\n", program.seconds,
              program.peakKilobytes, runs, program.seconds / floor);
  bool same = true;
  if (haveLanded()) {
    const fs::path earlierDir = freshWorkspace(record);
    const Timing earlier = bestOf(runs, PREISACH_LANDED_EXECUTABLE, earlierDir);
    const bool identical = sameOutputs(dir, earlierDir);
    same = same && identical;
    std::printf("  earlier   %8.3f s  %6ld kB peak (best of %d)   program %.2f x faster, outputs %s\n", earlier.seconds,
                earlier.peakKilobytes, runs, earlier.seconds / program.seconds, identical ? "identical" : "DIFFER");
    fs::remove_all(earlierDir);
  } else {
    std::printf("  earlier   not built (cmake --build build-tests --target preisach_landed)\n");
  }
  if (withReference) {
    const fs::path referenceDir = freshWorkspace(record);
    const Timing reference = runOnce(PREISACH_REFERENCE_EXECUTABLE, referenceDir);
    const bool identical = sameOutputs(dir, referenceDir);
    same = same && identical;
    std::printf("  reference %8.3f s  %6ld kB peak   program %.1f x faster, outputs %s\n", reference.seconds,
                reference.peakKilobytes, reference.seconds / program.seconds, identical ? "identical" : "DIFFER");
    fs::remove_all(referenceDir);
  }
  fs::remove_all(dir);
  return same;
}

// The ZFC/FC sweep of a record in this process, with `group` temperatures
// per sweep of the grid; the files go to a fresh workspace.
double sweepSeconds(const std::string& record, std::size_t group, int runs) {
  const ParameterSet p = preisach::support::parametersFrom(record);
  const fs::path dir = freshWorkspace(record);
  const fs::path here = fs::current_path();
  fs::current_path(dir);
  preisach::driver::Evaluations evaluations = preisach::driver::fastEvaluations();
  evaluations.temperaturesPerSweep = group;
  const double seconds = bestSeconds(runs, [&] {
    std::ostringstream out, err;
    preisach::driver::runTemperatureSweep(p, preisach::model::Console{out, err}, evaluations);
  });
  fs::current_path(here);
  fs::remove_all(dir);
  return seconds;
}

}  // namespace

int main() {
  const fs::path recordPath = fs::path(PREISACH_SOURCE_DIR) / "bench" / "fine-grid" / "Magnetism" / "Parameters.txt";
  std::string record = readAll(recordPath);
  while (!record.empty() && (record.back() == '\n' || record.back() == '\r')) record.pop_back();

  // The machine's costs: the lowest of three measurements is its throughput.
  Costs costs;
  costs.cores = preisach::model::coresFor(0);
  costs.addition = costs.multiplyingEvaluation = costs.dividingEvaluation = 1e300;
  for (int round = 0; round < 3; ++round) {
    costs.addition = std::min(costs.addition, additionCost());
    costs.multiplyingEvaluation = std::min(costs.multiplyingEvaluation, evaluationCost(false));
    costs.dividingEvaluation = std::min(costs.dividingEvaluation, evaluationCost(true));
  }
  std::printf(
      "this machine: %u cores; one ordered addition %.3f ns (%d chains in flight); one node evaluation "
      "%.3f ns (shapes G, M), %.3f ns (shapes L, N)\n",
      costs.cores, costs.addition, kChains, costs.multiplyingEvaluation, costs.dividingEvaluation);

  // Widths of 3 Oe refine both axes of every grid to 3000 nodes.
  const std::string wide = withValues(record, {{6, "3"}, {8, "3"}, {13, "1000"}, {24, "n"}});
  bool same = timeCase("3000 x 3000 grids, 68 temperatures and the loop", wide, costs, 3, false);
  same = timeCase("fine-grid record, density map on", record, costs, 5, true) && same;

  std::printf(
      "ZFC/FC sweep of the 3000 x 3000 case in this process by most temperatures per sweep (best of 3 "
      "rounds):\n");
  const std::vector<std::size_t> groups{1, 2, 4, 6, 8, 10, 12, 17};
  std::vector<double> best(groups.size(), 1e300);
  for (int round = 0; round < 3; ++round)
    for (std::size_t g = 0; g < groups.size(); ++g) best[g] = std::min(best[g], sweepSeconds(wide, groups[g], 1));
  for (std::size_t g = 0; g < groups.size(); ++g)
    std::printf("  %zu per sweep %8.3f s%s\n", groups[g], best[g],
                groups[g] == preisach::zfcfc::kTemperaturesPerSweep ? "   (the program's choice)" : "");

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
  return same ? 0 : 1;
}
