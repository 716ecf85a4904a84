#include "app/Summary.h"

#include "app/Console.h"
#include "app/TempFile.h"
#include "disk/Disk.h"

#include <cerrno>
#include <cstdio>

using kinrec::detail::PathInfo;
using kinrec::detail::PathKind;
using kinrec::detail::RealDisk;

namespace {

// The first bytes of the file at path (at most n); false with errno when unreadable.
bool Head(const std::string& path, std::size_t n, std::string* text) {
    std::FILE* f = RealDisk().OpenRead(path);
    if (f == nullptr) {
        return false;
    }
    text->assign(n, '\0');
    text->resize(std::fread(text->data(), 1, n, f));
    const bool ok = std::ferror(f) == 0;
    (void)std::fclose(f); // read only
    errno = ok ? 0 : EIO;
    return ok;
}

} // namespace

bool WriteSummary(const std::string& path, const kinrec::Settings& cfg,
                  const std::vector<kinrec::SummaryRow>& rows, std::string* error) {
    const PathInfo there = RealDisk().Inspect(path);
    bool replace = false;
    if (there.kind == PathKind::kOther) {
        *error = "is not a regular file; the summary is not written";
        return false;
    }
    if (there.kind == PathKind::kRegular) {
        std::string head;
        if (!Head(path, 64, &head)) {
            *error = "cannot be read to check that it is a kinrec summary (" + ErrorText(errno) +
                     "); not overwritten";
            return false;
        }
        if (!head.empty() && !kinrec::IsSummaryText(head)) {
            *error = "exists and is not a kinrec summary; not overwritten";
            return false;
        }
        replace = true;
    }
    std::string text = kinrec::SummaryHead(cfg);
    for (const kinrec::SummaryRow& row : rows) {
        text += kinrec::SummaryLine(row);
    }
    const std::string temp = WriteTemporary(path, text);
    if (temp.empty()) {
        *error = ErrorText(errno);
        return false;
    }
    if (!Land(temp, path, replace)) {
        *error = errno == EEXIST ? "was made by something else meanwhile; not overwritten"
                                 : ErrorText(errno);
        return false;
    }
    return true;
}
