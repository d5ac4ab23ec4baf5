// End-to-end: an example study run and plotted with the project's gnuplot
// script, and the script's answers to missing, empty and malformed files.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace preisach::test {
namespace {

const std::string kScript = std::string(PREISACH_SOURCE_DIR) + "/plot/preisach.gp";

std::uint32_t bigEndian(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
  return v;
}

struct Png {
  bool signature = false;
  std::uint32_t width = 0, height = 0;
  double changingBytes = 0.0;  // share of the inflated, filtered image bytes that are not 0
};

// Reads the chunks of a PNG; a blank picture filters to almost nothing but
// zeros, a plot with curves and text does not.
Png inspect(const std::string& file) {
  Png png;
  png.signature = file.size() > 33 && file.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
  if (!png.signature) return png;
  std::string idat;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::uint32_t length = bigEndian(file, at);
    const std::string type = file.substr(at + 4, 4);
    if (type == "IHDR") {
      png.width = bigEndian(file, at + 8);
      png.height = bigEndian(file, at + 12);
    }
    if (type == "IDAT") idat += file.substr(at + 8, length);
    at += 12 + length;
  }
  std::vector<unsigned char> pixels(static_cast<std::size_t>(png.width) * png.height * 8 + png.height);
  uLongf size = static_cast<uLongf>(pixels.size());
  if (uncompress(pixels.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK) return png;
  std::size_t changing = 0;
  for (uLongf k = 0; k < size; ++k) changing += pixels[k] != 0;
  png.changingBytes = static_cast<double>(changing) / static_cast<double>(size);
  return png;
}

// The pictures need gnuplot; a machine without it skips these tests (CI
// installs it and counts a skip as a failure).
bool haveGnuplot() {
  return std::system("command -v gnuplot > /dev/null 2>&1") == 0;
}

RunResult plot(const Workspace& w) {
  return w.runCommand("cd '" + w.root().string() + "' && timeout 60 gnuplot '" + kScript +
                      "' > stdout.txt 2> stderr.txt");
}

TEST(Plots, DrawsEveryPictureOfAnExampleStudy) {
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  ASSERT_EQ(std::system("command -v gnuplot > /dev/null"), 0) << "gnuplot is needed (Debian: gnuplot-nox)";
  Workspace w;
  std::filesystem::copy_file(std::string(PREISACH_SOURCE_DIR) + "/examples/narrow-weak/Magnetism/Parameters.txt",
                             w.dataDir() / "Parameters.txt");
  ASSERT_EQ(w.run("").status, 0);
  const RunResult r = plot(w);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "wrote Magnetism/ZFCFC.png\nwrote Magnetism/separate.png\nwrote Magnetism/hysteresis.png\n"
            "wrote Magnetism/density.png\n");
  for (const char* name : {"ZFCFC.png", "separate.png", "hysteresis.png", "density.png"}) {
    const Png png = inspect(readFile(w.dataDir() / name));
    EXPECT_TRUE(png.signature) << name;
    EXPECT_EQ(png.width, 1000u) << name;
    EXPECT_EQ(png.height, 700u) << name;
    EXPECT_GT(png.changingBytes, 0.02) << name << " looks blank";
  }
}

TEST(Plots, NamesMissingEmptyAndMalformedFiles) {
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  ASSERT_EQ(std::system("command -v gnuplot > /dev/null"), 0) << "gnuplot is needed (Debian: gnuplot-nox)";
  Workspace w;
  writeFile(w.dataDir() / "ZFCFCbc.txt", "5.000000 1e-16 2e-16\nten 1e-16 2e-16\n");
  writeFile(w.dataDir() / "separatebc.txt", "");
  writeFile(w.dataDir() / "momentbc.txt", "1000.0 1 2\n");
  const RunResult r = plot(w);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Magnetism/ZFCFCbc.txt: malformed, 1 of its 2 rows do not hold 3 numbers; no picture drawn\n"
            "Magnetism/separatebc.txt: the file is empty; no picture drawn\n"
            "Magnetism/momentbc.txt: malformed, 1 of its 1 rows do not hold 4 numbers; no picture drawn\n"
            "Magnetism/PDFbc.txt: not found, skipped\n");
  for (const char* name : {"ZFCFC.png", "separate.png", "hysteresis.png", "density.png"})
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / name)) << name;
}

}  // namespace
}  // namespace preisach::test
