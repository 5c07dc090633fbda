// Reading a path, bytes or a stream into a mesh; see mesh_input.h.
#include "mesh_input.h"

#include "array_mesh.h"
#include "errors.h"
#include "thread_pools.h"

#include "geometry/mesh_input_start.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace facet_python {

namespace {

// What a stream is read in after its judged start: large enough that the calls into
// Python cost nothing next to the copying.
constexpr std::size_t kStreamChunk = std::size_t{16} << 20;

// The bytes of a buffer-protocol object, held (and the object kept alive and unresizable)
// until destroyed, which needs the interpreter lock.
class ByteView {
public:
    explicit ByteView(py::handle object) {
        if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    }
    ~ByteView() { PyBuffer_Release(&view_); }
    ByteView(const ByteView&) = delete;
    ByteView& operator=(const ByteView&) = delete;

    const char* data() const { return static_cast<const char*>(view_.buf); }
    std::size_t size() const { return static_cast<std::size_t>(view_.len); }

private:
    Py_buffer view_{};
};

bool IsPath(py::handle source) {
    return py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__");
}

std::optional<facet::MeshFileFormat> TakeFormat(py::handle format, const char* function) {
    if (format.is_none()) return std::nullopt;
    const std::string refusal = std::string("facet.") + function +
                                ": format needs 'obj', 'ply', 'off' or 'stl' (in any case), or None";
    if (!py::isinstance<py::str>(format)) throw py::type_error(refusal);
    std::string name = format.cast<std::string>();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "obj") return facet::MeshFileFormat::Obj;
    if (name == "ply") return facet::MeshFileFormat::Ply;
    if (name == "off") return facet::MeshFileFormat::Off;
    if (name == "stl") return facet::MeshFileFormat::Stl;
    ThrowValueError(refusal + ", not " + py::repr(format).cast<std::string>());
}

// Appends at most `most` bytes from one read(most) call of `stream`; false at its end.
bool ReadChunk(py::handle stream, std::size_t most, std::string* bytes, const char* function) {
    const py::object chunk = stream.attr("read")(most);
    if (!PyObject_CheckBuffer(chunk.ptr()))
        throw py::type_error(std::string("facet.") + function + ": the stream's read() gave " +
                             py::str(py::type::of(chunk).attr("__name__")).cast<std::string>() +
                             ", not bytes: pass a binary stream (such as sys.stdin.buffer or open(path, 'rb'))");
    const ByteView view(chunk);
    if (view.size() > most)
        ThrowValueError(std::string("facet.") + function + ": the stream's read() gave more bytes than asked for");
    bytes->append(view.data(), view.size());
    return view.size() > 0;
}

}  // namespace

std::string FileSystemPath(py::handle path) {
    const py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    std::string text = encoded;
    if (text.find('\0') != std::string::npos) ThrowValueError("facet: the path holds a NUL byte");
    return text;
}

InputMesh::InputMesh(py::handle source, py::handle formatArg, bool allowNoFaces, const char* function,
                     unsigned threads)
    : threads_(threads) {
    std::optional<facet::MeshFileFormat> format = TakeFormat(formatArg, function);
    if (IsPath(source)) {
        if (format)
            ThrowValueError(std::string("facet.") + function +
                            ": format is for bytes and streams; a file's format comes from its name or first bytes");
        const std::string path = FileSystemPath(source);
        file_ = path;
        ReadPath(path, allowNoFaces, function);
        return;
    }
    if (PyObject_CheckBuffer(source.ptr())) {
        const ByteView bytes(source);
        ReadBytes("<bytes>", bytes.data(), bytes.size(), format, allowNoFaces, function);
        return;
    }
    if (!py::hasattr(source, "read"))
        throw py::type_error(std::string("facet.") + function +
                             ": pass a path (str or os.PathLike), bytes, or a binary file-like object, not " +
                             py::str(py::type::of(source).attr("__name__")).cast<std::string>());

    // A stream is named by its own name (a path, or "<stdin>"), which may also give the format.
    const py::object nameAttribute = py::getattr(source, "name", py::none());
    if (py::isinstance<py::str>(nameAttribute)) file_ = FileSystemPath(nameAttribute);
    const std::string name = file_.value_or("<stream>");
    facet::MeshFileFormat named = facet::MeshFileFormat::Obj;
    if (!format && facet::MeshFileFormatOfPath(name.c_str(), &named)) format = named;

    // The start is judged before more is read, as the program judges its standard input.
    std::string bytes;
    while (bytes.size() < facet::kJudgedStartBytes &&
           ReadChunk(source, facet::kJudgedStartBytes - bytes.size(), &bytes, function)) {
    }
    facet::MeshFileFormat judged = format.value_or(facet::MeshFileFormat::Obj);
    std::string refusal;
    if (!facet::JudgeMeshInputStart(name.c_str(), bytes.data(), bytes.size(), format.has_value(), &judged, &refusal))
        ThrowValueError(refusal);
    // One byte past the most an input may hold is enough for ReadBytes to refuse it.
    const std::uint64_t most = facet::MeshReadOptions{}.maxInputBytes;
    while (bytes.size() <= most &&
           ReadChunk(source, static_cast<std::size_t>(std::min<std::uint64_t>(kStreamChunk, most + 1 - bytes.size())),
                     &bytes, function)) {
    }
    ReadBytes(name.c_str(), bytes.data(), bytes.size(), judged, allowNoFaces, function);
}

InputMesh::~InputMesh() {
    if (mesh_ != nullptr) mesh_->Release();
}

void InputMesh::ReadPath(const std::string& path, bool allowNoFaces, const char* function) {
    HRESULT result = D3D_OK;
    std::string error;
    {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads_);
        IDirect3DDevice9* device = nullptr;
        result = ThreadDevice(&device);
        facet::MeshReadOptions options;
        options.allowNoFaces = allowNoFaces;
        options.pool = pool.get();
        if (SUCCEEDED(result)) result = facet::ReadMeshFile(device, path.c_str(), options, &mesh_, &summary_, &error);
    }
    if (FAILED(result) && !error.empty()) ThrowOSError(error);
    if (FAILED(result)) ThrowFailure(function, "reading the mesh", result);
}

void InputMesh::ReadBytes(const char* name, const char* bytes, std::size_t size,
                          std::optional<facet::MeshFileFormat> format, bool allowNoFaces, const char* function) {
    // Held to the same size as a file or the program's standard input, so that data read
    // here never gives a mesh the program would refuse.
    facet::MeshReadOptions options;
    options.allowNoFaces = allowNoFaces;
    if (size > options.maxInputBytes)
        ThrowValueError(std::string(name) + ": byte " + std::to_string(options.maxInputBytes) +
                        ": the input goes on past " + std::to_string(options.maxInputBytes) +
                        " bytes, the most a mesh input may hold");
    facet::MeshFileFormat told = format.value_or(facet::MeshFileFormat::Obj);
    std::string error;
    if (!format && !facet::JudgeMeshInputStart(name, bytes, size, false, &told, &error)) ThrowValueError(error);
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads_);
        options.pool = pool.get();
        IDirect3DDevice9* device = nullptr;
        result = ThreadDevice(&device);
        if (SUCCEEDED(result))
            result = facet::ReadMeshBytes(device, name, told, bytes, size, options, &mesh_, &summary_, &error);
    }
    if (FAILED(result) && !error.empty()) ThrowValueError(error);
    if (FAILED(result)) ThrowFailure(function, "reading the mesh", result);
}

}  // namespace facet_python
