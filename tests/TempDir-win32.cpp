#include "TempDir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <windows.h>

namespace {

std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(h, &fd) != 0);
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace

TempDir::TempDir() {
    char base[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n > MAX_PATH) {
        throw std::runtime_error("GetTempPathA failed");
    }
    for (unsigned i = 0;; ++i) {
        const std::string candidate = std::string(base) + "kinrec-test-" +
                                      std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(GetTickCount() + i);
        if (CreateDirectoryA(candidate.c_str(), nullptr) != 0) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a temporary directory");
        }
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

std::string TempDir::Path(const std::string& name) const {
    return path_ + "\\" + Native(name);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDir(const std::string& path) {
    if (CreateDirectoryA(Native(path).c_str(), nullptr) == 0) {
        throw std::runtime_error("cannot create " + path);
    }
}
