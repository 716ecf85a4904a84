#include "Include/MatrixAlgebra.h"
#include "kinrec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

using namespace kinrec::detail;

// This program's allocations come filled with a non-zero byte, whatever the allocator
// left in the memory before: a test can tell initialised storage from a lucky zero.
// The array and aligned forms are left to the library, which pairs them among
// themselves.
namespace {

void* Dirty(std::size_t n) noexcept {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p != nullptr) {
        std::memset(p, 0xA5, n);
    }
    return p;
}

} // namespace

void* operator new(std::size_t n) {
    void* p = Dirty(n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Dirty(n);
}
// GCC takes the free() below for a mismatch with operator new, not seeing that this
// operator new is the malloc() above.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 11
#pragma GCC diagnostic pop
#endif

namespace {

dVector Vec(std::initializer_list<double> xs) {
    return dVector(xs);
}

void ExpectVector(const dVector& v, std::initializer_list<double> expected) {
    ASSERT_EQ(v.size(), expected.size());
    std::size_t i = 0;
    for (double e : expected) {
        EXPECT_EQ(v[i], e) << "element " << i;
        ++i;
    }
}

TEST(DotTest, SumsProductsInOrder) {
    EXPECT_EQ(Dot(Vec({1, 2, 3}), Vec({4, -5, 6})), 12.0);
    EXPECT_EQ(Dot(Vec({1, 2, 3, 4}), Vec({1, 1, 1, -1})), 2.0);
    EXPECT_EQ(Dot(dVector(), dVector()), 0.0);
    // Summed left to right from 0.0: (1e16 + 1) - 1e16 loses the 1, the other order keeps it.
    EXPECT_EQ(Dot(Vec({1e16, 1, -1e16}), Vec({1, 1, 1})), 0.0);
    EXPECT_EQ(Dot(Vec({1e16, -1e16, 1}), Vec({1, 1, 1})), 1.0);
}

TEST(CrossTest, IsRightHanded) {
    ExpectVector(Cross(Vec({1, 0, 0}), Vec({0, 1, 0})), {0, 0, 1});
    ExpectVector(Cross(Vec({0, 0, 1}), Vec({1, 0, 0})), {0, 1, 0});
    ExpectVector(Cross(Vec({0, 1, 0}), Vec({0, 0, 1})), {1, 0, 0});
    ExpectVector(Cross(Vec({2, -3, 5}), Vec({2, -3, 5})), {0, 0, 0});
    // (1, 2, 3) x (4, 5, 6) = (2*6 - 3*5, 3*4 - 1*6, 1*5 - 2*4)
    ExpectVector(Cross(Vec({1, 2, 3}), Vec({4, 5, 6})), {-3, 6, -3});
}

TEST(NormTest, EuclideanLength) {
    EXPECT_EQ(Norm(Vec({3, 4, 0})), 5.0);
    EXPECT_EQ(Norm(Vec({-3, 0, -4})), 5.0);
    EXPECT_EQ(Norm(Vec({1, 1, 1, 1})), 2.0);
    EXPECT_EQ(Norm(dVector()), 0.0);
}

TEST(Vector3Test, HoldsItsElements) {
    ExpectVector(Vector3(0, 0, -1), {0, 0, -1});
    ExpectVector(Vector3(1.5, -2.5, 3.25), {1.5, -2.5, 3.25});
}

// A broken invariant throws: a library never ends its host process.
template <class F>
std::string Broken(F f) {
    try {
        f();
    } catch (const kinrec::InternalError& e) {
        return e.what();
    }
    return "nothing thrown";
}

TEST(MatrixAlgebraTest, DimensionErrorsThrowWithTheirMessage) {
    const std::string cross = "ERROR: Cross(): dVector dimension should be 3 in Cross Product !";
    const std::string dot = "ERROR: Dot(): Inconsistent vector size in Inner Product !";
    const std::string reports[] = {Broken([] {
                                       Cross(Vec({1, 2}), Vec({1, 2, 3}));
                                   }),
                                   Broken([] {
                                       Cross(Vec({1, 2, 3}), Vec({1, 2, 3, 4}));
                                   }),
                                   Broken([] {
                                       Dot(Vec({1, 2, 3}), Vec({1, 2, 3, 4}));
                                   })};
    EXPECT_NE(reports[0].find(cross), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find(cross), std::string::npos) << reports[1];
    EXPECT_NE(reports[2].find(dot), std::string::npos) << reports[2];
    // The report names the source and the asserted expression, as an assert's does.
    const std::string r = Broken([] { Dot(Vec({1}), dVector()); });
    EXPECT_NE(r.find("MatrixAlgebra.cpp:"), std::string::npos) << r;
    EXPECT_NE(r.find(": Assertion `0 && \"" + dot + "\"' failed."), std::string::npos) << r;
}

TEST(MatrixTest, RangeCheckUsesUnsignedSubscripts) {
    matrix<double> m(3, 3);
    EXPECT_NO_THROW(m(2, 2) = 1.0);
    for (auto rc : {std::pair<std::uint32_t, std::uint32_t>{3, 0}, {0, 3}, {3, 3}}) {
        try {
            m(rc.first, rc.second) = 1.0;
            ADD_FAILURE() << "no exception for " << rc.first << ", " << rc.second;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "matrix<T>::operator(): subscript is out of range!");
        }
    }
    const int minusOne = -1;
    EXPECT_THROW(m(static_cast<std::uint32_t>(minusOne), 0) = 1.0, std::out_of_range);
    static_assert(std::is_base_of<std::logic_error, std::out_of_range>::value, "a logic error");
}

TEST(MatrixTest, RowMajorLayout) {
    matrix<double> m(2, 5);
    m(1, 4) = 9.0;
    m(0, 1) = 1.0;
    EXPECT_EQ(m.at(1, 4), 9.0);
    EXPECT_EQ(m.at(0, 1), 1.0);
    EXPECT_EQ(m.at(1, 3), 0.0);
    EXPECT_THROW(m(2, 0) = 1.0, std::out_of_range);
    EXPECT_NO_THROW(m(0, 4) = 1.0);
}

TEST(MatrixTest, NewMatrixIsZero) {
    // Every block comes from the allocator filled with 0xA5 (operator new above), so only
    // the matrix's own initialisation can put zeros there.
    for (std::uint32_t n : {1u, 3u, 4u, 100u}) {
        const matrix<double> m(n, n);
        for (std::uint32_t r = 0; r < n; ++r) {
            for (std::uint32_t c = 0; c < n; ++c) {
                ASSERT_TRUE(m.at(r, c) == 0.0 && !std::signbit(m.at(r, c))) << r << ", " << c;
            }
        }
    }
}

TEST(MatrixTest, CopyOnWrite) {
    matrix<double> a(2, 2);
    a(0, 0) = 1.0;
    matrix<double> b(a);
    EXPECT_EQ(a.refcount(), 2);
    EXPECT_TRUE(a.is_shared());
    b(0, 0) = 2.0;
    EXPECT_EQ(a.at(0, 0), 1.0);
    EXPECT_EQ(b.at(0, 0), 2.0);
    EXPECT_EQ(a.refcount(), 1);
    EXPECT_EQ(b.refcount(), 1);
    EXPECT_FALSE(a.is_shared());

    matrix<double> c(1, 1);
    c = a;
    EXPECT_EQ(a.refcount(), 2);
    c.detach();
    EXPECT_EQ(a.refcount(), 1);
    EXPECT_EQ(c.at(0, 0), 1.0);
    EXPECT_EQ(c.rows(), 2u);
    EXPECT_EQ(c.cols(), 2u);
}

TEST(MatrixTest, LastHandleReleasesTheBlock) {
    auto* outer = new matrix<double>(2, 2);
    {
        matrix<double> inner(*outer);
        EXPECT_EQ(inner.refcount(), 2);
        delete outer;
        EXPECT_EQ(inner.refcount(), 1);
        inner(1, 1) = 3.0; // sole owner: written in place
        EXPECT_EQ(inner.refcount(), 1);
    }
    // Leak checkers see the block freed with the inner handle.
}

} // namespace
