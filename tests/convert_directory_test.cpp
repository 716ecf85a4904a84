#include "app/ConvertDirectory.h"
#include "input/Pattern.h"
#include "input/Walk.h"

#include "FakeDisk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

TEST(PatternTest, StarAndQuestionMark) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } table[] = {
        {"*", "a.csv", true},
        {"*", "", true},
        {"*", ".hidden", true},
        {"*.csv", "a.csv", true},
        {"*.csv", ".csv", true},
        {"*.csv", "a.CSV", false},
        {"*.csv", "a.csvx", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c", "abbc", false},
        {"*a*b*", "xaxxbx", true},
        {"*a*b*", "xbxa", false},
        {"data.csv", "data.csv", true},
        {"data.csv", "Data.csv", false},
        {"[ab].csv", "[ab].csv", true},
        {"[ab].csv", "a.csv", false},
        {"**.bin", "x.bin", true},
        {"?", "", false},
        {"", "", true},
        {"", "a", false},
        {"*x", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaay", false},
    };
    for (const auto& row : table) {
        EXPECT_EQ(MatchPattern(row.pattern, row.name), row.match)
            << row.pattern << " ~ " << row.name;
    }
}

TEST(IsInputFileTest, SuffixRule) {
    for (const char* yes : {"./a.csv", "./b.bin", "./a_dsv.csv", "x.csv", "./_DSV.csv.bin"}) {
        EXPECT_TRUE(IsInputFile(yes)) << yes;
    }
    for (const char* no :
         {"./a_DSV.csv", "./a.CSV", "./a.BIN", "./notes.txt", "./csv", "./a.csv.txt"}) {
        EXPECT_FALSE(IsInputFile(no)) << no;
    }
}

std::string J(std::initializer_list<const char*> parts) {
    std::string s;
    for (const char* p : parts) {
        if (!s.empty()) {
            s += kPathSeparator;
        }
        s += p;
    }
    return s;
}

class WalkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // .: a.csv a_DSV.csv b.bin notes.txt sub/ z.csv   sub: c.csv deep/   sub/deep: d.bin
        // (listed out of order: the walk sorts)
        t_.Add(".", "z.csv", false);
        t_.Add(".", "a.csv", false);
        t_.Add(".", "a_DSV.csv", false);
        t_.Add(".", "b.bin", false);
        t_.Add(".", "notes.txt", false);
        t_.Add(".", "sub", true);
        t_.Add(".", "x.csv.d", true);
        t_.Add(J({".", "sub"}), "c.csv", false);
        t_.Add(J({".", "sub"}), "deep", true);
        t_.Add(J({".", "sub", "deep"}), "d.bin", false);
        t_.Add(J({".", "sub", "deep"}), "e.csv", false);
    }
    std::vector<std::string> Walk(const char* selector, bool recursive) {
        std::vector<std::string> got;
        t_.listed.clear();
        failed_.clear();
        const std::string sel = selector != nullptr ? selector : "";
        WalkDirectory(
            t_, ".", selector != nullptr ? &sel : nullptr, recursive,
            [&got](const std::string& p) { got.push_back(p); },
            [this](const std::string& dir, int error) {
                failed_.push_back(dir + " " + std::to_string(error));
            });
        return got;
    }
    FakeDisk t_;
    std::vector<std::string> failed_; // "<dir> <errno>" of each directory not listed
};

using Paths = std::vector<std::string>;

TEST_F(WalkTest, SelectorWithoutRecursion) {
    EXPECT_EQ(Walk("*", false), (Paths{J({".", "a.csv"}), J({".", "b.bin"}), J({".", "z.csv"})}));
    EXPECT_EQ(Walk("*.csv", false), (Paths{J({".", "a.csv"}), J({".", "z.csv"})}));
    // The directory is listed once, whatever the selector.
    EXPECT_EQ(t_.listed, Paths{J({"."})});
    // A directory whose name matches is not entered without recursion.
    EXPECT_EQ(Walk("s*", false), Paths{});
    EXPECT_EQ(Walk("nothing*", false), Paths{});
}

TEST_F(WalkTest, RecursiveWithoutSelectorInterleaves) {
    // Entries in order, directories entered at once.
    EXPECT_EQ(Walk(nullptr, true),
              (Paths{J({".", "a.csv"}), J({".", "b.bin"}), J({".", "sub", "c.csv"}),
                     J({".", "sub", "deep", "d.bin"}), J({".", "sub", "deep", "e.csv"}),
                     J({".", "z.csv"})}));
    EXPECT_EQ(t_.listed,
              (Paths{J({"."}), J({".", "sub"}), J({".", "sub", "deep"}), J({".", "x.csv.d"})}));
}

