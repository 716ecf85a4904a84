// A TMPDIR that the ordinary user of RunProgram(..., true) can reach, for fixtures
// whose kinrec runs as that user.
#ifndef KINREC_TESTS_REACHABLE_TMPDIR_POSIX_H
#define KINREC_TESTS_REACHABLE_TMPDIR_POSIX_H

#include "Process.h"

#include <cstdlib>
#include <optional>
#include <string>

// The fixture puts its copy of kinrec and its work directory under TMPDIR (or /tmp). Run
// as root, TMPDIR may be a directory only root can enter (pam_tmpdir's /tmp/user/0, one
// under /root), and the ordinary user then cannot start the copy (status 127). Built
// before the fixture, this points TMPDIR at the first base that user can reach, for the
// fixture's lifetime only.
class ReachableTmpdir {
  protected:
    ReachableTmpdir() {
        const char* tmpdir = std::getenv("TMPDIR");
        if (tmpdir != nullptr) {
            saved_ = tmpdir;
        }
        for (const char* base : {tmpdir, "/tmp", "/var/tmp", "/dev/shm"}) {
            if (base != nullptr && ReachableUnprivileged(base)) {
                setenv("TMPDIR", base, 1);
                return;
            }
        }
    }
    ~ReachableTmpdir() {
        if (saved_) {
            setenv("TMPDIR", saved_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    ReachableTmpdir(const ReachableTmpdir&) = delete;
    ReachableTmpdir& operator=(const ReachableTmpdir&) = delete;

  private:
    std::optional<std::string> saved_;
};

#endif
