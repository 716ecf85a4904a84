// The pipeline as a library: the values it keeps in memory are the table's, calls are
// independent of each other, and bad arguments come back as exceptions.
#include "disk/Disk.h"
#include "features/DsvConverter.h"
#include "input/OpenInput.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

// Default settings but for what becomes of values beyond the range.
kinrec::Settings Overflowing(kinrec::Overflow overflow) {
    kinrec::Settings s;
    s.Overflow = static_cast<std::int32_t>(overflow);
    return s;
}

} // namespace

namespace {

// Six channels of a recording: a sensor turning and shaking, some samples far beyond
// the range (in g and deg/s).
struct Physical {
    std::vector<double> ch[6];
};

Physical Motion(int n, unsigned seed, double spread) {
    Physical p;
    std::mt19937 gen(seed);
    std::normal_distribution<double> d(0.0, 1.0);
    for (int i = 0; i < n; ++i) {
        const double t = 0.02 * i;
        const double values[6] = {0.3 * std::sin(t) + 0.1 * spread * d(gen),
                                  0.2 * std::cos(2 * t) + 0.1 * spread * d(gen),
                                  1.0 + 0.2 * spread * d(gen),
                                  40.0 * std::sin(3 * t) + 30 * spread * d(gen),
                                  20.0 * d(gen),
                                  -15.0 * std::cos(t) + 60 * spread * d(gen)};
        for (int c = 0; c < 6; ++c) {
            p.ch[c].push_back(values[c]);
        }
    }
    return p;
}

// The same samples written in the layout of fileType (1 counts, 2 g and deg/s,
// 3 hundreds of counts, 4 dataset).
std::string Encode(const Physical& p, int fileType) {
    std::string s = fileType == 4 ? std::string("QM DataSet V1.0.0\0\0\0\x18\0\0\0", 24)
                                  : "time,ax,ay,az,gx,gy,gz\n";
    char buf[64];
    for (std::size_t i = 0; i < p.ch[0].size(); ++i) {
        if (fileType != 4) {
            s += std::to_string(i) + (fileType == 2 ? ",x" : "");
        }
        for (int c = 0; c < 6; ++c) {
            const double v = p.ch[c][i];
            const int counts = c < 3 ? kinrec::AccCounts(v) : kinrec::GyroCounts(v);
            if (fileType == 4) {
                s += static_cast<char>(counts & 0xFF);
                s += static_cast<char>((counts >> 8) & 0xFF);
                continue;
            }
            if (fileType == 2) {
                std::snprintf(buf, sizeof buf, ",%.17g", v);
            } else {
                std::snprintf(buf, sizeof buf, ",%d", fileType == 3 ? counts / 100 : counts);
            }
            s += buf;
        }
        if (fileType != 4) {
            s += "\n";
        }
    }
    return s;
}

// A table in kinrec's text, from the values kept in memory.
std::string AsText(const kinrec::Table& t) {
    std::ostringstream s;
    for (std::size_t c = 0; c < t.names.size(); ++c) {
        s << (c == 0 ? "" : c < 10 ? "," : ", ") << t.names[c];
    }
    s << "\n";
    for (std::size_t r = 0; r < t.Rows(); ++r) {
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            s << (c == 0 ? "" : ",") << t.columns[c][r];
        }
        s << "\n";
    }
    return s.str();
}

// The table text the pipeline writes for a file.
std::string TextTable(const std::string& in, const std::string& out, const kinrec::Settings& s) {
    Settings cfg{s.FileType,        s.ResampleCount,      s.SamplingFrequency,
                 s.CutOffFrequency, s.FallStartThreshold, s.FallCounterOut,
                 s.PostureOut,      s.RmsDiffOut,         s.PostureDiffOut};
    std::int32_t count = 0;
    OpenedInput opened = OpenInput(RealDisk(), in, s.FileType);
    std::unique_ptr<SampleSource> src = std::move(opened.source);
    EXPECT_NE(src, nullptr);
    DsvConverter conv;
    EXPECT_EQ(OpenDsvFile(&conv, &cfg, &count, out.c_str()), 0);
    SampleRecord rec{};
    while (src->Next(&rec)) {
        WriteDsvRecord(&conv, &rec);
    }
    EXPECT_EQ(CloseDsvFile(&conv), 0);
    return ReadText(out);
}

kinrec::Recording<double> View(const Physical& p) {
    const std::size_t n = p.ch[0].size();
    return {{p.ch[0].data(), n}, {p.ch[1].data(), n}, {p.ch[2].data(), n},
            {p.ch[3].data(), n}, {p.ch[4].data(), n}, {p.ch[5].data(), n}};
}

