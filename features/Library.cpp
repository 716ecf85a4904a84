// The library's face (Include/public/kinrec.h) over the pipeline.
#include "kinrec.h"

#include "features/DsvConverter.h"
#include "features/StreamAccess.h"
#include "features/TableSink.h"
#include "input/OpenInput.h"
#include "input/SampleSource.h"

#include <algorithm>
#include <memory>
#include <system_error>

#ifndef KINREC_VERSION
#define KINREC_VERSION "unknown"
#endif

namespace kinrec {

using namespace detail;

FileError::FileError(const std::string& path, int code, const std::string& reason)
    : std::runtime_error(path + ": " + reason), path_(path), reason_(reason), code_(code) {}

std::int32_t BiasCountLimit() {
    return kBiasCountLimit;
}

namespace {

// The words of the settings that take words rather than numbers.
const char* WordsOf(std::int32_t Settings::*field) {
    return field == &Settings::Overflow ? "wrap clip raise" : nullptr;
}

} // namespace

const std::vector<SettingInfo>& SettingTable() {
    static const std::vector<SettingInfo> table = {
#define KINREC_SETTING_INFO(field, key, keyword, initial, meaning)                                 \
    {#field, key, keyword, &Settings::field, initial, meaning, WordsOf(&Settings::field)},
        KINREC_SETTINGS(KINREC_SETTING_INFO)
#undef KINREC_SETTING_INFO
    };
    return table;
}

std::int32_t SettingValueOf(const SettingInfo& info, const std::string& word) {
    if (info.words == nullptr) {
        return -1;
    }
    std::int32_t value = 0;
    for (const char* p = info.words; *p != '\0'; ++value) {
        const char* end = p;
        while (*end != '\0' && *end != ' ') {
            ++end;
        }
        const auto n = static_cast<std::size_t>(end - p);
        bool same = n == word.size();
        for (std::size_t i = 0; same && i < n; ++i) {
            const char c =
                word[i] >= 'A' && word[i] <= 'Z' ? static_cast<char>(word[i] + 32) : word[i];
            same = c == p[i];
        }
        if (same) {
            return value;
        }
        p = *end == ' ' ? end + 1 : end;
    }
    return -1;
}

std::string SettingText(const SettingInfo& info, std::int32_t value) {
    const char* p = info.words;
    for (std::int32_t v = 0; p != nullptr && *p != '\0' && v <= value; ++v) {
        const char* end = p;
        while (*end != '\0' && *end != ' ') {
            ++end;
        }
        if (v == value) {
            return std::string(p, end);
        }
        p = *end == ' ' ? end + 1 : end;
    }
    return std::to_string(value);
}

Overflow OverflowOf(const Settings& settings) {
    switch (settings.Overflow) {
    case 0:
        return Overflow::kWrap;
    case 1:
        return Overflow::kClip;
    case 2:
        return Overflow::kRaise;
    default:
        throw Error("Overflow " + std::to_string(settings.Overflow) +
                    " is none of 0 (wrap), 1 (clip) and 2 (raise)");
    }
}

bool ValidBiasCount(std::int64_t count) {
    return count >= 0 && count <= kBiasCountLimit;
}

std::size_t ConvertHead(std::size_t count, Run* run,
                        const std::function<void(std::size_t)>& convert) {
    std::size_t i = 0;
    if (run != nullptr) {
        for (; i < count && run->biasCount < kBiasCountLimit; ++i) {
            convert(i);
        }
    }
    return i;
}

Run RestRun(const Run* run) {
    return Run{run != nullptr ? kBiasCountLimit : 0};
}

Table FromCounts(const Recording<std::int16_t>& rec, const Settings& settings, Run* run) {
    Stream stream(settings, run);
    Table t;
    stream.Push(rec, t);
    return t;
}

Table FromPhysical(const Recording<double>& rec, const Settings& settings, Run* run) {
    Stream stream(settings, run);
    Table t;
    stream.Push(rec, t);
    return t;
}

void CheckFileType(const Settings& settings) {
    if (settings.FileType < 1 || settings.FileType > 4) {
        throw Error("FileType " + std::to_string(settings.FileType) +
                    " is not one of 1 (counts), 2 (g, deg/s), 3 (hundreds of counts), "
                    "4 (dataset)");
    }
}

Notes FromFile(const std::string& path, RowSink& sink, const Settings& settings, Run* run) {
    CheckFileType(settings);
    CheckRun(run);
    // The table writer's opener: the same refusals, in the same words.
    OpenedInput opened =
        OpenInput(RealDisk(), path, settings.FileType, OverflowOf(settings) == Overflow::kClip);
    if (opened.failure != Failure::kNone) {
        Written w;
        w.failure = opened.failure;
        w.code = opened.code;
        throw FileError(path, opened.code,
                        opened.failure == Failure::kInputIsTable
                            ? "is a kinrec table, not a recording"
                            : w.Reason());
    }
    if (opened.size > 0) {
        // A hint, no more: rows of a regular file's length at about 32 bytes a sample
        // (a dataset's 12), bounded; a sink grows past it when the file holds more.
        constexpr long long kMostRows = 1LL << 24;
        const long long perSample = settings.FileType == 4 ? 12 : 32;
        sink.Expect(static_cast<std::size_t>(std::min(opened.size / perSample, kMostRows)));
    }
    Stream stream(settings, run);
    StreamAccess::FeedAhead(stream, *opened.source, sink);
    Notes notes = stream.Noted();
    NoteInput(opened.csv, settings.FileType, &notes);
    if (opened.source->Error() != 0) {
        throw FileError(path, opened.source->Error(),
                        std::generic_category().message(opened.source->Error()));
    }
    if (notes.overflow == 2 && notes.wrapped > 0) {
        throw FileError(path, 0, BeyondRangeReason(notes));
    }
    return notes;
}

Table FromFile(const std::string& path, const Settings& settings, Run* run) {
    Table t;
    {
        TableSink sink(t, ColumnNames(settings), 0);
        t.notes = FromFile(path, sink, settings, run);
    }
    return t;
}

std::vector<std::string> ColumnNames(const Settings& settings) {
    std::int8_t columns[kMaxColumns];
    const char* names[kMaxColumns];
    const int n = ChooseColumns(settings, columns, names);
    return std::vector<std::string>(names, names + n);
}

std::int16_t AccCounts(double g) {
    return PhysicalToCounts(g, kPhysAccFactor);
}

std::int16_t GyroCounts(double degPerSecond) {
    return PhysicalToCounts(degPerSecond, kPhysGyroFactor);
}

const char* Version() {
    return KINREC_VERSION;
}

} // namespace kinrec
