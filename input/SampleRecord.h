// One reading of the sensor's six channels in raw counts; also the 12-byte record of
// the binary dataset file (six little-endian int16, no padding).
//
// Units: acceleration 8192 counts per g; angular rate 65.536 counts per deg/s.
#ifndef KINREC_SAMPLE_RECORD_H
#define KINREC_SAMPLE_RECORD_H

#include <cstdint>

namespace kinrec::detail {

struct SampleRecord {
    std::int16_t accX;  // [counts, 8192 per g]
    std::int16_t accY;  // [counts, 8192 per g]
    std::int16_t accZ;  // [counts, 8192 per g]
    std::int16_t gyroX; // [counts, 65.536 per deg/s]
    std::int16_t gyroY; // [counts, 65.536 per deg/s]
    std::int16_t gyroZ; // [counts, 65.536 per deg/s]
};

static_assert(sizeof(SampleRecord) == 12, "SampleRecord is a 12-byte file record");

constexpr float kCountsPerG = 8192.0f;
constexpr float kCountsPerDps = 65.536f; // 65.53600311279297 as a double

// The low 16 bits of v as a signed value (two's-complement wrap).
constexpr std::int16_t WrapInt16(std::uint32_t v) {
    const std::uint32_t low = v & 0xFFFFu;
    return static_cast<std::int16_t>(low < 0x8000u ? static_cast<std::int32_t>(low)
                                                   : static_cast<std::int32_t>(low) - 0x10000);
}

constexpr std::int16_t WrapInt16(std::int32_t v) {
    return WrapInt16(static_cast<std::uint32_t>(v));
}

// Whether a is larger than b by magnitude (a count before its wrap, at most 64 bits of
// 32-bit values, so the negation cannot overflow).
constexpr bool LargerMagnitude(std::int64_t a, std::int64_t b) {
    return (a < 0 ? -a : a) > (b < 0 ? -b : b);
}

} // namespace kinrec::detail

#endif
