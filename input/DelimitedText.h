// A delimited text file as a table of fields: comment lines dropped, the delimiter found,
// a header told from data. The text is held once; fields point into it.
//
// Lines whose first field begins with '#', '%' or '@' are comments, and so are blank
// lines. A ';' ending every comma-separated data line ("1,2,3;") is dropped. The
// delimiter, when not given, is the one of , ; tab | whose count per line is the most
// constant over the first 200 lines. With another delimiter than ',' a number may have
// a decimal comma.
#ifndef KINREC_DELIMITED_TEXT_H
#define KINREC_DELIMITED_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinrec::detail {

class DelimitedText {
  public:
    // Reads path; throws kinrec::FileError (unreadable, not text) or kinrec::Error
    // (empty, comments only, a header without samples).
    DelimitedText(const std::string& path, char delimiter, bool noHeader);
    // Fields point into the object's own text: it stays where it was made.
    DelimitedText(const DelimitedText&) = delete;
    DelimitedText& operator=(const DelimitedText&) = delete;

    struct Row {
        std::int64_t line;     // 1-based line number in the file
        std::string_view text; // the line (a ';' terminator dropped)
    };

    const std::string& Path() const { return path_; }
    char Delimiter() const { return delimiter_; }
    bool HasHeader() const { return !names_.empty(); }
    const std::vector<std::string>& Names() const { return names_; }
    const std::vector<Row>& Rows() const { return rows_; }
    // A row's fields, stripped, put into fields (reused from row to row); a field in
    // double quotes is taken whole.
    const std::vector<std::string_view>& Split(const Row& row,
                                               std::vector<std::string_view>& fields) const;
    // The comment lines, without their mark, in file order (a header of sorts).
    const std::vector<std::string_view>& Comments() const { return comments_; }

    // The value of a numeric field (decimal comma allowed with another delimiter than
    // ','), or nothing; infinities and NaN are no numbers.
    std::optional<double> Number(std::string_view text) const;

    // The 0-based index of a column given by header name (exact, then case-blind) or
    // 1-based position; role names it in messages ("time", "acceleration").
    std::size_t Column(const std::string& given, const std::string& role) const;

    // The most fields of a row: the width of a header-less table.
    std::size_t Width() const;

  private:
    bool FirstRowIsData() const;

    std::string path_;
    std::string text_;
    char delimiter_ = ',';
    bool decimalComma_ = false;
    std::vector<std::string> names_;
    std::vector<Row> rows_;
    mutable std::optional<std::size_t> width_; // Width() of a header-less table, once known
    std::vector<std::string_view> comments_;
};

// A number the way Python's float() reads one (surrounding blanks aside): an optional
// sign, digits with an optional point and exponent; nothing else in the text.
std::optional<double> ParseNumber(std::string_view text);

} // namespace kinrec::detail

#endif
