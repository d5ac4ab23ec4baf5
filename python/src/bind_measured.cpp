#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "arrays.h"
#include "bindings.h"
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

}  // namespace

void bindMeasured(py::module_& m) {
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
