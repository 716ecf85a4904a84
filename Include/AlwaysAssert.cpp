#include "Include/AlwaysAssert.h"

#include <cstdio>
#include <cstdlib>

namespace kinrec {

void AssertFail(const char* expr, const char* file, int line, const char* func) {
    // Best effort on the way down: there is nothing to do if the report cannot be written.
    (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "%s:%d: %s: Assertion `%s' failed.\n", file, line, func, expr);
    (void)std::fflush(stderr);
    std::abort();
}

} // namespace kinrec
