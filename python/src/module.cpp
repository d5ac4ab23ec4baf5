#include <pybind11/pybind11.h>

#include "bindings.h"
#include "measured/data_error.h"

namespace py = pybind11;

// The compiled part of the package preisach: the parameter record, the
// model's curves on either evaluator, the readers and the fit. Every refusal
// of an input is a ValueError with the lab's message.
PYBIND11_MODULE(_preisach, m) {
  m.doc() = "The Preisach model of fine-particle ensembles: curves, readers and fit";
  m.attr("__version__") = PREISACH_VERSION;
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const preisach::measured::DataError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  preisach::python::bindParameters(m);
  preisach::python::bindCurves(m);
  preisach::python::bindMeasured(m);
  preisach::python::bindFit(m);
}
