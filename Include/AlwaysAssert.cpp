#include "Include/AlwaysAssert.h"

#include "kinrec.h"

#include <string>

namespace kinrec::detail {

void AssertFail(const char* expr, const char* file, int line, const char* func) {
    throw InternalError(std::string(file) + ":" + std::to_string(line) + ": " + func +
                        ": Assertion `" + expr + "' failed.");
}

} // namespace kinrec::detail
