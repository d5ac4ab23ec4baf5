// The program takes no arguments: one given is a newcomer's question,
// answered with a short usage on standard output, and no file is touched.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace preisach::test {
namespace {

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n";

TEST(ProgramArguments, AnswersAnArgumentWithAUsageAndTouchesNoFile) {
  Workspace w;
  w.writeParameters(kRecord);
  writeFile(w.dataDir() / "ZFCFCbc.txt", "previous rows\n");
  const auto before = std::filesystem::last_write_time(w.dataDir() / "ZFCFCbc.txt");
  struct Case {
    std::string argument;
    int status;
  };
  for (const Case& c : {Case{"--help", 0}, Case{"-h", 0}, Case{"--version", 0}, Case{"Parameters.txt", 2}}) {
    const RunResult r = w.run("n\n", 60, c.argument);
    EXPECT_EQ(r.status, c.status) << c.argument;
    EXPECT_EQ(r.out.rfind("usage: preisach", 0), 0u) << c.argument << ": " << r.out;
    EXPECT_NE(r.out.find("Magnetism"), std::string::npos) << r.out;
    EXPECT_LE(countLines(r.out), 8u) << "a short usage";
    EXPECT_EQ(countLines(r.err), c.status == 0 ? 0u : 1u) << c.argument << ": " << r.err;
  }
  EXPECT_EQ(readFile(w.dataDir() / "Parameters.txt"), kRecord);
  EXPECT_EQ(readFile(w.dataDir() / "ZFCFCbc.txt"), "previous rows\n");
  EXPECT_EQ(std::filesystem::last_write_time(w.dataDir() / "ZFCFCbc.txt"), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(w.dataDir())) ++files;
  EXPECT_EQ(files, 2u) << "no result file written";
}

}  // namespace
}  // namespace preisach::test
