// The real kinrec binary in a scratch directory: a copy in bin/ and an empty work/ to
// run it in, with helpers for the files there.
#ifndef KINREC_TESTS_KINREC_FIXTURE_H
#define KINREC_TESTS_KINREC_FIXTURE_H

#include "Process.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef KINREC_EXE
#error "KINREC_EXE must name the kinrec binary under test"
#endif

class KinrecFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDir(dir_.Path("bin"));
        MakeDir(dir_.Path("work"));
#ifdef _WIN32
        exe_ = dir_.Path("bin/kinrec.exe");
#else
        exe_ = dir_.Path("bin/kinrec");
#endif
        CopyExecutable(KINREC_EXE, exe_);
    }
    // Runs kinrec in work/ (or a folder below it); a sanitizer report or any other text
    // on standard error fails the test.
    RunResult Run(const std::vector<std::string>& args, const std::string& sub = "",
                  bool unprivileged = false) {
        RunResult r = RunProgram(exe_, args, sub.empty() ? W("") : W(sub), unprivileged);
        EXPECT_EQ(r.err, "");
        return r;
    }
    std::string W(const std::string& name) const {
        return dir_.Path("work/" + name);
    }
    void Put(const std::string& name, const std::string& bytes) {
        WriteFile(W(name), bytes);
    }
    // A file's text, CR LF folded to LF.
    std::string Get(const std::string& name) const {
        return ReadText(W(name));
    }

    TempDir dir_;
    std::string exe_;
};

#endif