TEST_F(WalkTest, RecursiveWithSelectorFilesFirst) {
    // Files of a directory first, then every sub-directory, whatever its name.
    EXPECT_EQ(Walk("*.csv", true),
              (Paths{J({".", "a.csv"}), J({".", "z.csv"}), J({".", "sub", "c.csv"}),
                     J({".", "sub", "deep", "e.csv"})}));
    // Each directory twice: for its matching entries, then for the sub-directories.
    EXPECT_EQ(t_.listed,
              (Paths{J({"."}), J({"."}), J({".", "sub"}), J({".", "sub"}), J({".", "sub", "deep"}),
                     J({".", "sub", "deep"}), J({".", "x.csv.d"}), J({".", "x.csv.d"})}));
    // The files go through the same input rule as everywhere: .bin is taken too.
    EXPECT_EQ(Walk("*.bin", true), (Paths{J({".", "b.bin"}), J({".", "sub", "deep", "d.bin"})}));
    EXPECT_EQ(Walk("?.*", true), (Paths{J({".", "a.csv"}), J({".", "b.bin"}), J({".", "z.csv"}),
                                        J({".", "sub", "c.csv"}), J({".", "sub", "deep", "d.bin"}),
                                        J({".", "sub", "deep", "e.csv"})}));
}

TEST_F(WalkTest, LinkedDirectoriesAreNotEntered) {
    t_.Add(J({".", "sub"}), "loop", true, true);
    t_.Add(J({".", "sub", "loop"}), "f.csv", false);
    const std::string loop = J({".", "sub", "loop"});
    auto listedLoop = [&] {
        return std::find(t_.listed.begin(), t_.listed.end(), loop) != t_.listed.end();
    };
    const Paths all = Walk(nullptr, true);
    EXPECT_EQ(std::count(all.begin(), all.end(), J({".", "sub", "loop", "f.csv"})), 0);
    EXPECT_FALSE(listedLoop());
    const Paths sel = Walk("*.csv", true);
    EXPECT_EQ(std::count(sel.begin(), sel.end(), J({".", "sub", "loop", "f.csv"})), 0);
    EXPECT_FALSE(listedLoop());
    // A link to a file is a file.
    t_.Add(".", "linked.csv", false, true);
    const Paths files = Walk("*.csv", false);
    EXPECT_EQ(std::count(files.begin(), files.end(), J({".", "linked.csv"})), 1);
}

TEST_F(WalkTest, SelectorWithADirectoryPart) {
    const std::string sel = std::string("sub") + kPathSeparator + "*.csv";
    EXPECT_EQ(Walk(sel.c_str(), false), (Paths{J({".", "sub", "c.csv"})}));
    EXPECT_EQ(t_.listed, Paths{J({".", "sub"})}); // "." itself is not listed
    const std::string deep = J({"sub", "deep", "*"});
    EXPECT_EQ(Walk(deep.c_str(), false),
              (Paths{J({".", "sub", "deep", "d.bin"}), J({".", "sub", "deep", "e.csv"})}));
}

// A directory that cannot be listed is reported once per listing and passed over; one
// that does not exist (a selector's sub-directory, mostly) is not a failure.
TEST_F(WalkTest, UnreadableDirectoriesAreReportedAndPassedOver) {
    t_.Refuse(J({".", "sub"}), EACCES);
    EXPECT_EQ(Walk(nullptr, true),
              (Paths{J({".", "a.csv"}), J({".", "b.bin"}), J({".", "z.csv"})}));
    EXPECT_EQ(failed_, Paths{J({".", "sub"}) + " " + std::to_string(EACCES)});
    const std::string sel = J({"nowhere", "*.csv"});
    EXPECT_EQ(Walk(sel.c_str(), true), Paths{});
    EXPECT_EQ(failed_, (Paths{J({".", "sub"}) + " " + std::to_string(EACCES)}));
}

TEST(IsAbsolutePathTest, SeparatorAndDrive) {
    EXPECT_TRUE(IsAbsolutePath(std::string(1, kPathSeparator) + "data"));
    EXPECT_FALSE(IsAbsolutePath("data"));
    EXPECT_FALSE(IsAbsolutePath(""));
#ifdef _WIN32
    EXPECT_TRUE(IsAbsolutePath("C:\\data"));
#else
    EXPECT_FALSE(IsAbsolutePath("c:dir")); // an ordinary name here
#endif
}

} // namespace
