// The OFF reader on arbitrary bytes (see mesh_file_reading.h for what is checked).
#include "mesh_file_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz_input::ReadMeshFileBytes(facet::MeshFileFormat::Off, data, size);
}
