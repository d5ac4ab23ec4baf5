// The readers of measured curves: plain columns and the two moment layouts
// of magnetometer files, ZFC/FC splits by label and at the temperature
// turnaround, and one clear refusal for each kind of unusable file.

#include "measured/measured_data.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "measured/pmc_format.h"
#include "test_support.h"

namespace preisach::measured {
namespace {

class Files : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& content) {
    const std::string path = (dir_.path() / name).string();
    test::writeFile(path, content);
    return path;
  }
  // The refusal a reader gives for `content`.
  template <typename Reader>
  std::string refusal(Reader reader, const std::string& content) {
    const std::string path = write("bad.txt", content);
    try {
      reader(path);
    } catch (const DataError& e) {
      return e.what();
    }
    return "(accepted)";
  }
  test::TempDir dir_;
};

// A magnetometer file as the instrument writes it: CRLF line ends, a header
// section, quoted cells, extra and empty columns.
std::string magnetometerFile(const std::string& columns, const std::vector<std::string>& rows) {
  std::string text = "[Header]\r\n; a comment line\r\nTITLE,sample 7\r\nINFO,\"Mass, in mg\",12.5\r\n[Data]\r\n";
  text += columns + "\r\n";
  for (const std::string& row : rows) text += row + "\r\n";
  return text;
}

TEST_F(Files, ReadPlainColumnsWithHeaderCommentsAndErrors) {
  const ZfcFcData d = readZfcFc(write("zfcfc.txt",
                                      "# measured in 100 Oe\n"
                                      "T M_ZFC M_FC err\n"
                                      "5 1e-6 2e-6 1e-8\n"
                                      "\n"
                                      "10, 1.5e-6, 2.1e-6, 2e-8\n"));
  ASSERT_EQ(d.zfc.size(), 2u);
  EXPECT_EQ(d.zfc.x[1], 10.0);
  EXPECT_EQ(d.zfc.moment[1], 1.5e-6);
  EXPECT_EQ(d.fc.moment[0], 2e-6);
  EXPECT_EQ(d.fc.error[1], 2e-8);
  EXPECT_EQ(d.zfc.line[1], 5);
  EXPECT_FALSE(d.field.has_value());
}

TEST_F(Files, TakeTheFirstTwoColumnsOfAResultFileAsALoop) {
  // momentbc.txt: field, M, and two columns that are not errors.
  const LoopData d = readLoop(write("momentbc.txt",
                                    "1000.000000 1.0e-15 9.0e-16 1.0e-16\n"
                                    "950.000000 0.9e-15 8.0e-16 1.0e-16\n"
                                    "-1000.000000 -1.0e-15 -9.0e-16 -1.0e-16\n"
                                    "-950.000000 -0.8e-15 -7.0e-16 -1.0e-16\n"));
  EXPECT_FALSE(d.loop.hasErrors());
  EXPECT_EQ(d.loop.moment[1], 0.9e-15);
  // Down from 1000 to -1000, then up: the first point takes the direction
  // of the step out of it.
  EXPECT_EQ(d.descending, (std::vector<bool>{true, true, true, false}));
}

TEST_F(Files, ReadAMagnetometerFileSplitByItsLabels) {
  const std::string columns =
      "Comment,Time Stamp (sec),Temperature (K),Magnetic Field (Oe),Moment (emu),M. Std. Err. (emu),Transport Action";
  const ZfcFcData d = readZfcFc(write("labels.dat", magnetometerFile(columns, {
                                                                                  "ZFC,1,5.0,99.9,1e-6,1e-8,6",
                                                                                  ",2,10.0,100.1,2e-6,1e-8,6",
                                                                                  ",3,15.0,,2.5e-6,1e-8,6",
                                                                                  "FC,4,15.0,100.0,3e-6,2e-8,6",
                                                                                  ",5,10.0,100.0,3.1e-6,2e-8,6",
                                                                              })));
  ASSERT_EQ(d.zfc.size(), 3u);
  ASSERT_EQ(d.fc.size(), 2u);
  EXPECT_EQ(d.zfc.moment[2], 2.5e-6);
  EXPECT_EQ(d.fc.x[1], 10.0);
  EXPECT_EQ(d.fc.error[0], 2e-8);
  EXPECT_EQ(d.fc.line[0], 10);  // five header lines, the names on line 6, then the rows
  ASSERT_TRUE(d.field.has_value());
  EXPECT_DOUBLE_EQ(*d.field, 100.0);  // the mean of the field cells that are there
}

