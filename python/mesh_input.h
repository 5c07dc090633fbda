// What facet.read and facet.info read. A path (str or os.PathLike) is read as the program
// reads a file: format from the extension or the first bytes, and the reader's refusal an
// OSError. Data in memory (bytes, bytearray, memoryview: anything with the buffer
// protocol, used without a copy) or a binary file-like object (read to its end, such as
// sys.stdin.buffer or io.BytesIO) is read as the program reads its standard input: format
// from format= ("obj", "ply", "off" or "stl" in any case), else from the extension of the
// stream's name, else from the first bytes, and a stream's start judged before the rest
// is read, so that a stream of the wrong kind is refused at once. A refused input in
// memory raises ValueError (the data is bad, no file is involved) with the reader's line.
#pragma once

#include "facet/mesh.h"
#include "facet/mesh_file.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

namespace facet_python {

namespace py = pybind11;

// A path (str, bytes or os.PathLike) as the system takes it: in the file system's encoding.
// ValueError for a NUL byte.
std::string FileSystemPath(py::handle path);

class InputMesh {
public:
    // Reads `source`; `function` names the caller in messages. With `allowNoFaces` an input
    // without faces is read too, and mesh() is then null. The reader may use `threads`.
    InputMesh(py::handle source, py::handle format, bool allowNoFaces, const char* function, unsigned threads);
    ~InputMesh();
    InputMesh(const InputMesh&) = delete;
    InputMesh& operator=(const InputMesh&) = delete;

    facet::Mesh* mesh() const { return mesh_; }
    const facet::MeshFileSummary& summary() const { return summary_; }
    // The input's name for info's "file": the path, a stream's own name, none for bytes.
    const std::optional<std::string>& file() const { return file_; }

private:
    void ReadPath(const std::string& path, bool allowNoFaces, const char* function);
    void ReadBytes(const char* name, const char* bytes, std::size_t size, std::optional<facet::MeshFileFormat> format,
                   bool allowNoFaces, const char* function);

    unsigned threads_;
    facet::Mesh* mesh_ = nullptr;
    facet::MeshFileSummary summary_;
    std::optional<std::string> file_;
};

}  // namespace facet_python
