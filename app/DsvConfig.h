// The run's settings and the configuration files that overlay their defaults.
//
// A configuration file holds one key and one value a line, separated by spaces; keys are
// matched without regard to case, values read as decimal integers (atoi), lines starting
// with "#" are comments. Every recognised setting is echoed on standard output.
#ifndef KINREC_DSV_CONFIG_H
#define KINREC_DSV_CONFIG_H

#include <cstdint>
#include <string>

struct DsvConfig {
    std::int32_t FileType;           // 1, 2, 3: CSV layouts; 4: binary dataset; else as 1
    std::int32_t ResampleCount;      // keep every Nth sample; 1 or less keeps all
    std::int32_t SamplingFrequency;  // [Hz] for the low-pass filters
    std::int32_t CutOffFrequency;    // [Hz] low-pass cut-off
    std::int32_t FallStartThreshold; // [0.01 g] fall counter threshold on lpf_acc
    std::int32_t FallCounterOut;     // non-zero: fall_counter column (no key)
    std::int32_t PostureOut;         // non-zero: roll, pitch, yaw columns (no key)
    std::int32_t RmsDiffOut;         // non-zero: acc_diff, omega_diff columns
    std::int32_t PostureDiffOut;     // non-zero: roll_diff, pitch_diff, yaw_diff columns
};

// The defaults: FileType 1, ResampleCount 0, 50 Hz, 5 Hz, threshold 60, all columns on.
int InitConfig(DsvConfig* cfg);
// Loads the file beside the executable, then "kinrec.cnf" in the current directory.
int LoadConfig(DsvConfig* cfg);
// Loads one file: 0 when it was read, -1 (silently) when it could not be opened.
int LoadConfigFile(const char* path, DsvConfig* cfg);

// The configuration file that belongs to an executable: its extension replaced by
// "cnf", or ".cnf" appended to a file name without extension.
std::string ConfigPathFor(const std::string& executablePath);

#endif
