// The matrix products of all five implementations: correct against a double-precision
// product, and unchanged when the output is a, b or both.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "family_tables.h"

namespace facet {
namespace {

struct Implementation {
    std::string name;
    decltype(&MatrixMultiply) multiply;
    decltype(&MatrixMultiplyTranspose) multiplyTranspose;
};

std::vector<Implementation> Implementations() {
    std::vector<Implementation> all{{"portable", PortableTable.routines.MatrixMultiply,
                                     PortableTable.routines.MatrixMultiplyTranspose}};
    for (const auto& family : testing::AllFamilyTables()) {
        if (family.name == "3dnow-ext") continue;  // the same products as 3dnow
        all.push_back({family.name, family.table.routines.MatrixMultiply, family.table.routines.MatrixMultiplyTranspose});
    }
    return all;
}

Matrix4 Random(std::mt19937& rng) {
    std::uniform_real_distribution<float> d(-2.0f, 2.0f);
    Matrix4 m;
    for (auto& row : m.m) {
        for (float& e : row) e = d(rng);
    }
    return m;
}

TEST(MatrixProducts, AgreeWithADoublePrecisionProduct) {
    std::mt19937 rng(11);
    for (const Implementation& impl : Implementations()) {
        for (int trial = 0; trial < 500; ++trial) {
            const Matrix4 a = Random(rng), b = Random(rng);
            Matrix4 product, transposed;
            EXPECT_EQ(impl.multiply(&product, &a, &b), &product);
            EXPECT_EQ(impl.multiplyTranspose(&transposed, &a, &b), &transposed);
            for (int i = 0; i < 4; ++i) {
                for (int j = 0; j < 4; ++j) {
                    double exact = 0.0;
                    for (int k = 0; k < 4; ++k) exact += double{a.m[i][k]} * b.m[k][j];
                    EXPECT_NEAR(product.m[i][j], exact, 4e-6) << impl.name;
                    EXPECT_EQ(transposed.m[j][i], product.m[i][j]) << impl.name;
                }
            }
        }
    }
}

void ExpectSame(const Matrix4& a, const Matrix4& b, const std::string& what) {
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(Matrix4)), 0) << what;
}

TEST(MatrixProducts, WritingOverEitherOperandGivesTheProductOfTheEntryValues) {
    std::mt19937 rng(12);
    for (const Implementation& impl : Implementations()) {
        for (auto routine : {impl.multiply, impl.multiplyTranspose}) {
            for (int trial = 0; trial < 100; ++trial) {
                const Matrix4 a = Random(rng), b = Random(rng);
                Matrix4 expected, square;
                routine(&expected, &a, &b);
                routine(&square, &a, &a);

                Matrix4 overA = a;
                routine(&overA, &overA, &b);
                ExpectSame(overA, expected, impl.name + " out = a");
                Matrix4 overB = b;
                routine(&overB, &a, &overB);
                ExpectSame(overB, expected, impl.name + " out = b");
                Matrix4 self = a;
                routine(&self, &self, &self);
                ExpectSame(self, square, impl.name + " out = a = b");
            }
        }
    }
}

TEST(MatrixProducts, OperandsNeedOnlyFloatAlignment) {
    alignas(16) float storage[3 * 16 + 1];
    auto* a = reinterpret_cast<Matrix4*>(storage + 1);
    std::mt19937 rng(13);
    *a = Random(rng);
    const Matrix4 copy = *a;
    for (const Implementation& impl : Implementations()) {
        Matrix4 expected;
        impl.multiply(&expected, &copy, &copy);
        auto* out = reinterpret_cast<Matrix4*>(storage + 1 + 16);
        impl.multiply(out, a, a);
        ExpectSame(*out, expected, impl.name);
    }
}

}  // namespace
}  // namespace facet
