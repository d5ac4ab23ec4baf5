// The fixed lists of the model live in one table each (the density shapes,
// the parameter fields); what else names them (the plot script, the README,
// the record writer, the reader) is checked against the table here, so that
// adding an entry points at every place left to change.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "model/density.h"
#include "parameters/parameter_fields.h"
#include "parameters/parameters.h"
#include "support/parameter_records.h"
#include "test_support.h"

namespace preisach {
namespace {

std::string sourceFile(const std::string& path) {
  return test::readFile(std::string(PREISACH_SOURCE_DIR) + "/" + path);
}

std::set<char> tableLetters() {
  std::set<char> letters;
  for (const model::DensityShapeEntry& entry : model::densityShapes()) letters.insert(static_cast<char>(entry.shape));
  return letters;
}

TEST(DensityShapes, AreTheUpperCaseLettersOfTheTableAndNoOtherByte) {
  const std::set<char> letters = tableLetters();
  EXPECT_EQ(letters.size(), model::densityShapes().size()) << "a letter stands twice in the table";
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(model::isDensityShape(c), letters.count(c) == 1) << byte;
  }
  for (char c : letters) EXPECT_TRUE(c >= 'A' && c <= 'Z') << c;
  for (const model::DensityShapeEntry& entry : model::densityShapes()) {
    EXPECT_NE(std::string(entry.name), "");
    EXPECT_NE(std::string(entry.formula), "");
    EXPECT_NE(model::densityShapeLetters().find(static_cast<char>(entry.shape)), std::string::npos);
  }
}

TEST(DensityShapes, AreEveryShapeThePlotScriptNames) {
  // The script titles a picture with the shape's name: param(12) eq "X" ? "... (X)".
  const std::string script = sourceFile("plot/preisach.gp");
  const std::regex named("param\\(12\\) eq \"([A-Z])\"");
  std::set<char> letters;
  for (auto it = std::sregex_iterator(script.begin(), script.end(), named); it != std::sregex_iterator(); ++it)
    letters.insert((*it)[1].str()[0]);
  EXPECT_EQ(letters, tableLetters());
}

TEST(DensityShapes, AreEveryShapeTheReadmeDescribes) {
  const std::string readme = sourceFile("README.md");
  const std::size_t row = readme.find("| 12 | `PDF` |");
  ASSERT_NE(row, std::string::npos);
  const std::string line = readme.substr(row, readme.find('\n', row) - row);
  std::set<char> letters;
  const std::regex letter("`([A-Z])` ");
  for (auto it = std::sregex_iterator(line.begin(), line.end(), letter); it != std::sregex_iterator(); ++it)
    letters.insert((*it)[1].str()[0]);
  EXPECT_EQ(letters, tableLetters());
}

// The echo labels of the parameter file, printed exactly so.
const std::vector<std::string> kLabels = {"Tc=",          "mu0=",     "Gamma=",
                                          "hc0_mean=",    "Gamma_c=", "sigmac0=",
                                          "Gamma_cprim=", "sigmai0=", "Gamma_i=",
                                          "km=",          "N=",       "PDF=",
                                          "m=",           "MC_err=",  "Calculate ZFCFC: ",
                                          "ha=",          "T_max=",   "Calculate Hysteresis: ",
                                          "T_hyst=",      "Ha_max=",  "s=",
                                          "lambda=",      "f=",       "Calculate PDF"};

TEST(ParameterFields, AreTheTwentyFourValuesInFileOrderWithTheirLabels) {
  const std::vector<parameters::ParameterField>& fields = parameters::parameterFields();
  ASSERT_EQ(fields.size(), kLabels.size());
  std::set<std::string> names;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    EXPECT_EQ(fields[k].label, kLabels[k]) << k;
    names.insert(fields[k].name);
    EXPECT_EQ(parameters::findParameterField(fields[k].name), &fields[k]);
    // A value a fit varies is a float of the physics.
    if (fields[k].fittable) {
      EXPECT_EQ(fields[k].kind, parameters::FieldKind::Real) << fields[k].name;
    }
  }
  EXPECT_EQ(names.size(), fields.size());
  EXPECT_EQ(parameters::findParameterField("nonsense"), nullptr);
}

TEST(ParameterFields, HaveTheUnitsTheReadmeTableGives) {
  // | 1 | `Tc` | ... | K |: the README's table of the file, one row a field.
  const std::string readme = sourceFile("README.md");
  for (std::size_t k = 0; k < parameters::parameterFields().size(); ++k) {
    const parameters::ParameterField& field = parameters::parameterFields()[k];
    const std::string start = "| " + std::to_string(k + 1) + " | `" + field.name + "` |";
    const std::size_t row = readme.find(start);
    ASSERT_NE(row, std::string::npos) << start;
    const std::string line = readme.substr(row, readme.find('\n', row) - row);
    const std::string unit = line.substr(line.rfind('|', line.size() - 2) + 2);
    const std::string shown = unit.substr(0, unit.find(' '));
    std::string expected = field.unit;
    if (field.kind == parameters::FieldKind::Flag) expected = "flag";
    if (field.kind == parameters::FieldKind::Shape) expected = "letter";
    if (field.kind == parameters::FieldKind::Integer) expected = "integer";
    if (expected.empty()) expected = "—";
    EXPECT_EQ(shown, expected) << field.name;
  }
}

TEST(ParameterFields, WriteARecordTheReaderGivesBackBitForBit) {
  parameters::ParameterSet p =
      support::parametersFrom("600 1e-15 0.5 300 1.5 30 1 30 1 -2.5 1 L 50 0.01 y 100 300 n 300 3000 50 300 0.1 y\n");
  p.mu0 = 1.2345678e-15f;
  p.km = 0.1f;
  const std::string record = parameters::formatParameterRecord(p);
  const parameters::ParameterSet back = support::parametersFrom(record);
  EXPECT_EQ(parameters::formatParameterRecord(back), record);
  for (const parameters::ParameterField& field : parameters::parameterFields())
    if (field.kind == parameters::FieldKind::Real) {
      EXPECT_EQ(test::hex(back.*field.real), test::hex(p.*field.real)) << field.name;
    }
  // The physics of a record is its ModelParameters, and setting it back keeps the rest.
  model::ModelParameters physics = parameters::modelParameters(p);
  physics.sigmac0 = 80.0f;
  parameters::setModelParameters(p, physics);
  EXPECT_EQ(p.sigmac0, 80.0f);
  EXPECT_EQ(p.m, 50);
  EXPECT_EQ(p.Calculate_Hysteresis, 'n');
}

}  // namespace
}  // namespace preisach
