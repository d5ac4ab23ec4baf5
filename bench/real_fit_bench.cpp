// Fits of real magnetometer exports (tests/data/real-magnetometer) as a
// user runs them: preisach-lab fit on the continuum, its iterations, its
// time and whether it ended at a minimum, per file. The samples are
// molecular and nanoscale magnets, not made from this model: what matters
// here is that each fit finishes, in seconds, and says how it ended.
//
//   real_fit_bench

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Case {
  const char* title;
  const char* data;  // the data options, files relative to the folder of real files
  const char* free;
};

// T_max 310 K and Ha_max 70.1 kOe cover every file; the widths start at 30 Oe.
constexpr char kStart[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 50 0.01 y 100 310 y 300 70100 50 300 0.1 n";

std::string lineOf(const std::string& report, const std::string& key) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);)
    if (line.find(key) != std::string::npos) return line.substr(line.find('=') + 2);
  return "?";
}

}  // namespace

int main() {
  const std::filesystem::path real = std::filesystem::path(PREISACH_SOURCE_DIR) / "tests/data/real-magnetometer";
  const std::filesystem::path work = std::filesystem::temp_directory_path() / "preisach-real-fit-bench";
  std::filesystem::create_directories(work / "Magnetism");
  std::ofstream(work / "Magnetism" / "Parameters.txt") << kStart << "\n";
  const Case cases[] = {
      {"ZFC then FC at 100 Oe, 513 points with errors (zfcfc3)", "--zfcfc zfcfc3.dat", "hc0_mean,sigmac0,sigmai0,N"},
      {"ZFC and FC files at 100 Oe, 386 points (zfc7, fc7)", "--zfc zfc7.dat --fc fc7.dat",
       "hc0_mean,sigmac0,sigmai0,N"},
      {"ZFC/FC at 100 and 1000 Oe, 7527 points (zfcfc4)", "--zfcfc zfcfc4.dat", "hc0_mean,sigmac0,sigmai0,N"},
      {"loop at 293 K, 229 points (mvsh4)", "--loop mvsh4.dat", "hc0_mean,sigmac0,N"},
      {"loops at 5 and 300 K, 719 points (mvsh2)", "--loop mvsh2.dat", "hc0_mean,sigmac0,Gamma_c,N"},
      {"zfcfc3 with a Curie term (--background curie)", "--zfcfc zfcfc3.dat --background curie",
       "hc0_mean,sigmac0,sigmai0,N"},
      {"loop at 5 K with chi·H + M0 (mvsh2@5, linear+offset)", "--loop mvsh2.dat@5 --background linear+offset",
       "hc0_mean,sigmac0,N"},
  };
  std::printf("%-58s %10s %9s %s\n", "fit", "iterations", "time (s)", "at a minimum");
  for (const Case& c : cases) {
    std::string data;
    std::istringstream words(c.data);
    for (std::string word; words >> word;)
      data += " " + (word.rfind("--", 0) == 0 || word.find(".dat") == std::string::npos
                         ? word
                         : "'" + (real / word).string() + "'");
    const std::string command = "cd '" + work.string() + "' && '" + PREISACH_LAB_EXECUTABLE + "' fit" + data +
                                " --free " + c.free + " --quiet --out fit.txt > report.txt 2> stderr.txt";
    const auto began = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::ifstream in(work / "report.txt");
    const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%-58s %10s %9.2f %s (exit %d)\n", c.title, lineOf(report, "# iterations").c_str(), seconds,
                lineOf(report, "at a minimum").substr(0, 3).c_str(), WEXITSTATUS(status));
  }
  std::filesystem::remove_all(work);
  return 0;
}
