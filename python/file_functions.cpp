// facet.read, facet.write and facet.info: mesh files in and out, and the counts of
// `facet info`.
#include "functions.h"

#include "array_input.h"
#include "array_mesh.h"
#include "errors.h"
#include "info_report.h"
#include "mesh_input.h"
#include "thread_pools.h"

#include "springdrop/file/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace facet_python {

namespace {

py::dict InfoDict(const std::string& json) {
    return py::module_::import("json").attr("loads")(json);
}

py::dict InfoOfInput(py::handle source, py::handle format, float epsilon, unsigned threads) {
    const InputMesh input(source, format, true, "info", threads);
    facet::MeshStatistics statistics;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        result = CountMeshForInfo(input.mesh(), input.summary(), epsilon, nullptr, &statistics, pool.get());
    }
    if (FAILED(result)) ThrowFailure("info", "counting", result);
    return InfoDict(InfoJson(input.file() ? input.file()->c_str() : nullptr, input.summary(), statistics));
}

// The counts of data in memory: everything but the file's own record (name, format,
// encoding, polygons before splitting) comes from the arrays as they are now.
py::dict InfoOfMeshData(const MeshData& data, float epsilon, unsigned threads) {
    const FloatRows positions = TakeFloat3(data.positions, "info", "positions");
    const FaceArray faces = TakeFaces(data.faces, "info");
    CheckCorners(faces, positions.rows, "info");
    facet::MeshFileSummary summary = data.summary.value_or(facet::MeshFileSummary{});
    if (!data.summary) summary.polygons = static_cast<DWORD>(faces.rows());
    summary.vertices = static_cast<DWORD>(positions.rows);
    for (int axis = 0; axis < 3; ++axis) {
        summary.minimum[axis] = summary.maximum[axis] = positions.rows > 0 ? positions.data()[axis] : 0.0f;
        for (std::size_t v = 1; v < positions.rows; ++v) {
            summary.minimum[axis] = std::min(summary.minimum[axis], positions.data()[3 * v + axis]);
            summary.maximum[axis] = std::max(summary.maximum[axis], positions.data()[3 * v + axis]);
        }
    }
    facet::MeshStatistics statistics;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        ArrayMesh mesh;
        if (faces.rows() > 0) result = mesh.Create(positions.data(), positions.rows, &faces);
        if (SUCCEEDED(result)) result = CountMeshForInfo(mesh.get(), summary, epsilon, nullptr, &statistics, pool.get());
    }
    if (FAILED(result)) ThrowFailure("info", "counting", result);
    py::dict info = InfoDict(InfoJson(data.file ? data.file->c_str() : nullptr, summary, statistics));
    if (!data.summary) {
        info["format"] = py::none();
        info["encoding"] = py::none();
    }
    return info;
}


void CheckOneRowPerPosition(const FloatRows& taken, const FloatRows& positions, const char* name) {
    if (taken.rows != positions.rows)
        ThrowValueError(std::string("facet.write: ") + name + " must have one row per position");
}

// Colours as floats from 0 to 1, or as uint8 values written as the 8-bit numbers they are;
// RGB rows are opaque.
void TakeColors(py::handle colors, const FloatRows& positions, facet::MeshFileData* data) {
    const bool bytes = py::isinstance<py::array_t<std::uint8_t>>(colors);
    const FloatRows taken = TakeFloatRows(colors, "write", "colors", 3, 4);
    CheckOneRowPerPosition(taken, positions, "colors");
    const float scale = bytes ? 1.0f / 255.0f : 1.0f;
    data->colors.resize(4 * taken.rows);
    for (std::size_t row = 0; row < taken.rows; ++row)
        for (std::size_t c = 0; c < 4; ++c) {
            const float value = c < taken.columns ? taken.data()[row * taken.columns + c] * scale : 1.0f;
            if (!(value >= 0.0f && value <= 1.0f))
                ThrowValueError("facet.write: colors row " + std::to_string(row) +
                                " is outside 0 to 1 (uint8 arrays give 0 to 255)");
            data->colors[4 * row + c] = value;
        }
    data->colorBytes = bytes;
}