TEST(LibraryTest, MemoryValuesAreTheTablesForEveryInputKindAndColumnChoice) {
    TempDir dir;
    const Physical p = Motion(700, 5, 1.0);
    struct Case {
        int resample, fall, posture, rms, postureDiff;
    };
    const Case cases[] = {{0, 1, 1, 1, 1}, {3, 0, 1, 0, 1}, {2, 1, 0, 1, 0}, {0, 0, 0, 0, 0}};
    for (int fileType = 1; fileType <= 4; ++fileType) {
        const std::string in = dir.Path("in" + std::to_string(fileType));
        WriteFile(in, Encode(p, fileType));
        for (const Case& c : cases) {
            kinrec::Settings s;
            s.FileType = fileType;
            s.ResampleCount = c.resample;
            s.FallCounterOut = c.fall;
            s.PostureOut = c.posture;
            s.RmsDiffOut = c.rms;
            s.PostureDiffOut = c.postureDiff;
            const kinrec::Table t = kinrec::FromFile(in, s);
            ASSERT_EQ(AsText(t), TextTable(in, dir.Path("out.csv"), s))
                << "FileType " << fileType << " resample " << c.resample;
            const std::size_t step = c.resample > 1 ? static_cast<std::size_t>(c.resample) : 1;
            ASSERT_EQ(t.Rows(), (700 + step - 1) / step);
            EXPECT_EQ(t.samples[1], static_cast<std::int64_t>(step));
        }
    }
}

// Values in g and deg/s in memory give what the physical CSV layout gives for the same
// values, beyond the sensor's range (where they wrap) included; and counts in memory
// what the counts layout gives.
TEST(LibraryTest, PhysicalAndCountChannelsMatchTheirFileLayouts) {
    TempDir dir;
    // Many samples beyond +-4 g and +-500 deg/s; long enough for the file to be read in
    // several batches ahead of the conversion.
    const Physical p = Motion(2600, 9, 25.0);
    int beyond = 0;
    for (double v : p.ch[3]) {
        beyond += std::fabs(v) > 500.0 ? 1 : 0;
    }
    ASSERT_GT(beyond, 50);
    kinrec::Settings s;
    s.FileType = 2;
    WriteFile(dir.Path("phys.csv"), Encode(p, 2));
    const kinrec::Table fromFile = kinrec::FromFile(dir.Path("phys.csv"), s);
    const kinrec::Table fromMemory = kinrec::FromPhysical(View(p), s);
    EXPECT_EQ(fromMemory.columns, fromFile.columns);
    EXPECT_EQ(fromMemory.samples, fromFile.samples);
    EXPECT_GT(fromFile.notes.wrapped, 200);
    EXPECT_EQ(fromFile.notes.wrapped, fromMemory.notes.wrapped);
    EXPECT_EQ(fromFile.notes.firstWrapped, fromMemory.notes.firstWrapped);
    EXPECT_EQ(fromFile.notes.wrapPeak, fromMemory.notes.wrapPeak);

    std::vector<std::int16_t> counts[6];
    for (int c = 0; c < 6; ++c) {
        for (double v : p.ch[c]) {
            counts[c].push_back(c < 3 ? kinrec::AccCounts(v) : kinrec::GyroCounts(v));
        }
    }
    const std::size_t n = counts[0].size();
    const kinrec::Recording<std::int16_t> rec{{counts[0].data(), n}, {counts[1].data(), n},
                                              {counts[2].data(), n}, {counts[3].data(), n},
                                              {counts[4].data(), n}, {counts[5].data(), n}};
    EXPECT_EQ(kinrec::FromCounts(rec).columns, fromFile.columns);
    // The wrap itself: 4.5 g is 36864 counts, which is -28672 in 16 bits.
    EXPECT_EQ(kinrec::AccCounts(4.5), -28672);
    EXPECT_EQ(kinrec::GyroCounts(-1.0), -65);
    EXPECT_EQ(kinrec::AccCounts(std::nan("")), 0);
}

