// The plan of a batch over a fake file system: groups, shares, chains, and the plan's
// text.
#include "app/Plan.h"
#include "app/PlanChecks.h"
#include "app/PlanText.h"
#include "app/Shares.h"

#include "FakeDisk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using kinrec::detail::PathKind;

std::string T(const char* input) {
    const std::string s(input);
    return s.substr(0, s.size() - 4) + "_DSV.csv";
}

// What each file's group and share came to.
struct Planned {
    std::vector<std::size_t> groups;
    std::vector<int> shares;
    std::vector<bool> written;
};

Planned PlanOf(FakeDisk& fs, const std::vector<std::string>& paths, std::size_t head, int count) {
    std::vector<PlannedFile> files = PlanFiles(paths, fs);
    SplitShares(&files, head, count);
    Planned p;
    for (const PlannedFile& f : files) {
        p.groups.push_back(f.group);
        p.shares.push_back(f.share);
        p.written.push_back(f.written);
    }
    return p;
}

TEST(PlanTest, GroupsAndShares) {
    const struct {
        const char* what;
        std::vector<std::string> paths;
        void (*tree)(FakeDisk&);
        std::size_t head;
        int count;
        std::vector<std::size_t> groups;
        std::vector<int> shares;
        std::vector<bool> written;
    } cases[] = {
        {"equal files split in order, each by where its middle lies",
         {"a.csv", "b.csv", "c.csv", "d.csv"},
         [](FakeDisk& fs) {
             for (const char* n : {"a.csv", "b.csv", "c.csv", "d.csv"}) {
                 fs.File(n, 100, static_cast<unsigned long long>(n[0]));
             }
         },
         0,
         2,
         {0, 1, 2, 3},
         {1, 1, 2, 2},
         {false, false, false, false}},
        {"the head goes to share 1 and is left out of the sizes",
         {"h.csv", "a.csv", "b.csv", "c.csv"},
         [](FakeDisk& fs) {
             fs.File("h.csv", 100000, 1);
             fs.File("a.csv", 100, 2);
             fs.File("b.csv", 100, 3);
             fs.File("c.csv", 100, 4);
         },
         1,
         3,
         {0, 1, 2, 3},
         {1, 1, 2, 3},
         {false, false, false, false}},
        {"names that differ in case are one group, whether or not a table exists",
         {"A.csv", "B.csv", "C.csv", "a.csv"},
         [](FakeDisk& fs) {
             fs.File("A.csv", 600, 1);
             fs.File("B.csv", 60000, 2);
             fs.File("C.csv", 100, 3);
             fs.File("a.csv", 100, 4);
         },
         1,
         2,
         {0, 1, 2, 0},
         {1, 1, 2, 1},
         {false, false, false, false}},
        {"... and the same once A's table is there",
         {"A.csv", "B.csv", "C.csv", "a.csv"},
         [](FakeDisk& fs) {
             fs.File("A.csv", 600, 1);
             fs.File("B.csv", 60000, 2);
             fs.File("C.csv", 100, 3);
             fs.File("a.csv", 100, 4);
             fs.File(T("A.csv"), 5000, 5);
         },
         1,
         2,
         {0, 1, 2, 0},
         {1, 1, 2, 1},
         {false, false, false, false}},
        {"a table linked to a later input: one group, which goes where its first file goes",
         {"0h.csv", "a.csv", "b.csv", "c.csv", "d.csv", "e.csv"},
         [](FakeDisk& fs) {
             fs.File("0h.csv", 500000, 1);
             for (const char* n : {"a.csv", "b.csv", "c.csv", "d.csv"}) {
                 fs.File(n, 1000, static_cast<unsigned long long>(n[0]));
             }
             fs.File("e.csv", 0, 9);
             fs.Link(T("a.csv"), "e.csv");
         },
         1,
         2,
         {0, 1, 2, 3, 4, 1},
         {1, 1, 1, 2, 2, 1},
         {false, false, false, false, false, true}},
        {"two tables in place on one FIFO, by different paths",
         {"a.csv", "b.csv", "c.csv"},
         [](FakeDisk& fs) {
             fs.File("a.csv", 100, 1);
             fs.File("b.csv", 100, 2);
             fs.File("c.csv", 100, 3);
             fs.Link(T("a.csv"), "/dev/x", 42);
             fs.Link(T("c.csv"), "/dev/y", 42);
         },
         0,
         3,
         {0, 1, 0},
         {1, 2, 1},
         {false, false, false}},
        {"empty files split by count",
         {"a.csv", "b.csv", "c.csv", "d.csv", "e.csv"},
         [](FakeDisk& fs) {
             for (const char* n : {"a.csv", "b.csv", "c.csv", "d.csv", "e.csv"}) {
                 fs.File(n, 0, static_cast<unsigned long long>(n[0]));
             }
         },
         0,
         2,
         {0, 1, 2, 3, 4},
         {1, 1, 1, 2, 2},
         {false, false, false, false, false}},
        {"more shares than files: the last file's middle decides",
         {"a.csv", "b.csv"},
         [](FakeDisk& fs) {
             fs.File("a.csv", 100, 1);
             fs.File("b.csv", 300, 2);
         },
         0,
         8,
         {0, 1},
         {2, 6},
         {false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDisk fs;
        c.tree(fs);
        const Planned p = PlanOf(fs, c.paths, c.head, c.count);
        EXPECT_EQ(p.groups, c.groups);
        EXPECT_EQ(p.shares, c.shares);
        EXPECT_EQ(p.written, c.written);
    }
}

TEST(PlanTest, ChainsFollowGroups) {
    std::vector<PlannedFile> files(6);
    const std::size_t groups[] = {0, 1, 0, 3, 1, 0};
    for (std::size_t j = 0; j < files.size(); ++j) {
        files[j].group = groups[j];
    }
    // Own files 1, 2, 4, 5 (file 0 ran in the head): 4 waits for 1, 5 for 2.
    const std::vector<std::vector<std::size_t>> want = {{}, {}, {0}, {1}};
    EXPECT_EQ(Chains(files, {1, 2, 4, 5}), want);
}

TEST(PlanTest, MulDivIsExact) {
    const std::uint64_t big = ~0ull;
    const struct {
        std::uint64_t a, b, d, q;
    } cases[] = {
        {7, 3, 2, 10},
        {0, 5, 3, 0},
        {big, 1, big, 1},
        {big, big, big, big},
        {big - 1, 9999999, 2 * (big / 4), 19999998},
        {1ull << 62, 12, 1ull << 63, 6},
        {(1ull << 62) + 1, 4, 1ull << 62, 4},
        {(1ull << 63) - 1, 2, 1ull << 63, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.d), c.q) << c.a << " * " << c.b << " / " << c.d;
    }
}

TEST(PlanTest, DifferenceSaysWhatChanged) {
    Stamp planned;
    planned.kind = PathKind::kRegular;
    planned.size = 200;
    planned.mtime = 5;
    planned.id = kinrec::detail::FileId{1, 2, true};
    const struct {
        void (*change)(Stamp&);
        const char* how;
    } cases[] = {
        {[](Stamp&) {}, ""},
        {[](Stamp& s) { s.size = 300; }, "size 200 -> 300 bytes"},
        {[](Stamp& s) { s.mtime = 6; }, "modified"},
        {[](Stamp& s) { s.id.index = 3; }, "replaced by another file"},
        // The same file system mounted on another machine, under another device.
        {[](Stamp& s) { s.id.volume = 9; }, ""},
        {[](Stamp& s) { s.id.known = false; }, "replaced by another file"},
        {[](Stamp& s) { s.kind = PathKind::kMissing; }, "gone"},
        {[](Stamp& s) { s.kind = PathKind::kOther; }, "no longer a regular file"},
    };
    for (const auto& c : cases) {
        Stamp now = planned;
        c.change(now);
        EXPECT_EQ(Difference(planned, now), c.how);
    }
}

Plan Sample() {
    Plan plan;
    plan.version = "1.2.3";
    plan.settings = "FileType=2 ResampleCount=4";
    plan.count = 3;
    plan.selected = true;
    plan.selector = "s*\\x.csv";
    plan.token = "0123abcd";
    plan.head = 1;
    const char* names[] = {"./a b.csv", "./new\nline.csv", "./back\\slash\x01.bin"};
    for (std::size_t j = 0; j < 3; ++j) {
        PlannedFile f;
        f.path = names[j];
        f.stamp.kind = j == 1 ? PathKind::kOther : PathKind::kRegular;
        f.stamp.size = 1000 * static_cast<long long>(j);
        f.stamp.mtime = j == 2 ? -5 : 1700000000123456789LL;
        f.stamp.id = kinrec::detail::FileId{2049, 77 + j, j != 1};
        f.special = j == 1;
        f.inPlace = j == 2;
        f.written = j == 2;
        f.group = j == 2 ? 0 : j;
        f.share = static_cast<int>(j) + 1;
        plan.files.push_back(f);
    }
    return plan;
}

TEST(PlanTest, TextRoundTrip) {
    const Plan plan = Sample();
    const std::string text = PlanText(plan);
    Plan back;
    std::string error;
    ASSERT_TRUE(ReadPlan(text, &back, &error)) << error;
    EXPECT_EQ(PlanText(back), text);
    EXPECT_EQ(back.selector, plan.selector);
    ASSERT_EQ(back.files.size(), 3u);
    EXPECT_EQ(back.files[1].path, plan.files[1].path);
    EXPECT_EQ(back.files[2].path, plan.files[2].path);
    EXPECT_EQ(back.files[2].stamp.mtime, -5);
    EXPECT_FALSE(back.files[1].stamp.id.known);
    EXPECT_TRUE(back.files[1].special && back.files[2].inPlace && back.files[2].written);
    // Windows writes the plan as text.
    std::string crlf;
    for (const char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    ASSERT_TRUE(ReadPlan(crlf, &back, &error)) << error;
    EXPECT_EQ(PlanText(back), text);
    EXPECT_EQ(Describe(plan), "3 shares of 's*\\\\x.csv'");
    EXPECT_TRUE(SamePlan(back, plan));
    EXPECT_EQ(back.version, "1.2.3");
    EXPECT_EQ(back.settings, plan.settings);
    Plan alone = plan;
    alone.alone = true;
    alone.head = 0;
    ASSERT_TRUE(ReadPlan(PlanText(alone), &back, &error)) << error;
    EXPECT_TRUE(back.alone);
    EXPECT_EQ(Describe(alone), "3 shares of 's*\\\\x.csv', each file alone");
}

TEST(PlanTest, SamePlanIgnoresOnlyTheTokenAndWrittenInputs) {
    const Plan plan = Sample();
    const struct {
        const char* what;
        void (*change)(Plan&);
        bool same;
    } cases[] = {
        {"another token", [](Plan& p) { p.token = "ffff"; }, true},
        {"a written input changed", [](Plan& p) { p.files[2].stamp.size = 9; }, true},
        {"an input grown", [](Plan& p) { p.files[0].stamp.size = 9; }, false},
        {"an input on another mount", [](Plan& p) { p.files[0].stamp.id.volume = 1; }, true},
        {"other settings", [](Plan& p) { p.settings = "FileType=1 ResampleCount=4"; }, false},
        {"another version", [](Plan& p) { p.version = "1.2.4"; }, false},
        {"alone", [](Plan& p) { p.alone = true; }, false},
        {"another head", [](Plan& p) { p.head = 2; }, false},
        {"another share", [](Plan& p) { p.files[1].share = 1; }, false},
        {"a file less", [](Plan& p) { p.files.pop_back(); }, false},
    };
    for (const auto& c : cases) {
        Plan other = plan;
        c.change(other);
        EXPECT_EQ(SamePlan(plan, other), c.same) << c.what;
    }
}

TEST(PlanTest, SettingsDifferenceNamesTheKeys) {
    const struct {
        const char* planned;
        const char* now;
        const char* difference;
    } cases[] = {
        {"FileType=1 ResampleCount=0", "FileType=1 ResampleCount=0", ""},
        {"FileType=1 ResampleCount=0 CutOffFrequency=5",
         "FileType=1 ResampleCount=2 CutOffFrequency=3",
         "RESAMPLECOUNT 0 -> 2, CUTOFFFREQUENCY 5 -> 3"},
        {"FallCounterOut=1", "FallCounterOut=0", "FallCounterOut 1 -> 0"},
        {"FileType=1", "FileType=1 Extra=4", "Extra unset -> 4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsDifference(c.planned, c.now), c.difference) << c.now;
    }
}

TEST(PlanTest, DamagedTextIsRefused) {
    const std::string good = PlanText(Sample());
    const auto lineOf = [&good](int n) {
        std::size_t pos = 0;
        for (int i = 1; i < n; ++i) {
            pos = good.find('\n', pos) + 1;
        }
        return std::make_pair(pos, good.find('\n', pos) - pos);
    };
    const struct {
        int line;
        const char* replacement; // the whole line
        const char* error;
    } cases[] = {
        {1, "kinrec plan 1", "line 1: not a kinrec plan of this version"},
        {2, "version ", "line 2: expected \"version <version>\""},
        {3, "setting FileType=1", "line 3: expected \"settings <settings>\""},
        {4, "shares 1", "line 4: expected \"shares <n>\""},
        {6, "all", "line 6: expected \"alone\" or \"batch\""},
        {8, "head 4", "line 9: expected \"files <n>\", at least the head"},
        {10, "4 0 - r 0 1 2049 77 ./a b.csv", "line 10: not a planned file"},
        {11, "2 2 - o 1000 1 - - ./x.csv", "line 11: not a planned file"},
        {12, "3 0 q r 2000 -5 2049 79 ./y.bin", "line 12: not a planned file"},
        {13, "", "line 13: expected \"end\" as the last line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.replacement);
        std::string text = good;
        const auto [pos, len] = lineOf(c.line);
        text.replace(pos, len, c.replacement);
        Plan plan;
        std::string error;
        EXPECT_FALSE(ReadPlan(text, &plan, &error));
        EXPECT_EQ(error, c.error);
    }
    Plan plan;
    std::string error;
    EXPECT_FALSE(ReadPlan(good.substr(0, good.size() / 2), &plan, &error));
}

} // namespace
