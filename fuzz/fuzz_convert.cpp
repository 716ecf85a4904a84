// A whole conversion: the first 24 bytes choose the settings, the rest is the input
// file, converted as CSV or dataset by FileType on a fresh gyro bias count (so the
// rising-count path is taken every time). The input must stay unchanged and the table
// must be a header and integer rows.
#include "FuzzSupport.h"
#include "app/Convert.h"

#include <climits>
#include <cstring>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

std::int32_t Setting(const std::uint8_t* p) {
    // Mostly small values, sometimes the extremes.
    const std::int32_t extremes[] = {INT32_MIN, -1, 0, 1, INT32_MAX, 2, 3, 4};
    if ((p[0] & 0x80) != 0) {
        return extremes[p[0] & 7];
    }
    std::uint32_t u = 0;
    std::memcpy(&u, p, 4);
    return static_cast<std::int32_t>(u % 401) - 100;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 24) {
        return 0;
    }
    Settings cfg;
    cfg.FileType = static_cast<std::int32_t>(data[0] % 5);
    cfg.ResampleCount = Setting(data + 4);
    cfg.SamplingFrequency = Setting(data + 8);
    cfg.CutOffFrequency = Setting(data + 12);
    cfg.FallStartThreshold = Setting(data + 16);
    cfg.RmsDiffOut = data[20] & 1;
    cfg.PostureDiffOut = data[21] & 1;
    const std::string in = fuzz::Scratch() + ((data[1] & 1) != 0 ? "/in.bin" : "/in.csv");
    const std::string out = fuzz::Scratch() + "/in_DSV.csv";
    std::remove(out.c_str());
    fuzz::WriteBytes(in, data + 24, size - 24);
    std::int32_t biasCount = 0;
    const kinrec::Failure status = ConvertFile(in.c_str(), nullptr, &cfg, &biasCount);
    if (fuzz::ReadBytes(in) != std::string(reinterpret_cast<const char*>(data + 24), size - 24)) {
        std::abort();
    }
    if (status == kinrec::Failure::kNone) {
        const std::string table = fuzz::ReadBytes(out);
        if (table.compare(0, 5, "accX,") != 0 || table.back() != '\n') {
            std::abort();
        }
        for (std::size_t i = table.find('\n') + 1; i < table.size(); ++i) {
            const char c = table[i];
            if (!((c >= '0' && c <= '9') || c == '-' || c == ',' || c == '\n')) {
                std::abort();
            }
        }
    }
    std::remove(in.c_str());
    return 0;
}