TEST(LibraryTest, OverflowWrapsClipsOrRefuses) {
    const Physical p = Motion(400, 11, 25.0); // many samples beyond +-4 g and +-500 deg/s
    std::vector<std::int16_t> clipped[6];
    for (int c = 0; c < 6; ++c) {
        const double factor = c < 3 ? 8192.0 : 65.53600311279297;
        for (double v : p.ch[c]) {
            clipped[c].push_back(
                static_cast<std::int16_t>(std::clamp(std::trunc(v * factor), -32768.0, 32767.0)));
        }
    }
    const std::size_t n = clipped[0].size();
    const kinrec::Recording<std::int16_t> saturated{{clipped[0].data(), n}, {clipped[1].data(), n},
                                                    {clipped[2].data(), n}, {clipped[3].data(), n},
                                                    {clipped[4].data(), n}, {clipped[5].data(), n}};

    const kinrec::Table wrap = kinrec::FromPhysical(View(p), Overflowing(kinrec::Overflow::kWrap));
    const kinrec::Table clip = kinrec::FromPhysical(View(p), Overflowing(kinrec::Overflow::kClip));
    EXPECT_EQ(wrap.columns, kinrec::FromPhysical(View(p)).columns); // the default
    EXPECT_GT(wrap.notes.wrapped, 50);
    EXPECT_EQ(clip.columns, kinrec::FromCounts(saturated).columns);
    EXPECT_NE(clip.columns, wrap.columns);
    EXPECT_EQ(clip.notes.wrapped, wrap.notes.wrapped); // counted, clipped or not
    EXPECT_EQ(clip.notes.firstWrapped, wrap.notes.firstWrapped);

    // Refused before any of the chunk is converted: the stream goes on from where it was.
    const Physical calm = Motion(100, 12, 1.0);
    std::size_t first = 0;
    while (first < n && std::all_of(clipped, clipped + 6, [&](const std::vector<std::int16_t>& c) {
               return c[first] > -32768 && c[first] < 32767;
           })) {
        ++first;
    }
    ASSERT_LT(first, n);
    kinrec::Stream stream(Overflowing(kinrec::Overflow::kRaise));
    kinrec::Table rows;
    stream.Push(View(calm), rows);
    int beyond = 0; // samples with a value whose counts do not fit 16 bits
    for (std::size_t i = 0; i < n; ++i) {
        bool out = false;
        for (int c = 0; c < 6; ++c) {
            const double counts = std::trunc(p.ch[c][i] * (c < 3 ? 8192.0 : 65.53600311279297));
            out = out || counts < -32768.0 || counts > 32767.0;
        }
        beyond += out ? 1 : 0;
    }
    try {
        stream.Push(View(p), rows);
        ADD_FAILURE() << "no kinrec::Error";
    } catch (const kinrec::Error& e) {
        const std::string said = std::to_string(beyond) +
                                 " samples have values beyond the 16-bit range (the first is "
                                 "sample " +
                                 std::to_string(100 + first) + ", the largest value ";
        EXPECT_EQ(std::string(e.what()).rfind(said, 0), 0u) << e.what();
    }
    EXPECT_EQ(stream.Samples(), 100);
    EXPECT_EQ(rows.columns, kinrec::FromPhysical(View(calm)).columns);
}

// Every call starts its own bias count, prints nothing and leaves nothing behind that
// the next call would see; a Run carries the count like a batch.
TEST(LibraryTest, CallsAreIndependentUnlessTheyShareARun) {
    const Physical p = Motion(3000, 3, 1.0);
    ::testing::internal::CaptureStdout();
    const kinrec::Table first = kinrec::FromPhysical(View(p));
    const kinrec::Table second = kinrec::FromPhysical(View(p));
    const kinrec::Table third = kinrec::FromPhysical(View(p));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(second.columns, first.columns);
    EXPECT_EQ(third.columns, first.columns);

    kinrec::Run run;
    EXPECT_EQ(kinrec::FromPhysical(View(p), {}, &run).columns, first.columns);
    EXPECT_EQ(run.biasCount, 3000);
    EXPECT_NE(kinrec::FromPhysical(View(p), {}, &run).columns, first.columns);
    EXPECT_EQ(run.biasCount, 6000);
}

// A bias count outside 0 to the limit is a bad argument for every call, whatever the
// int32; at the limit the count stays.
TEST(LibraryTest, RunOutsideItsRangeIsRefused) {
    const Physical p = Motion(50, 3, 1.0);
    const std::int32_t limit = kinrec::BiasCountLimit();
    ASSERT_EQ(limit, 10000);
    for (const std::int32_t count : {-1, INT32_MIN, limit + 1, INT32_MAX}) {
        SCOPED_TRACE(count);
        kinrec::Run run{count};
        EXPECT_FALSE(kinrec::ValidBiasCount(count));
        try {
            kinrec::FromPhysical(View(p), {}, &run);
            ADD_FAILURE() << "accepted";
        } catch (const kinrec::Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Run bias count must be 0 to 10000, not " + std::to_string(count));
        }
        EXPECT_THROW(kinrec::FromCounts({}, {}, &run), kinrec::Error);
        EXPECT_EQ(run.biasCount, count);
    }
    for (const std::int32_t count : {0, limit}) {
        kinrec::Run run{count};
        EXPECT_TRUE(kinrec::ValidBiasCount(count));
        EXPECT_EQ(kinrec::FromPhysical(View(p), {}, &run).Rows(), 50u);
        EXPECT_EQ(run.biasCount, count == 0 ? 50 : limit);
    }
}

