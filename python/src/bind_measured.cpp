#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>

#include "arrays.h"
#include "bindings.h"
#include "lab/sequence_datasets.h"
#include "measured/measured_data.h"
#include "measured/pmc_format.h"
#include "measured/text_cells.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

py::dict report(const measured::ReadReport& r) {
  py::dict d;
  d["format"] = r.format;
  d["field_unit"] = r.fieldUnit;
  d["moment_unit"] = r.momentUnit;
  d["columns"] = r.columns;
  d["notes"] = r.notes;
  d["text"] = measured::describe(r);
  return d;
}

py::object optional(const std::optional<double>& value) {
  return value ? py::object(py::float_(*value)) : py::object(py::none());
}

py::dict curve(const measured::Curve& c) {
  py::dict d;
  d["file"] = c.file;
  d["x"] = toArray(c.x);
  d["M"] = toArray(c.moment);
  d["error"] = c.hasErrors() ? py::object(toArray(c.error)) : py::object(py::none());
  d["line"] = toArray(c.line);
  d["field"] = optional(c.field);
  d["temperature"] = optional(c.temperature);
  d["report"] = report(c.report);
  return d;
}

py::dict readZfcFc(const std::string& path) {
  const measured::ZfcFcData data = measured::readZfcFc(path);
  py::dict d;
  d["zfc"] = curve(data.zfc);
  d["fc"] = curve(data.fc);
  d["field"] = optional(data.field);
  d["report"] = report(data.report);
  return d;
}

py::dict readLoop(const std::string& path) {
  const measured::LoopData data = measured::readLoop(path);
  py::dict d = curve(data.loop);
  d["descending"] = data.descending;
  return d;
}

py::dict readPmc(const std::string& path) {
  const measured::ForcSet set = measured::readPmc(path);
  const py::list curves = forcSetToList(set);
  py::dict d;
  d["curves"] = curves;
  d["report"] = report(set.report);
  return d;
}

// A measurement of a sequence file: its curve, what it is and how it was told apart.
py::dict measurement(const measured::Measurement& m) {
  py::dict d = curve(m.curve);
  static const char* const kKinds[] = {"zfc", "fc", "sweep", "loop", "virgin"};
  d["kind"] = kKinds[static_cast<int>(m.kind)];
  d["field"] = std::isnan(m.field) ? py::object(py::none()) : py::object(py::float_(m.field));
  d["temperature"] = std::isnan(m.temperature) ? py::object(py::none()) : py::object(py::float_(m.temperature));
  if (m.kind == measured::MeasurementKind::Loop) d["descending"] = m.descending;
  d["description"] = measured::describe(m);
  return d;
}

py::list readMeasurements(const std::string& path) {
  py::list list;
  for (const measured::Measurement& m : measured::readMeasurements(path)) list.append(measurement(m));
  return list;
}

// The datasets the lab's data option takes from a sequence file, as the
// dicts the package's fit takes; None for a file of plain columns.
py::object sequenceDatasets(const std::string& option, const std::string& path, py::object pick) {
  const std::vector<measured::Measurement> found = measured::readMeasurements(path);
  if (found.empty()) return py::none();
  const lab::DataRequest request = option == "zfcfc" ? lab::DataRequest::ZfcFc
                                   : option == "zfc" ? lab::DataRequest::Zfc
                                   : option == "fc"  ? lab::DataRequest::Fc
                                                     : lab::DataRequest::Loop;
  const std::optional<double> value = pick.is_none() ? std::nullopt : std::optional<double>(pick.cast<double>());
  py::list list;
  for (const fitting::Dataset& data : lab::sequenceDatasets("--" + option, request, path, found, value)) {
    py::dict d = curve(data.curve);
    d["kind"] = data.kind == fitting::CurveKind::Zfc ? "zfc" : data.kind == fitting::CurveKind::Fc ? "fc" : "loop";
    d["condition"] = data.condition;
    if (data.kind == fitting::CurveKind::Loop) {
      d["temperature"] = static_cast<double>(data.temperature);
      d["descending"] = data.descending;
      d["field"] = py::none();
    } else {
      d["field"] = static_cast<double>(data.field);
      d["temperature"] = py::none();
    }
    list.append(d);
  }
  return std::move(list);
}

}  // namespace

void bindMeasured(py::module_& m) {
  m.def("read_measurements", &readMeasurements, py::arg("path"));
  m.def("sequence_datasets", &sequenceDatasets, py::arg("option"), py::arg("path"), py::arg("pick") = py::none());
  m.def("read_zfcfc", &readZfcFc, py::arg("path"));
  m.def("read_curve", [](const std::string& path) { return curve(measured::readTemperatureCurve(path)); });
  m.def("read_loop", &readLoop, py::arg("path"));
  m.def("read_pmc", &readPmc, py::arg("path"));
  // The first bytes of a measured file, refused as every reader refuses it
  // (a folder, a device, a FIFO: checked before it is opened).
  m.def(
      "file_head", [](const std::string& path) { return py::bytes(measured::inputFileText(path).substr(0, 4096)); },
      py::arg("path"));
}

}  // namespace preisach::python
