// The notes of a conversion: from the counts a CSV source kept, and in the console's words.
#include "features/DsvConverter.h"
#include "features/StreamAccess.h"
#include "input/CsvParsers.h"
#include "input/Evidence.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include <string>
#include <vector>

namespace kinrec {

namespace {

std::string Plural(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// No samples at all, or lines after the first sample that were not samples. Titles before
// the samples, blank lines and a last line cut short (a recording that lost power) are
// expected and say nothing.
std::vector<std::string> LineNotes(const Notes& c) {
    if (c.fileType == 0) {
        return {};
    }
    const int columns = detail::CsvColumnsFor(c.fileType);
    if (c.samples == 0) {
        if (c.lines == 0) {
            return {"no samples (the file is empty)"};
        }
        if (c.sampleLike == 0) {
            return {"no samples (none of its " + Plural(c.lines, "line", "lines") +
                    " begins with a digit or a minus sign)"};
        }
        return {"no samples (no line that begins with a digit or a minus sign has the " +
                std::to_string(columns) + " comma-separated columns of FILETYPE " +
                std::to_string(c.fileType == 2 || c.fileType == 3 ? c.fileType : 1) + "; " +
                Plural(c.lines, "line", "lines") + " in all)"};
    }
    if (c.skipped <= 0) {
        return {};
    }
    std::string why;
    auto add = [&why](const std::string& part) { why += (why.empty() ? "" : ", ") + part; };
    if (c.skippedBlank > 0) {
        add(Plural(c.skippedBlank, "begins", "begin") + " with a space or a tab");
    }
    if (c.skippedShort > 0) {
        add(Plural(c.skippedShort, "has", "have") + " fewer than " + std::to_string(columns) +
            " columns");
    }
    if (c.skippedOther > 0) {
        add(Plural(c.skippedOther, "begins", "begin") + " with another character");
    }
    const bool notSampleLines = c.skippedBlank > 0 || c.skippedOther > 0;
    // A skipped line between samples leaves no gap in the rows: what follows moves up.
    return {std::to_string(c.skipped) + " of " + Plural(c.lines, "line", "lines") + " skipped (" +
            why + (notSampleLines ? "; a sample line begins with a digit or a minus sign)" : ")") +
            "; the samples after a skipped line move up a step, so times counted from the "
            "sample number run early"};
}

} // namespace

std::vector<std::string> NoteLines(const Notes& notes) {
    std::vector<std::string> lines = LineNotes(notes);
    if (notes.wrapped > 0 && notes.overflow != 2) {
        // Values a sensor's counts cannot hold: an impact beyond the range, or a unit
        // mistaken. Wrapped, the table keeps their low bits, as a file's reader always has.
        const bool clipped = notes.overflow == 1;
        lines.push_back(Plural(notes.wrapped, "sample has", "samples have") +
                        " values beyond the 16-bit range, " +
                        (clipped ? "clipped at its ends" : "wrapped around") +
                        " (the first is sample " + std::to_string(notes.firstWrapped) +
                        ", the largest value " + std::to_string(notes.wrapPeak) + " counts" +
                        (clipped ? ")" : "; OVERFLOW clip keeps them at the range's ends)"));
    }
    detail::Evidence e;
    e.fileType = notes.fileType;
    e.units = static_cast<detail::HeaderUnits>(notes.headerUnits);
    e.restMedian = notes.restMagnitude;
    e.accUnit = notes.accUnit;
    // Too few samples tell nothing of a unit.
    e.beyondShare = notes.taken >= detail::kRestRows
                        ? static_cast<double>(notes.wrapped) / static_cast<double>(notes.taken)
                        : 0;
    e.step = notes.timeStep;
    e.resample = notes.resampleCount;
    for (std::string& s : detail::EvidenceSentences(e)) {
        lines.push_back(std::move(s));
    }
    return lines;
}

namespace detail {

std::string BeyondRangeReason(const Notes& notes) {
    return "sample " + std::to_string(notes.firstWrapped) +
           " has a value beyond the 16-bit range (" + std::to_string(notes.wrapPeak) + " counts; " +
           std::to_string(notes.wrapped) + (notes.wrapped == 1 ? " such sample" : " such samples") +
           "): OVERFLOW raise refuses the recording";
}

void NoteInput(const CsvSource* csv, int fileType, Notes* notes) {
    notes->accUnit = fileType == 2 ? 0 : fileType == 3 ? 2 : 1;
    if (csv == nullptr) {
        return;
    }
    notes->headerUnits = static_cast<std::int32_t>(csv->Units());
    notes->timeStep = csv->TimeStep();
    const LineCounts& counts = csv->Counts();
    notes->fileType = fileType == 2 || fileType == 3 ? fileType : 1;
    notes->lines = counts.lines;
    notes->samples = counts.samples;
    notes->sampleLike = counts.sampleLike;
    // A last line cut short is expected (a recording that lost power): not counted.
    const std::int64_t last = counts.lastLineShort != 0 ? 1 : 0;
    notes->skipped = counts.skipped - last;
    notes->skippedBlank = counts.blankStart;
    notes->skippedShort = counts.shortLines - last;
    notes->skippedOther = notes->skipped - notes->skippedBlank - notes->skippedShort;
}

} // namespace detail

} // namespace kinrec
