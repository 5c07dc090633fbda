// Shared set-up of the geometry tests: a headless software device with fresh
// instrumentation, meshes built from plain index and vertex arrays, and call-log queries.
#pragma once

#include "headless_device.h"
#include "springdrop/d3d9/instrumentation.h"
#include "facet/mesh.h"
#include "facet/vertex_declaration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace geometry_test {

struct ReleaseMesh {
    void operator()(IUnknown* object) const {
        if (object != nullptr) object->Release();
    }
};
using MeshPtr = std::unique_ptr<facet::Mesh, ReleaseMesh>;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        d3d9sw::ResetInstrumentation();
        d3d9sw::SetCallLogging(true);  // the tests read the calls the library makes
        ASSERT_EQ(holder_.Create(), D3D_OK);
        d3d9sw::ClearCallLog();
    }

    IDirect3DDevice9* device() const { return holder_.device(); }

    // Releases the test's own device references and checks that nothing the library
    // created is still alive.
    void ExpectNoLeak() {
        holder_.Reset();
        EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
    }

    // The logged calls of `method`, oldest first.
    static std::vector<d3d9sw::CallRecord> Calls(const std::string& method) {
        std::vector<d3d9sw::CallRecord> found;
        for (const auto& record : d3d9sw::CallLog())
            if (record.method == method) found.push_back(record);
        return found;
    }

    // A mesh of FVF `fvf` holding `indices` (three per face) and `vertexData` (stride
    // bytes per vertex), with the index width chosen by `options`.
    MeshPtr MakeMesh(const std::vector<DWORD>& indices, const std::vector<float>& vertexData, DWORD fvf,
                     DWORD options = facet::MeshOptions::Managed) {
        facet::Mesh* mesh = nullptr;
        const DWORD faces = static_cast<DWORD>(indices.size() / 3);
        DWORD stride = 0;
        {
            D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
            EXPECT_EQ(facet::DeclarationFromFormat(fvf, declaration), D3D_OK);
            stride = facet::DeclarationStride(declaration, 0);
        }
        const DWORD vertices = static_cast<DWORD>(vertexData.size() * sizeof(float) / stride);
        EXPECT_EQ(facet::CreateMeshFromFormat(faces, vertices, options, fvf, device(), &mesh), D3D_OK);
        if (mesh == nullptr) return MeshPtr();
        WriteIndices(mesh, indices);
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(0, &data), D3D_OK);
        std::memcpy(data, vertexData.data(), vertexData.size() * sizeof(float));
        mesh->UnlockVertices();
        return MeshPtr(mesh);
    }

    static void WriteIndices(facet::Mesh* mesh, const std::vector<DWORD>& indices) {
        void* data = nullptr;
        ASSERT_EQ(mesh->LockIndices(0, &data), D3D_OK);
        const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (wide)
                static_cast<DWORD*>(data)[i] = indices[i];
            else
                static_cast<WORD*>(data)[i] = static_cast<WORD>(indices[i]);
        }
        mesh->UnlockIndices();
    }

private:
    facet_tools::HeadlessDevice holder_;
};

}  // namespace geometry_test
