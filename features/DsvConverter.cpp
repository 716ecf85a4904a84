#include "features/DsvConverter.h"

#include "Include/IntConv.h"
#include "features/Orientation.h"

namespace {

constexpr double kTimeStep = 0.02; // [s] per kept sample, whatever the sampling rate

const char* const kHeaderPieces[] = {
    "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega",
    ", fall_counter",
    ", roll, pitch, yaw",
    ", acc_diff, omega_diff",
    ", roll_diff, pitch_diff, yaw_diff",
};

void WriteHeader(DsvOutput& out, const DsvConfig& cfg) {
    out.PutText(kHeaderPieces[0]);
    if (cfg.FallCounterOut != 0) {
        out.PutText(kHeaderPieces[1]);
    }
    if (cfg.PostureOut != 0) {
        out.PutText(kHeaderPieces[2]);
    }
    if (cfg.RmsDiffOut != 0) {
        out.PutText(kHeaderPieces[3]);
    }
    if (cfg.PostureDiffOut != 0) {
        out.PutText(kHeaderPieces[4]);
    }
    out.PutText("\n");
}

// Resample rule: with N >= 2 the 1st, (N+1)th, (2N+1)th ... samples are kept. The
// counter cycles through 1..N rather than growing, so it never overflows.
bool Kept(DsvConverter* conv) {
    const std::int32_t n = conv->config.ResampleCount;
    if (n <= 1) {
        return true;
    }
    conv->resampleCounter = conv->resampleCounter >= n ? 1 : conv->resampleCounter + 1;
    return conv->resampleCounter == 1;
}

} // namespace

int OpenDsvFile(DsvConverter* conv, DsvConfig* config, const char* path) {
    *conv = DsvConverter{};
    conv->config = *config;
    AttitudeInit(&conv->attitude);
    if (config->SamplingFrequency <= 0) {
        config->SamplingFrequency = 50;
        config->CutOffFrequency = 5;
    }
    for (Lpf& f : conv->lpf) {
        LpfInit(&f, config->SamplingFrequency, config->CutOffFrequency);
    }
    if (!conv->out.Open(path)) {
        return -1;
    }
    WriteHeader(conv->out, *config);
    return 0;
}

int WriteDsvRecord(DsvConverter* conv, const SampleRecord* rec) {
    if (!Kept(conv)) {
        return 0;
    }
    const float ax = static_cast<float>(rec->accX) / kCountsPerG;
    const float ay = static_cast<float>(rec->accY) / kCountsPerG;
    const float az = static_cast<float>(rec->accZ) / kCountsPerG;
    const float gx = static_cast<float>(rec->gyroX) / kCountsPerDps;
    const float gy = static_cast<float>(rec->gyroY) / kCountsPerDps;
    const float gz = static_cast<float>(rec->gyroZ) / kCountsPerDps;

    float* f = conv->latest;
    LpfUpdate(&conv->lpf[0], ax, &f[0]);
    LpfUpdate(&conv->lpf[1], ay, &f[1]);
    LpfUpdate(&conv->lpf[2], az, &f[2]);
    const std::int32_t lpfAcc = TruncToInt32(Magnitude(f[0], f[1], f[2]) * 100.0f);
    const std::int32_t rawAcc = TruncToInt32(Magnitude(ax, ay, az) * 100.0f);

    LpfUpdate(&conv->lpf[3], gx, &f[3]);
    LpfUpdate(&conv->lpf[4], gy, &f[4]);
    LpfUpdate(&conv->lpf[5], gz, &f[5]);
    const std::int32_t lpfOmega = TruncToInt32(Magnitude(f[3], f[4], f[5]));
    const std::int32_t rawOmega = TruncToInt32(Magnitude(gx, gy, gz));

    const double gyro[3] = {f[3], f[4], f[5]};
    const double accl[3] = {f[0], f[1], f[2]};
    const double magn[3] = {0.0, 0.0, 0.0};
    AttitudeAdvance(&conv->attitude, gyro, accl, magn, kTimeStep);
    const Quaternion& q = *conv->attitude.Q;
    const Angles a = AnglesFromQuaternion(q.w, q.v[0], q.v[1], q.v[2]);

    const std::int32_t values[kRingCount] = {lpfAcc, lpfOmega, a.roll, a.pitch, a.yaw};
    std::int32_t diff[kRingCount];
    const int i = conv->historyIndex;
    const int prev = (i + kHistorySize - 1) % kHistorySize;
    for (int r = 0; r < kRingCount; ++r) {
        conv->history[r][i] = values[r];
        diff[r] = WrapSub(values[r], conv->history[r][prev]);
    }
    conv->historyIndex = (i + 1) % kHistorySize;

    conv->fallCounter =
        lpfAcc > conv->config.FallStartThreshold ? 0 : WrapAdd(conv->fallCounter, 1);

    const DsvConfig& cfg = conv->config;
    DsvOutput& out = conv->out;
    char* p = out.BeginRow();
    p = DsvOutput::PutInt(p, rec->accX);
    p = DsvOutput::PutField(p, rec->accY);
    p = DsvOutput::PutField(p, rec->accZ);
    p = DsvOutput::PutField(p, rec->gyroX);
    p = DsvOutput::PutField(p, rec->gyroY);
    p = DsvOutput::PutField(p, rec->gyroZ);
    p = DsvOutput::PutField(p, lpfAcc);
    p = DsvOutput::PutField(p, rawAcc);
    p = DsvOutput::PutField(p, lpfOmega);
    p = DsvOutput::PutField(p, rawOmega);
    if (cfg.FallCounterOut != 0) {
        p = DsvOutput::PutField(p, conv->fallCounter);
    }
    if (cfg.PostureOut != 0) {
        p = DsvOutput::PutField(p, a.roll);
        p = DsvOutput::PutField(p, a.pitch);
        p = DsvOutput::PutField(p, a.yaw);
    }
    if (cfg.RmsDiffOut != 0) {
        p = DsvOutput::PutField(p, diff[kRingLpfAcc]);
        p = DsvOutput::PutField(p, diff[kRingLpfOmega]);
    }
    if (cfg.PostureDiffOut != 0) {
        p = DsvOutput::PutField(p, diff[kRingRoll]);
        p = DsvOutput::PutField(p, diff[kRingPitch]);
        p = DsvOutput::PutField(p, diff[kRingYaw]);
    }
    *p++ = '\n';
    out.EndRow(p);
    return out.Failed() ? -1 : 0;
}

int CloseDsvFile(DsvConverter* conv) {
    return conv->out.Close() ? 0 : -1;
}