// A batch's head on the run, then each later item from RestRun, gives the tables of
// every item converted one after another on one run; without a run there is no head.
TEST(LibraryTest, BatchHeadThenRestIsOneRunInOrder) {
    const Physical p = Motion(4000, 3, 1.0);
    const std::size_t items = 5;
    kinrec::Run serial;
    std::vector<kinrec::Table> want;
    for (std::size_t i = 0; i < items; ++i) {
        want.push_back(kinrec::FromPhysical(View(p), {}, &serial));
    }
    for (const std::int32_t start : {0, 7000, 10000}) {
        SCOPED_TRACE(start);
        kinrec::Run run{start};
        std::vector<kinrec::Table> got(items);
        const std::size_t head = kinrec::ConvertHead(
            items, &run, [&](std::size_t i) { got[i] = kinrec::FromPhysical(View(p), {}, &run); });
        // 0 -> 4000 -> 8000 -> 10000: three items; 7000 -> 10000: one; none at the limit.
        EXPECT_EQ(head, start == 0 ? 3u : start == 7000 ? 1u : 0u);
        for (std::size_t i = head; i < items; ++i) {
            kinrec::Run own = kinrec::RestRun(&run);
            got[i] = kinrec::FromPhysical(View(p), {}, &own);
        }
        if (start == 0) {
            for (std::size_t i = 0; i < items; ++i) {
                EXPECT_EQ(got[i].columns, want[i].columns) << i;
            }
        }
        EXPECT_EQ(got[items - 1].columns, want[items - 1].columns);
    }
    int calls = 0;
    EXPECT_EQ(kinrec::ConvertHead(items, nullptr, [&](std::size_t) { ++calls; }), 0u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(kinrec::RestRun(nullptr).biasCount, 0);
    kinrec::Run fresh;
    EXPECT_EQ(kinrec::ConvertHead(2, &fresh, [&](std::size_t) { ++calls; }), 2u);
}

TEST(LibraryTest, TwoThreadsConvertTwoRecordingsAtOnce) {
    const Physical a = Motion(4000, 1, 1.0);
    const Physical b = Motion(4000, 2, 3.0);
    const kinrec::Table aAlone = kinrec::FromPhysical(View(a));
    const kinrec::Table bAlone = kinrec::FromPhysical(View(b));
    kinrec::Table aThread, bThread;
    std::thread ta([&] { aThread = kinrec::FromPhysical(View(a)); });
    std::thread tb([&] { bThread = kinrec::FromPhysical(View(b)); });
    ta.join();
    tb.join();
    EXPECT_EQ(aThread.columns, aAlone.columns);
    EXPECT_EQ(bThread.columns, bAlone.columns);
}

TEST(LibraryTest, BadArgumentsAreExceptions) {
    std::vector<double> six(6, 0.0), five(5, 0.0);
    kinrec::Recording<double> rec{{six.data(), 6}, {six.data(), 6},  {six.data(), 6},
                                  {six.data(), 6}, {five.data(), 5}, {six.data(), 6}};
    try {
        kinrec::FromPhysical(rec);
        FAIL() << "unequal lengths accepted";
    } catch (const kinrec::Error& e) {
        EXPECT_STREQ(e.what(), "channels of unequal length: accX has 6 samples, gyroY 5");
    }
    rec.gyroY = {nullptr, 6};
    EXPECT_THROW(kinrec::FromPhysical(rec), kinrec::Error);
    rec.gyroY = {six.data(), 6};
    EXPECT_EQ(kinrec::FromPhysical(rec).Rows(), 6u);

    TempDir dir;
    kinrec::Settings s;
    s.FileType = 5;
    EXPECT_THROW(kinrec::FromFile(dir.Path("x.csv"), s), kinrec::Error);
    EXPECT_THROW(kinrec::WriteTable(dir.Path("x.csv"), "", s), kinrec::Error);
    struct FileCase {
        std::string path;
        int fileType;
        int code;
        std::string what;
    };
    WriteFile(dir.Path("t_DSV.csv"), std::string(kDsvFixedHeader) + "\n1,2,3,4,5,6,7,8,9,10\n");
    WriteFile(dir.Path("text.bin"), "0,1,2,3,4,5,6\n");
    const FileCase cases[] = {
        {dir.Path("none.csv"), 1, ENOENT, dir.Path("none.csv") + ": No such file or directory"},
        {dir.Path("t_DSV.csv"), 1, 0,
         dir.Path("t_DSV.csv") + ": is a kinrec table, not a recording"},
        {dir.Path("text.bin"), 4, 0, dir.Path("text.bin") + ": not a dataset file"},
        {dir.Path("t_DSV.csv"), 4, 0,
         dir.Path("t_DSV.csv") + ": is a kinrec table, not a recording"},
        {dir.Path(""), 1, EISDIR, dir.Path("") + ": Is a directory"},
        {dir.Path(""), 4, EISDIR, dir.Path("") + ": Is a directory"},
    };
    for (const FileCase& c : cases) {
        s.FileType = c.fileType;
        try {
            kinrec::FromFile(c.path, s);
            ADD_FAILURE() << c.path << " accepted";
        } catch (const kinrec::FileError& e) {
            EXPECT_EQ(e.what(), c.what);
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_EQ(e.Path(), c.path);
        }
    }
#ifdef __linux__
    // A dataset header that cannot be read says why, for the table writer too
    // (/proc/self/mem fails its first read with EIO).
    s.FileType = 4;
    try {
        kinrec::FromFile("/proc/self/mem", s);
        ADD_FAILURE() << "/proc/self/mem accepted";
    } catch (const kinrec::FileError& e) {
        EXPECT_EQ(e.Code(), EIO) << e.what();
    }
    const kinrec::Written w = kinrec::WriteTable("/proc/self/mem", dir.Path("mem.csv"), s);
    EXPECT_EQ(w.failure, kinrec::Failure::kReadFailed);
    EXPECT_EQ(w.code, EIO);
#endif
}

// A stream's chunks, of any sizes, give the rows of one call: every resample count from 0
// to 4 (chunk edges inside a resample step), column choices, counts, hundreds of counts
// and physical values beyond the range, with and without a Run; the sample numbers run
// on from chunk to chunk.
TEST(StreamTest, ChunksGiveTheRowsOfOneCall) {
    const Physical p = Motion(1500, 11, 2.5); // spread 2.5: many values beyond the range
    Physical hundreds = p;
    for (int c = 0; c < 6; ++c) {
        for (double& v : hundreds.ch[c]) {
            v = (c < 3 ? kinrec::AccCounts(v) : kinrec::GyroCounts(v)) / 100 * 100;
        }
    }
    std::vector<std::int16_t> counts[6];
    for (int c = 0; c < 6; ++c) {
        for (double v : hundreds.ch[c]) {
            counts[c].push_back(static_cast<std::int16_t>(v));
        }
    }
    std::mt19937 gen(3);
    const std::size_t n = p.ch[0].size();
    for (int resample = 0; resample <= 4; ++resample) {
        for (int columns = 0; columns < 2; ++columns) {
            for (int kind = 0; kind < 2; ++kind) { // physical, hundreds as counts
                for (int withRun = 0; withRun < 2; ++withRun) {
                    SCOPED_TRACE(testing::Message()
                                 << "resample " << resample << ", columns " << columns << ", kind "
                                 << kind << ", run " << withRun);
                    kinrec::Settings s;
                    s.ResampleCount = resample;
                    s.PostureOut = columns;
                    s.RmsDiffOut = columns;
                    kinrec::Run one{withRun != 0 ? 9000 : 0};
                    kinrec::Run chunked = one;
                    auto countsOf = [&](std::size_t at, std::size_t size) {
                        kinrec::Recording<std::int16_t> r;
                        kinrec::Channel<std::int16_t>* ch[6] = {&r.accX,  &r.accY,  &r.accZ,
                                                                &r.gyroX, &r.gyroY, &r.gyroZ};
                        for (int c = 0; c < 6; ++c) {
                            *ch[c] = {counts[c].data() + at, size};
                        }
                        return r;
                    };
                    auto physicalOf = [&](std::size_t at, std::size_t size) {
                        kinrec::Recording<double> r;
                        kinrec::Channel<double>* ch[6] = {&r.accX,  &r.accY,  &r.accZ,
                                                          &r.gyroX, &r.gyroY, &r.gyroZ};
                        for (int c = 0; c < 6; ++c) {
                            *ch[c] = {p.ch[c].data() + at, size};
                        }
                        return r;
                    };
                    kinrec::Run* runOne = withRun != 0 ? &one : nullptr;
                    const kinrec::Table whole =
                        kind == 0 ? kinrec::FromPhysical(physicalOf(0, n), s, runOne)
                                  : kinrec::FromCounts(countsOf(0, n), s, runOne);
                    kinrec::Stream stream(s, withRun != 0 ? &chunked : nullptr);
                    kinrec::Table t;
                    for (std::size_t at = 0; at < n;) {
                        // Mostly one sample, now and then a few or a few hundred.
                        const std::size_t pick = gen() % 10;
                        std::size_t size = pick < 5 ? 1 : pick < 8 ? 1 + gen() % 7 : gen() % 300;
                        size = std::min(size, n - at);
                        if (kind == 0) {
                            stream.Push(physicalOf(at, size), t);
                        } else {
                            stream.Push(countsOf(at, size), t);
                        }
                        at += size;
                    }
                    stream.Finish();
                    EXPECT_EQ(stream.Samples(), static_cast<std::int64_t>(n));
                    EXPECT_EQ(t.names, whole.names);
                    EXPECT_EQ(t.samples, whole.samples);
                    EXPECT_TRUE(t.columns == whole.columns);
                    EXPECT_EQ(chunked.biasCount, one.biasCount);
                }
            }
        }
    }
}

// A stream's rows through a sink of the caller's, and what a finished stream refuses.
TEST(StreamTest, RowsReachACallersSinkAndFinishEndsTheStream) {
    struct Collect : kinrec::RowSink {
        std::vector<std::int64_t> samples;
        std::vector<int> widths;
        void Row(const std::int32_t* /*values*/, int n, std::int64_t sample) override {
            samples.push_back(sample);
            widths.push_back(n);
        }
    } sink;
    const Physical p = Motion(10, 1, 1.0);
    kinrec::Settings s;
    s.ResampleCount = 4;
    s.FallCounterOut = 0;
    kinrec::Stream stream(s);
    EXPECT_EQ(stream.Names().size(), 18u);
    stream.Push(View(p), sink);
    stream.Push(View(p), sink);
    EXPECT_EQ(sink.samples, (std::vector<std::int64_t>{0, 4, 8, 12, 16}));
    EXPECT_EQ(sink.widths, std::vector<int>(5, 18));
    stream.Finish();
    EXPECT_THROW(stream.Push(View(p), sink), kinrec::Error);
    kinrec::Run bad{-1};
    EXPECT_THROW(kinrec::Stream(s, &bad), kinrec::Error);
}

// The counts a value becomes under each Overflow, for every input the library takes:
// physical values in each unit (the saturation is on the unbounded value: 262144 g is
// 2^31 counts, which a 32-bit truncation would wrap to the bottom), 32-bit counts, and
// doubles as counts (saturated at 32 bits first, as the counts layout reads a number).
TEST(StreamTest, ValuesBecomeCountsInEveryUnitAndOverflow) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        kinrec::Units units;
        double value; // accX, or gyroX where gyro is true
        bool gyro;
        std::int16_t wrap; // kWrap's counts
        std::int16_t clip; // kClip's
        bool refused;      // by kRaise
    };
    using A = kinrec::AccUnit;
    using G = kinrec::GyroUnit;
    const kinrec::Units g{}; // g, deg/s
    const Case cases[] = {
        {g, 1.0, false, 8192, 8192, false},
        {g, 4.5, false, -28672, 32767, true},
        {g, -4.5, false, 28672, -32768, true},
        {g, 262144.0, false, 0, 32767, true}, // 2^31 counts
        {g, -262144.5, false, 0, -32768, true},
        {g, inf, false, 0, 32767, true},
        {g, -inf, false, 0, -32768, true},
        {g, 1e300, false, 0, 32767, true},
        {g, -1.0, true, -65, -65, false},
        {g, 600.0, true, -26215, 32767, true},
        {g, 1e10, true, 0, 32767, true},
        {{A::kMilliG, G::kDegPerSecond}, 1500.0, false, 12288, 12288, false},
        {{A::kMilliG, G::kDegPerSecond}, 5000.0, false, -24576, 32767, true},
        {{A::kMetresPerSecond2, G::kDegPerSecond}, 9.80665, false, 8192, 8192, false},
        {{A::kMetresPerSecond2, G::kDegPerSecond}, -1.0, false, -835, -835, false},
        {{A::kG, G::kRadPerSecond}, 1.0, true, 3754, 3754, false},
        {{A::kG, G::kRadPerSecond}, -10.0, true, 27987, -32768, true},
        {{A::kCounts, G::kCounts}, -7.9, false, -7, -7, false},
        {{A::kCounts, G::kCounts}, 40000.7, true, -25536, 32767, true},
        {{A::kCounts, G::kCounts}, 1e12, false, -1, 32767, true}, // INT32_MAX's low bits
        {{A::kCounts, G::kCounts}, -1e12, true, 0, -32768, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.value << (c.gyro ? " gyro" : " acc") << " units "
                     << static_cast<int>(c.units.acc) << "/" << static_cast<int>(c.units.gyro));
        std::vector<double> zero(1, 0.0), value(1, c.value);
        kinrec::Recording<double> rec{{zero.data(), 1}, {zero.data(), 1}, {zero.data(), 1},
                                      {zero.data(), 1}, {zero.data(), 1}, {zero.data(), 1}};
        (c.gyro ? rec.gyroX : rec.accX) = {value.data(), 1};
        const std::size_t column = c.gyro ? 3 : 0;
        for (const auto overflow :
             {kinrec::Overflow::kWrap, kinrec::Overflow::kClip, kinrec::Overflow::kRaise}) {
            kinrec::Stream stream(Overflowing(overflow), nullptr, c.units);
            kinrec::Table t;
            if (overflow == kinrec::Overflow::kRaise && c.refused) {
                EXPECT_THROW(stream.Push(rec, t), kinrec::Error);
                EXPECT_EQ(stream.Samples(), 0);
                continue;
            }
            stream.Push(rec, t);
            ASSERT_EQ(t.Rows(), 1u);
            EXPECT_EQ(t.columns[column][0], overflow == kinrec::Overflow::kClip ? c.clip : c.wrap);
            EXPECT_EQ(t.notes.wrapped, c.refused ? 1 : 0); // clipped values are counted too
        }
    }
    // 32-bit counts: the low 16 bits, saturated, or refused, with the stream's sample
    // numbers in the words and the notes.
    const std::int32_t values[] = {5, -40000, 40000, INT32_MAX, INT32_MIN, 32767, -32768};
    const std::int16_t wrapped[] = {5, 25536, -25536, -1, 0, 32767, -32768};
    const std::int16_t clipped[] = {5, -32768, 32767, 32767, -32768, 32767, -32768};
    const std::vector<std::int32_t> zero(7, 0), ch(std::begin(values), std::end(values));
    const kinrec::Recording<std::int32_t> rec{{ch.data(), 7},   {zero.data(), 7}, {zero.data(), 7},
                                              {zero.data(), 7}, {zero.data(), 7}, {ch.data(), 7}};
    kinrec::Stream wrap;
    kinrec::Table w;
    wrap.Push(rec, w);
    wrap.Push(rec, w);
    kinrec::Stream clip(Overflowing(kinrec::Overflow::kClip));
    kinrec::Table c;
    clip.Push(rec, c);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(w.columns[0][i], wrapped[i]);
        EXPECT_EQ(w.columns[5][i + 7], wrapped[i]);
        EXPECT_EQ(c.columns[0][i], clipped[i]);
    }
    EXPECT_EQ(w.notes.wrapped, 8);
    EXPECT_EQ(w.notes.firstWrapped, 1);
    EXPECT_EQ(w.notes.wrapPeak, INT32_MIN);
    EXPECT_EQ(c.notes.wrapped, 4);
    kinrec::Stream raise(Overflowing(kinrec::Overflow::kRaise));
    const kinrec::Recording<std::int32_t> calm{{zero.data(), 7}, {zero.data(), 7},
                                               {zero.data(), 7}, {zero.data(), 7},
                                               {zero.data(), 7}, {zero.data(), 7}};
    raise.Push(calm, c);
    try {
        raise.Push(rec, c);
        ADD_FAILURE() << "accepted";
    } catch (const kinrec::Error& e) {
        EXPECT_STREQ(e.what(), "4 samples have values beyond the 16-bit range (the first is sample "
                               "8, the largest value -2147483648 counts); nothing of this chunk "
                               "was converted");
    }
}

