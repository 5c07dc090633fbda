// Every slot, in every family that replaces it, agrees with the portable routine on
// thousands of well-conditioned random inputs, including outputs aliased to an input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <type_traits>
#include <vector>

#include "family_tables.h"

namespace facet {
namespace {

constexpr int kTrials = 2000;
// Relative to the largest magnitude among the compared outputs (and at least 1): a few
// units in the last place of single precision, with room for the 1.5e-6 reciprocal square
// root and for the cancellation of determinants and inverses.
constexpr float kTolerance = 2e-5f;

using Rng = std::mt19937;
float Uniform(Rng& rng, float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

Quaternion RandomUnitQuaternion(Rng& rng) {
    Quaternion q{Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1)};
    const float k = 1.0f / std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return {q.x * k, q.y * k, q.z * k, q.w * k};
}

// A rotation with scale, translation and a mild projective column: invertible and with w
// far from zero for points of the unit cube.
Matrix4 RandomMatrix(Rng& rng, bool pureRotation) {
    const Quaternion q = RandomUnitQuaternion(rng);
    Matrix4 m;
    PortableTable.routines.MatrixRotationQuaternion(&m, &q);
    if (pureRotation) return m;
    for (int r = 0; r < 3; ++r) {
        const float scale = Uniform(rng, 0.5f, 2.0f);
        for (int c = 0; c < 3; ++c) m.m[r][c] *= scale;
        m.m[r][3] = Uniform(rng, -0.2f, 0.2f);
    }
    for (int c = 0; c < 3; ++c) m.m[3][c] = Uniform(rng, -3, 3);
    m._44 = Uniform(rng, 2.0f, 3.0f);
    return m;
}

struct Inputs {
    Rng rng;
    bool pureRotations = false;
};

template <typename T>
T RandomValue(Inputs& in) {
    Rng& rng = in.rng;
    if constexpr (std::is_same_v<T, float>) {
        return Uniform(rng, 0.05f, 0.95f);
    } else if constexpr (std::is_same_v<T, Vector2>) {
        return {Uniform(rng, -1, 1), Uniform(rng, -1, 1)};
    } else if constexpr (std::is_same_v<T, Vector3>) {
        return {Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1)};
    } else if constexpr (std::is_same_v<T, Vector4>) {
        return {Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1)};
    } else if constexpr (std::is_same_v<T, Quaternion>) {
        return RandomUnitQuaternion(rng);
    } else if constexpr (std::is_same_v<T, Plane>) {
        return {Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1), Uniform(rng, -1, 1)};
    } else if constexpr (std::is_same_v<T, Matrix4>) {
        return RandomMatrix(rng, in.pureRotations);
    } else if constexpr (std::is_same_v<T, std::uint32_t>) {
        return 1;  // one element, strides of one byte: safe for any routine with counts
    } else {
        static_assert(std::is_same_v<T, Viewport>);
        return Viewport{10, 20, 640, 480, 0.0f, 1.0f};
    }
}

// The storage behind one argument: the value itself for scalars, the pointee for pointers.
template <typename A>
using Storage = std::remove_cv_t<std::remove_pointer_t<A>>;

template <typename A>
constexpr bool kIsOutput = std::is_pointer_v<A> && !std::is_const_v<std::remove_pointer_t<A>>;

bool Close(float a, float b, float scale) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::fabs(a - b) <= kTolerance * scale;
}

// Results this large come from inputs near a singularity (a projective w near zero), where
// any two orders of rounding diverge; such trials are not well conditioned and are skipped.
constexpr float kIllConditioned = 1e2f;

// Compares two blocks of floats relative to their largest magnitude.
::testing::AssertionResult CloseFloats(const float* a, const float* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (std::fabs(a[i]) > kIllConditioned) return ::testing::AssertionSuccess();
    }
    float scale = 1.0f;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isfinite(a[i])) scale = std::max(scale, std::fabs(a[i]));
        if (std::isfinite(b[i])) scale = std::max(scale, std::fabs(b[i]));
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!Close(a[i], b[i], scale)) {
            return ::testing::AssertionFailure() << "component " << i << ": " << a[i] << " vs " << b[i];
        }
    }
    return ::testing::AssertionSuccess();
}

