#include "input/CsvParsers.h"

#include "input/LineReader.h"
#include "input/SampleSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
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

// A plain line is read in place as the layouts' parsers read it; a line of any other
// shape is left to them.
TEST(CsvPlainLineTest, ReadsAsTheParsersOrNotAtAll) {
    const struct {
        const char* line;
        bool plain;
    } cases[] = {
        {"917418209,7401,-295,3598,66,49,47\n", true},
        {"0,-30974,11171,-5420,2255,27129,-2805\r\n", true},
        {"-5,0,-0,00012,99999,-99999,40000\n", true}, // wraps, with its count noted
        {"-,1,2,3,4,5,6\n", true},
        {"1234567890123456789012,1,2,3,4,5,6\n", true},
        {"12345678901234567890123,1,2,3,4,5,6\n", false}, // first column too long
        {"0,1,2,3,4,5,6,7\n", false},                     // more columns
        {"0,1,2,3,4,5,123456\n", false},                  // six digits
        {"0,1,,2,3,4,5,6\n", false},                      // a run of commas
        {",0,1,2,3,4,5,6\n", false},
        {"0, 1,2,3,4,5,6\n", false},
        {"0,+1,2,3,4,5,6\n", false},
        {"0,1,2,3,4,5,-\n", false},
        {"0,1,2,3,4,5,6", false}, // no line end
        {"0,1,2,3,4,5,6\r", false},
        {"0.02,1,2,3,4,5,6\n", false},
        {"0,1,2,3,4,5\n", false},
        {"a,1,2,3,4,5,6\n", false},
    };
    for (const auto& c : cases) {
        std::string bytes(c.line);
        bytes.resize(std::max(bytes.size(), kPlainLineMax), '7');
        std::int32_t v[6];
        const char* end = ParsePlainLine(bytes.data(), v);
        ASSERT_EQ(end != nullptr, c.plain) << c.line;
        if (end == nullptr) {
            continue;
        }
        EXPECT_EQ(end, bytes.data() + std::strlen(c.line)) << c.line;
        for (const auto& l : {std::make_pair(ParseCsvCounts, StoreCounts),
                              std::make_pair(ParseCsvCounts100, StoreCounts100)}) {
            SampleRecord general{};
            SampleRecord plain{};
            std::int64_t generalPeak = 0;
            std::int64_t plainPeak = 0;
            ASSERT_EQ(Parse(l.first, c.line, &general, &generalPeak), 0) << c.line;
            l.second(v, &plain, &plainPeak);
            EXPECT_EQ(std::memcmp(&general, &plain, sizeof plain), 0) << c.line;
            EXPECT_EQ(generalPeak, plainPeak) << c.line;
        }
    }
}

// A recording of mixed lines, long ones and a block boundary among them.
std::string MixedRecording() {
    std::string bytes = "time,ax,ay,az,gx,gy,gz\n";
    std::mt19937 gen(7);
    const char* const odd[] = {"\n",
                               "  1,2,3,4,5,6,7\n",
                               "1,2,3\n",
                               "1,2,3,4,5,6,7,8\r\n",
                               "0,1,2,3,4,5,654321\n",
                               "-3,-70000,0,0,0,0,0\n",
                               "x\n",
                               "0,1,,2,3,4,5,6\n"};
    for (int i = 0; i < 12000; ++i) {
        const auto r = static_cast<unsigned>(gen() % 100);
        if (r < 8) {
            bytes += odd[r];
        } else if (r == 8) {
            bytes += std::string(1500 + gen() % 1000, '1') + ",2,3,4,5,6,7\n";
        } else {
            bytes += std::to_string(i);
            for (int k = 0; k < 6; ++k) {
                bytes += "," + std::to_string(static_cast<int>(gen() % 80001) - 40000);
            }
            bytes += r == 9 ? "\r\n" : "\n";
        }
    }
    bytes += "5,1,2,3,4,5,6"; // the last line without its end
    return bytes;
}

