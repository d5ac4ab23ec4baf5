#pragma once

#include <pybind11/numpy.h>

#include <vector>

namespace preisach::python {

// A numpy copy of a vector.
template <typename T>
pybind11::array_t<T> toArray(const std::vector<T>& values) {
  return pybind11::array_t<T>(static_cast<pybind11::ssize_t>(values.size()), values.data());
}

}  // namespace preisach::python
