#pragma once

#include <pybind11/pybind11.h>

// The parts of the module _preisach, one per file.
namespace preisach::python {

void bindParameters(pybind11::module_& m);
void bindCurves(pybind11::module_& m);
void bindMeasured(pybind11::module_& m);
void bindFit(pybind11::module_& m);

}  // namespace preisach::python
