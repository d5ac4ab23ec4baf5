// End-to-end: an example study run and plotted with the project's gnuplot
// script, and the script's answers to missing, empty and malformed files.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
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

// A PNG's header values and its compressed image data, from its chunks.
struct Chunks {
  std::uint32_t width = 0, height = 0;
  int depth = 0, colourType = 0;
  std::string idat;
};

Chunks chunksOf(const std::string& file) {
  Chunks c;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::uint32_t length = bigEndian(file, at);
    const std::string type = file.substr(at + 4, 4);
    if (type == "IHDR") {
      c.width = bigEndian(file, at + 8);
      c.height = bigEndian(file, at + 12);
      c.depth = static_cast<unsigned char>(file[at + 16]);
      c.colourType = static_cast<unsigned char>(file[at + 17]);
    }
    if (type == "IDAT") c.idat += file.substr(at + 8, length);
    at += 12 + length;
  }
  return c;
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
  const Chunks chunks = chunksOf(file);
  const std::string& idat = chunks.idat;
  png.width = chunks.width;
  png.height = chunks.height;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(png.width) * png.height * 8 + png.height);
  uLongf size = static_cast<uLongf>(pixels.size());
  if (uncompress(pixels.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK) return png;
  std::size_t changing = 0;
  for (uLongf k = 0; k < size; ++k) changing += pixels[k] != 0;
  png.changingBytes = static_cast<double>(changing) / static_cast<double>(size);
  return png;
}

// The pixels of an 8-bit RGB or RGBA PNG (the pngcairo terminal's), rows
// unfiltered, or none for another kind.
struct Pixels {
  std::uint32_t width = 0, height = 0;
  std::size_t channels = 0;
  std::vector<unsigned char> bytes;
  const unsigned char* at(std::size_t x, std::size_t y) const { return &bytes[(y * width + x) * channels]; }
};

unsigned char paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<unsigned char>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

Pixels decode(const std::string& file) {
  Pixels image;
  const Chunks chunks = chunksOf(file);
  const std::string& idat = chunks.idat;
  const int depth = chunks.depth, colourType = chunks.colourType;
  image.width = chunks.width;
  image.height = chunks.height;
  if (depth != 8 || (colourType != 2 && colourType != 6)) return {};
  image.channels = colourType == 2 ? 3 : 4;
  const std::size_t stride = image.width * image.channels;
  std::vector<unsigned char> raw((stride + 1) * image.height);
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK) return {};
  image.bytes.assign(stride * image.height, 0);
  for (std::size_t y = 0; y < image.height; ++y) {
    const unsigned char filter = raw[y * (stride + 1)];
    for (std::size_t i = 0; i < stride; ++i) {
      const int x = raw[y * (stride + 1) + 1 + i];
      const int a = i >= image.channels ? image.bytes[y * stride + i - image.channels] : 0;
      const int b = y > 0 ? image.bytes[(y - 1) * stride + i] : 0;
      const int c = y > 0 && i >= image.channels ? image.bytes[(y - 1) * stride + i - image.channels] : 0;
      const int predicted = filter == 1   ? a
                            : filter == 2 ? b
                            : filter == 3 ? (a + b) / 2
                            : filter == 4 ? paeth(a, b, c)
                                          : 0;
      image.bytes[y * stride + i] = static_cast<unsigned char>((x + predicted) & 0xff);
    }
  }
  return image;
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

// A workspace holding an example study's parameter file, run.
void runExample(const Workspace& w, const std::string& example) {
  std::filesystem::copy_file(std::string(PREISACH_SOURCE_DIR) + "/examples/" + example + "/Magnetism/Parameters.txt",
                             w.dataDir() / "Parameters.txt");
  ASSERT_EQ(w.run("").status, 0) << example;
}

