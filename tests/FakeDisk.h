// A disk in memory for the walk's and the plan's tests: directories with their entries,
// and names with what they stand for. Nothing on it can be opened, written or moved.
#ifndef KINREC_TESTS_FAKE_DISK_H
#define KINREC_TESTS_FAKE_DISK_H

#include "disk/Disk.h"

#include <cerrno>
#include <map>
#include <string>
#include <vector>

class FakeDisk : public kinrec::detail::Disk {
  public:
    using DirEntry = kinrec::detail::DirEntry;
    using FileId = kinrec::detail::FileId;
    using PathInfo = kinrec::detail::PathInfo;
    using PathKind = kinrec::detail::PathKind;

    // An entry of dir, which then exists.
    void Add(const std::string& dir, const std::string& name, bool isDir, bool isLink = false) {
        tree_[dir].push_back(DirEntry{name, isDir, isLink});
    }
    // dir exists but cannot be listed.
    void Refuse(const std::string& dir, int error) { errors_[dir] = error; }

    // A regular file: size, identity, and the name a link leads to (none when "").
    void File(const std::string& name, long long size, unsigned long long inode,
              const std::string& target = "") {
        Name& n = names_[name];
        n.info = PathInfo{PathKind::kRegular, size, !target.empty(), FileId{7, inode, true}, 1000};
        n.target = target;
    }
    // A link to a name not made yet, or to a FIFO of the given identity (inode > 0).
    void Link(const std::string& name, const std::string& target, unsigned long long fifo = 0) {
        Name& n = names_[name];
        n.info = PathInfo{fifo > 0 ? PathKind::kOther : PathKind::kMissing, 0, true, {}, 0};
        if (fifo > 0) {
            n.info.id = FileId{7, fifo, true};
        }
        n.target = target;
    }

    std::vector<std::string> listed; // every directory listed, in order

    std::vector<DirEntry> List(const std::string& dir, int* error) override {
        listed.push_back(dir);
        const auto refused = errors_.find(dir);
        const auto there = tree_.find(dir);
        *error = refused != errors_.end() ? refused->second : there != tree_.end() ? 0 : ENOENT;
        return *error == 0 ? there->second : std::vector<DirEntry>();
    }
    // A name not given is missing.
    PathInfo Inspect(const std::string& path) override {
        const auto it = names_.find(path);
        return it != names_.end() ? it->second.info : PathInfo{PathKind::kMissing, 0, false, {}, 0};
    }
    bool IsDirectory(const std::string& path) override { return tree_.count(path) != 0; }
    bool Exists(const std::string& path) override {
        return IsDirectory(path) || Inspect(path).kind != PathKind::kMissing;
    }
    // Every name lies in "/t", the current directory; a link stands for its target.
    std::string FullPath(const std::string& path) override {
        const auto it = names_.find(path);
        const std::string& name =
            it != names_.end() && !it->second.target.empty() ? it->second.target : path;
        return name == "." ? "/t" : "/t" + std::string(1, kinrec::detail::kPathSeparator) + name;
    }
    std::string ResolveTarget(const std::string& path) override { return path; }
    std::FILE* OpenRead(const std::string&) override { return Refused<std::FILE*>(nullptr); }
    std::FILE* OpenInPlace(const std::string&) override { return Refused<std::FILE*>(nullptr); }
    std::FILE* CreateNew(const std::string&) override { return Refused<std::FILE*>(nullptr); }
    bool CanWrite(const std::string&) override { return Refused(false); }
    bool MoveOnto(const std::string&, const std::string&) override { return Refused(false); }
    bool LandNew(const std::string&, const std::string&) override { return Refused(false); }
    bool RemoveFile(const std::string&) override { return Refused(false); }
    FileId IdOf(std::FILE*) override { return FileId{}; }
    long long RegularFileSize(std::FILE*) override { return -1; }

  private:
    struct Name {
        PathInfo info{PathKind::kMissing, 0, false, {}, 0};
        std::string target; // where the name's link leads; "" when it is no link
    };
    template <typename T>
    static T Refused(T value) {
        errno = EROFS;
        return value;
    }

    std::map<std::string, std::vector<DirEntry>> tree_;
    std::map<std::string, int> errors_;
    std::map<std::string, Name> names_;
};

#endif
