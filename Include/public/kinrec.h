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
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kinrec {

// The settings, described once. Each is X(field, key, keyword, default, meaning): the
// field of Settings (also the label the console echoes), the key in a configuration file
// (kinrec.cnf; nullptr for the two switches that have none), the Python keyword, the
// default of a run without configuration file, and what it means (the README's words).
// Settings below, the configuration file's reader, the console's help and the Python
// package's keywords are all made from this list.
// clang-format off
#define KINREC_SETTINGS(X)                                                                         \
    X(FileType, "FILETYPE", "filetype", 1,                                                         \
      "input kind: 1 counts CSV, 2 physical CSV, 3 hundreds CSV, 4 binary dataset; a "            \
      "configuration file's other values read as 1")                                               \
    X(ResampleCount, "RESAMPLECOUNT", "resample_count", 0,                                         \
      "keep the 1st, (N+1)th, (2N+1)th ... sample; 1 or less keeps every sample")                  \
    X(SamplingFrequency, "SAMPLINGFREQUENCY", "sampling_frequency", 50,                            \
      "sampling rate in Hz for the low-pass filters; 0 or less means 50 Hz with a 5 Hz cut-off")   \
    X(CutOffFrequency, "CUTOFFFREQUENCY", "cutoff_frequency", 5, "low-pass cut-off in Hz")         \
    X(FallStartThreshold, "FALLSTARTTHRESHOLD", "fall_start_threshold", 60,                        \
      "the fall counter counts rows whose lpf_acc is at or below this (0.01 g)")                   \
    X(FallCounterOut, nullptr, "fall_counter", 1, "non-zero: write fall_counter")                  \
    X(PostureOut, nullptr, "posture", 1, "non-zero: write roll, pitch, yaw")                       \
    X(RmsDiffOut, "RMSDIFFOUT", "rms_diff", 1, "non-zero: write acc_diff, omega_diff")             \
    X(PostureDiffOut, "POSTUREDIFFOUT", "posture_diff", 1,                                         \
      "non-zero: write roll_diff, pitch_diff, yaw_diff")                                           \
    X(Overflow, "OVERFLOW", "overflow", 0,                                                         \
      "values beyond the 16-bit counts (about +-4 g, +-500 deg/s): wrap (the default) keeps "      \
      "their low 16 bits, clip saturates them at the range's ends, raise fails the recording")
// clang-format on

// The settings of a conversion, with the defaults of a run without configuration file
// (units and meanings: KINREC_SETTINGS above, SettingTable() below).
struct Settings {
#define KINREC_SETTING_FIELD(field, key, keyword, initial, meaning) std::int32_t field = initial;
    KINREC_SETTINGS(KINREC_SETTING_FIELD)
#undef KINREC_SETTING_FIELD
};

// One setting of KINREC_SETTINGS, as data.
struct SettingInfo {
    const char* label;             // "FileType": the field's name
    const char* key;               // "FILETYPE"; nullptr: no configuration key
    const char* keyword;           // "filetype": the Python keyword
    std::int32_t Settings::*field; // &Settings::FileType
    std::int32_t initial;          // the default
    const char* meaning;           // one line
    // The words a configuration file and Python give for the values 0, 1, 2 ...,
    // separated by spaces ("wrap clip raise"); nullptr: the value is a number.
    const char* words = nullptr;
};

// The value a setting's word stands for (its position in info.words); -1 when it is not
// one of them (case-insensitive).
std::int32_t SettingValueOf(const SettingInfo& info, const std::string& word);
// The word of a setting's value, or the number as text for a setting without words.
std::string SettingText(const SettingInfo& info, std::int32_t value);

// Every setting, in the order of Settings' fields (which is also the order in which a
// configuration file's keys are compared).
const std::vector<SettingInfo>& SettingTable();

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

// A batch on one Run, on many threads. Converting items one after another on one Run
// gives the same tables as converting its head that way and then each later item from a
// Run of its own at BiasCountLimit(), in any order or all at once: the head is the items
// converted while the count is below its limit, and a count at its limit stays there.
//
// ConvertHead converts the head: convert(i) for i = 0, 1, ... below count, each
// converting item i on *run, while run->biasCount is below the limit; returns how many
// it converted. run nullptr: every item starts a count of its own, so there is no head
// (0). An exception from convert passes on, the items after it unconverted.
std::size_t ConvertHead(std::size_t count, Run* run,
                        const std::function<void(std::size_t)>& convert);
// The Run each item after the head starts from: at the limit for a batch on a run, at 0
// for one without (run nullptr).
Run RestRun(const Run* run);

// What a conversion met besides its rows. Nothing here changes a row; the console
// prints the notes NoteLines() words on its standard error.
struct Notes {
    // A CSV recording's lines (FileType 1 to 3; all 0 for a dataset file or arrays).
    std::int32_t fileType = 0;     // the layout the lines were read in
    std::int64_t lines = 0;        // lines read (one over 1023 characters counts as more)
    std::int64_t samples = 0;      // lines taken as samples
    std::int64_t sampleLike = 0;   // lines that begin with a digit or a minus sign
    std::int64_t skipped = 0;      // lines after the first sample not taken (blank lines
                                   // and a last line cut short aside), of them:
    std::int64_t skippedBlank = 0; //   beginning with a space or a tab
    std::int64_t skippedShort = 0; //   sample lines with too few columns
    std::int64_t skippedOther = 0; //   beginning with another character
    // Samples with a value that did not fit 16-bit counts and wrapped around (any input
    // whose values are not counts already: CSV lines, physical values).
    std::int64_t wrapped = 0;       // how many
    std::int64_t firstWrapped = -1; // the first one's input sample; -1: none
    std::int64_t wrapPeak = 0;      // [counts] the largest value before its wrap, by magnitude
    std::int64_t taken = 0;         // samples converted, of any input
    std::int32_t overflow = 0;      // the Settings' Overflow the values met: 0 wrapped,
                                    // 1 clipped (still counted above), 2 refused
    // SamplingFrequency was 0 or less: the filters ran at 50 Hz with a 5 Hz cut-off.
    bool frequencyRepaired = false;
    // What the recording shows of itself, held against what it is said to be (NoteLines
    // says where they disagree; the thresholds: docs/numbers.md):
    double restMagnitude = 0;       // [g] the median of raw_acc over the rows; 0: no rows
    std::int32_t headerUnits = 0;   // the units its header names: 0 none, 1 physical (g,
                                    // deg/s ...), 2 counts
    double timeStep = 0;            // [s] per sample of a steady time column; 0: none seen
    std::int32_t resampleCount = 0; // the settings' ResampleCount, for the step it implies
    std::int32_t accUnit = 0;       // the acceleration came as: 0 g or other physical
                                    // values, 1 counts, 2 hundredths of g
};

// The notes the console prints for a recording, in its words, one line each without the
// "kinrec: <path>: " before it: "no samples (...)" or "N of M lines skipped (...)"; none
// when the lines are what a recording holds.
std::vector<std::string> NoteLines(const Notes& notes);

// A table: column names as in kinrec's header (without its spaces) and the values,
// column by column.
struct Table {
    std::vector<std::string> names;                 // in table order
    std::vector<std::vector<std::int32_t>> columns; // columns[c][row]
    std::vector<std::int64_t> samples;              // the input sample each row was kept
                                                    // from, counted from 0
    Notes notes;                                    // what the conversion met
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

// Where a Stream hands its rows.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // One kept sample's row: values[0..n) in the order of Stream::Names(); sample is the
    // input sample it was kept from, counted from 0 over the whole stream.
    virtual void Row(const std::int32_t* values, int n, std::int64_t sample) = 0;
    // False once the sink could not keep a row (a table whose writes failed).
    virtual bool Good() const { return true; }
    // Before the rows of a recording file: about how many to expect (from the file's
    // length, at most 2^24), so that the sink may make room for them at once. A hint
    // only: the rows may be fewer or more.
    virtual void Expect(std::size_t /*rows*/) {}
};

namespace detail {
struct StreamAccess;
} // namespace detail

// What becomes of a value beyond the 16-bit counts (about +-4 g, +-500 deg/s; counts
// outside -32768 to 32767), as Settings::Overflow says (the configuration key OVERFLOW):
// kWrap keeps its low 16 bits as a file's value wraps (the console's default; Notes count
// such samples), kClip saturates it at -32768 or 32767 as a saturated sensor reads, on the
// unbounded value (Notes count these too), kRaise refuses it: a stream refuses the chunk
// holding it (kinrec::Error naming the first such sample of the stream) before any of its
// samples is converted, a file fails (Failure::kBeyondRange).
enum class Overflow { kWrap, kClip, kRaise };

// Settings::Overflow as the enum; kinrec::Error for a value that is none of it.
Overflow OverflowOf(const Settings& settings);

// The units of the values a Stream takes as doubles. Values in g and deg/s become counts
// as FromPhysical makes them; milli-g are first divided by 1000, m/s^2 by 9.80665
// (standard gravity), rad/s multiplied by 180/pi, in double precision; counts are
// truncated toward zero and saturated at 32 bits, as the counts CSV layout reads a number.
// Then the Overflow applies.
enum class AccUnit { kG, kMilliG, kMetresPerSecond2, kCounts };
enum class GyroUnit { kDegPerSecond, kRadPerSecond, kCounts };
struct Units {
    AccUnit acc = AccUnit::kG;
    GyroUnit gyro = GyroUnit::kDegPerSecond;
};

// One recording converted as it arrives, in chunks of any size: the rows are exactly those
// of converting the whole recording in one call (FromCounts, FromPhysical, FromFile,
// the console's table), whatever the chunks, and a row's sample number runs on from
// chunk to chunk. A Run given to a stream is advanced by it sample by sample; no other
// conversion may use that Run until the stream is finished. Every call on a stream that
// was moved from throws kinrec::Error.
class Stream {
  public:
    explicit Stream(const Settings& settings = Settings(), Run* run = nullptr,
                    Units units = Units());
    ~Stream();
    Stream(Stream&& other) noexcept;
    Stream& operator=(Stream&& other) noexcept;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // The table's column names, in row order.
    const std::vector<std::string>& Names() const;
    // The next samples: 16-bit counts as they are; 32-bit counts as the counts CSV layout
    // takes a number (its low 16 bits), beyond 16 bits as the stream's Overflow says; or
    // doubles in the stream's Units (see above). Each kept row goes to sink, or is
    // appended to table (whose names are set when it has none).
    //
    // When the sink throws, the push ends there and the exception passes on: the samples
    // up to the one whose row was refused are taken (Samples() counts them, Noted() says
    // what they met), the rest of the chunk is not; push it again to go on.
    void Push(const Recording<std::int16_t>& chunk, RowSink& sink);
    void Push(const Recording<std::int32_t>& chunk, RowSink& sink);
    void Push(const Recording<double>& chunk, RowSink& sink);
    void Push(const Recording<std::int16_t>& chunk, Table& table);
    void Push(const Recording<std::int32_t>& chunk, Table& table);
    void Push(const Recording<double>& chunk, Table& table);
    // The samples taken so far.
    std::int64_t Samples() const;
    // What the stream met so far (values that wrapped, a repaired frequency).
    const Notes& Noted() const;
    // Ends the stream: it lets go of its Run, and a Push after it throws kinrec::Error.
    void Finish();

  private:
    friend struct detail::StreamAccess;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Raw counts.
Table FromCounts(const Recording<std::int16_t>& rec, const Settings& settings = Settings(),
                 Run* run = nullptr);
// Acceleration in g, rate in deg/s.
Table FromPhysical(const Recording<double>& rec, const Settings& settings = Settings(),
                   Run* run = nullptr);
// Throws kinrec::Error unless settings.FileType is 1 to 4: the check of every conversion
// of a file (FromFile, WriteTable). A configuration file's other values are read as 1
// when it is loaded.
void CheckFileType(const Settings& settings);

// A recording file as settings.FileType says (1 to 4), read without writing anything.
Table FromFile(const std::string& path, const Settings& settings = Settings(), Run* run = nullptr);
// The same with each row handed to sink as it is made (columns: ColumnNames(settings));
// returns what the conversion met.
Notes FromFile(const std::string& path, RowSink& sink, const Settings& settings = Settings(),
               Run* run = nullptr);

// The table's column names under settings, in row order.
std::vector<std::string> ColumnNames(const Settings& settings);

// Writing a table file as the console writes it: the input is read as settings.FileType
// says; the table is written to a temporary file beside its name,
// "<table>.kinrec-tmp-<pid>-<n>", and moved onto the name only when complete. An
// existing file is replaced only when it is empty or a kinrec table, never when it is
// the input itself or anything else; a device or FIFO is written in place. When the
// table cannot be written, the input is still read (as far as the Run's bias count
// needs), so that later conversions on the Run get the tables they would have got.

// Why a table was not written.
enum class Failure {
    kNone,
    kInputNotOpened,  // the input cannot be opened (code: the errno)
    kNotDataSet,      // FileType 4, and the input is no dataset file
    kInputIsTable,    // the input is a kinrec table
    kTableIsInput,    // the table's name is the input itself
    kTableRefused,    // the table's name holds a file that is not a kinrec table
    kTableUnchecked,  // the file under the table's name cannot be read to check it (code)
    kTableNotCreated, // the table cannot be created (code)
    kReadFailed,      // the input could not be read to its end (code)
    kWriteFailed,     // a write, the close or the move onto the name failed (code)
    kBeyondRange,     // a value beyond the 16-bit counts under Overflow raise (notes say
                      // which sample first)
};

// What writing a table came to.
struct Written {
    Failure failure = Failure::kNone;
    std::string table;     // the table's name
    std::string path;      // the file the failure is about: the input or the table
    int code = 0;          // the errno of a system error; 0 when a file's content was at fault
    std::string left;      // a temporary file that could not be removed ("" when none)
    Notes notes;           // what the input's lines and values came to (its samples were read)
    std::int64_t rows = 0; // rows the table was given (samples read: notes.taken)
    bool Ok() const { return failure == Failure::kNone; }
    // The failure in the console's words, without "kinrec: <path>: " ("" when none).
    std::string Reason() const;
};

// What a caller with more to do learns while a table is written; every call optional.
class WriteHooks {
  public:
    virtual ~WriteHooks() = default;
    // The input is open and the table's name decided; the table is not opened yet.
    virtual void Opened(const std::string& /*input*/, const std::string& /*table*/) {}
    // The table is about to be written straight into its name (a device or a FIFO).
    virtual void InPlace() {}
    // Temporary files: Lock() and Unlock() bracket each one's creation, move and
    // removal, and Made() or Gone() inside says which name now exists or not, so that
    // a caller's cleanup (an interrupt's) that holds the same lock never misses one.
    virtual void Lock() {}
    virtual void Unlock() {}
    virtual void Made(const std::string& /*temp*/) {}
    virtual void Gone(const std::string& /*temp*/) {}
    // Progress, about every 4096 samples when WantsProgress(): input bytes read so far
    // (-1 when unknown) and samples taken.
    virtual bool WantsProgress() const { return false; }
    virtual void Progress(long long /*position*/, std::int64_t /*samples*/) {}
};

// The table's name for an input path: the path without its last four characters, then
// "_DSV.csv" (a.csv and a.bin both give a_DSV.csv); a path of fewer than four
// characters keeps them all.
std::string TableNameFor(const std::string& input);

// Writes the table of the recording at input (settings.FileType 4: a dataset file; 1 to
// 3 a CSV layout) to table, or to TableNameFor(input) when table is "". Failures are
// returned, never thrown; a FileType other than 1 to 4 or a Run out of range throws
// kinrec::Error.
Written WriteTable(const std::string& input, const std::string& table, const Settings& settings,
                   Run* run = nullptr, WriteHooks* hooks = nullptr);

// A batch's summary (kinrec --summary): a CSV file, one row per input in the batch's
// order, after its provenance in lines that begin with "#":
//
//   # kinrec summary
//   # version 1.0.0
//   # settings FileType=1 ResampleCount=0 ... PostureDiffOut=1
//   input,table,status,samples,rows,beyond_range,first_beyond,peak_beyond,skipped_lines,notes
//
// pandas reads the rows with read_csv(path, comment="#"): a field holding a comma, a
// quote, a "#" or a line end is quoted.

// One input's row.
struct SummaryRow {
    std::string input;
    std::string table;
    std::string status;            // "ok", or the failure's kind: StatusName()
    std::int64_t samples = 0;      // read from the input
    std::int64_t rows = 0;         // written to the table
    std::int64_t beyondRange = 0;  // samples with a value beyond the 16-bit counts
    std::int64_t firstBeyond = -1; // the first of them, counted from 0; -1: none
    std::int64_t peakBeyond = 0;   // [counts] the largest such value, by magnitude
    std::int64_t skippedLines = 0; // lines after the first sample that were not samples
    std::string notes;             // what the console said of the input, "; " between
};

// "ok" for kNone, else the failure in snake case ("input_not_opened", "read_failed", ...).
const char* StatusName(Failure failure);

// The row of an input whose table writing came to written.
SummaryRow SummaryOf(const std::string& input, const Written& written);
// The row of an input read without a table file (FromFile): rows given, status "ok".
SummaryRow SummaryOf(const std::string& input, const Notes& notes, std::int64_t rows);

// The summary's column names, in order.
const std::vector<std::string>& SummaryColumns();

// The first lines of a summary: the provenance (this kinrec's version, the settings)
// and the header line, each ended by "\n".
std::string SummaryHead(const Settings& settings);

// A row as a line of the summary, ended by "\n".
std::string SummaryLine(const SummaryRow& row);

// Whether text (a file's beginning) is the beginning of a kinrec summary.
bool IsSummaryText(const std::string& text);

// The settings on one line, each as Label=value in the order of SettingTable():
// "FileType=1 ResampleCount=0 ...".
std::string SettingsText(const Settings& settings);

// The recordings under a folder, in the order one `kinrec -r [selector]` run there
// converts them: entries sorted by name (byte order), files and folders interleaved;
// with a selector ("*" any run of characters, "?" one, case-sensitive; it may name a
// sub-folder: "sub/*.csv"), each folder's matching files first, then its sub-folders.
// Folders reached through a link are not entered. An input's name ends in ".csv" (but
// not "_DSV.csv") or ".bin". Paths begin with top ("./a/b.csv" from ".").
struct Inputs {
    std::vector<std::string> files;      // the recordings, in the batch's order
    std::vector<std::string> tables;     // inputs' names holding kinrec tables: never converted
    std::vector<std::string> special;    // FIFOs, devices, folders with an input's name: skipped
    std::vector<std::string> unreadable; // folders that could not be listed (wholly or in part)
    std::vector<int> unreadableErrno;    // the errno of each of them
};
// The first line of each file is read to tell tables from recordings; nothing is
// opened that is not a regular file. recursive false: only top itself (as `kinrec
// 'selector'` searches the current folder).
Inputs FindInputs(const std::string& top = ".", const std::string* selector = nullptr,
                  bool recursive = true);

// The counts a physical value becomes (see the top of this header).
std::int16_t AccCounts(double g);
std::int16_t GyroCounts(double degPerSecond);

// kinrec's version ("major.minor.patch", from the VERSION file of its sources)
const char* Version();

// ---- Recordings in other layouts, and public fall data sets -------------------------
//
// A recording in a delimited text file (or an accelerometer file and a gyroscope file)
// becomes acceleration in g and angular rate in deg/s; the readers behind kinrec.load,
// kinrec.dataset and tools/kinrec-import.py. Columns are found by header name or given
// by 1-based position as on the importer's command line; units come from the header or
// the options; two streams are merged onto a grid of `rate` Hz over the span both cover,
// each grid point holding the last sample at or before it.

// One COLUMN=VALUE condition on a file's rows; numbers compare by value ("1" = "1.0").
struct Condition {
    std::string column; // a header name or a 1-based position
    std::string value;
};

// How to read a recording: the importer's options by the same names. Empty strings and
// zeros mean "not given".
struct ReadOptions {
    std::string layout;    // a data set's layout (LayoutNames()): fills what is not given
    std::string position;  // the sensor's body position where one file holds several
                           // (umafall: its header's words, lower case; default waist)
    char delimiter = '\0'; // '\0': found among , ; tab |
    bool noHeader = false; // the first line is data
    std::string timeCol;   // a name or a 1-based position
    std::string accCols;   // "X,Y,Z": names or positions, "-4" negates that axis
    std::string gyroCols;
    std::string accUnit;                               // g, m/s^2, mg, counts
    std::string gyroUnit;                              // deg/s, rad/s, counts
    std::string timeUnit;                              // s, ms, us, ns
    double accScale = 0;                               // [counts per g] with accUnit "counts"
    double gyroScale = 0;                              // [counts per deg/s] with gyroUnit "counts"
    std::vector<Condition> where, accWhere, gyroWhere; // rows kept: all, acc's, gyro's
    double sourceRate = 0; // [Hz] evenly spaced rows without time stamps
    double rate = 0;       // [Hz] the grid; 0: the rows as read (50 for two streams)
    bool tenDigits = true; // values rounded to ten significant digits, as the importer
                           // writes them (so that its file and these samples give the
                           // same counts); false: as read, times the unit's factor
};

// What the readers met that the caller may want to say: kind "warning" or "note", the
// file or files it is about, and the text (in the importer's option words).
struct ReadNote {
    std::string kind;
    std::string where;
    std::string text;
};

// A recording read: one entry per sample in every vector.
struct Samples {
    std::vector<double> time;            // [s] from the first sample
    std::vector<std::int64_t> sourceRow; // the 0-based data row of the (accelerometer's) file
    std::vector<double> acc[3];          // [g] x, y, z
    std::vector<double> gyro[3];         // [deg/s] x, y, z
    double rate = 0;    // [Hz] the grid's, or that of the stamps' median step; 0 when the
                        // stamps never increase
    bool even = true;   // the samples are evenly spaced (a grid always is)
    std::string source; // the files read, joined by ", "
    std::vector<ReadNote> notes;
    std::size_t Size() const { return time.size(); }
};

// Reads one file (files.size() 1) or an accelerometer and a gyroscope file (2). Throws
// kinrec::FileError for a file that cannot be read (Code() 0: not text) and
// kinrec::Error, with the reason, for anything else the readers cannot take.
Samples ReadSamples(const std::vector<std::string>& files, const ReadOptions& given);

// The layouts ReadOptions::layout takes, lower case, and whether each takes two files.
std::vector<std::string> LayoutNames();
bool LayoutTakesTwoFiles(const std::string& layout);

// One recording of a public data set, with the data set's own metadata.
struct Trial {
    std::string file;               // the recording's path under the root ('/' between
                                    // folders; the accelerometer's file for two)
    std::vector<std::string> paths; // the file or files to read, root included
    std::string subject;            // as the data set names it ("SA01", "S29", "sub3")
    std::string activity;           // the data set's own code ("F05", "A10", "FOL")
    bool fall = false;              // the activity is a fall
    int trial = 0;                  // the trial number
    std::string position;           // the body position, lower case ("" for one sensor)
};

// The data sets FindTrials takes, lower case.
std::vector<std::string> DataSetNames();

// The body positions of a data set in its own words, the default first ("" for a set
// of one sensor).
std::vector<std::string> DataSetPositions(const std::string& dataSet);

// Every recording of dataSet under root at position ("" for the default), in path order.
// Throws kinrec::Error for an unknown set or position, kinrec::FileError when root cannot
// be listed.
std::vector<Trial> FindTrials(const std::string& dataSet, const std::string& root,
                              const std::string& position = std::string());

// How a trial's files are read (a layout, and for UMAFall its sensor's rows).
ReadOptions TrialReadOptions(const std::string& dataSet, const Trial& trial);

// The settings data sets are converted with unless told otherwise: those of a run
// without configuration file, but values beyond the 16-bit counts clipped (Overflow 1):
// the sets come from +-8 g and +-16 g sensors, and wrapped impacts teach nothing.
Settings DataSetSettings();

// A trial converted on its own, as kinrec --alone converts a file: its samples on the
// 50 Hz grid, then the table (settings.Overflow says what becomes of values beyond the
// counts' range; kRaise throws kinrec::Error).
struct TrialTable {
    Table table;                  // rows of the kept samples
    std::vector<double> time;     // [s] of each row
    std::int64_t beyondRange = 0; // samples with a value beyond the 16-bit counts (clipped
                                  // or wrapped as settings.Overflow says)
    std::vector<ReadNote> notes;  // what the readers noted
};
TrialTable ConvertTrial(const std::string& dataSet, const Trial& trial,
                        const Settings& settings = DataSetSettings());

} // namespace kinrec

#endif
