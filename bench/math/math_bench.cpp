// Facet's matrix product, normalisation and point-array transform, per routine family
// installable on this machine, beside GLM (SIMD path) and Eigen doing the same work.
// Facet always calls through its dispatch table, so GLM and Eigen run twice: inlined, and
// wrapped in a routine of Facet's shape (output first, returned) called through a function
// pointer the compiler cannot see through. The gap between the two is the dispatch cost;
// the pointer figure is the one to set beside Facet's.
#define GLM_FORCE_INTRINSICS
#define GLM_FORCE_SSE2
#define GLM_FORCE_DEFAULT_ALIGNED_GENTYPES
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <glm/glm.hpp>
#include <random>
#include <vector>

#include "facet/dispatch.h"

namespace {

using namespace facet;

struct Family {
    const char* name;
    RoutineTable table;
};

// The portable routines, then each family this processor can run, filled over them.
std::vector<Family> InstallableFamilies() {
    std::vector<Family> families;
    families.push_back({"portable", PortableTable});
    RoutineTable x87 = PortableTable;
    FillX87Routines(&x87);
    families.push_back({"x87", x87});
    const std::uint32_t sse = QuerySseSupport();
    if ((sse & kSseWordSse) != 0) {
        RoutineTable t = PortableTable;
        FillSseRoutines(&t);
        families.push_back({"sse", t});
    }
    if ((sse & kSseWordSse2) != 0) {
        RoutineTable t = PortableTable;
        FillSse2Routines(&t);
        families.push_back({"sse2", t});
    }
    return families;
}

// The pointer as the optimiser must treat it: loaded at run time, so every call stays an
// indirect call as Facet's table makes it.
template <class Routine>
Routine Opaque(Routine routine) {
    benchmark::DoNotOptimize(routine);
    return routine;
}

float Random(std::mt19937& rng) { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng); }

Matrix4 RandomMatrix(std::mt19937& rng) {
    Matrix4 m;
    for (float& e : m.m[0]) e = Random(rng);
    for (int r = 1; r < 4; ++r) {
        for (float& e : m.m[r]) e = Random(rng);
    }
    m._44 = 4.0f;  // keeps w away from zero in the coordinate transforms
    return m;
}

void MatrixMultiplyBench(benchmark::State& state, RoutineTable table) {
    std::mt19937 rng(1);
    Matrix4 a = RandomMatrix(rng), b = RandomMatrix(rng), out;
    for (auto _ : state) {
        table.routines.MatrixMultiply(&out, &a, &b);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}

void Vec3NormalizeBench(benchmark::State& state, RoutineTable table) {
    std::mt19937 rng(2);
    Vector3 v{Random(rng) * 3, Random(rng) * 3, Random(rng) * 3}, out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        table.routines.Vec3Normalize(&out, &v);
        benchmark::DoNotOptimize(out);
    }
}

void TransformCoordArrayBench(benchmark::State& state, RoutineTable table) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    std::mt19937 rng(3);
    std::vector<Vector3> in(n), out(n);
    for (Vector3& v : in) v = {Random(rng), Random(rng), Random(rng)};
    const Matrix4 m = RandomMatrix(rng);
    for (auto _ : state) {
        table.routines.Vec3TransformCoordArray(out.data(), sizeof(Vector3), in.data(), sizeof(Vector3), &m, n);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}

// ---- GLM ----

glm::mat4 GlmMatrix(std::mt19937& rng) {
    glm::mat4 m;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) m[c][r] = Random(rng);
    }
    m[3][3] = 4.0f;
    return m;
}

void GlmMatrixMultiply(benchmark::State& state) {
    std::mt19937 rng(1);
    glm::mat4 a = GlmMatrix(rng), b = GlmMatrix(rng), out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        out = a * b;
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}

void GlmVec3Normalize(benchmark::State& state) {
    std::mt19937 rng(2);
    glm::vec3 v{Random(rng) * 3, Random(rng) * 3, Random(rng) * 3}, out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        out = glm::normalize(v);
        benchmark::DoNotOptimize(out);
    }
}

