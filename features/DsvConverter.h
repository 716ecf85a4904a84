// The feature pipeline: one input file's samples become the rows of one DSV table.
//
// Per kept sample, in single precision unless said otherwise: counts to g and deg/s,
// six low-pass filters, magnitudes (lpf_acc, raw_acc in 0.01 g; lpf_omega, raw_omega in
// deg/s), one attitude filter step (double precision, time step 0.02 s), roll, pitch and
// yaw in whole degrees, differences against the previous row, the fall counter; then
// the row. Integers are truncated toward zero.
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

// The rings of the history, one per value that is differenced.
enum HistoryRing { kRingLpfAcc, kRingLpfOmega, kRingRoll, kRingPitch, kRingYaw, kRingCount };

struct DsvConverter {
    DsvConfig config;                               // as it stood when the table was opened
    Lpf lpf[6];                                     // acc X, Y, Z, then rate X, Y, Z
    AttitudeFilter attitude;                        // orientation and gyro bias
    std::int32_t resampleCounter;                   // position in the resample cycle
    std::int32_t history[kRingCount][kHistorySize]; // previous rows' values
    std::int32_t historyIndex;                      // slot the next kept sample writes
    std::int32_t fallCounter;                       // [rows] consecutive low rows
    float latest[6];                                // latest filtered value per channel
    DsvOutput out;                                  // the table
};

// Resets the converter, copies the configuration, sets up the filters, creates the
// table and writes its header. When config->SamplingFrequency is 0 or less, stores 50
// and 5 into the caller's SamplingFrequency and CutOffFrequency first. Returns -1 when
// the file cannot be created.
int OpenDsvFile(DsvConverter* conv, DsvConfig* config, const char* path);

// Takes one sample; writes its row unless the resample rule skips it. A ResampleCount
// of 1 or less keeps every sample. Returns 0, or -1 once the table could not be written.
int WriteDsvRecord(DsvConverter* conv, const SampleRecord* rec);

// Closes the table; -1 when a write or the close failed.
int CloseDsvFile(DsvConverter* conv);

#endif