// Every call on a stream that was moved from throws, and the stream moved to goes on.
TEST(StreamTest, MovedFromStreamRefusesEveryCall) {
    const Physical p = Motion(20, 4, 1.0);
    std::vector<std::int16_t> c16(20, 0);
    std::vector<std::int32_t> c32(20, 0);
    const kinrec::Recording<std::int16_t> r16{{c16.data(), 20}, {c16.data(), 20}, {c16.data(), 20},
                                              {c16.data(), 20}, {c16.data(), 20}, {c16.data(), 20}};
    const kinrec::Recording<std::int32_t> r32{{c32.data(), 20}, {c32.data(), 20}, {c32.data(), 20},
                                              {c32.data(), 20}, {c32.data(), 20}, {c32.data(), 20}};
    kinrec::Stream from;
    kinrec::Table t;
    from.Push(View(p), t);
    kinrec::Stream to(std::move(from));
    struct Nothing : kinrec::RowSink {
        void Row(const std::int32_t*, int, std::int64_t) override {}
    } sink;
    const std::function<void()> calls[] = {
        [&] { from.Push(r16, t); },     [&] { from.Push(r32, t); },
        [&] { from.Push(View(p), t); }, [&] { from.Push(r16, sink); },
        [&] { from.Push(r32, sink); },  [&] { from.Push(View(p), sink); },
        [&] { (void)from.Samples(); },  [&] { (void)from.Names(); },
        [&] { (void)from.Noted(); },    [&] { from.Finish(); },
    };
    for (std::size_t k = 0; k < std::size(calls); ++k) {
        SCOPED_TRACE(k);
        try {
            calls[k]();
            ADD_FAILURE() << "no kinrec::Error";
        } catch (const kinrec::Error& e) {
            EXPECT_STREQ(e.what(), "a stream that was moved from has no recording");
        }
    }
    EXPECT_EQ(t.Rows(), 20u);
    to.Push(View(p), t);
    EXPECT_EQ(to.Samples(), 40);
    EXPECT_EQ(t.samples.back(), 39);
}

