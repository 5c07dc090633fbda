// Checking and converting the arrays the module takes; see array_input.h.
#include "array_input.h"

#include "errors.h"

#include <cmath>
#include <limits>
#include <string>

namespace facet_python {

namespace {

std::string Prefix(const char* function, const char* name) {
    return std::string("facet.") + function + ": " + name + " ";
}

std::string ShapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t axis = 0; axis < array.ndim(); ++axis)
        text += (axis > 0 ? ", " : "") + std::to_string(array.shape(axis));
    return text + (array.ndim() == 1 ? ",)" : ")");
}

// Any array numpy can make of `object`, its shape checked to be N x minColumns to
// N x maxColumns.
py::array TakeRows(py::handle object, const char* function, const char* name, const char* kinds,
                   const char* kindText, std::size_t minColumns = 3, std::size_t maxColumns = 3) {
    py::array array = py::array::ensure(object);
    if (!array) {
        PyErr_Clear();
        ThrowValueError(Prefix(function, name) + "must be an array of " + kindText);
    }
    const char kind = array.dtype().kind();
    if (std::string(kinds).find(kind) == std::string::npos)
        ThrowValueError(Prefix(function, name) + "must be " + kindText + ", not dtype " +
                        py::str(array.dtype()).cast<std::string>());
    const auto columns = array.ndim() == 2 ? static_cast<std::size_t>(array.shape(1)) : 0;
    if (array.ndim() != 2 || columns < minColumns || columns > maxColumns) {
        std::string shapes = "(N, " + std::to_string(minColumns) + ")";
        for (std::size_t c = minColumns + 1; c <= maxColumns; ++c) shapes += " or (N, " + std::to_string(c) + ")";
        ThrowValueError(Prefix(function, name) + "must have the shape " + shapes + ", not " + ShapeText(array));
    }
    if (static_cast<std::uint64_t>(array.shape(0)) >= std::numeric_limits<std::uint32_t>::max())
        ThrowValueError(Prefix(function, name) + "hold more rows than 32-bit indices can number");
    return array;
}

template <class T>
InputArray<T> Converted(const py::array& array) {
    return InputArray<T>::ensure(array);
}

}  // namespace

FloatRows TakeFloatRows(py::handle object, const char* function, const char* name, std::size_t minColumns,
                        std::size_t maxColumns) {
    const py::array rows = TakeRows(object, function, name, "fiu", "numbers", minColumns, maxColumns);
    FloatRows taken;
    taken.array = Converted<float>(rows);
    if (!taken.array) ThrowValueError(Prefix(function, name) + "cannot be converted to float32");
    taken.rows = static_cast<std::size_t>(rows.shape(0));
    taken.columns = static_cast<std::size_t>(rows.shape(1));
    const float* values = taken.data();
    for (std::size_t i = 0; i < taken.columns * taken.rows; ++i)
        if (!std::isfinite(values[i]))
            ThrowValueError(Prefix(function, name) + "row " + std::to_string(i / taken.columns) +
                            " is not finite as float32 (NaN, infinite or too large)");
    return taken;
}

FloatRows TakeFloat3(py::handle object, const char* function, const char* name) {
    return TakeFloatRows(object, function, name, 3, 3);
}

FaceArray TakeFaces(py::handle object, const char* function) {
    const py::array rows = TakeRows(object, function, "faces", "iu", "integers");
    FaceArray faces;
    faces.rows_ = static_cast<std::size_t>(rows.shape(0));
    std::uint64_t largest = 0;
    faces.useNarrow_ = py::isinstance<py::array_t<std::uint32_t>>(rows);
    if (faces.useNarrow_) {
        faces.narrow_ = Converted<std::uint32_t>(rows);
        if (!faces.narrow_) ThrowValueError(Prefix(function, "faces") + "cannot be read as uint32");
        const std::uint32_t* corners = faces.narrow_.data();
        for (std::size_t i = 0; i < 3 * faces.rows_; ++i) largest = corners[i] > largest ? corners[i] : largest;
    } else {
        // uint64 corners past the int64 range wrap to negative here and are refused with them.
        faces.wide_ = Converted<std::int64_t>(rows);
        if (!faces.wide_) ThrowValueError(Prefix(function, "faces") + "cannot be converted to int64");
        const std::int64_t* corners = faces.wide_.data();
        for (std::size_t i = 0; i < 3 * faces.rows_; ++i) {
            if (corners[i] < 0)
                ThrowValueError(Prefix(function, "faces") + "row " + std::to_string(i / 3) +
                                " has a negative corner (or one past the int64 range)");
            const auto corner = static_cast<std::uint64_t>(corners[i]);
            largest = corner > largest ? corner : largest;
        }
    }
    if (largest >= std::numeric_limits<std::uint32_t>::max())
        ThrowValueError(Prefix(function, "faces") + "name corner " + std::to_string(largest) +
                        ", past 32-bit vertex numbering");
    faces.verticesNeeded_ = faces.rows_ == 0 ? 0 : static_cast<std::size_t>(largest) + 1;
    return faces;
}

template <class Index>
void FaceArray::CopyTo(Index* out) const {
    const std::size_t count = 3 * rows_;
    if (useNarrow_) {
        const std::uint32_t* corners = narrow_.data();
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<Index>(corners[i]);
    } else {
        const std::int64_t* corners = wide_.data();
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<Index>(corners[i]);
    }
}

template void FaceArray::CopyTo<std::uint16_t>(std::uint16_t*) const;
template void FaceArray::CopyTo<std::uint32_t>(std::uint32_t*) const;

void CheckCorners(const FaceArray& faces, std::size_t vertexCount, const char* function) {
    if (faces.VerticesNeeded() > vertexCount)
        ThrowValueError(Prefix(function, "faces") + "name vertex " + std::to_string(faces.VerticesNeeded() - 1) +
                        ", but there are " + std::to_string(vertexCount) + " positions");
}

float TakeEpsilon(double epsilon, const char* function) {
    const float value = static_cast<float>(epsilon);
    if (!std::isfinite(value) || value < 0.0f)
        ThrowValueError(std::string("facet.") + function + ": epsilon needs a finite number, 0 or more, not " +
                        py::str(py::float_(epsilon)).cast<std::string>());
    return value;
}

}  // namespace facet_python
