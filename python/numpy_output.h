// Results handed to Python as numpy arrays without a copy: the array owns the vector the
// library filled.
#pragma once

#include <pybind11/numpy.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace facet_python {

namespace py = pybind11;

// An array of `rows` x `columns` (or of `rows` alone when `columns` is 0) over `values`.
template <class T>
py::array_t<T> ToArray(std::vector<T>&& values, std::size_t rows, std::size_t columns) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule owner(owned, [](void* pointer) { delete static_cast<std::vector<T>*>(pointer); });
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(rows)};
    if (columns != 0) shape.push_back(static_cast<py::ssize_t>(columns));
    return py::array_t<T>(shape, owned->data(), owner);
}

}  // namespace facet_python
