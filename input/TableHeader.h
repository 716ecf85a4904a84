// How a kinrec table begins: the rule that tells kinrec's own tables from recordings,
// for the readers and the writer alike.
#ifndef KINREC_TABLE_HEADER_H
#define KINREC_TABLE_HEADER_H

#include <cstring>

namespace kinrec::detail {

// The header's first ten names, which every table begins with.
inline constexpr char kDsvFixedHeader[] =
    "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega";

// Whether a line begins with those names: the first line of a kinrec table, whatever the
// file is called.
inline bool BeginsWithTableHeader(const char* line) {
    return std::strncmp(line, kDsvFixedHeader, sizeof kDsvFixedHeader - 1) == 0;
}

} // namespace kinrec::detail

#endif
