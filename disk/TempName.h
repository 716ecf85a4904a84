// The names of temporary files: a file is written under one beside its final name and
// moved onto that name only when complete.
#ifndef KINREC_TEMP_NAME_H
#define KINREC_TEMP_NAME_H

#include <string>

namespace kinrec::detail {

// "<target>.kinrec-tmp-<pid>-<n>", with as much of the target's name as lets the whole
// name fit where the target's own name fits. Such a name never ends in ".csv" or
// ".bin", so a walk never takes it as an input. A process tries n = 1, 2, ... and
// creates the first that is free (another thread or a killed run may hold one).
std::string TemporaryName(const std::string& target, int n);

} // namespace kinrec::detail

#endif
