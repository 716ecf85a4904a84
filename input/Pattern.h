// Name patterns of the directory search: "*" matches any run of characters (none
// included), "?" exactly one; every other character matches itself, case-sensitively.
#ifndef KINREC_PATTERN_H
#define KINREC_PATTERN_H

#include <string_view>

namespace kinrec::detail {

bool MatchPattern(std::string_view pattern, std::string_view name);

} // namespace kinrec::detail

#endif