TEST_F(Files, ReadTheFreeCentreMomentAndSplitAtTheTurnaround) {
  // The second layout: "Moment (emu)" empty, the moment in the DC columns.
  // No labels: warming from 5 K (ZFC), then cooling back (FC) with jitter.
  const std::string columns =
      "Comment,Time Stamp (sec),Temperature (K),Magnetic Field (Oe),Moment (emu),M. Std. Err. (emu),"
      "DC Moment Fixed Ctr (emu),DC Moment Free Ctr (emu),DC Moment Err Free Ctr (emu)";
  std::vector<std::string> rows;
  const double temperatures[] = {5, 10.2, 9.95, 20, 30, 29.9, 20.1, 10, 5.1};
  for (int k = 0; k < 9; ++k)
    rows.push_back("," + std::to_string(k) + "," + std::to_string(temperatures[k]) + ",50,,,7e-7," +
                   std::to_string(1e-6 * (k + 1)) + ",3e-9");
  rows.insert(rows.begin() + 3, ",99,12,50,,,,,");  // a row of another measurement: no moment
  const ZfcFcData d = readZfcFc(write("turn.dat", magnetometerFile(columns, rows)));
  // ZFC runs up to 30 K (the dip of 0.25 K on the way is jitter); the FC
  // curve starts with the next point, 29.9 K, where the cooling began.
  ASSERT_EQ(d.zfc.size(), 5u);
  ASSERT_EQ(d.fc.size(), 4u);
  EXPECT_EQ(d.zfc.x[4], 30.0);
  EXPECT_EQ(d.fc.x[0], 29.9);
  EXPECT_EQ(d.fc.x[1], 20.1);
  EXPECT_EQ(d.zfc.moment[0], 1e-6);
  EXPECT_EQ(d.fc.moment[0], 6e-6);
  EXPECT_EQ(d.fc.error[3], 3e-9);
  // The row of another measurement is passed over, with a note saying so.
  EXPECT_EQ(d.report.notes.front(), "1 rows with empty moment cells skipped (line 10)");
}

TEST_F(Files, ReadALoopFromAMagnetometerFile) {
  const std::string columns = "Time Stamp (sec),Temperature (K),Magnetic Field (Oe),Moment (emu),M. Std. Err. (emu)";
  const LoopData d =
      readLoop(write("loop.dat", magnetometerFile(columns, {"1,300,1000,1e-5,1e-8", "2,300,0,2e-6,1e-8",
                                                            "3,300,-1000,-1e-5,1e-8", "4,300,0,-2e-6,1e-8"})));
  EXPECT_EQ(d.loop.x, (std::vector<double>{1000, 0, -1000, 0}));
  EXPECT_EQ(d.descending, (std::vector<bool>{true, true, true, false}));
  EXPECT_TRUE(d.loop.hasErrors());
}

TEST_F(Files, RefuseWhatTheyCannotUseWithFileLineAndColumn) {
  const auto zfcfc = [](const std::string& path) { readZfcFc(path); };
  const auto loop = [](const std::string& path) { readLoop(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  EXPECT_EQ(refusal(zfcfc, "# nothing\n\n"), bad + ": holds no numeric rows");
  EXPECT_EQ(refusal(zfcfc, "5 1 2\n10 1 x2\n"), bad + ":2:3: M_FC \"x2\" is not a number");
  EXPECT_EQ(refusal(zfcfc, "5 1 2\n10 nan 2\n"), bad + ":2:2: M_ZFC is nan");
  EXPECT_EQ(refusal(zfcfc, "5 1 2\n10 1\n"), bad + ":2:3: no M_FC");
  EXPECT_EQ(refusal(loop, "100 1\n"), bad + ": holds fewer than two fields: no branch can be told");
  EXPECT_EQ(refusal(zfcfc, "[Header]\nTITLE,x\n"), bad + ": has a [Header] but no [Data] section");
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Time Stamp (sec),Moment (emu)", {"1,2e-6"})),
            bad + ":6: has no column \"Temperature (K)\"; its columns are \"Time Stamp (sec)\" and \"Moment (emu)\"");
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Temperature (K),Field (T)", {"1,2"})),
            bad +
                ":6: has neither a \"Moment (emu)\" nor a \"DC Moment Free Ctr (emu)\" nor a \"DC Moment Fixed Ctr "
                "(emu)\" column; its columns are \"Temperature (K)\" and \"Field (T)\"");
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Temperature (K),Moment (emu)", {"5,1e-6", "10,2e-6", "20,3e-6"})),
            bad + ": has no ZFC/FC labels and its temperatures never turn around, so ZFC and FC cannot be told apart");
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Comment,Temperature (K),Moment (emu)", {"FC,5,1e-6", ",10,2e-6"})),
            bad + ": has FC labels in its Comment column but no ZFC label");
  EXPECT_EQ(refusal(loop, magnetometerFile("Temperature (K),Magnetic Field (Oe),Moment (emu)", {"300,,1e-6"})),
            bad + ":7:2: no field");
  const std::string missing = (dir_.path() / "missing.txt").string();
  EXPECT_THROW(readZfcFc(missing), DataError);
  try {
    readLoop(missing);
  } catch (const DataError& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot be opened");
  }
}

