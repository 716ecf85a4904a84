// kinrec as a library: recordings of a body-worn inertial sensor (a three-axis
// accelerometer and gyroscope) become the integer features of kinrec's tables, the
// same integers the console tool writes.
//
// Units: acceleration in counts (8192 per g) or g; angular rate in counts (65.536 per
// deg/s) or deg/s. Physical values become counts exactly as kinrec's physical CSV layout
// makes them: value times 8192 or 65.53600311279297 in double precision, truncated
// toward zero, the low 16 bits as a signed number; so the range is about +-4 g and
// +-500 deg/s, and values beyond it wrap around as they do in a file.
//
// Every call is independent of every other: no process state, nothing printed. The
// gyro bias estimate of the attitude filter counts its samples (up to 10000); a call
// without a Run starts that count afresh, a Run carries it from call to call as one
// console batch (kinrec -r) carries it from file to file.
//
// Errors are exceptions: kinrec::Error for a bad argument, kinrec::FileError for a file
// that cannot be read, kinrec::InternalError for a broken invariant inside kinrec. No call
// ends the process or writes to the console.
#ifndef KINREC_KINREC_H
#define KINREC_KINREC_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kinrec {

// The settings of a conversion, with the defaults of a run without configuration file.
struct Settings {
    std::int32_t FileType = 1;            // files: 1 counts, 2 g and deg/s, 3 hundreds of
                                          // counts (CSV layouts), 4 binary dataset
    std::int32_t ResampleCount = 0;       // keep every Nth sample; 1 or less keeps all
    std::int32_t SamplingFrequency = 50;  // [Hz] for the low-pass filters; <= 0: 50 Hz, 5 Hz
    std::int32_t CutOffFrequency = 5;     // [Hz] low-pass cut-off
    std::int32_t FallStartThreshold = 60; // [0.01 g] fall counter threshold on lpf_acc
    std::int32_t FallCounterOut = 1;      // non-zero: fall_counter column
    std::int32_t PostureOut = 1;          // non-zero: roll, pitch, yaw columns
    std::int32_t RmsDiffOut = 1;          // non-zero: acc_diff, omega_diff columns
    std::int32_t PostureDiffOut = 1;      // non-zero: roll_diff, pitch_diff, yaw_diff columns
};

// Recordings converted one after another that share the gyro bias count, as the files
// of one kinrec -r batch do. A Run is not to be shared by two conversions at once.
struct Run {
    std::int32_t biasCount = 0; // [samples] so far, 0 to BiasCountLimit(); a conversion
                                // given a Run outside that range throws kinrec::Error
};

// The samples the bias count stops at.
std::int32_t BiasCountLimit();

// Whether count is a bias count a Run may hold: 0 to BiasCountLimit().
bool ValidBiasCount(std::int64_t count);

// A table: column names as in kinrec's header (without its spaces) and the values,
// column by column.
struct Table {
    std::vector<std::string> names;                 // in table order
    std::vector<std::vector<std::int32_t>> columns; // columns[c][row]
    std::vector<std::int64_t> samples;              // the input sample each row was kept
                                                    // from, counted from 0
    std::size_t Rows() const { return samples.size(); }
};

// One channel of a recording held by the caller: size values at data.
template <class T>
struct Channel {
    const T* data = nullptr;
    std::size_t size = 0;
};

// The six channels, all of one length.
template <class T>
struct Recording {
    Channel<T> accX, accY, accZ, gyroX, gyroY, gyroZ;
};

class Error : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// A broken invariant inside kinrec (a programming error, never the data's fault): what()
// names the source file, line and the condition that failed.
class InternalError : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

class FileError : public std::runtime_error {
  public:
    FileError(const std::string& path, int code, const std::string& reason);
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; } // what() without the path
    int Code() const { return code_; } // the errno value, 0 when the content was at fault

  private:
    std::string path_;
    std::string reason_;
    int code_;
};

// Raw counts.
Table FromCounts(const Recording<std::int16_t>& rec, const Settings& settings = Settings(),
                 Run* run = nullptr);
// Acceleration in g, rate in deg/s.
Table FromPhysical(const Recording<double>& rec, const Settings& settings = Settings(),
                   Run* run = nullptr);
// A recording file as settings.FileType says (1 to 4), read without writing anything.
Table FromFile(const std::string& path, const Settings& settings = Settings(), Run* run = nullptr);

// The counts a physical value becomes (see the top of this header).
std::int16_t AccCounts(double g);
std::int16_t GyroCounts(double degPerSecond);

// "1.0.0"
const char* Version();

} // namespace kinrec

#endif
