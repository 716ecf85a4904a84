// The real kinrec binary in a scratch directory: a copy in bin/ and an empty work/ to
// run it in, with helpers for the files there and for the text kinrec prints.
#ifndef KINREC_TESTS_KINREC_FIXTURE_H
#define KINREC_TESTS_KINREC_FIXTURE_H

#include "Process.h"
#include "TempDir.h"
#include "disk/Disk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#ifndef KINREC_EXE
#error "KINREC_EXE must name the kinrec binary under test"
#endif

// The header line of a table with every optional column.
inline const std::string kHeader =
    "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, fall_counter, roll, "
    "pitch, yaw, acc_diff, omega_diff, roll_diff, pitch_diff, yaw_diff\n";

// The line announcing one conversion.
inline std::string Announce(const std::string& in, const std::string& out) {
    return in + " -> " + out + "\n";
}

// "." joined with names by the platform's separator: the paths a search prints.
inline std::string Dot(std::initializer_list<std::string> names) {
    std::string s = ".";
    for (const std::string& n : names) {
        s += kinrec::detail::kPathSeparator;
        s += n;
    }
    return s;
}

// The echo of one configuration file holding the settings lines given.
inline std::string Echo(const std::string& lines, const std::string& file = "kinrec.cnf") {
    return "LoadConfigFile : " + file + "\n\n" + lines + "\nLoadConfigFile : Complete.\n\n";
}

// A binary dataset: its header with the given record offset, then body.
inline std::string DataSetBytes(std::int32_t offset, const std::string& body) {
    std::string h("QM DataSet V1.0.0\0\0\0", 20);
    const auto u = static_cast<std::uint32_t>(offset);
    for (int i = 0; i < 4; ++i) {
        h += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    return h + body;
}

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
    // Every file put with Input must still hold its bytes at the end.
    void TearDown() override {
        for (const auto& [name, bytes] : inputs_) {
            EXPECT_TRUE(ReadFile(W(name)) == bytes) << name << " was changed";
        }
    }
    // Runs kinrec in work/ (or a folder below it); a sanitizer report or any other text
    // on standard error fails the test.
    RunResult Run(const std::vector<std::string>& args, const std::string& sub = "",
                  bool unprivileged = false) {
        RunResult r = RunProgram(exe_, args, sub.empty() ? W("") : W(sub), unprivileged);
        EXPECT_EQ(r.err, "");
        return r;
    }
    // The same for runs that are expected to say something on standard error.
    RunResult RunAny(const std::vector<std::string>& args, const std::string& sub = "",
                     bool unprivileged = false) {
        return RunProgram(exe_, args, sub.empty() ? W("") : W(sub), unprivileged);
    }
    std::string W(const std::string& name) const {
        return dir_.Path("work/" + name);
    }
    void Put(const std::string& name, const std::string& bytes) {
        WriteFile(W(name), bytes);
    }
    // Puts an input and remembers it, to check afterwards that it is unchanged.
    void Input(const std::string& name, const std::string& bytes) {
        Put(name, bytes);
        inputs_[name] = bytes;
    }
    // A file's text, CR LF folded to LF.
    std::string Get(const std::string& name) const {
        return ReadText(W(name));
    }

    TempDir dir_;
    std::string exe_;
    std::map<std::string, std::string> inputs_;
};

#endif
