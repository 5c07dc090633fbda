// The arrays the module's functions take, checked once on the way in. An argument that
// already is a C-contiguous array of the type Facet works in (float32 positions, uint32
// corners) is used as it is, without a copy; anything else numpy can turn into such an
// array (float64, a list of lists, a strided view, other integer widths) is converted
// once. Refused with ValueError, before anything is computed or written: a shape other
// than N x 3 (N x 2 texture coordinates, N x 3 or N x 4 colours), a dtype that is not numeric (corners: not an integer), a NaN or infinite
// coordinate (no mesh file can hold one, so the results could never match the
// program's), a negative or out-of-range corner, and counts past 32-bit numbering.
#pragma once

#include <pybind11/numpy.h>

#include <cstddef>
#include <cstdint>

namespace facet_python {

namespace py = pybind11;

// An array of T as the library reads it: C-contiguous, converted when it is not already.
template <class T>
using InputArray = py::array_t<T, py::array::c_style | py::array::forcecast>;

// N rows of floats: positions and normals (3 columns), texture coordinates (2), colours (3 or 4).
struct FloatRows {
    InputArray<float> array;
    std::size_t rows = 0;
    std::size_t columns = 0;

    const float* data() const { return array.data(); }
};

// `function` and `name` are for the message ("facet.weld: positions ...").
FloatRows TakeFloat3(py::handle object, const char* function, const char* name);
// N x `minColumns` to N x `maxColumns` finite floats.
FloatRows TakeFloatRows(py::handle object, const char* function, const char* name, std::size_t minColumns,
                        std::size_t maxColumns);

// M x 3 corner indices, each checked against a vertex count.
class FaceArray {
public:
    std::size_t rows() const { return rows_; }
    // The largest corner plus one (0 without faces): the fewest vertices the faces need.
    std::size_t VerticesNeeded() const { return verticesNeeded_; }
    // Copies the 3 x rows() corners, narrowed to `Index` (each below VerticesNeeded()).
    template <class Index>
    void CopyTo(Index* out) const;

private:
    friend FaceArray TakeFaces(py::handle object, const char* function);
    bool useNarrow_ = false;
    InputArray<std::uint32_t> narrow_;  // the input itself when it was uint32
    InputArray<std::int64_t> wide_;     // any other integer type, converted once
    std::size_t rows_ = 0;
    std::size_t verticesNeeded_ = 0;
};

FaceArray TakeFaces(py::handle object, const char* function);

// ValueError unless every corner is below `vertexCount`.
void CheckCorners(const FaceArray& faces, std::size_t vertexCount, const char* function);

// A weld distance: finite, 0 or more.
float TakeEpsilon(double epsilon, const char* function);

}  // namespace facet_python
