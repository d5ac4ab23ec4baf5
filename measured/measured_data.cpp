#include "measured/measured_data.h"

#include <string>
#include <vector>

#include "measured/format_reader.h"
#include "measured/magnetometer_file.h"
#include "measured/plain_columns.h"
#include "measured/text_cells.h"

namespace preisach::measured {

namespace {

// The formats in the order they are tried; plain columns take any file.
const FormatReader& readerFor(const std::vector<std::string>& lines) {
  static const FormatReader* const kReaders[] = {&magnetometerReader(), &plainColumnsReader()};
  for (const FormatReader* reader : kReaders)
    if (reader->recognises(lines)) return *reader;
  return plainColumnsReader();
}

}  // namespace

ZfcFcData readZfcFc(const std::string& path) {
  return readZfcFcText(path, inputFileText(path));
}

Curve readTemperatureCurve(const std::string& path) {
  return readTemperatureCurveText(path, inputFileText(path));
}

LoopData readLoop(const std::string& path) {
  return readLoopText(path, inputFileText(path));
}

std::vector<Measurement> readMeasurements(const std::string& path) {
  return readMeasurementsText(path, inputFileText(path));
}

std::vector<Measurement> readMeasurementsText(const std::string& path, const std::string& text) {
  const std::vector<std::string> lines = textLines(text);
  const FormatReader& reader = readerFor(lines);
  if (reader.measurements == nullptr) return {};
  return reader.measurements(path, lines);
}

ZfcFcData readZfcFcText(const std::string& path, const std::string& text) {
  const std::vector<std::string> lines = textLines(text);
  return readerFor(lines).zfcFc(path, lines);
}

Curve readTemperatureCurveText(const std::string& path, const std::string& text) {
  const std::vector<std::string> lines = textLines(text);
  return readerFor(lines).temperatureCurve(path, lines);
}

LoopData readLoopText(const std::string& path, const std::string& text) {
  const std::vector<std::string> lines = textLines(text);
  LoopData data;
  data.loop = readerFor(lines).fieldCurve(path, lines);
  // A point is on the branch its field is moving along: the direction of the
  // step into it, or for the first point the step out of it.
  const std::vector<double>& H = data.loop.x;
  if (H.size() < 2) refuse(path, 0, 0, "holds fewer than two fields: no branch can be told");
  data.descending.resize(H.size());
  for (std::size_t k = 0; k < H.size(); ++k) {
    const double step = k == 0 ? H[1] - H[0] : H[k] - H[k - 1];
    data.descending[k] = step < 0.0 || (step == 0.0 && k > 0 && data.descending[k - 1]);
  }
  return data;
}

}  // namespace preisach::measured