// Refused rather than dropped: a caller who passes data expects to find it in the file.
void RefuseWhatTheFormatLeavesOut(const facet::MeshFileData& data, facet::MeshFileFormat format) {
    const facet::MeshFileLosses losses = facet::MeshFileLossesOf(data, format);
    const std::string holds = std::string("facet.write: ") + MeshFormatName(format) + " files hold no ";
    if (losses.normals > 0) ThrowValueError(holds + "vertex normals; pass normals=None");
    if (losses.textureCoordinates > 0) ThrowValueError(holds + "texture coordinates; pass texcoords=None");
    if (losses.colors > 0) ThrowValueError(holds + "vertex colors; pass colors=None");
    if (losses.alphas > 0) ThrowValueError(holds + "alpha; pass RGB colors or opaque alpha");
    if (losses.verticesOutsideFaces > 0)
        ThrowValueError(holds + "vertices outside the faces; " + std::to_string(losses.verticesOutsideFaces) +
                        " positions are in no face");
}

}  // namespace

MeshData Read(py::handle source, py::handle format, py::handle threads) {
    const InputMesh input(source, format, false, "read", TakeThreads(threads, "read"));
    facet::MeshFileData data;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        result = facet::CopyMeshFileData(input.mesh(), false, &data);
    }
    if (FAILED(result)) ThrowFailure("read", "copying the mesh", result);
    return MeshDataFromFile(std::move(data), input.summary(), input.file());
}

void Write(py::handle path, py::handle positions, py::handle faces, py::handle normals, py::handle texcoords,
           py::handle colors, bool binary) {
    const std::string name = FileSystemPath(path);
    facet::MeshWriteOptions options;
    if (!facet::MeshFileFormatOfPath(name.c_str(), &options.format))
        ThrowValueError("facet.write: name the file .obj, .ply, .off or .stl to choose its format");
    // OBJ and OFF are text only: `binary` chooses the encoding of the formats that have two.
    options.binary = binary && (options.format == facet::MeshFileFormat::Ply ||
                                options.format == facet::MeshFileFormat::Stl);

    const FloatRows takenPositions = TakeFloat3(positions, "write", "positions");
    const FaceArray takenFaces = TakeFaces(faces, "write");
    CheckCorners(takenFaces, takenPositions.rows, "write");
    if (takenFaces.rows() == 0) ThrowValueError("facet.write: faces is empty, and a mesh file needs a face");
    facet::MeshFileData data;
    if (!normals.is_none()) {
        const FloatRows taken = TakeFloat3(normals, "write", "normals");
        CheckOneRowPerPosition(taken, takenPositions, "normals");
        data.normals.assign(taken.data(), taken.data() + 3 * taken.rows);
        options.normals = true;
    }
    if (!texcoords.is_none()) {
        const FloatRows taken = TakeFloatRows(texcoords, "write", "texcoords", 2, 2);
        CheckOneRowPerPosition(taken, takenPositions, "texcoords");
        data.textureCoordinates.assign(taken.data(), taken.data() + 2 * taken.rows);
    }
    if (!colors.is_none()) TakeColors(colors, takenPositions, &data);
    {
        py::gil_scoped_release unlocked;
        data.positions.assign(takenPositions.data(), takenPositions.data() + 3 * takenPositions.rows);
        data.corners.resize(3 * takenFaces.rows());
        takenFaces.CopyTo(data.corners.data());
    }
    RefuseWhatTheFormatLeavesOut(data, options.format);

    std::string error;
    {
        py::gil_scoped_release unlocked;
        // Complete or absent: the bytes go to a temporary that replaces the file only once
        // all of them are written.
        platform::OutputFile output;
        if (output.Open(name, &error)) {
            if (!facet::WriteMeshData(output.Stream(), data, options)) {
                error = name + ": cannot write: " + std::strerror(errno);
                output.Discard();
            } else {
                output.Commit(&error);
            }
        }
    }
    if (!error.empty()) ThrowOSError(error);
}

py::dict Info(py::handle source, double epsilon, py::handle format, py::handle threads) {
    const float weld = TakeEpsilon(epsilon, "info");
    const unsigned threadCount = TakeThreads(threads, "info");
    if (!py::isinstance<MeshData>(source)) return InfoOfInput(source, format, weld, threadCount);
    if (!format.is_none()) ThrowValueError("facet.info: format is for bytes and streams, not for a MeshData");
    return InfoOfMeshData(source.cast<const MeshData&>(), weld, threadCount);
}

}  // namespace facet_python