// A table fed one sample at a time moves its storage a logarithmic number of times,
// and is the table of one call.
TEST(StreamTest, OneSampleAtATimeGrowsTheTableGeometrically) {
    const Physical p = Motion(10000, 6, 1.0);
    kinrec::Stream stream;
    kinrec::Table t;
    int moves = 0;
    const std::int32_t* last = nullptr;
    for (std::size_t i = 0; i < 10000; ++i) {
        kinrec::Recording<double> one;
        kinrec::Channel<double>* ch[6] = {&one.accX,  &one.accY,  &one.accZ,
                                          &one.gyroX, &one.gyroY, &one.gyroZ};
        for (int c = 0; c < 6; ++c) {
            *ch[c] = {p.ch[c].data() + i, 1};
        }
        stream.Push(one, t);
        moves += t.columns[0].data() != last ? 1 : 0;
        last = t.columns[0].data();
    }
    EXPECT_LE(moves, 20);
    const kinrec::Table whole = kinrec::FromPhysical(View(p));
    EXPECT_EQ(t.samples, whole.samples);
    EXPECT_TRUE(t.columns == whole.columns);
}

// A sink that throws ends the push at the row it refused: the samples up to it are taken
// and noted, the rest of the chunk is not, and pushing the rest goes on as one call.
TEST(StreamTest, SinkThatThrowsEndsThePushAtItsRow) {
    const Physical p = Motion(1000, 8, 25.0); // values wrap before and after the refused row
    struct Refusing : kinrec::RowSink {
        std::int64_t refuse = -1;
        std::vector<std::int64_t> samples;
        void Row(const std::int32_t*, int, std::int64_t sample) override {
            if (sample == refuse) {
                throw std::runtime_error("full");
            }
            samples.push_back(sample);
        }
    };
    const kinrec::Table whole = kinrec::FromPhysical(View(p));
    for (const std::int64_t refuse : {0, 299, 700}) { // inside the source's batches of 256
        SCOPED_TRACE(refuse);
        Refusing sink;
        sink.refuse = refuse;
        kinrec::Stream stream;
        EXPECT_THROW(stream.Push(View(p), sink), std::runtime_error);
        EXPECT_EQ(stream.Samples(), refuse + 1);
        const auto upTo = static_cast<std::size_t>(refuse + 1);
        Physical head;
        for (int c = 0; c < 6; ++c) {
            head.ch[c].assign(p.ch[c].begin(), p.ch[c].begin() + refuse + 1);
        }
        const kinrec::Notes headNotes = kinrec::FromPhysical(View(head)).notes;
        EXPECT_EQ(stream.Noted().wrapped, headNotes.wrapped);
        EXPECT_EQ(stream.Noted().firstWrapped, headNotes.firstWrapped);
        kinrec::Recording<double> rest = View(p);
        kinrec::Channel<double>* ch[6] = {&rest.accX,  &rest.accY,  &rest.accZ,
                                          &rest.gyroX, &rest.gyroY, &rest.gyroZ};
        for (int c = 0; c < 6; ++c) {
            *ch[c] = {p.ch[c].data() + upTo, 1000 - upTo};
        }
        stream.Push(rest, sink);
        std::vector<std::int64_t> expected = whole.samples;
        expected.erase(expected.begin() + refuse);
        EXPECT_EQ(sink.samples, expected);
        EXPECT_EQ(stream.Noted().wrapped, whole.notes.wrapped);
    }
}

