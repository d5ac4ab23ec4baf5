#include "parameters/parameters.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace preisach::parameters {
namespace {

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 y 100 590 y 300 3000 50 300 0.1 y";

// The echo of kRecord, byte for byte.
constexpr char kEcho[] =
    "Tc=600\nmu0=1e-15\nGamma=0.5\nhc0_mean=300\nGamma_c=1.5\nsigmac0=30\nGamma_cprim=1\nsigmai0=30\n"
    "Gamma_i=1\nkm=0\nN=1\nPDF=G\nm=200\nMC_err=0.01\nCalculate ZFCFC: y\nha=100\nT_max=590\n"
    "Calculate Hysteresis: y\nT_hyst=300\nHa_max=3000\ns=50\nlambda=300\nf=0.1\nCalculate PDFy\n";

struct Read {
  ReadResult result;
  std::string echo;
  int pauses = 0;
};

Read read(const std::string& text, ParameterSet& p) {
  std::istringstream file(text);
  std::ostringstream out;
  Read r;
  r.result = readParameterFile(file, p, out, [&r] { ++r.pauses; });
  r.echo = out.str();
  return r;
}

Read read(const std::string& text) {
  ParameterSet p;
  return read(text, p);
}

// kEcho with one line replaced: the line that starts with `label`.
std::string echoWith(const std::string& label, const std::string& line) {
  std::string echo = kEcho;
  const std::size_t at = echo.find("\n" + label) + 1;
  echo.replace(at, echo.find('\n', at) - at, line);
  return echo;
}

TEST(ReadParameterFile, EchoesEachValueOnceWithoutAFinalLineFeed) {
  ParameterSet p;
  const Read r = read(kRecord, p);
  EXPECT_EQ(r.echo, kEcho);
  EXPECT_EQ(r.result.status, ReadStatus::Complete);
  EXPECT_EQ(r.pauses, 0);
  EXPECT_EQ(p.Tc, 600.0f);
  EXPECT_EQ(p.mu0, 1e-15f);
  EXPECT_EQ(p.PDF, model::DensityShape::G);
  EXPECT_EQ(p.m, 200);
  EXPECT_EQ(p.MC_err, 0.01f);
  EXPECT_EQ(p.T_hyst, 300.0f);
  EXPECT_EQ(p.f, 0.1f);
  EXPECT_TRUE(isOn(p.Calculate_ZFCFC) && isOn(p.Calculate_Hysteresis) && isOn(p.Calculate_PDF));
}

TEST(ReadParameterFile, EchoesTheBlockTwiceWhenTheRecordEndsInALineFeed) {
  EXPECT_EQ(read(std::string(kRecord) + "\n").echo, std::string(kEcho) + kEcho);
  EXPECT_EQ(read(std::string(kRecord) + "\r\n").echo, std::string(kEcho) + kEcho);
  EXPECT_EQ(read(std::string(kRecord) + "\n\n   \n\t").echo, std::string(kEcho) + kEcho);
  EXPECT_EQ(read(std::string(kRecord) + "\n").result.status, ReadStatus::Complete);
}

TEST(ReadParameterFile, PutsTheLastOfTwoRecordsInForce) {
  ParameterSet p;
  const std::string second = "500 2e-15 0.5 300 1.5 30 1 30 1 0 1 L 20 0.01 n 100 400 n 300 3000 50 300 0.1 n";
  const Read r = read(std::string(kRecord) + "\n" + second, p);
  EXPECT_EQ(r.result.status, ReadStatus::Complete);
  EXPECT_EQ(r.echo.substr(0, sizeof kEcho - 1), kEcho);
  EXPECT_NE(r.echo.find("Tc=500\nmu0=2e-15\n", sizeof kEcho - 1), std::string::npos);
  EXPECT_EQ(p.Tc, 500.0f);
  EXPECT_EQ(p.PDF, model::DensityShape::L);
  EXPECT_EQ(p.m, 20);
  EXPECT_EQ(p.Calculate_PDF, 'n');
}

TEST(ReadParameterFile, ReadsARecordSpreadOverManyLinesLikeOneLine) {
  std::string spread = kRecord;
  for (char& c : spread)
    if (c == ' ') c = '\n';
  const Read r = read(spread);
  EXPECT_EQ(r.echo, kEcho);
  EXPECT_EQ(read("  600\t1e-15\r\n0.5 300 1.5\n30 1 30 1 0 1 G 200 0.01 y 100 590 y 300 3000 50 300 0.1 y").echo,
            kEcho);
}

TEST(ReadParameterFile, IgnoresTheRestOfTheLastLineSoTheWordYesIsAFlag) {
  const std::string record = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 y 100 590 y 300 3000 50 300 0.1 yes";
  const Read r = read(record + " and any comment 1 2 3");
  EXPECT_EQ(r.echo, kEcho);
  EXPECT_EQ(r.result.status, ReadStatus::Complete);
}

TEST(ReadParameterFile, FailsAtHaWhenTheZfcFcFlagIsTheWordYes) {
  ParameterSet p;
  const Read r = read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 yes 100 590 y 300 3000 50 300 0.1 y", p);
  EXPECT_EQ(r.result.status, ReadStatus::FieldUnreadable);
  EXPECT_EQ(r.result.field, 16);
  EXPECT_STREQ(r.result.fieldName, "ha");
  EXPECT_EQ(r.result.failure, ReadFailure::NotANumber);
  EXPECT_EQ(r.result.found, "es");
  // ha and every field after it keep their values and are still echoed.
  EXPECT_EQ(r.echo.substr(0, r.echo.find("ha=")), std::string(kEcho).substr(0, std::string(kEcho).find("ha=")));
  // T_max = 0 is not below Tc = 600, so no limit; the held values follow.
  EXPECT_EQ(r.echo.substr(r.echo.find("ha=")),
            "ha=0\nT_max=0\nCalculate Hysteresis:  \nT_hyst=0\nHa_max=0\ns=0\nlambda=0\nf=0\nCalculate PDF \n");
  EXPECT_EQ(p.Calculate_ZFCFC, 'y');
  EXPECT_EQ(p.ha, 0.0f);
}

TEST(ReadParameterFile, ShiftsEveryLaterFieldWhenMHasADecimalPoint) {
  ParameterSet p;
  const Read r = read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 100.0 0.01 y 100 590 y 300 3000 50 300 0.1 y", p);
  EXPECT_EQ(p.m, 100);
  EXPECT_EQ(p.MC_err, 0.0f);          // from the ".0"
  EXPECT_EQ(p.Calculate_ZFCFC, '0');  // the first character of 0.01
  EXPECT_EQ(p.ha, 0.01f);             // the rest of it
  EXPECT_EQ(p.T_max, 0.0f);           // "y" is not a number
  EXPECT_EQ(r.result.status, ReadStatus::FieldUnreadable);
  EXPECT_STREQ(r.result.fieldName, "T_max");
}

TEST(ReadParameterFile, LowersATMaxEqualToTcWithItsMessageAndAPause) {
  ParameterSet p;
  const Read r = read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 y 100 600 y 300 3000 50 300 0.1 y", p);
  EXPECT_EQ(r.echo, echoWith("T_max=", "T_max=600\nT_max < Tc therefore T_max assigned as Tc-10=590"));
  EXPECT_EQ(p.T_max, 590.0f);
  EXPECT_EQ(r.pauses, 1);
}

TEST(ReadParameterFile, LowersTHystWithTheMessageThatNamesTMax) {
  ParameterSet p;
  const Read r = read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 y 100 590 y 700.5 3000 50 300 0.1 y\n", p);
  const std::string once = echoWith("T_hyst=", "T_hyst=700.5\nT_hyst < Tc therefore T_max assigned as Tc-10=590");
  // The second, empty read echoes the lowered value and prints no message.
  EXPECT_EQ(r.echo, once + echoWith("T_hyst=", "T_hyst=590"));
  EXPECT_EQ(p.T_hyst, 590.0f);
  EXPECT_EQ(r.pauses, 1);
}

TEST(ReadParameterFile, ComparesWithTheTcOfTheSameRecord) {
  ParameterSet p;
  read(kRecord, p);
  const Read r = read("400 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 y 100 450 y 300 3000 50 300 0.1 y", p);
  EXPECT_EQ(p.T_max, 390.0f);
  EXPECT_EQ(p.T_hyst, 300.0f);
  EXPECT_EQ(r.pauses, 1);
}

TEST(ReadParameterFile, TakesTheLongestDecimalPrefixOfEachNumber) {
  ParameterSet p;
  read(".5 -0.5 2.5E+3 +3 1e-15 30 1 30 1 0 0.5G 200 0.01 y 100 590 y 300 3000 50 300 0.1 y", p);
  EXPECT_EQ(p.Tc, 0.5f);
  EXPECT_EQ(p.mu0, -0.5f);
  EXPECT_EQ(p.Gamma, 2500.0f);
  EXPECT_EQ(p.hc0_mean, 3.0f);
  EXPECT_EQ(p.N, 0.5f);
  EXPECT_EQ(p.PDF, model::DensityShape::G);
  // An exponent without digits is not part of the number: "5e" gives 5 and
  // leaves the e for the next field, where it fails.
  ParameterSet q;
  const Read r = read("5e 1", q);
  EXPECT_EQ(q.Tc, 5.0f);
  EXPECT_STREQ(r.result.fieldName, "mu0");
  EXPECT_EQ(r.result.found, "e");
}

TEST(ReadParameterFile, FailsOnTextWithoutADigit) {
  for (const char* text : {"x", "-", ".", "+.e5", "nan", "inf"}) {
    ParameterSet p;
    p.Tc = 77.0f;
    const Read r = read(text, p);
    EXPECT_EQ(r.result.status, ReadStatus::FieldUnreadable) << text;
    EXPECT_EQ(r.result.field, 1) << text;
    EXPECT_EQ(p.Tc, 77.0f) << text;
    EXPECT_EQ(r.echo.substr(0, 8), "Tc=77\nmu") << text;
  }
}

TEST(ReadParameterFile, RejectsNumbersBeyondTheRangeOfTheirField) {
  ParameterSet p;
  const Read huge = read("1e9999 1", p);
  EXPECT_EQ(huge.result.failure, ReadFailure::OutOfRange);
  EXPECT_EQ(huge.result.found, "1e9999");
  EXPECT_EQ(p.Tc, 0.0f);
  const Read wide = read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 2147483648 0.01 y", p);
  EXPECT_STREQ(wide.result.fieldName, "m");
  EXPECT_EQ(wide.result.failure, ReadFailure::OutOfRange);
  // A number too small for a float is taken as its nearest float.
  read("600 1e-60", p);
  EXPECT_EQ(p.mu0, 0.0f);
}

TEST(ReadParameterFile, ReportsAFileEndingInsideARecord) {
  ParameterSet p;
  const Read r = read("600 1e-15\n", p);
  EXPECT_EQ(r.result.status, ReadStatus::FieldUnreadable);
  EXPECT_EQ(r.result.field, 3);
  EXPECT_EQ(r.result.failure, ReadFailure::EndOfFile);
  EXPECT_EQ(r.echo,
            "Tc=600\nmu0=1e-15\nGamma=0\nhc0_mean=0\nGamma_c=0\nsigmac0=0\nGamma_cprim=0\nsigmai0=0\nGamma_i=0\n"
            "km=0\nN=0\nPDF= \nm=0\nMC_err=0\nCalculate ZFCFC:  \nha=0\nT_max=0\nCalculate Hysteresis:  \n"
            "T_hyst=0\nHa_max=0\ns=0\nlambda=0\nf=0\nCalculate PDF \n");
  // A failure in a later record keeps the values of the record before.
  const Read later = read(std::string(kRecord) + "\n700 2e-15 0.7", p);
  EXPECT_EQ(later.result.record, 2);
  EXPECT_STREQ(later.result.fieldName, "hc0_mean");
  EXPECT_EQ(p.Tc, 700.0f);
  EXPECT_EQ(p.hc0_mean, 300.0f);
  EXPECT_EQ(p.m, 200);
}

TEST(ReadParameterFile, EchoesNothingForAFileWithoutAValue) {
  for (const char* text : {"", " ", "\n\n", " \t\r\n  \n"}) {
    const Read r = read(text);
    EXPECT_EQ(r.result.status, ReadStatus::NoValue);
    EXPECT_EQ(r.echo, "");
  }
}

TEST(DescribeReadFailure, PointsAtTheTextThatPutTheRecordOutOfStep) {
  // A letter O for a zero: sigmac0 takes 3, Gamma_cprim meets the O.
  EXPECT_EQ(describeReadFailure(read("600 1e-15 0.5 300 1.5 3O 1 30 1 0 1 G 200 0.01 y 100 300").result),
            "line 1, column 24: value 7 (Gamma_cprim) cannot be read from \"O\", not a number; the text before it, "
            "\"3O\", gave sigmac0 = 3; the line reads \"600 1e-15 0.5 300 1.5 3O 1 30 1 0 1 G 200 0.01 y 100 300\"");
  // 300x: T_max takes 300 and the flag after it the x, so T_hyst meets the y.
  EXPECT_EQ(describeReadFailure(read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 y 100 300x\ny 300").result),
            "line 2, column 1: value 19 (T_hyst) cannot be read from \"y\", not a number; the text \"300x\" at line "
            "1, column 53 gave T_max = 300 and Calculate_Hysteresis = x; the line reads \"y 300\"");
  // m = 200.5: MC_err takes .5, and every value after it is out of step.
  EXPECT_EQ(describeReadFailure(read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200.5 0.01 y 100 300 y").result),
            "line 1, column 50: value 17 (T_max) cannot be read from \"y\", not a number; the text \"200.5\" at "
            "line 1, column 39 gave m = 200 and MC_err = 0.5; the line reads \"600 1e-15 0.5 300 1.5 30 1 30 1 0 1 "
            "G 200.5 0.01 y 100 300 y\"");
  EXPECT_EQ(describeReadFailure(read("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 yes").result),
            "line 1, column 49: value 16 (ha) cannot be read from \"es\", not a number; the text before it, \"yes\", "
            "gave Calculate_ZFCFC = y; the line reads \"600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 200 0.01 yes\"");
  EXPECT_EQ(describeReadFailure(read("600").result),
            "record 1, value 2 (mu0) cannot be read: the file ends inside the record");
  EXPECT_EQ(describeReadFailure(read("1e9999").result),
            "line 1, column 1: value 1 (Tc) cannot be read from \"1e9999\", a number out of the range of its field; "
            "the line reads \"1e9999\"");
}

TEST(DescribeReadFailure, ShowsBytesThatDoNotPrintEscaped) {
  EXPECT_EQ(describeReadFailure(read("\x01\xff 2").result),
            "line 1, column 1: value 1 (Tc) cannot be read from \"\\x01\\xFF\", not a number; the line reads "
            "\"\\x01\\xFF 2\"");
  // A long line is quoted around the column only.
  const std::string longLine = std::string(200, ' ') + "q";
  EXPECT_EQ(describeReadFailure(read(longLine).result),
            "line 1, column 201: value 1 (Tc) cannot be read from \"q\", not a number; the line reads \"..." +
                std::string(40, ' ') + "q\"");
}

TEST(ReadParameterFile, SkipsAUtf8ByteOrderMark) {
  ParameterSet p;
  const Read r = read("\xEF\xBB\xBF" + std::string(kRecord), p);
  EXPECT_EQ(r.result.status, ReadStatus::Complete);
  EXPECT_EQ(r.echo, kEcho);
  EXPECT_EQ(p.Tc, 600.0f);
  // Only at the very start of the file.
  EXPECT_EQ(read("600 \xEF\xBB\xBF").result.field, 2);
}

}  // namespace
}  // namespace preisach::parameters
