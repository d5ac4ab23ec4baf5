#include <glog/logging.h>
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "measured/data_error.h"

namespace py = pybind11;

// The compiled part of the package preisach: the parameter record, the
// model's curves on either evaluator, the readers and the fit. Every refusal
// of an input is a ValueError with the lab's message.
namespace {

// Ceres logs through glog; the module reports what matters itself, in its
// exceptions, so glog writes neither log files nor lines on standard error,
// as in preisach-lab.
void silenceLibraryLogging() {
  FLAGS_logtostderr = true;
  FLAGS_minloglevel = google::GLOG_FATAL;
  if (!google::IsGoogleLoggingInitialized()) google::InitGoogleLogging("preisach");
}

}  // namespace

PYBIND11_MODULE(_preisach, m) {
  silenceLibraryLogging();
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
  preisach::python::bindExplore(m);
}