// The table's name is checked again when the finished table lands: a file saved under it
// meanwhile is replaced only when it is a kinrec table and the name held one at the start;
// where the name was free, the table lands only while it still is.
TEST(WriteTableTest, NameTakenWhileTheTableIsWrittenIsNotReplaced) {
    TempDir dir;
    const std::string in = dir.Path("in.csv");
    WriteFile(in, "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n");
    const std::string oldTable = std::string(kDsvFixedHeader) + "\n1,2,3,4,5,6,7,8,9,10\n";
    const std::string recording = "t,ax,ay,az,gx,gy,gz\n0,1,2,3,4,5,6\n";
    // Saves a file under the table's name as soon as the temporary table exists.
    struct Saver : kinrec::WriteHooks {
        std::string name, bytes;
        void Made(const std::string& /*temp*/) override {
            if (!bytes.empty()) {
                WriteFile(name, bytes);
            }
        }
    };
    struct Case {
        const char* before; // the name's content at the start ("" none)
        std::string during; // saved under it meanwhile ("" nothing)
        bool landed;
    };
    const Case cases[] = {
        {"", "", true},
        {"", recording, false},
        {"", oldTable, false},
        {"table", recording, false},
        {"table", oldTable + "2,3,4,5,6,7,8,9,10,11\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "before '" << c.before << "', during " << c.during);
        const std::string out = dir.Path("out.csv");
        std::remove(out.c_str());
        if (*c.before != '\0') {
            WriteFile(out, oldTable);
        }
        Saver saver;
        saver.name = out;
        saver.bytes = c.during;
        const kinrec::Written w = kinrec::WriteTable(in, out, kinrec::Settings(), nullptr, &saver);
        const std::string now = ReadText(out);
        if (c.landed) {
            EXPECT_TRUE(w.Ok()) << w.Reason();
            EXPECT_EQ(now.rfind(std::string(kDsvFixedHeader), 0), 0u);
            EXPECT_NE(now, oldTable);
        } else {
            EXPECT_EQ(w.failure, kinrec::Failure::kWriteFailed);
            EXPECT_EQ(w.code, EEXIST);
            EXPECT_EQ(w.path, out);
            EXPECT_EQ(w.Reason(),
                      "was taken by another file while the table was written; not overwritten");
            EXPECT_EQ(now, c.during);
        }
        int error = 0;
        std::vector<std::string> names;
        for (const DirEntry& e : RealDisk().List(dir.path(), &error)) {
            names.push_back(e.name);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"in.csv", "out.csv"})); // no temporary left
    }
}

