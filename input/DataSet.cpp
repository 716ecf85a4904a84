#include "input/DataSet.h"

#include "Include/IntConv.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace kinrec::detail {

const char kDataSetMagic[18] = "QM DataSet V1.0.0";

namespace {

constexpr std::size_t kMagicField = 20;
constexpr std::size_t kHeader = 24;
constexpr std::size_t kRecord = 12;

std::int16_t Int16At(const unsigned char* p) {
    return WrapInt16(static_cast<std::uint32_t>(p[0] | (p[1] << 8)));
}

std::int32_t Int32At(const unsigned char* p) {
    const std::uint32_t u =
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return FromUint32(u);
}

void Decode(const unsigned char* p, SampleRecord* rec) {
    rec->accX = Int16At(p);
    rec->accY = Int16At(p + 2);
    rec->accZ = Int16At(p + 4);
    rec->gyroX = Int16At(p + 6);
    rec->gyroY = Int16At(p + 8);
    rec->gyroZ = Int16At(p + 10);
}

} // namespace

DataSet* OpenDataSet(const char* path, int* error) {
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        if (error != nullptr) {
            *error = errno != 0 ? errno : EIO;
        }
        return nullptr;
    }
    return OpenDataSet(file, error);
}

DataSet* OpenDataSet(std::FILE* file, int* error) {
    int ignored = 0;
    int* err = error != nullptr ? error : &ignored;
    *err = 0;
    DataSet* ds = new (std::nothrow) DataSet;
    if (ds == nullptr) {
        (void)std::fclose(file); // opened for reading: nothing to lose
        *err = ENOMEM;
        return nullptr;
    }
    ds->file = file;
    ds->pos = 0;
    ds->end = 0;
    ds->error = 0;
    unsigned char header[kHeader];
    errno = 0;
    const bool whole = std::fread(header, 1, kHeader, ds->file) == kHeader;
    if (!whole && std::ferror(ds->file) != 0) {
        *err = errno != 0 ? errno : EIO; // the header could not be read: say so, not "no dataset"
    }
    const bool ok = whole && std::memcmp(header, kDataSetMagic, sizeof kDataSetMagic) == 0;
    static_assert(sizeof kDataSetMagic <= kMagicField, "the magic lies within its field");
    const std::int32_t offset = ok ? Int32At(header + kMagicField) : -1;
    errno = 0;
    if (offset >= 0 && std::fseek(ds->file, static_cast<long>(offset), SEEK_SET) != 0) {
        *err = errno != 0 ? errno : EIO;
        CloseDataSet(ds);
        return nullptr;
    }
    if (offset < 0) {
        CloseDataSet(ds);
        return nullptr;
    }
    return ds;
}

int ReadDataSet(DataSet* ds, SampleRecord* records, int count) {
    int n = 0;
    while (n < count) {
        if (ds->end - ds->pos < kRecord) {
            const std::size_t rest = ds->end - ds->pos;
            std::memmove(ds->buf, ds->buf + ds->pos, rest);
            ds->pos = 0;
            ds->end = rest;
            if (ds->error != 0) {
                break;
            }
            const std::size_t want = sizeof ds->buf - rest;
            errno = 0;
            const std::size_t got = std::fread(ds->buf + rest, 1, want, ds->file);
            if (got < want && std::ferror(ds->file) != 0) {
                ds->error = errno != 0 ? errno : EIO;
            }
            ds->end += got;
            if (ds->end < kRecord) {
                break;
            }
        }
        Decode(ds->buf + ds->pos, &records[n]);
        ds->pos += kRecord;
        ++n;
    }
    return n;
}

void CloseDataSet(DataSet* ds) {
    if (ds == nullptr) {
        return;
    }
    if (ds->file != nullptr) {
        (void)std::fclose(ds->file); // opened for reading: nothing to lose
    }
    delete ds;
}

} // namespace kinrec::detail
