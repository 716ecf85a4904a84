#include "input/OpenInput.h"

#include "input/DataSet.h"
#include "input/InputFile.h"
#include "input/TableHeader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace kinrec::detail {

namespace {

int ErrnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

} // namespace

OpenedInput OpenInput(Disk& disk, const std::string& input, int fileType, bool clip) {
    OpenedInput o;
    // The file as bytes, or why it cannot be opened.
    auto open = [&o, &disk, &input]() -> std::FILE* {
        errno = 0;
        std::FILE* f = OpenInputFile(disk, input);
        if (f == nullptr) {
            o.failure = Failure::kInputNotOpened;
            o.code = ErrnoOr(EIO);
        }
        return f;
    };
    if (fileType == 4) {
        std::FILE* f = open(); // the input's checks (a folder is refused) before its header
        if (f == nullptr) {
            return o;
        }
        int err = 0;
        DataSet* ds = OpenDataSet(f, &err);
        if (ds != nullptr) {
            o.id = disk.IdOf(ds->file);
            o.size = disk.RegularFileSize(ds->file);
            o.source = std::make_unique<DataSetSource>(ds);
            return o;
        }
        if (err != 0) {
            o.failure = Failure::kReadFailed;
            o.code = err;
            return o;
        }
        // Say why: the file is something else (a table, perhaps).
        f = open();
        if (f == nullptr) {
            return o;
        }
        const bool table = HeadIsTableHeader(f);
        CloseInputFile(f);
        o.failure = table ? Failure::kInputIsTable : Failure::kNotDataSet;
        return o;
    }
    std::FILE* f = open();
    if (f == nullptr) {
        return o;
    }
    o.id = disk.IdOf(f);
    o.size = disk.RegularFileSize(f);
    auto csv = std::make_unique<CsvSource>(f, fileType, clip);
    const char* first = csv->FirstLine();
    if (first != nullptr &&
        (BeginsWithTableHeader(first) || IsSummaryMark(first, std::strlen(first)))) {
        o.failure = Failure::kInputIsTable;
        return o;
    }
    o.csv = csv.get();
    o.source = std::move(csv);
    return o;
}

} // namespace kinrec::detail