template <typename T>
::testing::AssertionResult CloseValues(const T& a, const T& b) {
    static_assert(sizeof(T) % sizeof(float) == 0);
    float fa[sizeof(T) / sizeof(float)], fb[sizeof(T) / sizeof(float)];
    std::memcpy(fa, &a, sizeof(T));
    std::memcpy(fb, &b, sizeof(T));
    return CloseFloats(fa, fb, sizeof(T) / sizeof(float));
}

// The index of the first input of the output's own type, or -1: where aliasing is allowed.
template <typename... A, std::size_t... I>
int AliasableInput(std::index_sequence<I...>) {
    using First = std::tuple_element_t<0, std::tuple<A...>>;
    int found = -1;
    ((found = (found < 0 && I > 0 && std::is_same_v<std::tuple_element_t<I, std::tuple<A...>>, const Storage<First>*> &&
               kIsOutput<First>)
                  ? static_cast<int>(I)
                  : found),
     ...);
    return found;
}

template <typename R, typename... A, std::size_t... I>
::testing::AssertionResult CompareOnce(R (*variant)(A...), R (*portable)(A...), Inputs& in, bool alias,
                                       std::index_sequence<I...> seq) {
    std::tuple<Storage<A>...> values{RandomValue<Storage<A>>(in)...};
    std::tuple<Storage<A>...> expected = values, actual = values;
    const int aliased = alias ? AliasableInput<A...>(seq) : -1;
    if (alias && aliased < 0) return ::testing::AssertionSuccess();

    const auto argument = [&](auto& storage, auto index) -> decltype(auto) {
        using Arg = std::tuple_element_t<index, std::tuple<A...>>;
        if constexpr (std::is_pointer_v<Arg>) {
            if constexpr (index > 0 && std::is_same_v<Arg, const Storage<std::tuple_element_t<0, std::tuple<A...>>>*>) {
                if (aliased == static_cast<int>(index)) {
                    std::get<0>(storage) = std::get<index>(storage);
                    return static_cast<Arg>(&std::get<0>(storage));
                }
            }
            return static_cast<Arg>(&std::get<index>(storage));
        } else {
            return std::get<index>(storage);
        }
    };
    const auto call = [&](auto routine, auto& storage) {
        return routine(argument(storage, std::integral_constant<std::size_t, I>{})...);
    };
    if constexpr (std::is_same_v<R, float>) {
        const float e = call(portable, expected), a = call(variant, actual);
        if (!CloseFloats(&e, &a, 1)) return ::testing::AssertionFailure() << "result " << e << " vs " << a;
    } else if constexpr (std::is_void_v<R>) {
        call(portable, expected);
        call(variant, actual);
    } else {
        const bool expectedNull = call(portable, expected) == nullptr;
        (void)call(variant, actual);
        if (expectedNull) return ::testing::AssertionSuccess();  // nothing defined was written
    }
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    ((result = !result ? result
                       : (kIsOutput<std::tuple_element_t<I, std::tuple<A...>>>
                              ? CloseValues(std::get<I>(expected), std::get<I>(actual)) << " output argument " << I
                              : ::testing::AssertionSuccess())),
     ...);
    return result;
}

template <typename R, typename... A>
::testing::AssertionResult Compare(R (*variant)(A...), R (*portable)(A...), Inputs& in) {
    for (int trial = 0; trial < kTrials; ++trial) {
        for (bool alias : {false, true}) {
            auto r = CompareOnce(variant, portable, in, alias, std::index_sequence_for<A...>{});
            if (!r) return r << (alias ? " (aliased)" : "") << " trial " << trial;
        }
    }
    return ::testing::AssertionSuccess();
}

// ---- Slots with counts and strides ----

