// facet.read, facet.write and facet.info: mesh files in and out, and the counts of
// `facet info`.
#include "functions.h"

#include "array_input.h"
#include "array_mesh.h"
#include "errors.h"
#include "info_report.h"

#include "springdrop/file/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace facet_python {

namespace {

// A path as the system takes it: str (in the file system's encoding), bytes or os.PathLike.
std::string FileSystemPath(py::handle path) {
    const py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    std::string text = encoded;
    if (text.find('\0') != std::string::npos) ThrowValueError("facet: the path holds a NUL byte");
    return text;
}

// Reads `path` into a mesh (null for a file without faces, when that is allowed). The
// reader's line becomes an OSError.
class FileMesh {
public:
    FileMesh(const std::string& path, bool allowNoFaces) {
        HRESULT result = D3D_OK;
        std::string error;
        {
            py::gil_scoped_release unlocked;
            IDirect3DDevice9* device = nullptr;
            result = ThreadDevice(&device);
            facet::MeshReadOptions options;
            options.allowNoFaces = allowNoFaces;
            if (SUCCEEDED(result))
                result = facet::ReadMeshFile(device, path.c_str(), options, &mesh_, &summary_, &error);
        }
        if (FAILED(result) && !error.empty()) ThrowOSError(error);
        if (FAILED(result)) ThrowFailure("read", "reading the mesh", result);
    }
    ~FileMesh() {
        if (mesh_ != nullptr) mesh_->Release();
    }
    FileMesh(const FileMesh&) = delete;
    FileMesh& operator=(const FileMesh&) = delete;

    facet::Mesh* mesh() const { return mesh_; }
    const facet::MeshFileSummary& summary() const { return summary_; }

private:
    facet::Mesh* mesh_ = nullptr;
    facet::MeshFileSummary summary_;
};

py::dict InfoDict(const std::string& json) {
    return py::module_::import("json").attr("loads")(json);
}

py::dict InfoOfFile(const std::string& path, float epsilon) {
    const FileMesh input(path, true);
    facet::MeshStatistics statistics;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        result = CountMeshForInfo(input.mesh(), input.summary(), epsilon, nullptr, &statistics);
    }
    if (FAILED(result)) ThrowFailure("info", "counting", result);
    return InfoDict(InfoJson(path.c_str(), input.summary(), statistics));
}

// The counts of data in memory: everything but the file's own record (name, format,
// encoding, polygons before splitting) comes from the arrays as they are now.
py::dict InfoOfMeshData(const MeshData& data, float epsilon) {
    const Float3Array positions = TakeFloat3(data.positions, "info", "positions");
    const FaceArray faces = TakeFaces(data.faces, "info");
    CheckCorners(faces, positions.rows, "info");
    facet::MeshFileSummary summary = data.summary;
    if (!data.file) summary.polygons = static_cast<DWORD>(faces.rows());
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
        ArrayMesh mesh;
        if (faces.rows() > 0) result = mesh.Create(positions.data(), positions.rows, &faces);
        if (SUCCEEDED(result)) result = CountMeshForInfo(mesh.get(), summary, epsilon, nullptr, &statistics);
    }
    if (FAILED(result)) ThrowFailure("info", "counting", result);
    py::dict info = InfoDict(InfoJson(data.file ? data.file->c_str() : nullptr, summary, statistics));
    if (!data.file) {
        info["format"] = py::none();
        info["encoding"] = py::none();
    }
    return info;
}

}  // namespace

MeshData Read(py::handle path) {
    const std::string name = FileSystemPath(path);
    const FileMesh input(name, false);
    facet::MeshFileData data;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        result = facet::CopyMeshFileData(input.mesh(), false, &data);
    }
    if (FAILED(result)) ThrowFailure("read", "copying the mesh", result);
    return MeshDataFromFile(std::move(data), input.summary(), name);
}

void Write(py::handle path, py::handle positions, py::handle faces, py::handle normals, py::handle texcoords,
           py::handle colors, bool binary) {
    if (!texcoords.is_none())
        ThrowValueError("facet.write: texture coordinates cannot be written yet; pass texcoords=None");
    if (!colors.is_none()) ThrowValueError("facet.write: vertex colors cannot be written yet; pass colors=None");
    const std::string name = FileSystemPath(path);
    facet::MeshWriteOptions options;
    if (!facet::MeshFileFormatOfPath(name.c_str(), &options.format))
        ThrowValueError("facet.write: name the file .obj, .ply, .off or .stl to choose its format");
    // OBJ and OFF are text only: `binary` chooses the encoding of the formats that have two.
    options.binary = binary && (options.format == facet::MeshFileFormat::Ply ||
                                options.format == facet::MeshFileFormat::Stl);

    const Float3Array takenPositions = TakeFloat3(positions, "write", "positions");
    const FaceArray takenFaces = TakeFaces(faces, "write");
    CheckCorners(takenFaces, takenPositions.rows, "write");
    if (takenFaces.rows() == 0) ThrowValueError("facet.write: faces is empty, and a mesh file needs a face");
    facet::MeshFileData data;
    if (!normals.is_none()) {
        if (options.format == facet::MeshFileFormat::Off || options.format == facet::MeshFileFormat::Stl)
            ThrowValueError("facet.write: OFF and STL files hold no vertex normals; pass normals=None");
        const Float3Array takenNormals = TakeFloat3(normals, "write", "normals");
        if (takenNormals.rows != takenPositions.rows)
            ThrowValueError("facet.write: normals must have one row per position");
        data.normals.assign(takenNormals.data(), takenNormals.data() + 3 * takenNormals.rows);
        options.normals = true;
    }

    std::string error;
    {
        py::gil_scoped_release unlocked;
        data.positions.assign(takenPositions.data(), takenPositions.data() + 3 * takenPositions.rows);
        data.corners.resize(3 * takenFaces.rows());
        takenFaces.CopyTo(data.corners.data());
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

py::dict Info(py::handle pathOrMesh, double epsilon) {
    const float weld = TakeEpsilon(epsilon, "info");
    if (py::isinstance<MeshData>(pathOrMesh)) return InfoOfMeshData(pathOrMesh.cast<const MeshData&>(), weld);
    return InfoOfFile(FileSystemPath(pathOrMesh), weld);
}

}  // namespace facet_python
