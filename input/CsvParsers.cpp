#include "input/CsvParsers.h"

#include "Include/IntConv.h"
#include "input/NumberText.h"

namespace {

constexpr double kPhysAccFactor = 8192.0;
constexpr double kPhysGyroFactor = 65.53600311279297; // the float 65.536, widened

// Splits off up to n fields, each terminated in place; returns how many were found.
int SplitFields(char* line, char** fields, int n) {
    int found = 0;
    char* p = line;
    while (found < n) {
        while (*p == ',') {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        fields[found++] = p;
        while (*p != ',' && *p != '\0') {
            ++p;
        }
        if (*p == ',') {
            *p++ = '\0';
        }
    }
    return found;
}

std::int16_t CountsField(const char* text) {
    return WrapInt16(ParseInt(text));
}

std::int16_t PhysicalField(const char* text, double factor) {
    return WrapInt16(TruncToInt32(ParseDouble(text) * factor));
}

std::int16_t HundredsField(const char* text) {
    const std::int32_t counts = CountsField(text);
    return WrapInt16(counts * 100);
}

void Store(SampleRecord* rec, const std::int16_t v[6]) {
    rec->accX = v[0];
    rec->accY = v[1];
    rec->accZ = v[2];
    rec->gyroX = v[3];
    rec->gyroY = v[4];
    rec->gyroZ = v[5];
}

} // namespace

int ParseCsvCounts(char* line, SampleRecord* rec) {
    char* f[7];
    if (SplitFields(line, f, 7) < 7) {
        return -1;
    }
    std::int16_t v[6];
    for (int i = 0; i < 6; ++i) {
        v[i] = CountsField(f[i + 1]);
    }
    Store(rec, v);
    return 0;
}

int ParseCsvPhysical(char* line, SampleRecord* rec) {
    char* f[8];
    if (SplitFields(line, f, 8) < 8) {
        return -1;
    }
    std::int16_t v[6];
    for (int i = 0; i < 3; ++i) {
        v[i] = PhysicalField(f[i + 2], kPhysAccFactor);
        v[i + 3] = PhysicalField(f[i + 5], kPhysGyroFactor);
    }
    Store(rec, v);
    return 0;
}

int ParseCsvCounts100(char* line, SampleRecord* rec) {
    char* f[7];
    if (SplitFields(line, f, 7) < 7) {
        return -1;
    }
    std::int16_t v[6];
    for (int i = 0; i < 6; ++i) {
        v[i] = HundredsField(f[i + 1]);
    }
    Store(rec, v);
    return 0;
}

CsvLineParser CsvParserFor(int fileType) {
    switch (fileType) {
    case 2:
        return ParseCsvPhysical;
    case 3:
        return ParseCsvCounts100;
    default:
        return ParseCsvCounts;
    }
}