// 38 temperatures of a ZFC/FC measurement as plain columns, each row ended
// by `end`.
std::string plainZfcFcRows(const std::string& end) {
  std::string text = "# T M_ZFC M_FC" + end;
  for (int k = 0; k < 38; ++k)
    text += std::to_string(5 + 5 * k) + " " + std::to_string(k + 1) + "e-6 " + std::to_string(k + 2) + "e-6" + end;
  return text;
}

TEST_F(Files, ReadEveryRowWhateverTheLineEnds) {
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    const ZfcFcData d = readZfcFc(write("zfcfc.txt", plainZfcFcRows(end)));
    ASSERT_EQ(d.zfc.size(), 38u) << "line end " << int(end.back());
    EXPECT_EQ(d.zfc.x[37], 190.0);
    EXPECT_EQ(d.fc.moment[37], 39e-6);
    EXPECT_EQ(d.zfc.line[37], 39);  // the comment line, then one line per row
  }
  // A magnetometer file saved with old Macintosh line ends.
  std::string cr = magnetometerFile("Temperature (K),Magnetic Field (Oe),Moment (emu)",
                                    {"300,1000,1e-5", "300,0,2e-6", "300,-1000,-1e-5"});
  for (char& c : cr)
    if (c == '\n') c = '\r';
  cr.erase(std::unique(cr.begin(), cr.end(), [](char a, char b) { return a == '\r' && b == '\r'; }), cr.end());
  EXPECT_EQ(readLoop(write("loop.dat", cr)).loop.x, (std::vector<double>{1000, 0, -1000}));
}

TEST_F(Files, ReadAMagnetometerFileResavedWithTabsOrSemicolons) {
  for (const char separator : {'\t', ';'}) {
    std::string columns =
        "Comment,Time Stamp (sec),Temperature (K),Magnetic Field (Oe),Moment (emu),M. Std. Err. (emu)";
    std::vector<std::string> rows = {"ZFC,1,5,100,1e-6,1e-8", ",2,10,100,2e-6,1e-8", "FC,3,10,100,3e-6,2e-8",
                                     ",4,5,100,3.5e-6,2e-8"};
    std::replace(columns.begin(), columns.end(), ',', separator);
    for (std::string& row : rows) std::replace(row.begin(), row.end(), ',', separator);
    const ZfcFcData d = readZfcFc(write("saved.dat", magnetometerFile(columns, rows)));
    ASSERT_EQ(d.zfc.size(), 2u) << separator;
    ASSERT_EQ(d.fc.size(), 2u);
    EXPECT_EQ(d.fc.moment[1], 3.5e-6);
    EXPECT_EQ(d.fc.error[1], 2e-8);
    EXPECT_EQ(*d.field, 100.0);
    EXPECT_EQ(d.report.format,
              separator == ';' ? "magnetometer file (semicolon-separated)" : "magnetometer file (tab-separated)");
  }
}

TEST_F(Files, ReadTheFixedCentreMomentWhenItIsTheOnlyOne) {
  const std::string columns =
      "Temperature (K),Magnetic Field (Oe),Moment (emu),M. Std. Err. (emu),DC Moment Fixed Ctr (emu),"
      "DC Moment Err Fixed Ctr (emu),DC Moment Free Ctr (emu),DC Moment Err Free Ctr (emu)";
  const Curve c = readTemperatureCurve(
      write("fixed.dat",
            magnetometerFile(columns, {"5,50,,,1e-6,1e-9,,", "10,50,,,2e-6,2e-9,,", "15,50,,,3e-6,3e-9,2.9e-6,4e-9"})));
  // The free-centre fit is preferred where a row has one.
  EXPECT_EQ(c.moment, (std::vector<double>{1e-6, 2e-6, 2.9e-6}));
  EXPECT_EQ(c.error, (std::vector<double>{1e-9, 2e-9, 4e-9}));
  EXPECT_EQ(c.report.columns,
            "T: \"Temperature (K)\", H: \"Magnetic Field (Oe)\", M: \"DC Moment Free Ctr (emu)\" (1 rows) with its "
            "standard error \"DC Moment Err Free Ctr (emu)\"; \"DC Moment Fixed Ctr (emu)\" (2 rows) with its standard "
            "error \"DC Moment Err Fixed Ctr (emu)\"");
  EXPECT_EQ(describe(c.report),
            "magnetometer file (comma-separated), fields in Oe, moments in emu; " + c.report.columns);
}

TEST_F(Files, TakeLowerCaseSectionsAndAByteOrderMark) {
  const std::string file =
      "\xEF\xBB\xBF[header]\r\nTITLE,x\r\n[data]\r\nTemperature (K),Moment (emu)\r\n5,1e-6\r\n10,2e-6\r\n";
  EXPECT_EQ(readTemperatureCurve(write("lower.dat", file)).moment, (std::vector<double>{1e-6, 2e-6}));
  const std::string plain =
      "\xEF\xBB\xBF"
      "5 1e-6\n10 2e-6\n";
  EXPECT_EQ(readTemperatureCurve(write("bom.txt", plain)).x, (std::vector<double>{5, 10}));
}

