// The feature pipeline: one input's samples become the rows of one table.
//
// Per kept sample, in single precision unless said otherwise: counts to g and deg/s,
// six low-pass filters, magnitudes (lpf_acc, raw_acc in 0.01 g; lpf_omega, raw_omega in
// deg/s), one attitude filter step (double precision, time step 0.02 s), roll, pitch and
// yaw in whole degrees, differences against the previous row, the fall counter; then
// the row's values go to the converter's sink. Integers are truncated toward zero.
//
// The work comes in two stages that share no state:
//   AdvanceDsvRecord  resample rule, scaling, filters, attitude step: the serial chain,
//                     each sample depends on the one before;
//   EmitDsvRow        magnitudes, angles, differences, fall counter and the row: reads
//                     only what the first stage handed over, plus its own history.
// WriteDsvRecord runs both for one sample.
//
// Columns (optional groups under their switches):
//   accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega
//   , fall_counter | , roll, pitch, yaw | , acc_diff, omega_diff
//   | , roll_diff, pitch_diff, yaw_diff
//
// A converter holds no process state: the settings are copied when it is opened, the
// gyro bias count is the caller's, and nothing is printed.
#ifndef KINREC_DSV_CONVERTER_H
#define KINREC_DSV_CONVERTER_H

#include "features/DsvTextSink.h"
#include "features/Lpf.h"
#include "features/RowSink.h"
#include "input/SampleRecord.h"
#include "input/TableHeader.h"
#include "kinrec.h"
#include "orlib/AttitudeFilter.h"

#include <cstdint>

namespace kinrec::detail {

constexpr int kHistorySize = 64; // a power of two

// The rings of the history, one per value that is differenced.
enum HistoryRing { kRingLpfAcc, kRingLpfOmega, kRingRoll, kRingPitch, kRingYaw, kRingCount };

// What the first stage hands the second for one kept sample.
struct KeptSample {
    SampleRecord raw;    // as read [counts]
    float s[6];          // the same scaled: acc X, Y, Z [g], rate X, Y, Z [deg/s]
    float f[6];          // filtered acc X, Y, Z [g], rate X, Y, Z [deg/s]
    double q[4];         // attitude after this sample (w, x, y, z)
    std::int64_t sample; // index of the sample in its input
};

constexpr int kRawAccBins = 700;

struct DsvConverter {
    // The settings as the table was opened, with a SamplingFrequency of 0 or less
    // replaced by 50 Hz and a cut-off of 5 Hz.
    Settings config;

    // The first stage's state.
    Lpf lpf[6];                   // acc X, Y, Z, then rate X, Y, Z
    AttitudeFilter attitude;      // orientation and gyro bias
    std::int32_t resampleCounter; // position in the resample cycle
    float latest[6];              // latest filtered value per channel
    std::int64_t samples;         // samples taken so far

    // The second stage's state.
    std::int32_t history[kRingCount][kHistorySize]; // previous rows' values
    std::int32_t historyIndex;                      // slot the next row writes
    std::int32_t fallCounter;                       // [rows] consecutive low rows
    std::int8_t columns[kMaxColumns];               // the row's values written, in order
    const char* names[kMaxColumns];                 // their names
    std::int32_t columnCount;

    RowSink* sink;    // where the rows go
    DsvTextSink file; // the table, when OpenDsvFile created it

    // The rows by their raw_acc [0.01 g], for the recording's median magnitude (its
    // evidence of the unit): 16-bit counts give at most 692.
    std::int64_t rawAccRows[kRawAccBins];
};

// The median raw_acc of the rows so far [g] (the middle of its 0.01 g); 0 for fewer than
// kRestRows rows, too few to tell a recording's unit by.
constexpr std::int64_t kRestRows = 50;
double MedianRawAcc(const DsvConverter& conv);

// The columns the switches of cfg choose: their value indices and names, in table order;
// how many.
int ChooseColumns(const Settings& cfg, std::int8_t columns[kMaxColumns],
                  const char* names[kMaxColumns]);

// Resets the converter, copies the settings (repairing the copy as above; *config is
// only read), sets up the filters on the gyro bias count *biasCount (the caller's; it
// carries from conversion to conversion when the caller passes the same one) and chooses
// the columns (names[0..columnCount)). The rows go to sink, which may be set later.
void OpenDsvConverter(DsvConverter* conv, const Settings* config, std::int32_t* biasCount,
                      RowSink* sink);

// The same with the table as text in a new file at path (an existing file is
// truncated), its header written. Returns -1 when the file cannot be created.
int OpenDsvFile(DsvConverter* conv, const Settings* config, std::int32_t* biasCount,
                const char* path);

// Takes one sample; hands its row to the sink unless the resample rule skips it. A
// ResampleCount of 1 or less keeps every sample. Returns 0, or -1 once the sink failed.
int WriteDsvRecord(DsvConverter* conv, const SampleRecord* rec);

// The first stage: false when the resample rule skips the sample (nothing changes but
// the resample cycle and the sample count); otherwise advances the filters and fills
// *kept.
bool AdvanceDsvRecord(DsvConverter* conv, const SampleRecord* rec, KeptSample* kept);

// The second stage: hands the row of a kept sample to the sink. Returns 0, or -1 once
// the sink failed.
int EmitDsvRow(DsvConverter* conv, const KeptSample& kept);

// Closes a table OpenDsvFile created; -1 when a write or the close failed (errno-style
// code in conv->file.Error()). Nothing to do for other sinks.
int CloseDsvFile(DsvConverter* conv);

} // namespace kinrec::detail

#endif
