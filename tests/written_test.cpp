// The library's account of a table it writes, held field by field to what the console
// prints for the same file: each failure's path and reason, each note, in the console's
// order. The two cannot drift apart.
#include "KinrecFixture.h"
#include "kinrec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace {

class WrittenTest : public KinrecFixture {
  public:
    using KinrecFixture::Put;

  protected:
    // The console's lines for a Written, as they follow the "->" line, paths relative to
    // dir.
    static std::string Said(const kinrec::Written& w, const std::string& input,
                            const std::string& dir) {
        auto shown = [&dir](std::string path) {
            return path.compare(0, dir.size(), dir) == 0 ? path.substr(dir.size()) : path;
        };
        std::string s;
        const bool rowsRead =
            w.failure == kinrec::Failure::kNone || w.failure == kinrec::Failure::kWriteFailed;
        if (rowsRead) {
            for (const std::string& line : kinrec::NoteLines(w.notes)) {
                s += "kinrec: " + input + ": " + line + "\n";
            }
        }
        if (!w.Ok()) {
            s += "kinrec: " + shown(w.path) + ": " + w.Reason() + "\n";
        }
        return s;
    }
};

TEST_F(WrittenTest, EveryFailureAndNoteIsWhatTheConsoleSays) {
    const std::string rest = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n";
    struct Case {
        const char* what;
        int fileType;
        std::function<void(WrittenTest&, const std::string&)> make; // in the folder
        std::string input, output;
        kinrec::Failure failure;
        int code;
    };
    const std::vector<Case> cases = {
        {"missing input", 1, [](WrittenTest&, const std::string&) {}, "a.csv", "",
         kinrec::Failure::kInputNotOpened, ENOENT},
        {"no dataset", 4, [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.bin", rest); },
         "a.bin", "", kinrec::Failure::kNotDataSet, 0},
        {"a table as input", 1,
         [&](WrittenTest& t, const std::string& d) { t.Put(d + "t.csv", kHeader); }, "t.csv", "",
         kinrec::Failure::kInputIsTable, 0},
        {"another file under the name", 1,
         [&](WrittenTest& t, const std::string& d) {
             t.Put(d + "a.csv", rest);
             t.Put(d + "b.csv", rest);
         },
         "a.csv", "b.csv", kinrec::Failure::kTableRefused, 0},
        {"the input itself", 1,
         [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.csv", rest); }, "a.csv", "a.csv",
         kinrec::Failure::kTableIsInput, 0},
        {"no such folder", 1,
         [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.csv", rest); }, "a.csv",
         "no/t.csv", kinrec::Failure::kTableNotCreated, ENOENT},
        {"skipped lines", 1,
         [&](WrittenTest& t, const std::string& d) {
             t.Put(d + "a.csv", rest + " x\n1,0,0\n2,0,0,8192,0,0,0\n;\n");
         },
         "a.csv", "", kinrec::Failure::kNone, 0},
        {"no samples", 3,
         [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.csv", "t;x\n1;2\n"); }, "a.csv",
         "", kinrec::Failure::kNone, 0},
        {"an empty file", 2, [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.csv", ""); },
         "a.csv", "", kinrec::Failure::kNone, 0},
#ifndef _WIN32
        {"a full device, after a note", 1,
         [&](WrittenTest& t, const std::string& d) { t.Put(d + "a.csv", rest + "x\n" + rest); },
         "a.csv", "/dev/full", kinrec::Failure::kWriteFailed, ENOSPC},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = std::string(c.what) + "/";
        const std::string console = folder + "console/";
        const std::string library = folder + "library/";
        MakeDir(W(folder));
        MakeDir(W(console));
        MakeDir(W(library));
        c.make(*this, console);
        c.make(*this, library);
        Put(console + "kinrec.cnf", "FILETYPE " + std::to_string(c.fileType) + "\n");
        // Both names given: one argument would fall back to a search when the input fails.
        const RunResult r =
            RunAny({c.input, c.output.empty() ? kinrec::TableNameFor(c.input) : c.output}, console);

        kinrec::Settings s;
        s.FileType = c.fileType;
        const std::string dir = W(library);
        const bool absolute = !c.output.empty() && c.output[0] == '/';
        const std::string output = c.output.empty() ? "" : absolute ? c.output : dir + c.output;
        const kinrec::Written w = kinrec::WriteTable(dir + c.input, output, s);
        EXPECT_EQ(w.failure, c.failure);
        EXPECT_EQ(w.code, c.code);
        const std::string table = c.output.empty() ? kinrec::TableNameFor(c.input) : c.output;
        EXPECT_EQ(w.table, absolute ? table : dir + table);
        // The console's path for a note is the input as given.
        std::string said = Said(w, c.input, dir);
        EXPECT_EQ(r.err.substr(0, said.size()), said);
        EXPECT_EQ(r.status, w.Ok() ? 0 : 2);
    }
}

} // namespace
