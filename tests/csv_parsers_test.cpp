#include "input/CsvParsers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

struct Six {
    int v[6];
};

// Parses a copy of the line; returns the status and the record (and the largest value
// that wrapped, when asked).
int Parse(CsvLineParser parse, const std::string& line, SampleRecord* rec,
          std::int64_t* wrapPeak = nullptr) {
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    std::int64_t peak = 0;
    const int status = parse(buf.data(), rec, &peak);
    if (wrapPeak != nullptr) {
        *wrapPeak = peak;
    }
    return status;
}

void ExpectRecord(CsvLineParser parse, const std::string& line, Six e) {
    SampleRecord r{};
    ASSERT_EQ(Parse(parse, line, &r), 0) << line;
    const int got[6] = {r.accX, r.accY, r.accZ, r.gyroX, r.gyroY, r.gyroZ};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[i], e.v[i]) << line << " field " << i;
    }
}

TEST(CsvCountsTest, Layout) {
    ExpectRecord(ParseCsvCounts, "0,100,-200,8192,0,65,-65\n", {{100, -200, 8192, 0, 65, -65}});
    ExpectRecord(ParseCsvCounts, "x,1,2,3,4,5,6,7,8\n", {{1, 2, 3, 4, 5, 6}});
    ExpectRecord(ParseCsvCounts, "0,40000,12.7,-40000,32768,-32769,65536\n",
                 {{-25536, 12, 25536, -32768, 32767, 0}});
    ExpectRecord(ParseCsvCounts, "0, 1,\t2,abc,4 ,-5,6\r\n", {{1, 2, 0, 4, -5, 6}});
    // Beyond 32 bits: saturated first, then the low 16 bits (INT_MAX -> -1, INT_MIN -> 0).
    ExpectRecord(ParseCsvCounts, "0,99999999999999999999,-99999999999999999999,0,0,0,0\n",
                 {{-1, 0, 0, 0, 0, 0}});
}

TEST(CsvCountsTest, RunsOfCommasAreOneSeparator) {
    ExpectRecord(ParseCsvCounts, "5,,1,2,3,4,5,6\n", {{1, 2, 3, 4, 5, 6}});
    ExpectRecord(ParseCsvCounts, ",,,5,1,,,2,3,4,5,6,,\n", {{1, 2, 3, 4, 5, 6}});
}

TEST(CsvPhysicalTest, Layout) {
    ExpectRecord(ParseCsvPhysical, "12:00:01,7,0.5,-0.25,1.0,10.0,-1.0,250.0\n",
                 {{4096, -2048, 8192, 655, -65, 16384}});
    // 4 g wraps; 0.01 deg/s truncates to 0; 500 deg/s gives 32768.0016 and wraps.
    ExpectRecord(ParseCsvPhysical, "0,0,4.0,-4.0,3.9998779296875,0.01,500,-500\n",
                 {{-32768, -32768, 32767, 0, -32768, -32768}});
}

TEST(CsvPhysicalTest, RealFootRecordingBeyondTheCountRange) {
    // Two rows of a foot-worn sensor, reordered into the physical layout: x-io
    // Technologies, IMU-Mocap, logged_lower_body "Right Foot" Inertial.csv (MIT licence),
    // rows 272 and 156. Beyond 4 g and 500 deg/s the counts wrap as 16-bit values.
    ExpectRecord(ParseCsvPhysical,
                 "922993606,271,-4.279736,2.579594,4.087533,-177.649277,-52.015270,58.180130\n",
                 {{30477, 21132, -32051, -11642, -3408, 3812}});
    ExpectRecord(ParseCsvPhysical,
                 "920612449,155,-1.205941,1.130947,1.751282,-63.130875,532.995422,-157.883224\n",
                 {{-9879, 9264, 14346, -4137, -30606, -10347}});
}

TEST(CsvPhysicalTest, OutOfRangeProductsGiveIntMinLowBits) {
    // Not finite or beyond 32 bits: INT_MIN, whose low 16 bits are 0.
    ExpectRecord(ParseCsvPhysical, "0,0,nan,-inf,262144,1e999,40000000,-40000000\n",
                 {{0, 0, 0, 0, 0, 0}});
    // Just inside: 262143.99 g = 2147483566 counts, low 16 bits -82.
    ExpectRecord(ParseCsvPhysical, "0,0,262143.99,0x1p1,0,0,0,0\n", {{-82, 16384, 0, 0, 0, 0}});
}

