#include "features/DsvConverter.h"

#include "Include/IntConv.h"
#include "features/Orientation.h"

#include <cstring>

namespace kinrec::detail {

namespace {

constexpr double kTimeStep = 0.02; // [s] per kept sample, whatever the sampling rate

// The row's values, in column order.
enum Value {
    kAccX,
    kAccY,
    kAccZ,
    kGyroX,
    kGyroY,
    kGyroZ,
    kLpfAcc,
    kRawAcc,
    kLpfOmega,
    kRawOmega,
    kFallCounter,
    kRoll,
    kPitch,
    kYaw,
    kAccDiff,
    kOmegaDiff,
    kRollDiff,
    kPitchDiff,
    kYawDiff,
};

// The one description of the table's layout, for the header and the rows alike: each
// column's name and the switch of its group (null for the ten columns always written).
struct Column {
    const char* name;
    std::int32_t Settings::*on;
};

const Column kColumns[kMaxColumns] = {
    {"accX", nullptr},
    {"accY", nullptr},
    {"accZ", nullptr},
    {"gyroX", nullptr},
    {"gyroY", nullptr},
    {"gyroZ", nullptr},
    {"lpf_acc", nullptr},
    {"raw_acc", nullptr},
    {"lpf_omega", nullptr},
    {"raw_omega", nullptr},
    {"fall_counter", &Settings::FallCounterOut},
    {"roll", &Settings::PostureOut},
    {"pitch", &Settings::PostureOut},
    {"yaw", &Settings::PostureOut},
    {"acc_diff", &Settings::RmsDiffOut},
    {"omega_diff", &Settings::RmsDiffOut},
    {"roll_diff", &Settings::PostureDiffOut},
    {"pitch_diff", &Settings::PostureDiffOut},
    {"yaw_diff", &Settings::PostureDiffOut},
};

void SetUpColumns(DsvConverter* conv, const Settings& cfg) {
    conv->columnCount = ChooseColumns(cfg, conv->columns, conv->names);
}

// Advances the resample cycle and tells whether this sample is kept: with N >= 2 the
// 1st, (N+1)th, (2N+1)th ... samples are. The counter cycles through 1..N rather than
// growing, so it never overflows.
bool AdvanceResampleCycle(DsvConverter* conv) {
    const std::int32_t n = conv->config.ResampleCount;
    if (n <= 1) {
        return true;
    }
    conv->resampleCounter = conv->resampleCounter >= n ? 1 : conv->resampleCounter + 1;
    return conv->resampleCounter == 1;
}

struct Scaled {
    float ax, ay, az; // [g]
    float gx, gy, gz; // [deg/s]
};

Scaled Scale(const SampleRecord& rec) {
    return Scaled{static_cast<float>(rec.accX) / kCountsPerG,
                  static_cast<float>(rec.accY) / kCountsPerG,
                  static_cast<float>(rec.accZ) / kCountsPerG,
                  static_cast<float>(rec.gyroX) / kCountsPerDps,
                  static_cast<float>(rec.gyroY) / kCountsPerDps,
                  static_cast<float>(rec.gyroZ) / kCountsPerDps};
}

} // namespace

namespace {

void SetUp(DsvConverter* conv, const Settings* config, std::int32_t* biasCount) {
    *conv = DsvConverter{};
    conv->config = *config;
    Settings& cfg = conv->config;
    if (cfg.SamplingFrequency <= 0) {
        cfg.SamplingFrequency = 50;
        cfg.CutOffFrequency = 5;
    }
    AttitudeInit(&conv->attitude, biasCount);
    for (Lpf& f : conv->lpf) {
        LpfInit(&f, cfg.SamplingFrequency, cfg.CutOffFrequency);
    }
}

} // namespace

int ChooseColumns(const Settings& cfg, std::int8_t columns[kMaxColumns],
                  const char* names[kMaxColumns]) {
    int n = 0;
    for (int c = 0; c < kMaxColumns; ++c) {
        const Column& col = kColumns[c];
        if (col.on != nullptr && cfg.*col.on == 0) {
            continue;
        }
        names[n] = col.name;
        columns[n++] = static_cast<std::int8_t>(c);
    }
    return n;
}

void OpenDsvConverter(DsvConverter* conv, const Settings* config, std::int32_t* biasCount,
                      RowSink* sink) {
    SetUp(conv, config, biasCount);
    conv->sink = sink;
    SetUpColumns(conv, conv->config);
}

int OpenDsvFile(DsvConverter* conv, const Settings* config, std::int32_t* biasCount,
                const char* path) {
    SetUp(conv, config, biasCount);
    if (!conv->file.Open(path)) {
        return -1;
    }
    conv->sink = &conv->file;
    SetUpColumns(conv, conv->config);
    conv->file.Header(conv->names, conv->columnCount);
    return 0;
}

bool AdvanceDsvRecord(DsvConverter* conv, const SampleRecord* rec, KeptSample* kept) {
    const std::int64_t sample = conv->samples++;
    if (!AdvanceResampleCycle(conv)) {
        return false;
    }
    const Scaled s = Scale(*rec);
    float* f = conv->latest;
    LpfUpdate(&conv->lpf[0], s.ax, &f[0]);
    LpfUpdate(&conv->lpf[1], s.ay, &f[1]);
    LpfUpdate(&conv->lpf[2], s.az, &f[2]);
    LpfUpdate(&conv->lpf[3], s.gx, &f[3]);
    LpfUpdate(&conv->lpf[4], s.gy, &f[4]);
    LpfUpdate(&conv->lpf[5], s.gz, &f[5]);

    const double gyro[3] = {f[3], f[4], f[5]};
    const double accl[3] = {f[0], f[1], f[2]};
    const double magn[3] = {0.0, 0.0, 0.0};
    AttitudeAdvance(&conv->attitude, gyro, accl, magn, kTimeStep);
    const Quaternion& q = *conv->attitude.Q;

    kept->raw = *rec;
    kept->s[0] = s.ax;
    kept->s[1] = s.ay;
    kept->s[2] = s.az;
    kept->s[3] = s.gx;
    kept->s[4] = s.gy;
    kept->s[5] = s.gz;
    std::memcpy(kept->f, f, sizeof kept->f);
    kept->q[0] = q.w;
    kept->q[1] = q.v[0];
    kept->q[2] = q.v[1];
    kept->q[3] = q.v[2];
    kept->sample = sample;
    return true;
}

int EmitDsvRow(DsvConverter* conv, const KeptSample& kept) {
    const SampleRecord& rec = kept.raw;
    const float* s = kept.s;
    const float* f = kept.f;
    std::int32_t v[kMaxColumns];
    v[kAccX] = rec.accX;
    v[kAccY] = rec.accY;
    v[kAccZ] = rec.accZ;
    v[kGyroX] = rec.gyroX;
    v[kGyroY] = rec.gyroY;
    v[kGyroZ] = rec.gyroZ;
    v[kLpfAcc] = TruncToInt32(Magnitude(f[0], f[1], f[2]) * 100.0f);
    v[kRawAcc] = TruncToInt32(Magnitude(s[0], s[1], s[2]) * 100.0f);
    const auto bin = static_cast<std::uint32_t>(v[kRawAcc]);
    ++conv->rawAccRows[bin < kRawAccBins ? bin : kRawAccBins - 1];
    v[kLpfOmega] = TruncToInt32(Magnitude(f[3], f[4], f[5]));
    v[kRawOmega] = TruncToInt32(Magnitude(s[3], s[4], s[5]));

    const Angles a = AnglesFromQuaternion(kept.q[0], kept.q[1], kept.q[2], kept.q[3]);
    v[kRoll] = a.roll;
    v[kPitch] = a.pitch;
    v[kYaw] = a.yaw;

    const std::int32_t ringValue[kRingCount] = {v[kLpfAcc], v[kLpfOmega], a.roll, a.pitch, a.yaw};
    const int ringDiff[kRingCount] = {kAccDiff, kOmegaDiff, kRollDiff, kPitchDiff, kYawDiff};
    const int i = conv->historyIndex;
    const int prev = (i + kHistorySize - 1) & (kHistorySize - 1);
    for (int r = 0; r < kRingCount; ++r) {
        conv->history[r][i] = ringValue[r];
        v[ringDiff[r]] = WrapSub(ringValue[r], conv->history[r][prev]);
    }
    conv->historyIndex = (i + 1) & (kHistorySize - 1);

    conv->fallCounter =
        v[kLpfAcc] > conv->config.FallStartThreshold ? 0 : WrapAdd(conv->fallCounter, 1);
    v[kFallCounter] = conv->fallCounter;

    if (conv->columnCount == kMaxColumns) {
        // Every column: the values are in table order already.
        conv->sink->Row(v, kMaxColumns, kept.sample);
    } else {
        std::int32_t row[kMaxColumns];
        for (int c = 0; c < conv->columnCount; ++c) {
            row[c] = v[conv->columns[c]];
        }
        conv->sink->Row(row, conv->columnCount, kept.sample);
    }
    return conv->sink->Good() ? 0 : -1;
}

int WriteDsvRecord(DsvConverter* conv, const SampleRecord* rec) {
    KeptSample kept;
    if (!AdvanceDsvRecord(conv, rec, &kept)) {
        return conv->sink->Good() ? 0 : -1;
    }
    return EmitDsvRow(conv, kept);
}

double MedianRawAcc(const DsvConverter& conv) {
    std::int64_t rows = 0;
    for (const std::int64_t n : conv.rawAccRows) {
        rows += n;
    }
    if (rows < kRestRows) {
        return 0; // too short to tell
    }
    std::int64_t seen = 0;
    for (int b = 0; b < kRawAccBins; ++b) {
        seen += conv.rawAccRows[b];
        if (seen * 2 >= rows) {
            return (b + 0.5) / 100;
        }
    }
    return 0;
}

int CloseDsvFile(DsvConverter* conv) {
    if (conv->sink != &conv->file) {
        return 0;
    }
    return conv->file.Close() ? 0 : -1;
}

} // namespace kinrec::detail
