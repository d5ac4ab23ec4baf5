#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "fitting/model_curves.h"
#include "parameters/parameters.h"

// The parts of the module _preisach, one per file.
namespace preisach::python {

void bindParameters(pybind11::module_& m);
void bindCurves(pybind11::module_& m);
void bindMeasured(pybind11::module_& m);
void bindFit(pybind11::module_& m);
void bindExplore(pybind11::module_& m);

// The fit's datasets from the package's dicts, each weighed and checked
// against the record (temperatures below Tc, fields within Ha_max).
std::vector<fitting::Dataset> datasets(const pybind11::list& list, const parameters::ParameterSet& p);

}  // namespace preisach::python
