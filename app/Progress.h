// The progress line: one line on standard error, rewritten in place while a long
// conversion runs and cleared when it ends. Shown only when standard error is a
// terminal; logs, pipes and CI see nothing.
#ifndef KINREC_PROGRESS_H
#define KINREC_PROGRESS_H

#include <cstdint>
#include <string>

namespace progress {

// Turns the line on (main does, when standard error is a terminal).
void Enable();
bool Enabled();

// Shows text as the line, unless the line was updated less than a quarter of a second
// ago.
void Show(const std::string& text);
// Removes the line, so that other text can follow.
void Clear();

// One conversion's progress: the file, how far its input was read, samples so far.
class FileProgress {
  public:
    // size: the input's length in bytes (0 when unknown).
    FileProgress(const std::string& name, long long size) : name_(name), size_(size) {}
    ~FileProgress();
    FileProgress(const FileProgress&) = delete;
    FileProgress& operator=(const FileProgress&) = delete;

    // Where the conversion stands: bytes of the input read and samples taken.
    void At(long long position, long long samples) {
        samples_ = static_cast<decltype(samples_)>(samples);
        if (Enabled()) {
            Update(position);
        }
    }

    // Counts one sample; cheap: looks at the clock once every 4096 samples. position
    // tells how many bytes of the input were read, when asked.
    template <class Position>
    void Tick(Position position) {
        if ((++samples_ & 4095u) == 0 && Enabled()) {
            Update(position());
        }
    }

  private:
    void Update(long long position);

    std::string name_;
    long long size_;
    std::uint64_t samples_ = 0;
    bool shown_ = false;
};

} // namespace progress

#endif
