#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

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

std::string typeName(const py::object& value) {
  return py::str(py::type::of(value).attr("__name__")).cast<std::string>();
}

// A flag or shape is one printable character: a blank or a line end would
// move every later value of the record by one place when it is written.
char letterOf(const std::string& name, const py::object& value) {
  if (!py::isinstance<py::str>(value)) throw py::type_error(name + ": a letter is expected, not " + typeName(value));
  const std::string text = value.cast<std::string>();
  if (text.size() != 1 || std::isgraph(static_cast<unsigned char>(text[0])) == 0)
    throw DataError(name + ": \"" + parameters::escapedText(text) + "\" is not one letter");
  return text[0];
}

double numberOf(const std::string& name, const py::object& value) {
  if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value))
    throw py::type_error(name + ": a number is expected, not " + typeName(value));
  try {
    return value.cast<double>();
  } catch (const py::cast_error&) {
    throw py::type_error(name + ": a number is expected, not " + typeName(value));
  }
}

// Sets one value; the record as a whole is checked by the reader after.
void set(ParameterSet& p, const std::string& name, const py::object& value) {
  const ParameterField& f = field(name);
  if (f.kind == FieldKind::Flag) {
    p.*(f.letter) = letterOf(name, value);
  } else if (f.kind == FieldKind::Shape) {
    p.*(f.shape) = static_cast<model::DensityShape>(letterOf(name, value));
  } else if (f.kind == FieldKind::Integer) {
    const double v = numberOf(name, value);
    if (!(v == std::floor(v)) || !(std::fabs(v) < 2147483648.0))
      throw DataError(name + ": " + lab::formatNumber(v) + " is not a 32-bit integer");
    p.*(f.integer) = static_cast<std::int32_t>(v);
  } else {
    const double v = numberOf(name, value);
    if (!std::isfinite(v)) throw DataError(name + ": " + lab::formatNumber(v) + " is not a finite number");
    p.*(f.real) = static_cast<float>(v);
  }
}

// What the reader of a file would silently change or take: a temperature
// at or above Tc becomes Tc - 10 there, and a negative Tc or width gives NaN
// curves on one evaluator and numbers on the other. Checked on the values a
// replace() names, before the record is read again.
void checkChanged(const ParameterSet& p, const std::vector<std::string>& names) {
  const auto named = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  if (named("Tc") && !(p.Tc > 0.0f))
    throw DataError("Tc=" + lab::formatNumber(p.Tc) + " K: the critical temperature must be positive");
  if (named("Tc") || named("T_max") || named("T_hyst"))
    for (const auto& [label, T] : {std::pair{"T_max", p.T_max}, std::pair{"T_hyst", p.T_hyst}})
      if (!(T > 0.0f) || !(T < p.Tc))
        throw DataError(std::string(label) + "=" + lab::formatNumber(T) +
                        " K is not between 0 and Tc = " + lab::formatNumber(p.Tc) + " K");
  for (const auto& [label, width] : {std::pair{"sigmac0", p.sigmac0}, std::pair{"sigmai0", p.sigmai0}})
    if (named(label) && !(width >= 0.0f))
      throw DataError(std::string(label) + "=" + lab::formatNumber(width) +
                      " Oe: a width of the density must not be negative");
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
      .def("check_changed", &checkChanged, py::arg("names"))
      // To a worker as its record's text, which reads back bit for bit.
      .def(py::pickle([](const ParameterSet& p) { return parameters::formatParameterRecord(p); },
                      [](const std::string& text) { return readParameterText("parameters", text); }));
  m.def("read_parameter_file", &lab::readParameters, py::arg("path"),
        "The record in force of a parameter file, checked as preisach-lab reads it");
  m.def("read_parameter_text", &readParameterText, py::arg("name"), py::arg("text"));
  m.def("write_parameter_file", [](const ParameterSet& p, const std::string& path) {
    requireResultPath(path);
    lab::writeTextFile(path, parameters::formatParameterRecord(p));
  });
  m.def("parameter_fields", &fieldTable, "name, label, unit and fittable of the 24 fields in file order");
}

}  // namespace preisach::python
