// Small vector and matrix algebra under the attitude estimation.
//
// dVector is the standard numeric array of doubles; vectors that stand for directions
// have three elements in the order x, y, z. Dot, Cross and Norm sum their products in
// increasing index order starting from 0.0, so results are reproducible bit for bit.
//
// matrix<T> is a row-major handle to reference-counted storage with copy-on-write:
// copies share a block, the first write through a shared handle detaches it.
#ifndef KINREC_MATRIX_ALGEBRA_H
#define KINREC_MATRIX_ALGEBRA_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <valarray>

namespace kinrec::detail {

typedef std::valarray<double> dVector;

// Inner product; a and b must have the same length (any length, 0 included).
double Dot(const dVector& a, const dVector& b);
// Right-handed cross product; both arguments must have three elements.
dVector Cross(const dVector& a, const dVector& b);
// Euclidean length; an empty vector has length 0.
double Norm(const dVector& v);
// A three-element vector (x, y, z).
dVector Vector3(double x, double y, double z);

template <typename T>
struct matrix_rep {
    std::valarray<T> val; // row * col elements, row-major
    std::uint32_t row;
    std::uint32_t col;
    std::int32_t refcnt; // handles sharing this block
};

template <typename T>
class matrix {
  public:
    // What operator() returns: the handle and a flat element index. Assigning to it
    // writes the element, detaching shared storage first.
    class element_ref {
      public:
        element_ref(matrix& m, std::size_t index) : m_(m), index_(index) {}
        element_ref& operator=(const T& value) {
            m_.write(index_, value);
            return *this;
        }

      private:
        matrix& m_;
        std::size_t index_;
    };

    matrix(std::uint32_t rows, std::uint32_t cols) : rep_(acquire_rep(rows, cols)) {}
    matrix(const matrix& other) : rep_(other.rep_) {
        if (rep_ != nullptr) {
            ++rep_->refcnt;
        }
    }
    matrix(matrix&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
    matrix& operator=(const matrix& other) {
        if (this != &other) {
            if (other.rep_ != nullptr) {
                ++other.rep_->refcnt;
            }
            drop();
            rep_ = other.rep_;
        }
        return *this;
    }
    matrix& operator=(matrix&& other) noexcept {
        if (this != &other) {
            drop();
            rep_ = other.rep_;
            other.rep_ = nullptr;
        }
        return *this;
    }
    ~matrix() { drop(); }

    // Checked element access: r < rows and c < cols, compared unsigned.
    element_ref operator()(std::uint32_t r, std::uint32_t c) {
        return element_ref(*this, index(r, c));
    }
    // Checked element read.
    T at(std::uint32_t r, std::uint32_t c) const { return rep_->val[index(r, c)]; }

    std::uint32_t rows() const { return rep_->row; }
    std::uint32_t cols() const { return rep_->col; }
    std::int32_t refcount() const { return rep_->refcnt; }
    bool is_shared() const { return rep_->refcnt > 1; }

    // Gives this handle storage of its own, a copy of the shared block.
    void detach() {
        if (rep_->refcnt == 1) {
            return;
        }
        matrix_rep<T>* fresh = acquire_rep(rep_->row, rep_->col);
        fresh->val = rep_->val;
        --rep_->refcnt;
        rep_ = fresh;
    }

  private:
    static matrix_rep<T>* acquire_rep(std::uint32_t rows, std::uint32_t cols) {
        auto* rep = new matrix_rep<T>;
        rep->val.resize(static_cast<std::size_t>(rows) * cols, T());
        rep->row = rows;
        rep->col = cols;
        rep->refcnt = 1;
        return rep;
    }
    void release_rep() {
        delete rep_;
        rep_ = nullptr;
    }
    void drop() {
        if (rep_ != nullptr && --rep_->refcnt == 0) {
            release_rep();
        }
    }
    std::size_t index(std::uint32_t r, std::uint32_t c) const {
        if (!(r < rep_->row && c < rep_->col)) {
            throw std::out_of_range("matrix<T>::operator(): subscript is out of range!");
        }
        return static_cast<std::size_t>(r) * rep_->col + c;
    }
    void write(std::size_t i, const T& value) {
        if (is_shared()) {
            detach();
        }
        rep_->val[i] = value;
    }

    matrix_rep<T>* rep_;
};

} // namespace kinrec::detail

#endif
