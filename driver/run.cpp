#include "driver/run.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "model/density.h"
#include "model/grid.h"
#include "parameters/data_directory.h"

namespace preisach::driver {

namespace {

enum class FileRead { Read, Missing };

// A parameter file is a few lines; far more than that is no parameter file,
// and it must not fill the memory.
constexpr std::size_t kLargestParameterFile = 64u << 20;

// The parameter file's whole text; on failure one line on console.err.
FileRead loadParameterText(const std::string& path, std::string& text, const model::Console& console) {
  // A pipe or a device in the file's place would block the pass or never end.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
      !std::filesystem::is_directory(status)) {
    console.err << "cannot read " << path << ": not a regular file" << std::endl;
    return FileRead::Missing;
  }
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    console.err << "cannot open " << path << ": " << std::strerror(errno) << std::endl;
    return FileRead::Missing;
  }
  char buffer[4096];
  std::size_t n = 0;
  while (text.size() <= kLargestParameterFile && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  std::fclose(file);
  if (failed) {
    console.err << "cannot read " << path << ": " << std::strerror(reason) << std::endl;
    return FileRead::Missing;
  }
  if (text.size() > kLargestParameterFile) {
    console.err << path << " holds more than " << (kLargestParameterFile >> 20)
                << " MB, which no parameter file does; nothing is computed in this pass" << std::endl;
    return FileRead::Missing;
  }
  return FileRead::Read;
}

// Reads and echoes the parameter file; true when its record in force can be
// computed with. Every reason not to is one line on console.err.
bool readParameters(ParameterSet& parameters, const model::Console& console, const KeyPause& pause) {
  const std::string path = dataFilePath(kParameterFileName);
  std::string text;
  if (loadParameterText(path, text, console) == FileRead::Missing) return false;
  std::istringstream stream(text);
  const parameters::ReadResult result = parameters::readParameterFile(stream, parameters, console.out, pause);
  if (result.status == parameters::ReadStatus::NoValue) {
    console.err << path << " holds no parameter value; nothing is computed in this pass" << std::endl;
    return false;
  }
  pause();
  if (result.status == parameters::ReadStatus::FieldUnreadable) {
    console.err << path << ": " << parameters::describeReadFailure(result) << "; nothing is computed in this pass"
                << std::endl;
    return false;
  }
  const char letter = static_cast<char>(parameters.PDF);
  if (!model::isDensityShape(letter)) {
    console.err << path << ": the density shape PDF must be one of the upper-case letters "
                << model::densityShapeLetters() << ", but '" << parameters::escapedText(std::string(1, letter))
                << "' was read; nothing is computed in this pass" << std::endl;
    return false;
  }
  if (parameters.m < 1 || parameters.m > model::kLargestGridDivisions) {
    console.err << path << ": m=" << parameters.m << " must lie between 1 and " << model::kLargestGridDivisions
                << " (a refined axis has 3m nodes, and the point counters of its grid must fit in 32 bits); "
                << "nothing is computed in this pass" << std::endl;
    return false;
  }
  // A width is a spread: a negative one is a mistake in the file, not a
  // narrower distribution. The computation runs as the record says.
  for (const auto& [name, width] : {std::pair{"sigmac0", parameters.sigmac0}, {"sigmai0", parameters.sigmai0}})
    if (width < 0.0f)
      console.err << "warning: " << name << "=" << width << " Oe is a negative width; a distribution's width is "
                  << "positive, and what this record computes is not a physical ensemble" << std::endl;
  return true;
}

}  // namespace

int runProgram(std::istream& answers,
               const model::Console& console,
               const KeyPause& pause,
               const Evaluations& evaluations) {
  ParameterSet parameters;
  char answer = 'y';
  bool passComplete = true;
  while (answer == 'y') {
    // A pass is complete when it did all that its flags asked for; the exit
    // status tells a script whether the last pass's results are fresh.
    const bool readable = readParameters(parameters, console, pause);
    passComplete = readable;
    if (readable && isOn(parameters.Calculate_ZFCFC))
      passComplete = runTemperatureSweep(parameters, console, evaluations) && passComplete;
    if (readable && isOn(parameters.Calculate_Hysteresis))
      passComplete = runHysteresisLoop(parameters, console, evaluations) && passComplete;
    console.out << "If you want to continue press \"y\"" << std::endl;
    if (!(answers >> answer)) break;
  }
  return passComplete ? 0 : 1;
}

}  // namespace preisach::driver
