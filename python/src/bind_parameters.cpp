#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <string>

#include "bindings.h"
#include "lab/lab_files.h"
#include "measured/data_error.h"
#include "parameters/parameter_fields.h"
#include "parameters/parameters.h"
#include "python_checks.h"

namespace py = pybind11;

namespace preisach::python {

namespace {

using measured::DataError;
using parameters::FieldKind;
using parameters::ParameterField;
using parameters::ParameterSet;

const ParameterField& field(const std::string& name) {
  const ParameterField* f = parameters::findParameterField(name);
  if (f == nullptr) throw DataError("\"" + name + "\" is not a parameter of the parameter file");
  return *f;
}

py::object get(const ParameterSet& p, const std::string& name) {
  const ParameterField& f = field(name);
  switch (f.kind) {
    case FieldKind::Real:
      return py::float_(static_cast<double>(p.*(f.real)));
    case FieldKind::Integer:
      return py::int_(p.*(f.integer));
    case FieldKind::Flag:
      return py::str(std::string(1, p.*(f.letter)));
    case FieldKind::Shape:
      break;
  }
  return py::str(std::string(1, static_cast<char>(p.*(f.shape))));
}

char letterOf(const std::string& name, const py::object& value) {
  if (!py::isinstance<py::str>(value)) throw DataError(name + ": a letter is expected");
  const std::string text = value.cast<std::string>();
  if (text.size() != 1) throw DataError(name + ": \"" + parameters::escapedText(text) + "\" is not one letter");
  return text[0];
}

// Sets one value; the record as a whole is checked by the reader after.
void set(ParameterSet& p, const std::string& name, const py::object& value) {
  const ParameterField& f = field(name);
  if (f.kind == FieldKind::Flag) {
    p.*(f.letter) = letterOf(name, value);
  } else if (f.kind == FieldKind::Shape) {
    p.*(f.shape) = static_cast<model::DensityShape>(letterOf(name, value));
  } else if (f.kind == FieldKind::Integer) {
    const double v = value.cast<double>();
    if (!(v == std::floor(v)) || !(std::fabs(v) < 2147483648.0))
      throw DataError(name + ": " + lab::formatNumber(v) + " is not a 32-bit integer");
    p.*(f.integer) = static_cast<std::int32_t>(v);
  } else {
    const double v = value.cast<double>();
    if (!std::isfinite(v)) throw DataError(name + ": " + lab::formatNumber(v) + " is not a finite number");
    p.*(f.real) = static_cast<float>(v);
  }
}

py::list fieldTable() {
  py::list table;
  for (const ParameterField& f : parameters::parameterFields()) {
    py::dict row;
    row["name"] = f.name;
    row["label"] = f.label;
    row["unit"] = f.unit;
    row["fittable"] = f.fittable;
    table.append(row);
  }
  return table;
}

}  // namespace

void bindParameters(py::module_& m) {
  py::class_<ParameterSet>(m, "Record", "The 24 values of a parameter file")
      .def(py::init<>())
      .def("get", &get, py::arg("name"))
      .def("set", &set, py::arg("name"), py::arg("value"))
      .def("format", [](const ParameterSet& p) { return parameters::formatParameterRecord(p); })
      .def("copy", [](const ParameterSet& p) { return ParameterSet(p); })
      // To a worker as its record's text, which reads back bit for bit.
      .def(py::pickle([](const ParameterSet& p) { return parameters::formatParameterRecord(p); },
                      [](const std::string& text) { return readParameterText("parameters", text); }));
  m.def("read_parameter_file", &lab::readParameters, py::arg("path"),
        "The record in force of a parameter file, checked as preisach-lab reads it");
  m.def("read_parameter_text", &readParameterText, py::arg("name"), py::arg("text"));
  m.def("write_parameter_file", [](const ParameterSet& p, const std::string& path) {
    lab::writeTextFile(path, parameters::formatParameterRecord(p));
  });
  m.def("parameter_fields", &fieldTable, "name, label, unit and fittable of the 24 fields in file order");
}

}  // namespace preisach::python
