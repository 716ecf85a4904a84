#include "input/LineReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

// The pieces a LineReader delivers for the given file contents.
std::vector<std::string> Pieces(const std::string& bytes, std::size_t bufferSize = 1 << 16) {
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    std::vector<std::string> out;
    LineReader reader(f, bufferSize);
    while (const char* p = reader.Next()) {
        out.emplace_back(p);
    }
    std::fclose(f);
    return out;
}

using Lines = std::vector<std::string>;

TEST(LineReaderTest, SplitsAfterEachNewline) {
    EXPECT_EQ(Pieces("a\nbc\n\nd"), (Lines{"a\n", "bc\n", "\n", "d"}));
    EXPECT_EQ(Pieces("x\r\ny\r\n"), (Lines{"x\r\n", "y\r\n"}));
    EXPECT_EQ(Pieces(""), Lines{});
}

TEST(LineReaderTest, LongLinesComeInPiecesOf1023) {
    const std::string l1023(1023, 'a');
    EXPECT_EQ(Pieces(l1023 + "\n"), (Lines{l1023, "\n"}));
    EXPECT_EQ(Pieces(std::string(1022, 'b') + "\n1"), (Lines{std::string(1022, 'b') + "\n", "1"}));
    const std::string big = std::string(2500, 'c') + "\n";
    EXPECT_EQ(Pieces(big), (Lines{std::string(1023, 'c'), std::string(1023, 'c'),
                                  std::string(454, 'c') + "\n"}));
}

TEST(LineReaderTest, SameAcrossBufferBoundaries) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += std::to_string(i) + ",1,2,3,4,5,6" +
                std::string(static_cast<std::size_t>(i % 7) * 300, 'z') + "\n";
    }
    EXPECT_EQ(Pieces(text, 2048), Pieces(text, 1 << 20));
}

TEST(LineReaderTest, NulEndsTheTextOfAPiece) {
    const std::string bytes("1,2\0,3\n4\n", 9);
    EXPECT_EQ(Pieces(bytes), (Lines{"1,2", "4\n"}));
}

} // namespace
