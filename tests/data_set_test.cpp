#include "input/DataSet.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

std::string Header(std::int32_t offset, const char* magic = "QM DataSet V1.0.0",
                   std::size_t n = 18) {
    std::string h(24, '\0');
    std::memcpy(&h[0], magic, n);
    const auto u = static_cast<std::uint32_t>(offset);
    for (int i = 0; i < 4; ++i) {
        h[static_cast<std::size_t>(20 + i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    return h;
}

std::string Record(int a, int b, int c, int d, int e, int f) {
    std::string r;
    for (int v : {a, b, c, d, e, f}) {
        const auto u = static_cast<std::uint16_t>(v);
        r += static_cast<char>(u & 0xFF);
        r += static_cast<char>(u >> 8);
    }
    return r;
}

class DataSetTest : public ::testing::Test {
  protected:
    // All records of a dataset file with these bytes, asked for batch at a time; none
    // when it is rejected.
    std::vector<SampleRecord> Read(const std::string& bytes, bool* accepted = nullptr,
                                   int batch = 1) {
        const std::string path = dir_.Path("d.bin");
        WriteFile(path, bytes);
        std::vector<SampleRecord> out;
        DataSet* ds = OpenDataSet(path.c_str());
        if (accepted != nullptr) {
            *accepted = ds != nullptr;
        }
        if (ds == nullptr) {
            return out;
        }
        std::vector<SampleRecord> recs(static_cast<std::size_t>(batch));
        int n = 0;
        // Bounded, should a faulty reader run on past the end.
        while (out.size() <= bytes.size() / 12 && (n = ReadDataSet(ds, recs.data(), batch)) > 0) {
            out.insert(out.end(), recs.begin(), recs.begin() + n);
        }
        CloseDataSet(ds);
        return out;
    }
    bool Accepted(const std::string& bytes) {
        bool ok = false;
        Read(bytes, &ok);
        return ok;
    }
    TempDir dir_;
};

TEST_F(DataSetTest, RecordsAreLittleEndianInt16) {
    const auto recs = Read(Header(24) + Record(1, -2, 8192, -32768, 32767, 256));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].accX, 1);
    EXPECT_EQ(recs[0].accY, -2);
    EXPECT_EQ(recs[0].accZ, 8192);
    EXPECT_EQ(recs[0].gyroX, -32768);
    EXPECT_EQ(recs[0].gyroY, 32767);
    EXPECT_EQ(recs[0].gyroZ, 256);
}

TEST_F(DataSetTest, CountsWholeRecordsOnly) {
    std::string body;
    for (int i = 0; i < 10; ++i) {
        body += Record(i, 0, 0, 0, 0, 0);
    }
    EXPECT_EQ(Read(Header(24) + body).size(), 10u);
    EXPECT_EQ(Read(Header(24) + body + "12345").size(), 10u);
    EXPECT_EQ(Read(Header(24)).size(), 0u);
    EXPECT_TRUE(Accepted(Header(24)));
}

TEST_F(DataSetTest, TrailingPiecesAreNoRecords) {
    // Record counts around the read-ahead of 4096 records, each followed by 0 to 11 more
    // bytes, read one record at a time and in one large batch.
    for (std::size_t n : {0u, 1u, 4095u, 4096u, 4097u}) {
        std::string body;
        for (std::size_t i = 0; i < n; ++i) {
            body += Record(static_cast<int>(i), 0, 0, 0, 0, -1);
        }
        for (std::size_t k = 0; k < 12; ++k) {
            for (int batch : {1, 5000}) {
                const auto recs = Read(Header(24) + body + std::string(k, '\x55'), nullptr, batch);
                ASSERT_EQ(recs.size(), n) << k << " bytes after, batch " << batch;
                if (n > 0) {
                    EXPECT_EQ(recs.back().accX, static_cast<std::int16_t>(n - 1));
                    EXPECT_EQ(recs.back().gyroZ, -1);
                }
            }
        }
    }
}

TEST_F(DataSetTest, OffsetIsAnAbsolutePosition) {
    const std::string skipped(40, '\x7f');
    const auto recs = Read(Header(64) + skipped + Record(5, 6, 7, 8, 9, 10));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].accX, 5);
    // Offset 0: the header itself comes out as the first two records.
    const auto fromZero = Read(Header(0));
    ASSERT_EQ(fromZero.size(), 2u);
    EXPECT_EQ(fromZero[0].accX, 'Q' | ('M' << 8));
    EXPECT_EQ(fromZero[1].gyroZ, 0); // bytes 22-23: the top of the offset field
    // At or past the end: no records, but a dataset.
    EXPECT_TRUE(Read(Header(36) + Record(1, 1, 1, 1, 1, 1)).empty());
    EXPECT_TRUE(Read(Header(2147483647)).empty());
    EXPECT_TRUE(Accepted(Header(2147483647)));
}

TEST_F(DataSetTest, MagicVariants) {
    EXPECT_TRUE(Accepted(Header(24)));
    std::string bytes1819 = Header(24);
    bytes1819[18] = 'x';
    bytes1819[19] = '\xff';
    EXPECT_TRUE(Accepted(bytes1819));
    EXPECT_FALSE(Accepted(Header(24, "QM DataSet V1.0.1", 18)));
    EXPECT_FALSE(Accepted(Header(24, "QM DataSet V1.0.0  ", 19))); // no NUL at 17
    EXPECT_FALSE(Accepted(Header(24, "qm dataset v1.0.0", 18)));
    EXPECT_FALSE(Accepted("0,1,2,3,4,5,6\n0,1,2,3,4,5,6\n"));
}

TEST_F(DataSetTest, ShortHeaderOrNegativeOffsetIsNotADataSet) {
    EXPECT_FALSE(Accepted(""));
    EXPECT_FALSE(Accepted(Header(24).substr(0, 23)));
    EXPECT_FALSE(Accepted(Header(24).substr(0, 18)));
    EXPECT_FALSE(Accepted(Header(-1) + Record(1, 1, 1, 1, 1, 1)));
    EXPECT_FALSE(Accepted(Header(INT32_MIN)));
}

TEST_F(DataSetTest, MissingFileAndNullHandle) {
    EXPECT_EQ(OpenDataSet(dir_.Path("absent.bin").c_str()), nullptr);
    CloseDataSet(nullptr);
}

TEST_F(DataSetTest, ManyRecordsAcrossTheReadAhead) {
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        body += Record(i, -i, i * 3, 0, 0, i & 0xFF);
    }
    const auto recs = Read(Header(24) + body + "x");
    ASSERT_EQ(recs.size(), 20000u);
    EXPECT_EQ(recs[19999].accX, static_cast<std::int16_t>(19999));
    EXPECT_EQ(recs[12345].accZ, static_cast<std::int16_t>(12345 * 3 - 65536));
    EXPECT_EQ(recs[4097].gyroZ, 4097 & 0xFF);
}

} // namespace
