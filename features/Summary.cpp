// A batch's summary: one row per input, and the provenance it was made under.
#include "kinrec.h"

#include "input/InputFile.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kinrec {

namespace {

// A CSV field: quoted when it holds what would end it, or a comment's "#".
std::string Field(const std::string& s) {
    if (s.find_first_of(",\"#\r\n") == std::string::npos) {
        return s;
    }
    std::string out = "\"";
    for (const char c : s) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

// A number, or an empty field for "none".
std::string Optional(std::int64_t v, bool present) {
    return present ? std::to_string(v) : std::string();
}

} // namespace

const char* StatusName(Failure failure) {
    switch (failure) {
    case Failure::kNone:
        return "ok";
    case Failure::kInputNotOpened:
        return "input_not_opened";
    case Failure::kNotDataSet:
        return "not_dataset";
    case Failure::kInputIsTable:
        return "input_is_table";
    case Failure::kTableIsInput:
        return "table_is_input";
    case Failure::kTableRefused:
        return "table_refused";
    case Failure::kTableUnchecked:
        return "table_unchecked";
    case Failure::kTableNotCreated:
        return "table_not_created";
    case Failure::kReadFailed:
        return "read_failed";
    case Failure::kWriteFailed:
        return "write_failed";
    case Failure::kBeyondRange:
        return "beyond_range";
    }
    return "failed";
}

SummaryRow SummaryOf(const std::string& input, const Notes& notes, std::int64_t rows) {
    SummaryRow row;
    row.input = input;
    row.status = StatusName(Failure::kNone);
    row.samples = notes.taken;
    row.rows = rows;
    row.beyondRange = notes.wrapped;
    row.firstBeyond = notes.wrapped > 0 ? notes.firstWrapped : -1;
    row.peakBeyond = notes.wrapped > 0 ? notes.wrapPeak : 0;
    row.skippedLines = std::max<std::int64_t>(notes.skipped, 0);
    for (const std::string& s : NoteLines(notes)) {
        row.notes += (row.notes.empty() ? "" : "; ") + s;
    }
    return row;
}

SummaryRow SummaryOf(const std::string& input, const Written& written) {
    SummaryRow row = SummaryOf(input, written.notes, written.rows);
    row.table = written.table;
    row.status = StatusName(written.failure);
    // The console's words, in the order it says them: the notes, then the failure.
    if (!written.Ok()) {
        const std::string reason = written.Reason();
        row.notes +=
            (row.notes.empty() ? "" : "; ") +
            (written.path == input || written.path.empty() ? reason : written.path + ": " + reason);
    }
    return row;
}

const std::vector<std::string>& SummaryColumns() {
    static const std::vector<std::string> names = {
        "input",        "table",        "status",      "samples",       "rows",
        "beyond_range", "first_beyond", "peak_beyond", "skipped_lines", "notes"};
    return names;
}

std::string SettingsText(const Settings& settings) {
    std::string t;
    for (const SettingInfo& s : SettingTable()) {
        t += (t.empty() ? "" : " ") + std::string(s.label) + "=" +
             SettingText(s, settings.*(s.field));
    }
    return t;
}

std::string SummaryHead(const Settings& settings) {
    std::string t = std::string(detail::kSummaryMark) + "\n# version " + Version() +
                    "\n# settings " + SettingsText(settings) + "\n";
    const char* sep = "";
    for (const std::string& name : SummaryColumns()) {
        t += sep + name;
        sep = ",";
    }
    return t + "\n";
}

std::string SummaryLine(const SummaryRow& row) {
    const bool beyond = row.beyondRange > 0;
    return Field(row.input) + "," + Field(row.table) + "," + Field(row.status) + "," +
           std::to_string(row.samples) + "," + std::to_string(row.rows) + "," +
           std::to_string(row.beyondRange) + "," + Optional(row.firstBeyond, beyond) + "," +
           Optional(row.peakBeyond, beyond) + "," + std::to_string(row.skippedLines) + "," +
           Field(row.notes) + "\n";
}

bool IsSummaryText(const std::string& text) {
    return detail::IsSummaryMark(text.data(), text.size());
}

} // namespace kinrec
