#include "Include/IntConv.h"
#include "input/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace kinrec::detail;

namespace {

TEST(ParseIntTest, AtoiRules) {
    const struct {
        const char* text;
        std::int32_t value;
    } table[] = {
        {"0", 0},
        {"123", 123},
        {"-45", -45},
        {"+7", 7},
        {"  \t12", 12},
        {"\n\r\v\f9", 9},
        {"12.7", 12},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"007", 7},
        {"40000\n", 40000},
        {"5\r\n", 5},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MAX},
        {"-2147483649", INT32_MIN},
        {"9999999999999999999999999999999999999999", INT32_MAX},
        {"-9999999999999999999999999999999999999999", INT32_MIN},
        {"0x1F", 0},
        {"1e5", 1},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ParseInt(row.text), row.value) << '"' << row.text << '"';
    }
}

TEST(ParseDoubleTest, StrtodRules) {
    const struct {
        const char* text;
        double value;
    } table[] = {
        {"0.5", 0.5},
        {"-0.25", -0.25},
        {"+1.0", 1.0},
        {"  250.0\n", 250.0},
        {"1e3", 1000.0},
        {"1E-2", 0.01},
        {"1e", 1.0},
        {"1e+", 1.0},
        {".5", 0.5},
        {"5.", 5.0},
        {".", 0.0},
        {"abc", 0.0},
        {"", 0.0},
        {"--1", 0.0},
        {"-+1", 0.0},
        {"0x1.8p1", 3.0},
        {"0X10", 16.0},
        {"-0x.8", -0.5},
        {"0x", 0.0},
        {"0xg", 0.0},
        {"1,5", 1.0},
        {"12:00:01", 12.0},
        {"1e-400", 0.0},
        {"0.000000000000000000000000000000000000000000000000000000000000000001e-300", 0.0},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ParseDouble(row.text), row.value) << '"' << row.text << '"';
    }
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ParseDouble("inf"), inf);
    EXPECT_EQ(ParseDouble("-Infinity"), -inf);
    EXPECT_EQ(ParseDouble("1e999"), inf);
    EXPECT_EQ(ParseDouble("-1e999"), -inf);
    EXPECT_EQ(ParseDouble("123456789e303"), inf);
    EXPECT_EQ(ParseDouble("0x1p99999"), inf);
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
    EXPECT_TRUE(std::isnan(ParseDouble("-NaN(123)")));
}

TEST(ParseDoubleTest, BoundedByTheFieldEnd) {
    const char* text = "1.5e3,7";
    EXPECT_EQ(ParseDouble(text, text + 3), 1.5);
    EXPECT_EQ(ParseDouble(text, text + 5), 1500.0);
    EXPECT_EQ(ParseDouble(text, text + 7), 1500.0);
    EXPECT_EQ(ParseDouble(text, text), 0.0);
    const char* hex = "0x1,2";
    EXPECT_EQ(ParseDouble(hex, hex + 2), 0.0); // "0x" alone is the number 0
    EXPECT_EQ(ParseDouble(hex, hex + 3), 1.0);
    const char* sign = "-,5";
    EXPECT_EQ(ParseDouble(sign, sign + 1), 0.0);
}

TEST(ParseDoubleTest, AgreesWithTheCLibraryOnOrdinaryNumbers) {
    const char* samples[] = {"0.1",        "-1.0000001", "3.14159265358979323846",
                             "1e-5",       "-7.5e2",     "0.4937814",
                             "-0.4937814", "123456.789", "2.2250738585072014e-308"};
    for (const char* s : samples) {
        EXPECT_EQ(ParseDouble(s), std::strtod(s, nullptr)) << s;
    }
}

TEST(ParseDoubleTest, IgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            EXPECT_EQ(ParseDouble("0.5"), 0.5) << name;
            EXPECT_EQ(ParseDouble("0,5"), 0.0) << name;
        }
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(TruncToInt32Test, TowardZeroAndIntMinOutside) {
    const struct {
        double v;
        std::int32_t expected;
    } table[] = {
        {0.9, 0},
        {-0.9, 0},
        {-1.5, -1},
        {1.99999, 1},
        {2147483647.9, INT32_MAX},
        {-2147483648.9, INT32_MIN},
        {2147483648.0, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {1e300, INT32_MIN},
        {-1e300, INT32_MIN},
        {std::numeric_limits<double>::infinity(), INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), INT32_MIN},
    };
    for (const auto& row : table) {
        EXPECT_EQ(TruncToInt32(row.v), row.expected) << row.v;
    }
}

TEST(WrapTest, TwosComplement) {
    EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(WrapSub(INT32_MIN, 90), INT32_MAX - 89);
    EXPECT_EQ(WrapSub(-179, 179), -358);
    EXPECT_EQ(WrapSub(0, INT32_MIN), INT32_MIN);
    EXPECT_EQ(FromUint32(0xFFFFFFFFu), -1);
}

} // namespace
