#include "lab/read_command.h"

#include "lab/result_set.h"
#include "measured/measured_data.h"
#include "measured/text_cells.h"

namespace preisach::lab {

void addReadCommand(CLI::App& app, ReadArguments& a) {
  CLI::App* command = app.add_subcommand(
      "read",
      "How measured files are read (format, units converted to K, Oe and emu, columns, notes) and the "
      "measurements each holds: ZFC and FC curves with their field in Oe, loops and virgin curves with their "
      "temperature in K, points and lines; nothing is written");
  command->add_option("FILE", a.files, "magnetometer files or plain columns")->required();
  command->callback([&a] { a.chosen = true; });
}

std::string readReportText(const std::string& path) {
  const std::string text = measured::inputFileText(path);
  const std::vector<measured::Measurement> found = measured::readMeasurementsText(path, text);
  std::string report = measured::shownName(path) + ":\n";
  if (found.empty()) {
    // Plain columns: one curve, of the kind the fit's option names.
    const measured::Curve curve = measured::readTemperatureCurveText(path, text);
    report += "  " + measured::escapedControls(measured::describe(curve.report)) + "\n";
    for (const std::string& note : curve.report.notes) report += "  note: " + measured::escapedControls(note) + "\n";
    return report + "  one curve of " + std::to_string(curve.size()) +
           " points: its kind (ZFC, FC or loop) is the option's that names the file\n";
  }
  const measured::ReadReport& how = found.front().curve.report;
  report += "  " + measured::escapedControls(measured::describe(how)) + "\n";
  for (const std::string& note : how.notes) report += "  note: " + measured::escapedControls(note) + "\n";
  report += "  " + std::to_string(found.size()) + (found.size() == 1 ? " measurement:\n" : " measurements:\n");
  for (std::size_t k = 0; k < found.size(); ++k)
    report += "  " + std::to_string(k + 1) + ". " + measured::escapedControls(measured::describe(found[k])) + "\n";
  return report;
}

int runRead(const ReadArguments& a) {
  for (const std::string& file : a.files) writeStandardOutput(readReportText(file));
  return 0;
}

}  // namespace preisach::lab
