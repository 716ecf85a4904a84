#include "TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    // Restore permissions a test may have taken away, so that the tree can go.
    chmod(path, 0700);
    return std::remove(path);
}

void MakeRemovable(const std::string& dir) {
    nftw(
        dir.c_str(),
        [](const char* p, const struct stat* st, int type, struct FTW*) {
            if (type == FTW_D || type == FTW_DNR) {
                chmod(p, 0700);
            }
            (void)st;
            return 0;
        },
        16, FTW_PHYS);
}

} // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base != nullptr ? base : "/tmp") + "/kinrec-test-XXXXXX";
    if (mkdtemp(&templ[0]) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = templ;
}

TempDir::~TempDir() {
    MakeRemovable(path_);
    nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::Path(const std::string& name) const {
    return path_ + "/" + name;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void MakeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot create " + path);
    }
}
