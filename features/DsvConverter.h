// The feature pipeline: one input file's samples become the rows of one DSV table.
//
// Per kept sample, in single precision unless said otherwise: counts to g and deg/s,
// six low-pass filters, magnitudes (lpf_acc, raw_acc in 0.01 g; lpf_omega, raw_omega in
// deg/s), one attitude filter step (double precision, time step 0.02 s), roll, pitch and
// yaw in whole degrees, differences against the previous row, the fall counter; then
// the row. Integers are truncated toward zero.
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
#ifndef KINREC_DSV_CONVERTER_H
#define KINREC_DSV_CONVERTER_H

#include "app/DsvConfig.h"
#include "features/DsvOutput.h"
#include "features/Lpf.h"
#include "input/SampleRecord.h"
#include "orlib/AttitudeFilter.h"

#include <cstdint>

constexpr int kHistorySize = 64;
constexpr int kMaxColumns = 19;

// The rings of the history, one per value that is differenced.
enum HistoryRing { kRingLpfAcc, kRingLpfOmega, kRingRoll, kRingPitch, kRingYaw, kRingCount };

// What the first stage hands the second for one kept sample.
struct KeptSample {
    SampleRecord raw; // as read [counts]
    float f[6];       // filtered acc X, Y, Z [g], rate X, Y, Z [deg/s]
    double q[4];      // attitude after this sample (w, x, y, z)
};

struct DsvConverter {
    DsvConfig config; // as it stood when the table was opened

    // The first stage's state.
    Lpf lpf[6];                   // acc X, Y, Z, then rate X, Y, Z
    AttitudeFilter attitude;      // orientation and gyro bias
    std::int32_t resampleCounter; // position in the resample cycle
    float latest[6];              // latest filtered value per channel

    // The second stage's state.
    std::int32_t history[kRingCount][kHistorySize]; // previous rows' values
    std::int32_t historyIndex;                      // slot the next row writes
    std::int32_t fallCounter;                       // [rows] consecutive low rows
    std::int8_t columns[kMaxColumns];               // the row's values written, in order
    std::int32_t columnCount;
    DsvOutput out; // the table
};

// Resets the converter, copies the configuration, sets up the filters, creates the
// table and writes its header. When config->SamplingFrequency is 0 or less, stores 50
// and 5 into the caller's SamplingFrequency and CutOffFrequency first. Returns -1 when
// the file cannot be created.
int OpenDsvFile(DsvConverter* conv, DsvConfig* config, const char* path);
// The same on a file the caller created; the converter closes it.
void OpenDsvStream(DsvConverter* conv, DsvConfig* config, std::FILE* file);

// Takes one sample; writes its row unless the resample rule skips it. A ResampleCount
// of 1 or less keeps every sample. Returns 0, or -1 once the table could not be written.
int WriteDsvRecord(DsvConverter* conv, const SampleRecord* rec);

// The first stage: false when the resample rule skips the sample (nothing changes but
// the resample cycle); otherwise advances the filters and fills *kept.
bool AdvanceDsvRecord(DsvConverter* conv, const SampleRecord* rec, KeptSample* kept);

// The second stage: writes the row of a kept sample. Returns 0, or -1 once the table
// could not be written.
int EmitDsvRow(DsvConverter* conv, const KeptSample& kept);

// Closes the table; -1 when a write or the close failed (errno-style code in
// conv->out.Error()).
int CloseDsvFile(DsvConverter* conv);

// The header's first ten names, which every table begins with.
inline constexpr char kDsvFixedHeader[] =
    "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega";

#endif