#ifndef _WIN32
// A table's name that is a link to a name not made yet: the table is made there and the
// link stays; a link into a folder that does not exist fails and stays as it was.
TEST(WriteTableTest, DanglingLinkIsFollowed) {
    TempDir dir;
    const std::string in = dir.Path("in.csv");
    WriteFile(in, "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n");
    MakeDir(dir.Path("sub"));
    ASSERT_EQ(symlink("sub/made.csv", dir.Path("link.csv").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("none/made.csv").c_str(), dir.Path("nowhere.csv").c_str()), 0);
    const kinrec::Written w = kinrec::WriteTable(in, dir.Path("link.csv"), kinrec::Settings());
    EXPECT_TRUE(w.Ok()) << w.Reason();
    EXPECT_EQ(ReadText(dir.Path("sub/made.csv")).rfind(std::string(kDsvFixedHeader), 0), 0u);
    EXPECT_TRUE(RealDisk().Inspect(dir.Path("link.csv")).isLink);
    const kinrec::Written lost =
        kinrec::WriteTable(in, dir.Path("nowhere.csv"), kinrec::Settings());
    EXPECT_EQ(lost.failure, kinrec::Failure::kTableNotCreated);
    EXPECT_EQ(lost.code, ENOENT);
    EXPECT_TRUE(RealDisk().Inspect(dir.Path("nowhere.csv")).isLink);
    EXPECT_FALSE(FileExists(dir.Path("none")));
}
#endif

} // namespace
