// The readers of measured curves: plain columns and the two moment layouts
// of magnetometer files, ZFC/FC splits by label and at the temperature
// turnaround, and one clear refusal for each kind of unusable file.

#include "measured/measured_data.h"

#include <gtest/gtest.h>

#include <string>

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
  ASSERT_EQ(d.zfc.size(), 6u) << "ZFC runs up to 30 K, the dip of 0.25 K is jitter";
  ASSERT_EQ(d.fc.size(), 3u);
  EXPECT_EQ(d.zfc.x[5], 29.9);
  EXPECT_EQ(d.fc.x[0], 20.1);
  EXPECT_EQ(d.zfc.moment[0], 1e-6);
  EXPECT_EQ(d.fc.error[2], 3e-9);
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
            bad + ":6: has no column \"Temperature (K)\"");
  EXPECT_EQ(refusal(zfcfc, magnetometerFile("Temperature (K),Field (T)", {"1,2"})),
            bad + ":6: has neither a \"Moment (emu)\" nor a \"DC Moment Free Ctr (emu)\" column");
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

}  // namespace
}  // namespace preisach::measured