template <typename Out, typename In>
::testing::AssertionResult Compare(Out* (*variant)(Out*, std::uint32_t, const In*, std::uint32_t, const Matrix4*, std::uint32_t),
                                        Out* (*portable)(Out*, std::uint32_t, const In*, std::uint32_t, const Matrix4*, std::uint32_t),
                                        Inputs& in) {
    for (std::uint32_t n : {0u, 1u, 3u, 4u, 5u, 17u, 64u}) {
        const std::uint32_t inStride = sizeof(In) + 4, outStride = sizeof(Out) + 8;
        std::vector<unsigned char> source(std::size_t{n} * inStride + 1), expected(std::size_t{n} * outStride + 1, 0xAB);
        std::vector<unsigned char> actual = expected;
        for (std::uint32_t k = 0; k < n; ++k) {
            const In v = RandomValue<In>(in);
            std::memcpy(source.data() + std::size_t{k} * inStride, &v, sizeof(In));
        }
        const Matrix4 m = RandomValue<Matrix4>(in);
        const auto* from = reinterpret_cast<const In*>(source.data());
        portable(reinterpret_cast<Out*>(expected.data()), outStride, from, inStride, &m, n);
        variant(reinterpret_cast<Out*>(actual.data()), outStride, from, inStride, &m, n);
        for (std::uint32_t k = 0; k < n; ++k) {
            Out e, a;
            std::memcpy(&e, expected.data() + std::size_t{k} * outStride, sizeof(Out));
            std::memcpy(&a, actual.data() + std::size_t{k} * outStride, sizeof(Out));
            auto r = CloseValues(e, a);
            if (!r) return r << " element " << k << " of " << n;
        }
        // The gaps between elements stay untouched.
        if (std::memcmp(expected.data(), actual.data(), expected.size()) != 0) {
            for (std::size_t b = 0; b < expected.size(); ++b) {
                if (b % outStride >= sizeof(Out) && actual[b] != 0xAB) return ::testing::AssertionFailure() << "gap byte " << b;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Compare(std::uint16_t* (*variant)(std::uint16_t*, const float*, std::uint32_t),
                                   std::uint16_t* (*portable)(std::uint16_t*, const float*, std::uint32_t), Inputs& in) {
    std::vector<float> values;
    for (int i = 0; i < 4099; ++i) values.push_back(std::ldexp(Uniform(in.rng, -1, 1), static_cast<int>(in.rng() % 40) - 28));
    values.insert(values.end(), {0.0f, -0.0f, INFINITY, -INFINITY, std::nanf(""), 65504.0f, 65520.0f, 5.9604645e-8f});
    for (std::uint32_t n : {0u, 1u, 3u, static_cast<std::uint32_t>(values.size())}) {
        std::vector<std::uint16_t> e(n + 1, 7), a(n + 1, 7);
        portable(e.data(), values.data(), n);
        variant(a.data(), values.data(), n);
        if (e != a) return ::testing::AssertionFailure() << "half conversion differs for n = " << n;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Compare(float* (*variant)(float*, const std::uint16_t*, std::uint32_t),
                                   float* (*portable)(float*, const std::uint16_t*, std::uint32_t), Inputs&) {
    std::vector<std::uint16_t> all(65536);
    for (std::uint32_t h = 0; h < 65536; ++h) all[h] = static_cast<std::uint16_t>(h);
    for (std::uint32_t n : {0u, 2u, 65536u, 65535u}) {
        std::vector<float> e(n + 1, 7.0f), a(n + 1, 7.0f);
        portable(e.data(), all.data() + (65536 - n), n);
        variant(a.data(), all.data() + (65536 - n), n);
        if (std::memcmp(e.data(), a.data(), e.size() * sizeof(float)) != 0) {
            return ::testing::AssertionFailure() << "float widening differs for n = " << n;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Compare(decltype(&SkinVertices) variant, decltype(&SkinVertices) portable, Inputs& in) {
    constexpr std::uint32_t kVertices = 50, kBones = 6;
    alignas(16) Matrix4 bones[kBones], normalBones[kBones];
    for (std::uint32_t b = 0; b < kBones; ++b) {
        bones[b] = RandomValue<Matrix4>(in);
        normalBones[b] = RandomValue<Matrix4>(in);
    }
    std::vector<Vector3> positions(kVertices), normals(kVertices);
    std::vector<VertexInfluence> influences(kVertices);
    for (std::uint32_t k = 0; k < kVertices; ++k) {
        positions[k] = RandomValue<Vector3>(in);
        normals[k] = RandomValue<Vector3>(in);
        for (int i = 0; i < 4; ++i) {
            influences[k].weights[i] = Uniform(in.rng, 0, 0.5f);
            influences[k].bones[i] = static_cast<std::uint8_t>(in.rng() % kBones);
        }
    }
    std::vector<Vector3> ep(kVertices), en(kVertices), ap(kVertices), an(kVertices);
    portable(ep.data(), en.data(), sizeof(Vector3), positions.data(), normals.data(), sizeof(Vector3), influences.data(),
             bones, normalBones, kVertices);
    variant(ap.data(), an.data(), sizeof(Vector3), positions.data(), normals.data(), sizeof(Vector3), influences.data(),
            bones, normalBones, kVertices);
    for (std::uint32_t k = 0; k < kVertices; ++k) {
        if (auto r = CloseValues(ep[k], ap[k]); !r) return r << " position " << k;
        if (auto r = CloseValues(en[k], an[k]); !r) return r << " normal " << k;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Compare(decltype(&TessellateNPatch) variant, decltype(&TessellateNPatch) portable, Inputs& in) {
    for (int trial = 0; trial < 200; ++trial) {
        Vector3 corners[3], normals[3];
        for (int i = 0; i < 3; ++i) {
            corners[i] = RandomValue<Vector3>(in);
            normals[i] = RandomValue<Vector3>(in);
        }
        std::vector<Vector2> samples;
        for (int i = 0; i < 10; ++i) samples.push_back({Uniform(in.rng, 0, 0.5f), Uniform(in.rng, 0, 0.5f)});
        std::vector<Vector3> ep(samples.size()), en(samples.size()), ap(samples.size()), an(samples.size());
        const auto n = static_cast<std::uint32_t>(samples.size());
        portable(ep.data(), en.data(), sizeof(Vector3), corners, normals, samples.data(), n);
        variant(ap.data(), an.data(), sizeof(Vector3), corners, normals, samples.data(), n);
        for (std::uint32_t k = 0; k < n; ++k) {
            if (auto r = CloseValues(ep[k], ap[k]); !r) return r << " position " << k;
            if (auto r = CloseValues(en[k], an[k]); !r) return r << " normal " << k;
        }
    }
    return ::testing::AssertionSuccess();
}


TEST(FamilyAgreement, EveryReplacedSlotAgreesWithItsPortableRoutine) {
    int compared = 0;
    for (const testing::FamilyTable& family : testing::AllFamilyTables()) {
        const RoutineTable& t = family.table;
#define FACET_COMPARE_SLOT(routine)                                                                  \
    if (t.family[static_cast<int>(Slot::routine)] != RoutineFamily::Portable) {                      \
        Inputs in{std::mt19937(static_cast<unsigned>(Slot::routine) + 1)};                          \
        in.pureRotations = Slot::routine == Slot::QuaternionRotationMatrix;                         \
        EXPECT_TRUE(Compare(t.routines.routine, PortableTable.routines.routine, in)) << family.name << " " #routine; \
        ++compared;                                                                                  \
    }
        FACET_DISPATCHED_ROUTINES(FACET_COMPARE_SLOT)
#undef FACET_COMPARE_SLOT
    }
    EXPECT_GE(compared, 9 + 62 + 62 + 45 + 44);
}

}  // namespace
}  // namespace facet