TEST_F(Files, TakeTheThirdColumnAsTheErrorUnlessItsNameSaysOtherwise) {
  const Curve c = readTemperatureCurve(write("named.txt", "T M dM\n5 1e-6 1e-8\n10 2e-6 2e-8\n"));
  EXPECT_EQ(c.error, (std::vector<double>{1e-8, 2e-8}));
  EXPECT_EQ(c.report.columns, "T: column 1 \"T\", M: column 2 \"M\", standard error: column 3 \"dM\"");
  EXPECT_TRUE(c.report.notes.empty());
  // Without a header the third column is the error too; a header naming it
  // a temperature says otherwise, and the report says it is not used.
  EXPECT_TRUE(readTemperatureCurve(write("bare.txt", "5 1e-6 1e-8\n10 2e-6 2e-8\n")).hasErrors());
  EXPECT_EQ(readTemperatureCurve(write("short.txt", "T M\n5 1e-6 1e-8\n10 2e-6 2e-8\n")).error,
            (std::vector<double>{1e-8, 2e-8}));
  const Curve other = readLoop(write("other.txt", "H M T\n5 1e-6 300\n10 2e-6 300\n")).loop;
  EXPECT_FALSE(other.hasErrors());
  EXPECT_EQ(other.report.notes, (std::vector<std::string>{"columns 3 to 3 are not used (not named or placed as "
                                                          "standard errors)"}));
}

TEST_F(Files, RefuseAFieldWhoseMeanOverflowsNamingItsLine) {
  const auto zfcfc = [](const std::string& path) { readZfcFc(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Comment,Temperature (K),Magnetic Field (Oe),Moment (emu)",
                                            {"ZFC,5,1e308,1e-6", ",10,1e308,2e-6", "FC,10,1e308,3e-6"})),
            bad + ":8:3: the fields add up past the largest number: no mean field");
  EXPECT_EQ(refusal(zfcfc,
                    magnetometerFile("Comment,Temperature (K),Magnetic Field (Oe),Moment (emu)", {"ZFC,5,1e999,1e-6"})),
            bad + ":7:3: field is 1e999");
}