// A temporary file that holds bytes, read from the start.
std::FILE* FileOf(const std::string& bytes) {
    std::FILE* f = std::tmpfile();
    if (f != nullptr) {
        (void)std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
    }
    return f;
}

// The mixed recording reads as the line reader's pieces one by one through the parser.
TEST(CsvSourceTest, ReadsAsThePiecesOneByOne) {
    const std::string bytes = MixedRecording();
    for (const int fileType : {1, 3}) {
        std::FILE* f = FileOf(bytes);
        ASSERT_NE(f, nullptr);
        CsvSource source(f, fileType);
        std::FILE* g = FileOf(bytes);
        ASSERT_NE(g, nullptr);
        LineReader reader(g);
        long long lines = 0;
        long long samples = 0;
        WrapCounts wraps;
        while (char* line = reader.Next()) {
            ++lines;
            SampleRecord want{};
            std::int64_t peak = 0;
            if (!IsSampleLine(line) || CsvParserFor(fileType)(line, &want, &peak) != 0) {
                continue;
            }
            if (peak != 0) {
                wraps.Note(samples, peak);
            }
            ++samples;
            SampleRecord got{};
            ASSERT_TRUE(source.Next(&got)) << line;
            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << line;
            ASSERT_EQ(source.Counts().lines, lines) << line;
        }
        (void)std::fclose(g);
        SampleRecord rest{};
        EXPECT_FALSE(source.Next(&rest));
        EXPECT_EQ(source.Counts().lines, lines);
        EXPECT_EQ(source.Counts().samples, samples);
        EXPECT_EQ(source.Wraps().samples, wraps.samples);
        EXPECT_EQ(source.Wraps().first, wraps.first);
        EXPECT_EQ(source.Wraps().peak, wraps.peak);
    }
}

// Batches of samples hold what Next gives one by one, whatever their size, and leave
// the same counts: a batch stops for no line shape, wrap or block boundary.
TEST(CsvSourceTest, FillsBatchesAsNextReads) {
    const std::string bytes = MixedRecording();
    for (const int fileType : {1, 2, 3}) {
        std::FILE* f = FileOf(bytes);
        ASSERT_NE(f, nullptr);
        CsvSource one(f, fileType);
        std::vector<SampleRecord> want;
        SampleRecord rec{};
        while (one.Next(&rec)) {
            want.push_back(rec);
        }
        for (const std::size_t batch :
             {std::size_t{2}, std::size_t{7}, std::size_t{256}, std::size_t{100000}}) {
            std::FILE* g = FileOf(bytes);
            ASSERT_NE(g, nullptr);
            CsvSource source(g, fileType);
            std::vector<SampleRecord> got;
            std::vector<SampleRecord> recs(batch);
            std::size_t n = batch;
            while (n == batch) {
                n = source.Fill(recs.data(), batch);
                got.insert(got.end(), recs.begin(), recs.begin() + static_cast<std::ptrdiff_t>(n));
            }
            EXPECT_EQ(source.Fill(recs.data(), batch), 0u);
            ASSERT_EQ(got.size(), want.size()) << batch;
            EXPECT_EQ(std::memcmp(got.data(), want.data(), want.size() * sizeof(SampleRecord)), 0)
                << batch;
            const LineCounts& a = one.Counts();
            const LineCounts& b = source.Counts();
            EXPECT_EQ(b.lines, a.lines);
            EXPECT_EQ(b.samples, a.samples);
            EXPECT_EQ(b.sampleLike, a.sampleLike);
            EXPECT_EQ(b.skipped, a.skipped);
            EXPECT_EQ(b.blankStart, a.blankStart);
            EXPECT_EQ(b.shortLines, a.shortLines);
            EXPECT_EQ(b.lastLineShort, a.lastLineShort);
            EXPECT_EQ(source.Wraps().samples, one.Wraps().samples);
            EXPECT_EQ(source.Wraps().first, one.Wraps().first);
            EXPECT_EQ(source.Wraps().peak, one.Wraps().peak);
        }
    }
}

} // namespace
