// An assertion that stays in every build type.
//
// A dimension error in the algebra is a programming error; with a plain assert it would
// vanish under NDEBUG and the code after it would read out of bounds. A library must not
// end its host process for it, so a failed assertion throws kinrec::InternalError, whose
// text has the shape of the standard report: source file, line, function and the
// asserted expression, which by convention is `0 && "message"` so that the message is
// part of the text. The console tool prints that text and aborts, as an assert would.
#ifndef KINREC_ALWAYS_ASSERT_H
#define KINREC_ALWAYS_ASSERT_H

namespace kinrec::detail {

[[noreturn]] void AssertFail(const char* expr, const char* file, int line, const char* func);

} // namespace kinrec::detail

#define KINREC_ASSERT(expr)                                                                        \
    ((expr) ? static_cast<void>(0)                                                                 \
            : ::kinrec::detail::AssertFail(#expr, __FILE__, __LINE__, __func__))

#endif
