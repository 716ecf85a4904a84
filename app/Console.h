// Everything kinrec says, from one place.
//
// Standard output carries only what scripts read: the configuration echo, one
// "<input> -> <output>" line per conversion and the usage text. Everything else goes to
// standard error, a line a failure: "kinrec: <path>: <reason>". A good run says nothing
// there.
//
// A console either writes straight through or keeps the lines, so that a worker's
// lines can be printed later in the order of the walk; both give the same bytes.
#ifndef KINREC_CONSOLE_H
#define KINREC_CONSOLE_H

#include <string>
#include <vector>

class Console {
  public:
    explicit Console(bool keep = false) : keep_(keep) {}

    void Out(const std::string& text);
    void Err(const std::string& text);
    // "kinrec: <path>: <reason>\n" on standard error.
    void Fail(const std::string& path, const std::string& reason);

    // Prints the kept lines in their order and forgets them.
    void Replay();
    // The kept lines of standard error (err) or output, in their order.
    std::string Kept(bool err) const;

  private:
    struct Line {
        bool err;
        std::string text;
    };
    bool keep_;
    std::vector<Line> lines_;
};

// The console that writes straight through.
Console& StdConsole();

// Called once when a write to standard output fails with a broken pipe (its reader is
// gone); the process may end in it.
void OnBrokenPipe(void (*handler)());

// Notes a write to standard output that failed with err (a broken pipe goes to the
// OnBrokenPipe handler).
void NoteStdoutFailure(int err);

// The errno of the first write to standard output that failed; 0 while none did.
int StdoutError();

// The system's text for an errno value.
std::string ErrorText(int err);

#endif
