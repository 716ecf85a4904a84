// The delimited-text reader's pieces on the forms recordings take: numbers (the short
// decimal path and the rest), dates and times, delimiters, terminators and headers.
#include "input/DelimitedText.h"
#include "input/TimeStamps.h"
#include "kinrec.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

TEST(ParseNumberTest, TakesWhatPythonsFloatTakes) {
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"007", 7.0},
        {"-0.5", -0.5},
        {"+2.25", 2.25},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3", 1000.0},
        {"-1.5E-2", -0.015},
        {"0.1", 0.1}, // the short path: 1 / 10, correctly rounded
        {"123456789012345", 123456789012345.0},
        {"1234567890123456789", 1234567890123456789.0}, // from_chars past 15 digits
        {"0.30000000000000004", 0.30000000000000004},
        {"", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1e", std::nullopt},
        {"0x10", std::nullopt},
        {"inf", std::nullopt}, // not finite: no sample value
        {"nan", std::nullopt},
        {"1e999", std::nullopt},
        {"12a", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<double> got = ParseNumber(c.text);
        ASSERT_EQ(got.has_value(), c.value.has_value());
        if (got) {
            EXPECT_EQ(*got, *c.value); // exactly: both ways round correctly
        }
    }
}

TEST(TimeStampsTest, DatesAndTimesToTheMicrosecond) {
    const struct {
        const char* text;
        std::optional<std::int64_t> us; // since 1970-01-01 UTC
    } cases[] = {
        {"1970-01-01", 0},
        {"1970-01-02 00:00:01", 86401000000},
        {"2024-02-29T12:00:00.5", 1709208000500000},       // a leap day
        {"2023/03/15 14:20:00.123", 1678890000123000},     // '/' between
        {"2023-03-15T14:20:00.1234567", 1678890000123456}, // below a microsecond dropped
        {"2023-03-15T14:20:00Z", 1678890000000000},
        {"2023-03-15T15:20:00+01:00", 1678890000000000},
        {"2023-03-15T13:20:00-0100", 1678890000000000},
        {"2023-02-29", std::nullopt}, // no such day
        {"2023-13-01", std::nullopt},
        {"2023-03-15T25:00:00", std::nullopt},
        {"2023-03-15T14:20:00 junk", std::nullopt},
        {"15/03/2023", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Stamp> got = ParseDateTime(c.text);
        ASSERT_EQ(got.has_value(), c.us.has_value());
        if (got) {
            EXPECT_EQ(got->whole, *c.us);
        }
    }
    // Whole numbers stay exact: nanosecond stamps 5 ms apart are 0.005 s apart exactly
    // as doubles of their difference are.
    const Stamp a = *ParseWhole("1913880219000000000");
    const Stamp b = *ParseWhole("1913880219005000000");
    EXPECT_EQ(Elapsed(b, a, 1e-9), 5000000 * 1e-9);
    EXPECT_FALSE(ParseWhole("12.5"));
    EXPECT_FALSE(ParseWhole("99999999999999999999")); // beyond 64 bits: a decimal number
}

class DelimitedTextTest : public ::testing::Test {
  protected:
    // The table of text, its fields row by row.
    std::vector<std::vector<std::string>> Fields(const std::string& text, char delimiter = '\0',
                                                 bool noHeader = false) {
        WriteFile(dir_.Path("t.txt"), text);
        table_ = std::make_unique<DelimitedText>(dir_.Path("t.txt"), delimiter, noHeader);
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string_view> split;
        for (const DelimitedText::Row& row : table_->Rows()) {
            rows.emplace_back();
            for (std::string_view f : table_->Split(row, split)) {
                rows.back().emplace_back(f);
            }
        }
        return rows;
    }
    TempDir dir_;
    std::unique_ptr<DelimitedText> table_;
};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(DelimitedTextTest, DelimitersTerminatorsAndLineEnds) {
    // SisFall: ';' ends every comma-separated line, and is no delimiter
    EXPECT_EQ(Fields(" 1,-2,3;\n 4,5,-6;\n"), (Rows{{"1", "-2", "3"}, {"4", "5", "-6"}}));
    EXPECT_EQ(table_->Delimiter(), ',');
    // UMAFall: ';' between fields, '%' comments, a decimal point
    EXPECT_EQ(Fields("% header; a; b\n1000;0;0.5\n1020;1;0.25\n"),
              (Rows{{"1000", "0", "0.5"}, {"1020", "1", "0.25"}}));
    EXPECT_EQ(table_->Delimiter(), ';');
    ASSERT_EQ(table_->Comments().size(), 1u);
    EXPECT_EQ(table_->Comments()[0], " header; a; b");
    // a decimal comma where ';' delimits
    Fields("t;x\n0;1,5\n");
    EXPECT_EQ(table_->Number("1,5"), 1.5);
    // tabs, CR line ends, '@' lines (MobiFall's @DATA), a quoted field holding the delimiter
    EXPECT_EQ(Fields("@DATA\r1\t2\r\"a\tb\"\t3\r"), (Rows{{"1", "2"}, {"a\tb", "3"}}));
    EXPECT_EQ(table_->Delimiter(), '\t');
    EXPECT_EQ(Fields("\xEF\xBB\xBF"
                     "1,2\r\n3,4\r\n"),
              (Rows{{"1", "2"}, {"3", "4"}})); // a BOM
}

TEST_F(DelimitedTextTest, AHeaderIsToldFromData) {
    const struct {
        const char* text;
        bool header;
    } cases[] = {
        {"time,ax\n0,1\n", true},
        {"0,1\n0.02,1\n", false},
        // a date-time in the first row is data when the second row has numbers where the
        // first does
        {"2023-03-15 14:20:00.000,1,2\n2023-03-15 14:20:00.020,1,2\n", false},
        {"when,x,y\n2023-03-15 14:20:00.020,1,2\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Fields(c.text);
        EXPECT_EQ(table_->HasHeader(), c.header);
    }
    Fields("time,ax\n0,1\n", '\0', true);
    EXPECT_FALSE(table_->HasHeader()); // told so
}

TEST_F(DelimitedTextTest, WhatIsNoRecordingIsSaid) {
    const struct {
        const char* text;
        const char* message; // after the path
    } cases[] = {
        {" \n\n", " is empty"},
        {"# only\n% comments\n", " has no lines other than comments"},
        {"time,ax\n", " has a header but no samples"},
    };
    for (const auto& c : cases) {
        try {
            Fields(c.text);
            ADD_FAILURE() << c.text;
        } catch (const kinrec::Error& e) {
            EXPECT_EQ(std::string(e.what()), dir_.Path("t.txt") + c.message);
        }
    }
    WriteFile(dir_.Path("t.txt"), std::string("1,2\n\xff\xfe\n"));
    try {
        DelimitedText t(dir_.Path("t.txt"), '\0', false);
        ADD_FAILURE();
    } catch (const kinrec::FileError& e) {
        EXPECT_EQ(e.Reason(), "not a text file");
        EXPECT_EQ(e.Code(), 0);
    }
}

} // namespace