void GlmTransformCoordArray(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::mt19937 rng(3);
    std::vector<glm::vec3> in(n), out(n);
    for (glm::vec3& v : in) v = {Random(rng), Random(rng), Random(rng)};
    const glm::mat4 m = GlmMatrix(rng);
    for (auto _ : state) {
        for (std::size_t k = 0; k < n; ++k) {
            const glm::vec4 p = m * glm::vec4(in[k], 1.0f);
            out[k] = glm::vec3(p) / p.w;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

glm::mat4* GlmMatrixMultiplyRoutine(glm::mat4* out, const glm::mat4* a, const glm::mat4* b) {
    *out = *a * *b;
    return out;
}

glm::vec3* GlmVec3NormalizeRoutine(glm::vec3* out, const glm::vec3* v) {
    *out = glm::normalize(*v);
    return out;
}

glm::vec3* GlmTransformCoordArrayRoutine(glm::vec3* out, const glm::vec3* in, const glm::mat4* m, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        const glm::vec4 p = *m * glm::vec4(in[k], 1.0f);
        out[k] = glm::vec3(p) / p.w;
    }
    return out;
}

void GlmMatrixMultiplyThroughPointer(benchmark::State& state) {
    std::mt19937 rng(1);
    glm::mat4 a = GlmMatrix(rng), b = GlmMatrix(rng), out;
    auto routine = Opaque(&GlmMatrixMultiplyRoutine);
    for (auto _ : state) {
        routine(&out, &a, &b);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}

void GlmVec3NormalizeThroughPointer(benchmark::State& state) {
    std::mt19937 rng(2);
    glm::vec3 v{Random(rng) * 3, Random(rng) * 3, Random(rng) * 3}, out;
    auto routine = Opaque(&GlmVec3NormalizeRoutine);
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        routine(&out, &v);
        benchmark::DoNotOptimize(out);
    }
}

void GlmTransformCoordArrayThroughPointer(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::mt19937 rng(3);
    std::vector<glm::vec3> in(n), out(n);
    for (glm::vec3& v : in) v = {Random(rng), Random(rng), Random(rng)};
    const glm::mat4 m = GlmMatrix(rng);
    auto routine = Opaque(&GlmTransformCoordArrayRoutine);
    for (auto _ : state) {
        routine(out.data(), in.data(), &m, n);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

// ---- Eigen ----

void EigenMatrixMultiply(benchmark::State& state) {
    Eigen::Matrix4f a = Eigen::Matrix4f::Random(), b = Eigen::Matrix4f::Random(), out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        out.noalias() = a * b;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void EigenVec3Normalize(benchmark::State& state) {
    Eigen::Vector3f v = Eigen::Vector3f::Random() * 3.0f, out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.data());
        out = v.normalized();
        benchmark::DoNotOptimize(out.data());
    }
}

void EigenTransformCoordArray(benchmark::State& state) {
    const auto n = static_cast<Eigen::Index>(state.range(0));
    Eigen::Matrix3Xf in = Eigen::Matrix3Xf::Random(3, n), out(3, n);
    Eigen::Matrix4f m = Eigen::Matrix4f::Random();
    m(3, 3) = 4.0f;
    for (auto _ : state) {
        for (Eigen::Index k = 0; k < n; ++k) {
            const Eigen::Vector4f p = m * in.col(k).homogeneous();
            out.col(k) = p.head<3>() / p.w();
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}

Eigen::Matrix4f* EigenMatrixMultiplyRoutine(Eigen::Matrix4f* out, const Eigen::Matrix4f* a, const Eigen::Matrix4f* b) {
    out->noalias() = *a * *b;
    return out;
}

Eigen::Vector3f* EigenVec3NormalizeRoutine(Eigen::Vector3f* out, const Eigen::Vector3f* v) {
    *out = v->normalized();
    return out;
}

Eigen::Matrix3Xf* EigenTransformCoordArrayRoutine(Eigen::Matrix3Xf* out, const Eigen::Matrix3Xf* in,
                                                  const Eigen::Matrix4f* m) {
    for (Eigen::Index k = 0; k < in->cols(); ++k) {
        const Eigen::Vector4f p = *m * in->col(k).homogeneous();
        out->col(k) = p.head<3>() / p.w();
    }
    return out;
}

void EigenMatrixMultiplyThroughPointer(benchmark::State& state) {
    Eigen::Matrix4f a = Eigen::Matrix4f::Random(), b = Eigen::Matrix4f::Random(), out;
    auto routine = Opaque(&EigenMatrixMultiplyRoutine);
    for (auto _ : state) {
        routine(&out, &a, &b);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void EigenVec3NormalizeThroughPointer(benchmark::State& state) {
    Eigen::Vector3f v = Eigen::Vector3f::Random() * 3.0f, out;
    auto routine = Opaque(&EigenVec3NormalizeRoutine);
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.data());
        routine(&out, &v);
        benchmark::DoNotOptimize(out.data());
    }
}

void EigenTransformCoordArrayThroughPointer(benchmark::State& state) {
    const auto n = static_cast<Eigen::Index>(state.range(0));
    Eigen::Matrix3Xf in = Eigen::Matrix3Xf::Random(3, n), out(3, n);
    Eigen::Matrix4f m = Eigen::Matrix4f::Random();
    m(3, 3) = 4.0f;
    auto routine = Opaque(&EigenTransformCoordArrayRoutine);
    for (auto _ : state) {
        routine(&out, &in, &m);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const Family& family : InstallableFamilies()) {
        const std::string name = family.name;
        benchmark::RegisterBenchmark(("MatrixMultiply/" + name).c_str(), MatrixMultiplyBench, family.table);
        benchmark::RegisterBenchmark(("Vec3Normalize/" + name).c_str(), Vec3NormalizeBench, family.table);
        benchmark::RegisterBenchmark(("Vec3TransformCoordArray/" + name).c_str(), TransformCoordArrayBench, family.table)
            ->Arg(1 << 10)
            ->Arg(1 << 20);
    }
    benchmark::RegisterBenchmark("MatrixMultiply/glm", GlmMatrixMultiply);
    benchmark::RegisterBenchmark("Vec3Normalize/glm", GlmVec3Normalize);
    benchmark::RegisterBenchmark("Vec3TransformCoordArray/glm", GlmTransformCoordArray)->Arg(1 << 10)->Arg(1 << 20);
    benchmark::RegisterBenchmark("MatrixMultiply/eigen", EigenMatrixMultiply);
    benchmark::RegisterBenchmark("Vec3Normalize/eigen", EigenVec3Normalize);
    benchmark::RegisterBenchmark("Vec3TransformCoordArray/eigen", EigenTransformCoordArray)->Arg(1 << 10)->Arg(1 << 20);
    benchmark::RegisterBenchmark("MatrixMultiply/glm-pointer", GlmMatrixMultiplyThroughPointer);
    benchmark::RegisterBenchmark("Vec3Normalize/glm-pointer", GlmVec3NormalizeThroughPointer);
    benchmark::RegisterBenchmark("Vec3TransformCoordArray/glm-pointer", GlmTransformCoordArrayThroughPointer)
        ->Arg(1 << 10)
        ->Arg(1 << 20);
    benchmark::RegisterBenchmark("MatrixMultiply/eigen-pointer", EigenMatrixMultiplyThroughPointer);
    benchmark::RegisterBenchmark("Vec3Normalize/eigen-pointer", EigenVec3NormalizeThroughPointer);
    benchmark::RegisterBenchmark("Vec3TransformCoordArray/eigen-pointer", EigenTransformCoordArrayThroughPointer)
        ->Arg(1 << 10)
        ->Arg(1 << 20);
    return true;
}();

}  // namespace
