// The library's face (Include/public/kinrec.h) over the pipeline.
#include "kinrec.h"

#include "features/DsvConfig.h"
#include "features/DsvConverter.h"
#include "features/MemorySink.h"
#include "input/SampleSource.h"

#include <memory>
#include <system_error>

#ifndef KINREC_VERSION
#define KINREC_VERSION "unknown"
#endif

namespace kinrec {

using namespace detail;

namespace {

// Every sample of source through the pipeline into a table.
Table Convert(SampleSource& source, const Settings& settings, Run* run, std::size_t samples = 0) {
    if (run != nullptr && !ValidBiasCount(run->biasCount)) {
        throw Error("Run bias count must be 0 to " + std::to_string(kBiasCountLimit) + ", not " +
                    std::to_string(run->biasCount));
    }
    const DsvConfig& cfg = settings;
    std::int32_t fresh = 0;
    std::int32_t* count = run != nullptr ? &run->biasCount : &fresh;
    MemorySink sink;
    const std::size_t step =
        settings.ResampleCount > 1 ? static_cast<std::size_t>(settings.ResampleCount) : 1;
    auto conv = std::make_unique<DsvConverter>();
    OpenDsvConverter(conv.get(), &cfg, count, &sink);
    sink.Reserve(samples / step + 1);
    SampleRecord rec{};
    while (source.Next(&rec)) {
        WriteDsvRecord(conv.get(), &rec);
    }
    Table t;
    t.names = std::move(sink.names);
    t.columns = std::move(sink.columns);
    t.samples = std::move(sink.samples);
    return t;
}

template <class T>
std::size_t Check(const Recording<T>& rec) {
    static const char* const kNames[6] = {"accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ"};
    const Channel<T>* ch[6] = {&rec.accX, &rec.accY, &rec.accZ, &rec.gyroX, &rec.gyroY, &rec.gyroZ};
    for (int c = 0; c < 6; ++c) {
        if (ch[c]->data == nullptr && ch[c]->size > 0) {
            throw Error(std::string("channel ") + kNames[c] + " has no data");
        }
        if (ch[c]->size != ch[0]->size) {
            throw Error(std::string("channels of unequal length: accX has ") +
                        std::to_string(ch[0]->size) + " samples, " + kNames[c] + " " +
                        std::to_string(ch[c]->size));
        }
    }
    return ch[0]->size;
}

} // namespace

FileError::FileError(const std::string& path, int code, const std::string& reason)
    : std::runtime_error(path + ": " + reason), path_(path), reason_(reason), code_(code) {}

std::int32_t BiasCountLimit() {
    return kBiasCountLimit;
}

const std::vector<SettingInfo>& SettingTable() {
    static const std::vector<SettingInfo> table = {
#define KINREC_SETTING_INFO(field, key, keyword, initial, meaning)                                 \
    {#field, key, keyword, &Settings::field, initial, meaning},
        KINREC_SETTINGS(KINREC_SETTING_INFO)
#undef KINREC_SETTING_INFO
    };
    return table;
}

bool ValidBiasCount(std::int64_t count) {
    return count >= 0 && count <= kBiasCountLimit;
}

Table FromCounts(const Recording<std::int16_t>& rec, const Settings& settings, Run* run) {
    const std::size_t n = Check(rec);
    const std::int16_t* const ch[6] = {rec.accX.data,  rec.accY.data,  rec.accZ.data,
                                       rec.gyroX.data, rec.gyroY.data, rec.gyroZ.data};
    CountsSource source(ch, n);
    return Convert(source, settings, run, n);
}

Table FromPhysical(const Recording<double>& rec, const Settings& settings, Run* run) {
    const std::size_t n = Check(rec);
    const double* const ch[6] = {rec.accX.data,  rec.accY.data,  rec.accZ.data,
                                 rec.gyroX.data, rec.gyroY.data, rec.gyroZ.data};
    PhysicalSource source(ch, n);
    return Convert(source, settings, run, n);
}

Table FromFile(const std::string& path, const Settings& settings, Run* run) {
    if (settings.FileType < 1 || settings.FileType > 4) {
        throw Error("FileType " + std::to_string(settings.FileType) +
                    " is not one of 1 (counts), 2 (g, deg/s), 3 (hundreds of counts), "
                    "4 (dataset)");
    }
    int err = 0;
    std::unique_ptr<SampleSource> source = OpenSampleFile(path.c_str(), settings.FileType, &err);
    if (source == nullptr) {
        throw FileError(path, err,
                        err != 0 ? std::generic_category().message(err) : "not a dataset file");
    }
    if (auto* csv = dynamic_cast<CsvSource*>(source.get())) {
        const char* first = csv->FirstLine();
        if (first != nullptr && BeginsWithTableHeader(first)) {
            throw FileError(path, 0, "is a kinrec table, not a recording");
        }
    }
    Table t = Convert(*source, settings, run);
    if (source->Error() != 0) {
        throw FileError(path, source->Error(), std::generic_category().message(source->Error()));
    }
    return t;
}

std::int16_t AccCounts(double g) {
    return PhysicalToCounts(g, kPhysAccFactor);
}

std::int16_t GyroCounts(double degPerSecond) {
    return PhysicalToCounts(degPerSecond, kPhysGyroFactor);
}

const char* Version() {
    return KINREC_VERSION;
}

} // namespace kinrec