TEST_F(Files, RefuseWhatIsNoRegularFileBeforeReadingIt) {
  const std::string folder = dir_.path().string();
  EXPECT_EQ(refusal([&](const std::string&) { readZfcFc(folder); }, ""),
            folder + ": is a folder, not a file of measured data");
  EXPECT_EQ(refusal([](const std::string&) { readLoop("/dev/zero"); }, ""),
            "/dev/zero: is not a regular file (a device, a FIFO or a socket): give a file of measured data");
  const std::string fifo = (dir_.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(refusal([&](const std::string&) { readTemperatureCurve(fifo); }, ""),
            fifo + ": is not a regular file (a device, a FIFO or a socket): give a file of measured data");
  // A sparse file of 65 MB: refused by its size, without reading it.
  const std::string huge = write("huge.txt", "5 1 2\n");
  std::filesystem::resize_file(huge, std::uintmax_t{65} << 20);
  EXPECT_EQ(refusal([&](const std::string&) { readZfcFc(huge); }, ""),
            huge + ": is larger than 64 MB, the most a reader takes");
}

TEST_F(Files, EscapeAndCutTheFileTextTheyQuote) {
  const auto zfcfc = [](const std::string& path) { readZfcFc(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  EXPECT_EQ(refusal(zfcfc, "5 1 2\n10 1 x\x01\x7f\n"), bad + ":2:3: M_FC \"x\\x01\\x7F\" is not a number");
  const std::string longCell(5 << 20, 'x');
  const std::string message = refusal(zfcfc, "5 1 2\n10 1 " + longCell + "\n");
  EXPECT_EQ(message, bad + ":2:3: M_FC \"" + std::string(80, 'x') + "...\" is not a number");
  // A long name among the columns of a magnetometer file is cut as well.
  const std::string columns = "Temperature (K)," + std::string(1000, 'n');
  EXPECT_EQ(refusal(zfcfc, magnetometerFile(columns, {"5,1"})),
            bad +
                ":6: has neither a \"Moment (emu)\" nor a \"DC Moment Free Ctr (emu)\" nor a \"DC Moment Fixed Ctr "
                "(emu)\" column; its columns are \"Temperature (K)\" and \"" +
                std::string(80, 'n') + "...\"");
}

TEST_F(Files, RefuseOlderColumnNamesListingWhatTheyExpectAndFound) {
  const auto loop = [](const std::string& path) { readLoop(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  EXPECT_EQ(refusal(loop, magnetometerFile("Temperature (K),Field (Oe),Long Moment (emu)", {"300,100,1e-6"})),
            bad +
                ":6: has neither a \"Moment (emu)\" nor a \"DC Moment Free Ctr (emu)\" nor a \"DC Moment Fixed Ctr "
                "(emu)\" column; its columns are \"Temperature (K)\", \"Field (Oe)\" and \"Long Moment (emu)\"");
  EXPECT_EQ(refusal(loop, magnetometerFile("Temperature (K),Field (Oe),Moment (emu)", {"300,100,1e-6"})),
            bad +
                ":6: has no column \"Magnetic Field (Oe)\"; its columns are \"Temperature (K)\", \"Field (Oe)\" and "
                "\"Moment (emu)\"");
}

TEST_F(Files, ReadTheSameFromMemoryAsFromTheFile) {
  const std::string text = plainZfcFcRows("\n");
  const ZfcFcData fromText = readZfcFcText("memory", text);
  const ZfcFcData fromFile = readZfcFc(write("zfcfc.txt", text));
  EXPECT_EQ(fromText.fc.moment, fromFile.fc.moment);
  EXPECT_EQ(fromText.zfc.file, "memory");
}

// A FORC file in the PMC layout: `header`, then three curves with their
// calibration points, fields `unit` times 1000, 0, ... (in the file's unit)
// and moments 2e-3 at calibration, 1e-3 along the curves.
std::string pmcFile(const std::string& header, double unit = 1.0) {
  std::string text = "MicroMag 2900/3900 Data File (Series 0016)\n" + header + "\n";
  char row[64];
  for (int curve = 0; curve < 3; ++curve) {
    std::snprintf(row, sizeof row, "%+.6E,%+.6E\n\n", 1000 * unit, 2e-3);
    text += row;
    for (int k = 0; k <= 3; ++k) {
      std::snprintf(row, sizeof row, "%+.6E,%+.6E\n", 100 * (k - curve) * unit, 1e-3);
      text += row;
    }
    text += "\n";
  }
  return text + "MicroMag 2900/3900 Data File ends\n";
}

constexpr double kTeslaPerOe = 1e-4;
constexpr double kAmPerOe = 1e3 / (4 * 3.14159265358979323846);
// The file holds seven significant digits (%+.6E) of the converted values.
constexpr double kConverted = 1e-6;

TEST_F(Files, TakePmcUnitsOnlyFromTheUnitsLineAndTheColumnRow) {
  // A source path with "(T)" and "(Am2)" in it says nothing about units.
  const ForcSet cgs = readPmcText(
      "cgs.frc", pmcFile("Source  C:\\runs(T)\\sample(Am2).frc\n(c) 2004 Princeton (T)\nUnits of measure: cgs\n"));
  EXPECT_EQ(cgs.curves[0].calibrationField, 1000.0);
  EXPECT_EQ(cgs.curves[0].calibrationMoment, 2e-3);
  EXPECT_EQ(cgs.report.fieldUnit, "Oe");
  EXPECT_EQ(cgs.report.momentUnit, "emu");
  EXPECT_TRUE(cgs.report.notes.empty());
  // Without any statement: CGS, with a note.
  const ForcSet bare = readPmcText("bare.frc", pmcFile("Source  /data/field(T)\n"));
  EXPECT_EQ(bare.curves[1].H[0], -100.0);
  EXPECT_EQ(bare.report.notes, (std::vector<std::string>{"states no units: read as CGS (Oe, emu), the units this "
                                                         "program writes"}));
  // SiMuNaughtH: fields in T (mu0 H), moments in A m^2.
  const ForcSet mu0H = readPmcText("mu0h.frc", pmcFile("Units of measure\tSiMuNaughtH\n", kTeslaPerOe));
  EXPECT_NEAR(mu0H.curves[0].calibrationField, 1000.0, kConverted * 1000.0);
  EXPECT_NEAR(mu0H.curves[0].calibrationMoment, 2.0, kConverted);  // 2e-3 A m^2 is 2 emu
  EXPECT_EQ(mu0H.report.fieldUnit, "T");
  // A row of column names: the field in A/m.
  const ForcSet am = readPmcText("am.frc", pmcFile("Units of measure: SI\nField (A/m), Moment (Am2)\n", kAmPerOe));
  EXPECT_NEAR(am.curves[2].H[3], 100.0, kConverted * 100.0);
  EXPECT_EQ(am.report.fieldUnit, "A/m");
  EXPECT_EQ(am.report.columns,
            "field and moment: the first two numbers of each data line; units from the Units of measure line (line 2); "
            "units from the column-header row (line 3)");
}

TEST_F(Files, ReadPmcFilesWithAnyLineEndAndAByteOrderMark) {
  const std::string lf = pmcFile("NCrv = 3\n");
  std::string cr = lf, crlf;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, cr, crlf, "\xEF\xBB\xBF" + crlf}) {
    const ForcSet forcs = readPmc(write("curves.frc", text));
    ASSERT_EQ(forcs.curves.size(), 3u);
    EXPECT_EQ(forcs.curves[2].H, (std::vector<double>{-200, -100, 0, 100}));
  }
  const std::string folder = dir_.path().string();
  EXPECT_EQ(refusal([&](const std::string&) { readPmc(folder); }, ""),
            folder + ": is a folder, not a file of measured data");
}

TEST_F(Files, DecidePlainSiFieldsByTheHeadersMagnitudesAndSaySo) {
  // HSat = 1.5 can only be tesla; 1.2e5 can only be A/m (1500 Oe).
  const ForcSet tesla =
      readPmcText("t.frc", pmcFile("Units of measure: SI\nHSat           = +1.500000E-01\n", kTeslaPerOe));
  EXPECT_NEAR(tesla.curves[0].calibrationField, 1000.0, kConverted * 1000.0);
  EXPECT_EQ(tesla.report.notes,
            (std::vector<std::string>{"\"Units of measure: SI\" leaves the field unit open: read as T, as the header's "
                                      "largest field value (hsat), 0.15, is at most 30"}));
  // The instrument's "Hybrid SI": mu0 H in T, moments in A m^2, no guess.
  const ForcSet hybrid = readPmcText("h.frc", pmcFile("Units of measure: Hybrid SI\n", kTeslaPerOe));
  EXPECT_NEAR(hybrid.curves[0].calibrationField, 1000.0, kConverted * 1000.0);
  EXPECT_EQ(hybrid.report.fieldUnit, "T");
  EXPECT_TRUE(hybrid.report.notes.empty());
  const ForcSet am = readPmcText("am.frc", pmcFile("Units of measure: SI\nHSat\t1.2e5\n", kAmPerOe));
  EXPECT_NEAR(am.curves[0].calibrationField, 1000.0, kConverted * 1000.0);  // not 1.6e8 Oe
  EXPECT_EQ(am.report.fieldUnit, "A/m");
}

TEST_F(Files, RefusePmcFilesOfUnknownOrDisagreeingUnits) {
  const auto pmc = [](const std::string& path) { readPmc(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  EXPECT_EQ(refusal(pmc, pmcFile("Units of measure: furlongs\n")),
            bad + ":2: states units of measure \"furlongs\": known are cgs, SI, Hybrid SI and SiMuNaughtH");
  EXPECT_EQ(refusal(pmc, pmcFile("Field (furlongs), Moment (emu)\n")),
            bad + ":2: gives the field in unknown units \"(furlongs)\"");
  EXPECT_EQ(refusal(pmc, pmcFile("Units of measure: cgs\n    (T)          (Am2)\n")),
            bad + ":3: gives the field in T but the Units of measure line (line 2) says Oe");
  EXPECT_EQ(refusal(pmc, pmcFile("Units of measure: cgs\nUnits of measure: SI\n")),
            bad + ":3: states the units of measure a second time (first on line 2): which one holds is not clear");
  // A header in T over data in A/m.
  EXPECT_EQ(refusal(pmc, pmcFile("Units of measure: SI\nHSat = 0.15\n", kAmPerOe)),
            bad +
                ":3: the header's fields (up to 0.15) and the data's (up to 79577.5) differ by more than a factor "
                "1000: not in the same units");
}

TEST_F(Files, RefusePmcFilesCutShortOrDisagreeingWithTheirCounts) {
  const auto pmc = [](const std::string& path) { readPmc(path); };
  const std::string bad = (dir_.path() / "bad.txt").string();
  const std::string whole = pmcFile("NCrv           = 3\nNData          = 12\n");
  EXPECT_EQ(readPmcText("whole.frc", whole).curves.size(), 3u);
  EXPECT_EQ(readPmcText("with-calibrations.frc", pmcFile("NData = 15\n")).points(), 12u);
  EXPECT_EQ(refusal(pmc, pmcFile("NCrv = 4\n")), bad + ":2: NCrv = 4 but the file holds 3 reversal curves");
  EXPECT_EQ(refusal(pmc, pmcFile("NData = 13\n")),
            bad + ":2: NData = 13 but the file holds 12 points on its curves and 15 with the calibration points");
  // Cut mid-number: the line is no data line (the last point is on line 24).
  const std::string cut = whole.substr(0, whole.rfind("+1.000000E-03\n\nMicroMag"));
  EXPECT_EQ(refusal(pmc, cut + "+1.000000E-\n"), bad + ":24: \"+1.000000E+02,+1.000000E-\" is not a data line");
  // Cut mid-number without a line end: the number is shorter than those
  // before it.
  EXPECT_EQ(refusal(pmc, cut + "+1.00"),
            bad +
                ":24: the last line has no line end and its numbers are not written like those before it: the file "
                "is cut short");
  // A file whose last data line lacks only its line end is whole.
  const std::string unended = whole.substr(0, whole.rfind("\n\nMicroMag"));
  EXPECT_EQ(readPmcText("unended.frc", unended).curves[2].H.back(), 100.0);
}

// Real magnetometer exports (tests/data/real-magnetometer, whose README
// says what each holds): every measurement of a sequence read apart, at its
// own field or temperature, and every point with a moment used once (the
// extreme of a virgin curve also starts its loop).
struct Expected {
  MeasurementKind kind;
  double at;  // Oe for a temperature sweep, K for a field sweep
};

std::string realFile(const std::string& name) {
  return std::string(PREISACH_SOURCE_DIR) + "/tests/data/real-magnetometer/" + name;
}

// Cells of a line, a quoted cell holding separators: written apart from the
// readers' own.
std::vector<std::string> cellsOf(const std::string& line, char separator) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"')
      quoted = !quoted;
    else if (c == separator && !quoted)
      cells.emplace_back();
    else if (c != '\r' && c != ' ')
      cells.back() += c;
  }
  return cells;
}

// The rows of the [Data] section that carry a moment, counted apart from the reader.
std::size_t rowsWithAMoment(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line) && line.rfind("[Data]", 0) != 0) {
  }
  std::getline(file, line);
  const char separator = line.find('\t') != std::string::npos ? '\t' : ',';
  const std::vector<std::string> names = cellsOf(line, separator);
  std::vector<std::size_t> moments;
  for (std::size_t c = 0; c < names.size(); ++c)
    if (names[c] == "Moment(emu)" || names[c] == "DCMomentFreeCtr(emu)") moments.push_back(c);
  std::size_t rows = 0;
  while (std::getline(file, line)) {
    const std::vector<std::string> cells = cellsOf(line, separator);
    rows += std::any_of(moments.begin(), moments.end(),
                        [&](std::size_t c) { return c < cells.size() && !cells[c].empty(); })
                ? 1u
                : 0u;
  }
  return rows;
}

TEST(RealFiles, AreReadIntoEveryMeasurementTheyHold) {
  using K = MeasurementKind;
  const std::vector<std::pair<std::string, std::vector<Expected>>> files = {
      {"zfc7.dat", {{K::TemperatureSweep, 100}}},
      {"fc7.dat", {{K::TemperatureSweep, 100}}},
      {"zfc8.dat", {{K::TemperatureSweep, 250}}},
      {"fc8.dat", {{K::TemperatureSweep, 250}}},
      {"zfc9.dat", {{K::TemperatureSweep, 500}}},
      {"fc9.dat", {{K::TemperatureSweep, 500}}},
      {"zfc10.dat", {{K::TemperatureSweep, 750}}},
      {"fc10.dat", {{K::TemperatureSweep, 750}}},
      {"zfc11.dat", {{K::TemperatureSweep, 1000}}},
      {"fc11.dat", {{K::TemperatureSweep, 1000}}},
      {"zfc12.dat", {{K::TemperatureSweep, 10000}}},
      {"fc12.dat", {{K::TemperatureSweep, 10000}}},
      {"zfc13.dat", {{K::TemperatureSweep, 40000}}},
      {"fc13.dat", {{K::TemperatureSweep, 40000}}},
      {"zfcfc3.dat", {{K::Zfc, 100}, {K::Fc, 100}}},
      {"zfc4a.dat", {{K::Zfc, 100}}},
      {"fc4a.dat", {{K::Fc, 100}}},
      {"zfcfc4.dat", {{K::Zfc, 100}, {K::Fc, 100}, {K::Zfc, 1000}, {K::Fc, 1000}}},
      {"dataset4.dat", {{K::Zfc, 100}, {K::Fc, 100}, {K::Zfc, 1000}, {K::Fc, 1000}, {K::Loop, 293}}},
      {"mvsh2.dat", {{K::Loop, 5}, {K::Loop, 300}}},
      {"mvsh3.dat", {{K::Loop, 5}}},
      {"mvsh4.dat", {{K::Loop, 293}}},
      {"mvsh8.dat", {{K::Virgin, 2}, {K::Loop, 2}}},
      {"mvsh10.dat", {{K::Loop, 5}}},
  };
  constexpr double kSetPoint = 0.01;  // a measured mean is within 1 % of the set point
  for (const auto& [name, expected] : files) {
    const std::vector<Measurement> found = readMeasurements(realFile(name));
    ASSERT_EQ(found.size(), expected.size()) << name;
    std::size_t points = 0;
    for (std::size_t k = 0; k < found.size(); ++k) {
      const Measurement& m = found[k];
      EXPECT_EQ(m.kind, expected[k].kind) << name << " " << k << ": " << describe(m);
      const double at = m.isTemperatureSweep() ? m.field : m.temperature;
      EXPECT_NEAR(at, expected[k].at, kSetPoint * expected[k].at) << name << " " << k;
      points += m.curve.size() - (m.kind == K::Virgin ? 1 : 0);
      if (m.kind == K::Loop) {
        // Both branches, each reaching the other's end: a full loop.
        EXPECT_NE(std::count(m.descending.begin(), m.descending.end(), true), 0) << name;
        EXPECT_NE(std::count(m.descending.begin(), m.descending.end(), false), 0) << name;
      }
      if (m.isTemperatureSweep()) {
        const auto [low, high] = std::minmax_element(m.curve.x.begin(), m.curve.x.end());
        EXPECT_LT(*low, 5.1) << name << " " << k;
        EXPECT_GT(*high, 299.0) << name << " " << k;
      }
    }
    EXPECT_EQ(points, rowsWithAMoment(realFile(name))) << name;
  }
}

// Every unit an instrument or a person writes in a column name is
// converted to K, Oe and emu, and said; the first point of each file below
// is 5 K, 100 Oe and 2e-6 emu (2e-9 A m^2, 8e-4 emu/g of 2.5 mg).
TEST_F(Files, ConvertEveryUnitTheirHeadersName) {
  struct Case {
    std::string name, content, said;
  };
  const std::string mass = "INFO,2.5,SAMPLE_MASS\r\n";
  const auto magnetometer = [](const std::string& header, const std::string& columns, const std::string& row) {
    return "[Header]\r\n" + header + "[Data]\r\n" + columns + "\r\n" + row + "\r\n" + row + "\r\n";
  };
  const std::vector<Case> cases = {
      {"T.dat", magnetometer("", "Temperature (K),Magnetic Field (T),Moment (emu)", "5,0.01,2e-6"),
       "fields converted from T to Oe"},
      {"mT.dat", magnetometer("", "Temperature (K),Magnetic Field (mT),Moment (emu)", "5,10,2e-6"),
       "fields converted from mT to Oe"},
      {"Am2.dat", magnetometer("", "Temperature (K),Magnetic Field (Oe),Moment (A m2)", "5,100,2e-9"),
       "moments converted from A m^2 to emu"},
      {"emug.dat", magnetometer(mass, "Temperature (K),Magnetic Field (Oe),Moment (emu/g)", "5,100,8e-4"),
       "moments converted from emu/g to emu with the header's sample mass 2.5 mg"},
      {"plain.txt", "T(K) M(Am2)\n5 2e-9\n6 2e-9\n", "T in K, M in A m^2"},
      {"tabs.txt", "Temperature (K)\tMoment (emu)\n5\t2e-6\n6\t2e-6\n", "T in K, M in emu"},
  };
  for (const Case& c : cases) {
    const Curve curve = readTemperatureCurve(write(c.name, c.content));
    EXPECT_DOUBLE_EQ(curve.x[0], 5.0) << c.name;
    EXPECT_NEAR(curve.moment[0], 2e-6, 1e-15 * 2e-6 * 4) << c.name;
    if (curve.field) {
      EXPECT_NEAR(*curve.field, 100.0, 1e-12) << c.name;
    }
    std::string notes;
    for (const std::string& note : curve.report.notes) notes += note + "\n";
    EXPECT_NE(notes.find(c.said), std::string::npos) << c.name << "\n" << notes;
  }
  // The moment column of a tab-separated header is named whole, not "(K)".
  const Curve tabs = readTemperatureCurve(write("tabs.txt", cases.back().content));
  EXPECT_NE(tabs.report.columns.find("M: column 2 \"Moment (emu)\""), std::string::npos) << tabs.report.columns;
  const auto read = [](const std::string& path) { readTemperatureCurve(path); };
  EXPECT_NE(refusal(read, magnetometer("", "Temperature (K),Magnetic Field (Oe),Moment (emu/g)", "5,100,8e-4"))
                .find("gives moments per mass (emu/g) but its header gives no SAMPLE_MASS"),
            std::string::npos);
  EXPECT_NE(refusal(read, "T (K) M (furlongs)\n5 1\n").find("in units \"furlongs\" this reader does not know"),
            std::string::npos);
}

// The instrument's own convention: the first reversal curve, its Hr at the
// saturation side, is one point after its calibration point; NCrv counts it.
TEST_F(Files, ReadAFirstReversalCurveOfOnePointAsACurve) {
  std::string text =
      "MicroMag 2900/3900 Data File (Series 0016)\n\"Forc Data\"\nUnits of measure: Hybrid SI\nNCrv  4\nNData 10\n\n";
  char row[64];
  for (int curve = 0; curve < 4; ++curve) {
    std::snprintf(row, sizeof row, "%+.6E,%+.6E\n\n", 0.5, 2e-6);  // the calibration at 0.5 T
    text += row;
    for (int k = 0; k <= curve; ++k) {
      std::snprintf(row, sizeof row, "%+.6E,%+.6E\n", 0.03 * (k - curve) + 0.05, 1e-6 * k);
      text += row;
    }
    text += "\n";
  }
  const ForcSet forcs = readPmcText("first.frc", text + "MicroMag 2900/3900 Data File ends\n");
  ASSERT_EQ(forcs.curves.size(), 4u);
  ASSERT_EQ(forcs.curves[0].H.size(), 1u);
  EXPECT_NEAR(forcs.curves[0].H[0], 500.0, kConverted * 500.0);  // 0.05 T
  EXPECT_NEAR(forcs.curves[0].calibrationField, 5000.0, kConverted * 5000.0);
  EXPECT_EQ(forcs.curves[3].H.size(), 4u);
}

}  // namespace
}  // namespace preisach::measured
