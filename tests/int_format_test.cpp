#include "features/IntFormat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

using namespace kinrec::detail;

namespace {

std::string Formatted(std::int32_t v) {
    char buf[16];
    char* end = intformat::FormatInt(buf, v);
    return std::string(buf, end);
}

std::string Printed(std::int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(v));
    return buf;
}

TEST(FormatIntTest, AsPrintfPrints) {
    for (std::int32_t v : {0,
                           1,
                           -1,
                           9,
                           10,
                           -10,
                           99,
                           100,
                           -100,
                           101,
                           999,
                           1000,
                           9999,
                           10000,
                           32767,
                           -32768,
                           99999,
                           100000,
                           999999999,
                           1000000000,
                           INT32_MAX,
                           INT32_MIN,
                           INT32_MIN + 1,
                           -90,
                           -358,
                           692,
                           866}) {
        EXPECT_EQ(Formatted(v), Printed(v));
    }
    std::mt19937 gen(1);
    for (int i = 0; i < 200000; ++i) {
        const auto v = static_cast<std::int32_t>(gen());
        ASSERT_EQ(Formatted(v), Printed(v));
        const std::int32_t small = v % 100000;
        ASSERT_EQ(Formatted(small), Printed(small));
    }
}

// The field table's edges and the ways around it, for the first column and the others.
TEST(FormatFieldTest, AsPrintfPrints) {
    for (std::int32_t v :
         {0,         -1,        1,          9,         -9,        10,           -10,
          99,        100,       -100,       999,       1000,      9999,         -9999,
          10000,     -10000,    10001,      -10001,    32767,     -32768,       99999999,
          -99999999, 100000000, -100000000, INT32_MAX, INT32_MIN, INT32_MIN + 1}) {
        char buf[32];
        char* end = intformat::PutField(buf, v);
        EXPECT_EQ(std::string(buf, end), "," + Printed(v));
        end = intformat::PutFirst(buf, v);
        EXPECT_EQ(std::string(buf, end), Printed(v));
    }
    std::mt19937 gen(2);
    for (int i = 0; i < 200000; ++i) {
        const auto v = static_cast<std::int32_t>(gen()) / (std::int32_t{1} << (gen() % 31));
        char buf[32];
        char* end = intformat::PutField(buf, v);
        ASSERT_EQ(std::string(buf, end), "," + Printed(v));
    }
}

} // namespace
