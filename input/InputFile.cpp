#include "input/InputFile.h"

#include "input/TableHeader.h"

#include <cerrno>
#include <cstring>

namespace kinrec::detail {

std::FILE* OpenInputFile(Disk& disk, const std::string& path) {
    if (disk.IsDirectory(path)) {
        errno = EISDIR;
        return nullptr;
    }
    return disk.OpenRead(path);
}

void CloseInputFile(std::FILE* f) {
    (void)std::fclose(f); // read-only: see the header
}

bool HeadIsTableHeader(std::FILE* f) {
    char head[sizeof kDsvFixedHeader] = {};
    const std::size_t n = std::fread(head, 1, sizeof head - 1, f);
    return (n == sizeof head - 1 && BeginsWithTableHeader(head)) || IsSummaryMark(head, n);
}

bool IsSummaryMark(const char* text, std::size_t n) {
    const std::size_t m = sizeof kSummaryMark - 1;
    return n >= m && std::memcmp(text, kSummaryMark, m) == 0 &&
           (n == m || text[m] == '\n' || text[m] == '\r');
}

TableCheck IsKinrecTable(Disk& disk, const std::string& path) {
    std::FILE* f = disk.OpenRead(path); // a directory reads nothing: not a table
    if (f == nullptr) {
        return TableCheck::kUnreadable;
    }
    const bool table = HeadIsTableHeader(f);
    CloseInputFile(f);
    return table ? TableCheck::kTable : TableCheck::kNotTable;
}

} // namespace kinrec::detail
