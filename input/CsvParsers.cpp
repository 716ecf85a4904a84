#include "input/CsvParsers.h"

#include "Include/IntConv.h"
#include "input/NumberText.h"

namespace kinrec::detail {

namespace {

struct Field {
    const char* begin;
    const char* end; // the comma or NUL after the field
};

// The tokenising rule in two steps: runs of commas separate fields and commas at the
// start are passed over, so empty fields do not count.

// Moves p to the start of the next field; false when the line has none left.
bool NextField(const char*& p) {
    while (*p == ',') {
        ++p;
    }
    return *p != '\0';
}

// Moves p past the rest of the current field, to the comma or NUL after it.
void SkipField(const char*& p) {
    while (*p != ',' && *p != '\0') {
        ++p;
    }
}

// Finds up to n fields; returns how many were found. Nothing is written: the number
// rules stop at the comma after a field by themselves.
int SplitFields(const char* line, Field* fields, int n) {
    int found = 0;
    const char* p = line;
    while (found < n && NextField(p)) {
        const char* begin = p;
        SkipField(p);
        fields[found++] = Field{begin, p};
    }
    return found;
}

// A physical value's counts: wrapped, or with clip saturated on the unbounded value
// (not a number: -32768, as below the range); beyond the range noted either way.
template <bool clip>
std::int16_t PhysicalField(const Field& f, double factor, std::int64_t* wrapPeak) {
    const double value = ParseDouble(f.begin, f.end) * factor;
    const std::int32_t counts = TruncToInt32(value);
    NoteWrap(counts, wrapPeak);
    if (clip) {
        return ClipInt16(value);
    }
    return WrapInt16(counts);
}

void Store(SampleRecord* rec, const std::int16_t v[6]) {
    rec->accX = v[0];
    rec->accY = v[1];
    rec->accZ = v[2];
    rec->gyroX = v[3];
    rec->gyroY = v[4];
    rec->gyroZ = v[5];
}

// The value of c as a decimal digit; 10 or more when it is none.
unsigned DigitValue(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
}

// ParseInt's result for a field, with a short cut for what sample lines hold: an
// optional minus and one to five digits, which cannot leave the 32-bit range. Anything
// else (blanks, a plus sign, longer numbers) takes the general rule.
std::int32_t FieldInt(const char*& p) {
    const bool negative = *p == '-';
    const char* q = p + (negative ? 1 : 0);
    unsigned d = DigitValue(*q);
    if (d < 10) {
        std::int32_t v = static_cast<std::int32_t>(d);
        const char* const last = q + 5;
        while (++q < last && (d = DigitValue(*q)) < 10) {
            v = v * 10 + static_cast<std::int32_t>(d);
        }
        if (DigitValue(*q) >= 10) {
            p = q;
            return negative ? -v : v;
        }
    }
    return ParseInt(p, &p);
}

// The integer layouts in one pass: each field's number is read where the field starts,
// then the rest of the field is passed over.
int ParseIntegerFields(const char* line, std::int32_t* v) {
    const char* p = line;
    if (!NextField(p)) {
        return -1;
    }
    SkipField(p);
    for (int i = 0; i < 6; ++i) {
        if (!NextField(p)) {
            return -1;
        }
        v[i] = FieldInt(p);
        SkipField(p);
    }
    return 0;
}

// One value of a plain line at p, after its comma: an optional minus sign and one to
// five digits, followed by a byte that is not a digit. Returns the end; null when the
// value has another shape.
const char* PlainValue(const char* p, std::int32_t* v) {
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    unsigned d = DigitValue(p[0]);
    if (d >= 10) {
        return nullptr;
    }
    auto x = static_cast<std::int32_t>(d);
    int n = 1;
    for (; n < 5 && (d = DigitValue(p[n])) < 10; ++n) {
        x = x * 10 + static_cast<std::int32_t>(d);
    }
    if (n == 5 && DigitValue(p[5]) < 10) {
        return nullptr; // six digits or more
    }
    *v = negative ? -x : x;
    return p + n;
}

// ParsePlainLine, for the batch readers to inline.
inline const char* PlainLine(const char* p, std::int32_t v[6]) {
    // The first column: an optional minus sign, then digits up to the comma.
    if (!IsSampleLine(p)) {
        return nullptr;
    }
    p += *p == '-' ? 1 : 0;
    const char* const last = p + 23;
    while (DigitValue(*p) < 10) {
        if (++p == last) {
            return nullptr;
        }
    }
    for (int i = 0; i < 6; ++i) {
        if (*p != ',') {
            return nullptr;
        }
        p = PlainValue(p + 1, &v[i]);
        if (p == nullptr) {
            return nullptr;
        }
    }
    if (*p == '\n') {
        return p + 1;
    }
    return p[0] == '\r' && p[1] == '\n' ? p + 2 : nullptr;
}

// StoreCounts and StoreCounts100, for the batch readers to inline; with clip, values
// beyond the range saturate at its ends instead of wrapping.
template <bool clip>
inline void CountsValues(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak) {
    // Nearly always every value fits: one test for all six.
    std::uint32_t beyond = 0;
    for (int i = 0; i < 6; ++i) {
        beyond |= static_cast<std::uint32_t>(v[i]) + 0x8000u;
    }
    if (beyond > 0xFFFFu) {
        std::int16_t c[6];
        for (int i = 0; i < 6; ++i) {
            NoteWrap(v[i], wrapPeak);
            c[i] = clip ? ClipInt16(static_cast<double>(v[i])) : WrapInt16(v[i]);
        }
        Store(rec, c);
        return;
    }
    const std::int16_t c[6] = {WrapInt16(v[0]), WrapInt16(v[1]), WrapInt16(v[2]),
                               WrapInt16(v[3]), WrapInt16(v[4]), WrapInt16(v[5])};
    Store(rec, c);
}

template <bool clip>
inline void HundredsValues(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak) {
    std::int16_t c[6];
    for (int i = 0; i < 6; ++i) {
        const std::int64_t wide = static_cast<std::int64_t>(v[i]) * 100;
        NoteWrap(wide, wrapPeak);
        if (clip) {
            c[i] = ClipInt16(static_cast<double>(wide));
            continue;
        }
        const std::int32_t counts = WrapInt16(v[i]);
        c[i] = WrapInt16(counts * 100);
    }
    Store(rec, c);
}

} // namespace

const char* ParsePlainLine(const char* p, std::int32_t v[6]) {
    return PlainLine(p, v);
}

void StoreCounts(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak) {
    CountsValues<false>(v, rec, wrapPeak);
}

void StoreCounts100(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak) {
    HundredsValues<false>(v, rec, wrapPeak);
}

namespace {

template <CountsLayout store>
const char* ReadPlainLines(const char* p, const char* end, SampleRecord* recs, std::size_t max,
                           std::size_t* taken, std::int64_t* wrapPeak) {
    std::size_t n = 0;
    while (n < max && static_cast<std::size_t>(end - p) >= kPlainLineMax) {
        std::int32_t v[6];
        const char* next = PlainLine(p, v);
        if (next == nullptr) {
            break;
        }
        p = next;
        store(v, &recs[n++], wrapPeak);
        if (*wrapPeak != 0) {
            break;
        }
    }
    *taken = n;
    return p;
}

} // namespace

PlainLinesReader PlainLinesReaderFor(int fileType, bool clip) {
    switch (fileType) {
    case 2:
        return nullptr;
    case 3:
        return clip ? ReadPlainLines<HundredsValues<true>> : ReadPlainLines<HundredsValues<false>>;
    default:
        return clip ? ReadPlainLines<CountsValues<true>> : ReadPlainLines<CountsValues<false>>;
    }
}

namespace {

template <bool clip>
int ParseCounts(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    std::int32_t n[6];
    if (ParseIntegerFields(line, n) < 0) {
        return -1;
    }
    CountsValues<clip>(n, rec, wrapPeak);
    return 0;
}

template <bool clip>
int ParsePhysical(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    Field f[8];
    if (SplitFields(line, f, 8) < 8) {
        return -1;
    }
    std::int16_t v[6];
    for (int i = 0; i < 3; ++i) {
        v[i] = PhysicalField<clip>(f[i + 2], kPhysAccFactor, wrapPeak);
        v[i + 3] = PhysicalField<clip>(f[i + 5], kPhysGyroFactor, wrapPeak);
    }
    Store(rec, v);
    return 0;
}

template <bool clip>
int ParseCounts100(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    std::int32_t n[6];
    if (ParseIntegerFields(line, n) < 0) {
        return -1;
    }
    HundredsValues<clip>(n, rec, wrapPeak);
    return 0;
}

} // namespace

int ParseCsvCounts(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    return ParseCounts<false>(line, rec, wrapPeak);
}

int ParseCsvPhysical(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    return ParsePhysical<false>(line, rec, wrapPeak);
}

int ParseCsvCounts100(char* line, SampleRecord* rec, std::int64_t* wrapPeak) {
    return ParseCounts100<false>(line, rec, wrapPeak);
}

std::int16_t PhysicalToCounts(double value, double factor) {
    return WrapInt16(TruncToInt32(value * factor));
}

CsvLineParser CsvParserFor(int fileType, bool clip) {
    switch (fileType) {
    case 2:
        return clip ? ParsePhysical<true> : ParseCsvPhysical;
    case 3:
        return clip ? ParseCounts100<true> : ParseCsvCounts100;
    default:
        return clip ? ParseCounts<true> : ParseCsvCounts;
    }
}

} // namespace kinrec::detail
