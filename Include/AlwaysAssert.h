// An assertion that stays in every build type.
//
// A dimension error in the algebra is a programming error; with a plain assert it would
// vanish under NDEBUG and the code after it would read out of bounds. The report has the
// shape of the standard one: source file, line, function and the asserted expression,
// which by convention is `0 && "message"` so that the message is part of the text.
#ifndef KINREC_ALWAYS_ASSERT_H
#define KINREC_ALWAYS_ASSERT_H

namespace kinrec {

[[noreturn]] void AssertFail(const char* expr, const char* file, int line, const char* func);

} // namespace kinrec

#define KINREC_ASSERT(expr)                                                                        \
    ((expr) ? static_cast<void>(0) : ::kinrec::AssertFail(#expr, __FILE__, __LINE__, __func__))

#endif
