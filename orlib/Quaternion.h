// Quaternion: orientation type of the attitude filter.
//
// Conventions, stated once:
// - written (w, x, y, z), scalar part first; every constructor taking components takes
//   them in that order;
// - Hamilton product: (0, 1, 0, 0) * (0, 0, 1, 0) = (0, 0, 0, 1);
// - a unit quaternion q rotates u (right-handed, active) into the vector part of
//   q * (0, u) * q.inverse(); toRotationMatrix() is the matrix of the same rotation;
// - angles in radians.
//
// The operations follow their textbook forms literally, including the order in which
// sums are taken; they do not guard their domain (a zero axis, a zero norm or a zero
// divisor divides by zero). The attitude filter guards where it can meet those cases.
#ifndef KINREC_QUATERNION_H
#define KINREC_QUATERNION_H

#include "Include/MatrixAlgebra.h"

namespace kinrec::detail {

class Quaternion {
  public:
    double w;  // scalar part
    dVector v; // vector part (x, y, z)

    // The identity (1, 0, 0, 0).
    Quaternion();
    // (w, x, y, z).
    Quaternion(double w_, double x, double y, double z);
    // Rotation by angle [rad] about axis; the axis need not be of unit length but must
    // have three elements.
    Quaternion(double angle, const dVector& axis);
    // Rotation by a about x, then b about y, then c about z, all about fixed axes [rad]:
    // (Qz * Qy) * Qx.
    Quaternion(double a, double b, double c);

    double get_w() const { return w; }
    void set_w(double s) { w = s; }
    dVector get_v() const { return v; }
    // u must have three elements.
    void set_v(const dVector& u);

    Quaternion operator*(const Quaternion& r) const; // Hamilton product
    Quaternion operator*(double s) const;
    Quaternion operator/(double s) const;
    Quaternion operator/(const Quaternion& r) const; // *this * r.inverse()
    Quaternion operator+(const Quaternion& r) const;
    Quaternion operator-(const Quaternion& r) const;

    Quaternion conjugate() const;
    double norm() const;
    // conjugate() / norm(): divides by the norm itself, not its square, so it is the
    // exact inverse only for a unit quaternion.
    Quaternion inverse() const;
    double innerProduct(const Quaternion& r) const;
    // Scales to unit norm when the norm exceeds 1e-7; otherwise leaves it unchanged.
    Quaternion& normalize();

    matrix<double> toRotationMatrix() const;
};

Quaternion operator*(double s, const Quaternion& q);

} // namespace kinrec::detail

#endif