TEST(CsvCounts100Test, Layout) {
    ExpectRecord(ParseCsvCounts100, "0,12,-3,327,328,0,1\n", {{1200, -300, 32700, -32736, 0, 100}});
    // The low 16 bits are taken before the multiplication: 65548 -> 12 -> 1200.
    ExpectRecord(ParseCsvCounts100, "0,65548,-65536,0,0,0,0\n", {{1200, 0, 0, 0, 0, 0}});
}

TEST(CsvParsersTest, ShortLinesAreNotSamples) {
    SampleRecord r{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Parse(ParseCsvCounts, "0,1,2,3,4,5\n", &r), 0 - 1);
    EXPECT_EQ(Parse(ParseCsvCounts100, "0,1,2,3", &r), -1);
    EXPECT_EQ(Parse(ParseCsvPhysical, "0,0,1,2,3,4,5\n", &r), -1);
    EXPECT_EQ(Parse(ParseCsvCounts, "0,1,,2,3,,4,5,,", &r), -1);
    // Untouched.
    EXPECT_EQ(r.accX, 1);
    EXPECT_EQ(r.gyroZ, 6);
    // The line end after a trailing comma is a field of its own, as the tokenising rule
    // counts it.
    ExpectRecord(ParseCsvCounts, "0,1,2,3,4,5,\n", {{1, 2, 3, 4, 5, 0}});
}

TEST(CsvParsersTest, ParserByFileType) {
    EXPECT_EQ(CsvParserFor(1), &ParseCsvCounts);
    EXPECT_EQ(CsvParserFor(2), &ParseCsvPhysical);
    EXPECT_EQ(CsvParserFor(3), &ParseCsvCounts100);
    EXPECT_EQ(CsvParserFor(0), &ParseCsvCounts);
    EXPECT_EQ(CsvParserFor(-7), &ParseCsvCounts);
    EXPECT_EQ(CsvParserFor(4), &ParseCsvCounts);
}

TEST(CsvParsersTest, SampleLinesBeginWithADigitOrMinus) {
    for (const char* yes : {"0,1", "9", "-1,2", "-"}) {
        EXPECT_TRUE(IsSampleLine(yes)) << yes;
    }
    for (const char* no : {"t,ax", "", "\n", " 1,2", "+1,2", ".5,1", "\r\n", "#1"}) {
        EXPECT_FALSE(IsSampleLine(no)) << no;
    }
}

// Each layout says which value wrapped on its way to 16 bits, by the largest count before
// its wrap; values that fit say nothing.
TEST(CsvWrapTest, LargestWrappedValueOfTheLine) {
    struct Case {
        CsvLineParser parse;
        const char* line;
        std::int64_t peak;
    };
    const Case cases[] = {
        {ParseCsvCounts, "0,32767,-32768,0,0,0,0\n", 0},
        {ParseCsvCounts, "0,32768,0,0,0,0,0\n", 32768},
        {ParseCsvCounts, "0,40000,-50000,0,0,0,0\n", -50000},
        {ParseCsvCounts, "0,-32769,32768,0,0,0,0\n", -32769}, // ties: the first
        {ParseCsvCounts100, "0,327,-327,0,0,0,0\n", 0},
        {ParseCsvCounts100, "0,328,0,0,0,0,-400\n", -40000},
        {ParseCsvPhysical, "0,0,3.9998779296875,-4,0,499.9,-500,0\n", 0},
        {ParseCsvPhysical, "0,0,4.0,0,0,0,0,0\n", 32768},
        {ParseCsvPhysical, "0,0,0,0,6.45,1000,0,0\n", 65536},
    };
    for (const Case& c : cases) {
        SampleRecord r{};
        std::int64_t peak = 0;
        ASSERT_EQ(Parse(c.parse, c.line, &r, &peak), 0) << c.line;
        EXPECT_EQ(peak, c.peak) << c.line;
    }
}

} // namespace