TEST(Plots, DrawsEveryPictureOfAnExampleStudy) {
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  Workspace w;
  runExample(w, "shifted-interactions");
  const RunResult r = plot(w);
  EXPECT_EQ(r.status, 0);
  const std::string values =
      "Lorentzian x exp (M); hc0 300, sigma_c0 60, sigma_i0 40, km -150 Oe; mu0 1e-15 emu; m = 800";
  EXPECT_EQ(r.err, "wrote Magnetism/ZFCFC.png: ZFC/FC magnetisation: ha = 250 Oe, T_max = 300 K; " + values +
                       "\nwrote Magnetism/separate.png: Partial integrals of the ZFC/FC curves: ha = 250 Oe, "
                       "T_max = 300 K; " +
                       values +
                       "\nwrote Magnetism/hysteresis.png: Hysteresis loop: T = 10 K, f = 0.05, s = 20 Oe, "
                       "lambda = 200 Oe; " +
                       values +
                       "\nwrote Magnetism/density.png: Preisach density over the loop's grid (one node in 2 along "
                       "each axis drawn): T = 10 K; " +
                       values + "\n");
  for (const char* name : {"ZFCFC.png", "separate.png", "hysteresis.png", "density.png"}) {
    const Png png = inspect(readFile(w.dataDir() / name));
    EXPECT_TRUE(png.signature) << name;
    EXPECT_EQ(png.width, 1000u) << name;
    EXPECT_EQ(png.height, 700u) << name;
    EXPECT_GT(png.changingBytes, 0.02) << name << " looks blank";
  }
}

