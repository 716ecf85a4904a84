#include "Include/MatrixAlgebra.h"

#include "Include/AlwaysAssert.h"

#include <cmath>

namespace kinrec::detail {

double Dot(const dVector& a, const dVector& b) {
    if (a.size() != b.size()) {
        // The message rides in the asserted expression, so the report carries it.
        // cppcheck-suppress incorrectStringBooleanError
        KINREC_ASSERT(0 && "ERROR: Dot(): Inconsistent vector size in Inner Product !");
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += a[i] * b[i];
    }
    return sum;
}

dVector Cross(const dVector& a, const dVector& b) {
    if (a.size() != 3 || b.size() != 3) {
        // The message rides in the asserted expression, so the report carries it.
        // cppcheck-suppress incorrectStringBooleanError
        KINREC_ASSERT(0 && "ERROR: Cross(): dVector dimension should be 3 in Cross Product !");
    }
    dVector c(3);
    c[0] = a[1] * b[2] - a[2] * b[1];
    c[1] = a[2] * b[0] - a[0] * b[2];
    c[2] = a[0] * b[1] - a[1] * b[0];
    return c;
}

double Norm(const dVector& v) {
    double sum = 0.0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        sum += v[i] * v[i];
    }
    return std::sqrt(sum);
}

dVector Vector3(double x, double y, double z) {
    dVector v(3);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    return v;
}

} // namespace kinrec::detail
