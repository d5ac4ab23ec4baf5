#pragma once

#include <pybind11/numpy.h>

#include <vector>

#include "measured/forc_set.h"

namespace preisach::python {

// A numpy copy of a vector.
template <typename T>
pybind11::array_t<T> toArray(const std::vector<T>& values) {
  return pybind11::array_t<T>(static_cast<pybind11::ssize_t>(values.size()), values.data());
}

// The curves of a FORC set as a list of dicts: Hr, H, M and the
// calibration point of each.
inline pybind11::list forcSetToList(const measured::ForcSet& set) {
  pybind11::list curves;
  for (const measured::ForcSet::Curve& c : set.curves) {
    pybind11::dict d;
    d["Hr"] = c.H.empty() ? 0.0 : c.H.front();
    d["H"] = toArray(c.H);
    d["M"] = toArray(c.M);
    d["calibration_field"] = c.calibrationField;
    d["calibration_moment"] = c.calibrationMoment;
    curves.append(d);
  }
  return curves;
}

}  // namespace preisach::python