TEST(Plots, TitleThePicturesOfARunWhoseParameterFileWasEditedSince) {
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  Workspace w;
  // T_max = Tc = 400 is lowered to 390 K by the program: the title says so.
  w.writeParameters("400 1e-15 0.5 300 1.5 60 1 40 1 0 1 G 40 0.01 y 100 400 y 10 1000 20 200 0.05 n");
  ASSERT_EQ(w.run("").status, 0);
  EXPECT_NE(plot(w).err.find("ZFC/FC magnetisation: ha = 100 Oe, T_max = 390 K;"), std::string::npos);
  // Edited after the run (the result files made older than the edit, so
  // that no file-time resolution can hide it): the pictures must not show
  // the new values as those of the old run.
  w.writeParameters("400 1e-15 0.5 300 1.5 60 1 40 1 0 1 G 40 0.01 y 777 300 y 10 1000 20 200 0.05 n");
  const auto edited = std::filesystem::last_write_time(w.dataDir() / "Parameters.txt");
  for (const char* name : {"ZFCFCbc.txt", "separatebc.txt", "momentbc.txt"})
    std::filesystem::last_write_time(w.dataDir() / name, edited - std::chrono::seconds(10));
  const RunResult r = plot(w);
  EXPECT_EQ(r.err.find("777"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("wrote Magnetism/ZFCFC.png: ZFC/FC magnetisation: parameters changed since this run "
                       "(Parameters.txt is newer than ZFCFCbc.txt)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Hysteresis loop: parameters changed since this run (Parameters.txt is newer than "
                       "momentbc.txt)"),
            std::string::npos)
      << r.err;
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

// The temperature of the ZFC maximum, which must lie inside the sweep.
double zfcMaximum(const std::vector<std::vector<double>>& curves) {
  std::size_t top = 0;
  for (std::size_t k = 1; k < curves.size(); ++k)
    if (curves[k][1] > curves[top][1]) top = k;
  EXPECT_TRUE(top > 0 && top + 1 < curves.size()) << "the ZFC maximum is at an end of the sweep";
  return curves[top][0];
}

// Where M first falls from positive to zero or below, interpolated
// linearly between the two rows around it.
double descendingCrossing(const std::vector<std::vector<double>>& loop) {
  for (std::size_t k = 1; k < loop.size(); ++k)
    if (loop[k - 1][1] > 0 && loop[k][1] <= 0)
      return loop[k - 1][0] - loop[k - 1][1] * (loop[k][0] - loop[k - 1][0]) / (loop[k][1] - loop[k - 1][1]);
  return std::nan("");
}

double statedFigure(const std::string& readme, const std::string& pattern) {
  std::smatch match;
  if (!std::regex_search(readme, match, std::regex(pattern))) {
    ADD_FAILURE() << "the README states no figure matching " << pattern;
    return std::nan("");
  }
  return std::stod(match[1]);
}

RunResult lab(const Workspace& w, const std::string& arguments) {
  return w.runCommand("cd '" + w.root().string() + "' && timeout -s KILL 300 '" + PREISACH_LAB_EXECUTABLE + "' " +
                      arguments + " > stdout.txt 2> stderr.txt < /dev/null");
}

// The figures an example's README states against independent runs: the
// blocking temperature (the ZFC maximum among the sweep's temperatures) of
// the program's grid and of the continuum, and the coercive field both of
// a 1-Oe descending history on the continuum (the model's) and of the
// program's loop read between its coarse field steps.
TEST(Examples, StateTheFiguresTheirRunsProduce) {
  for (const char* example :
       {"narrow-weak", "broad-strong", "shifted-interactions", "superparamagnetic", "convergence"}) {
    SCOPED_TRACE(example);
    const std::string readme = readFile(std::string(PREISACH_SOURCE_DIR) + "/examples/" + example + "/README.md");
    Workspace w;
    runExample(w, example);
    const auto grid = numberRows(readFile(w.dataDir() / "ZFCFCbc.txt"));
    const auto loop = numberRows(readFile(w.dataDir() / "momentbc.txt"));
    ASSERT_GT(grid.size(), 2u);
    ASSERT_GT(loop.size(), 2u);
    ASSERT_EQ(lab(w, "curves --model continuum --out-dir .").status, 0);
    const auto continuum = numberRows(readFile(w.root() / "ZFCFC.txt"));
    ASSERT_GT(continuum.size(), 2u);
    // The loop's first field is +Ha_max: a history down from it by 1 Oe.
    const long Ha_max = std::lround(loop[0][0]);
    std::string fields;
    for (long h = Ha_max; h >= -Ha_max; --h) fields += std::to_string(h) + "\n";
    writeFile(w.root() / "fields.txt", fields);
    ASSERT_EQ(lab(w, "history --fields fields.txt --out fine.txt").status, 0);
    const auto fine = numberRows(readFile(w.root() / "fine.txt"));

    EXPECT_EQ(zfcMaximum(grid), statedFigure(readme, "T_B = ([0-9.]+) K on the program's grid"));
    EXPECT_EQ(zfcMaximum(continuum), statedFigure(readme, "T_B = ([0-9.]+) K on the continuum"));
    constexpr double kOneDecimal = 0.05;  // the README states a field to one decimal
    EXPECT_NEAR(descendingCrossing(fine),
                statedFigure(readme, "descending branch crosses M = 0 at\\s+H = (-?[0-9.]+) Oe on the continuum"),
                kOneDecimal);
    EXPECT_NEAR(descendingCrossing(loop), statedFigure(readme, "field steps of [0-9.]+ Oe, says H = (-?[0-9.]+) Oe"),
                kOneDecimal);
  }
}

// The FORC picture of the forc example: Hc and Hu at equal scale, so the
// coloured region (rho above the white band, |rho| < limit / 17) is as wide
// against as tall in pixels as it is in Oe in the diagram's rows.
TEST(Plots, DrawsTheForcDiagramOnEqualAxes) {
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  Workspace w;
  runExample(w, "forc");
  ASSERT_EQ(lab(w, "forc --step 10 --sf 3").status, 0);
  const auto rows = numberRows(readFile(w.dataDir() / "forc-diagram.txt"));
  double limit = 0.0;
  for (const auto& r : rows) limit = std::max(limit, std::fabs(r[2]));
  double hcLow = 1e300, hcHigh = -1e300, huLow = 1e300, huHigh = -1e300;
  for (const auto& r : rows)
    if (r[2] > limit / 17.0) {
      hcLow = std::min(hcLow, r[0]), hcHigh = std::max(hcHigh, r[0]);
      huLow = std::min(huLow, r[1]), huHigh = std::max(huHigh, r[1]);
    }
  const Pixels image = decode(readFile(w.dataDir() / "forc-diagram.png"));
  ASSERT_GT(image.width, 0u);
  // Coloured pixels (the palette is grey nowhere, the text and grid are
  // grey) left of the colour box, which stands right of the plot.
  std::size_t left = image.width, right = 0, top = image.height, bottom = 0;
  for (std::size_t y = 0; y < image.height; ++y)
    for (std::size_t x = 0; x < image.width * 2 / 3; ++x) {
      const unsigned char* p = image.at(x, y);
      if (std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 6) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
  ASSERT_LT(left, right);
  const double pixels = static_cast<double>(right - left) / static_cast<double>(bottom - top);
  const double fields = (hcHigh - hcLow) / (huHigh - huLow);
  // The contour's edge falls within a lattice spacing of the rows' last
  // point above the band (5 Oe in Hc and Hu of some 150 and 240 Oe).
  constexpr double kContourEdge = 0.08;
  EXPECT_NEAR(pixels / fields, 1.0, kContourEdge) << pixels << " against " << fields;
  // The window ends where the signal does, well inside Ha_max = 1000 Oe:
  // the coloured region fills a good part of the plot's width.
  EXPECT_GT(static_cast<double>(right - left), 0.4 * static_cast<double>(image.width * 2 / 3));
}

std::size_t pixelsOfColour(const Pixels& image, unsigned char r, unsigned char g, unsigned char b) {
  std::size_t count = 0;
  for (std::size_t y = 0; y < image.height; ++y)
    for (std::size_t x = 0; x < image.width; ++x) {
      const unsigned char* p = image.at(x, y);
      count += p[0] == r && p[1] == g && p[2] == b;
    }
  return count;
}

// The fit example: the curves file carries the sigma each residual was
// divided by, and the picture draws the fitted ZFC line (orange) in a
// colour of its own beside the ZFC data (blue).
TEST(Plots, DrawsTheFitWithItsSigmaAndItsLineApartFromTheData) {
  Workspace w;
  runExample(w, "fitting");
  std::filesystem::copy_file(std::string(PREISACH_SOURCE_DIR) + "/examples/fitting/zfcfc.dat", w.root() / "zfcfc.dat");
  ASSERT_EQ(lab(w, "fit --zfcfc zfcfc.dat --free N").status, 0);
  std::istringstream in(readFile(w.dataDir() / "Parameters.fit.curves.txt"));
  std::size_t rows = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string name;
    double x = 0, measured = 0, model = 0, residual = 0, sigma = 0;
    ASSERT_TRUE(row >> name >> x >> measured >> model >> residual >> sigma) << line;
    ASSERT_GT(sigma, 0.0) << line;
    constexpr double kResidualDigits = 1e-5;  // the residual is written to 6 significant digits
    EXPECT_NEAR((model - measured) / sigma, residual, kResidualDigits * std::max(1.0, std::fabs(residual))) << line;
    ++rows;
  }
  EXPECT_GT(rows, 10u);
  if (!haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  const Pixels image = decode(readFile(w.dataDir() / "Parameters.fit.png"));
  ASSERT_GT(image.width, 0u);
  constexpr std::size_t kSomeLine = 50;  // a line of width 2 over a panel has hundreds of pixels
  EXPECT_GT(pixelsOfColour(image, 0xe0, 0x82, 0x14), kSomeLine) << "the ZFC fit's line";
  EXPECT_GT(pixelsOfColour(image, 0x1f, 0x5f, 0xa8), kSomeLine) << "the ZFC data";
}

}  // namespace
}  // namespace preisach::test
