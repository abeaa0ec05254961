#include "utility/MatrixN.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Utility {

MatrixN::MatrixN(int capacity, int size) {
    m_capacity = capacity <= 0 ? 5 : capacity;
    m_size = (size > 0 && size <= m_capacity) ? size : m_capacity;
    m_data.assign(static_cast<size_t>(m_capacity) * m_capacity, 0.0f);
}

void MatrixN::Assign(const MatrixN& other) {
    if (other.m_size > m_capacity) {
        m_capacity = other.m_size;
        m_data.assign(static_cast<size_t>(m_capacity) * m_capacity, 0.0f);
    }
    m_size = other.m_size;
    for (int r = 0; r < m_size; ++r)
        for (int c = 0; c < m_size; ++c) (*this)(r, c) = other(r, c);
}

bool MatrixN::Invert() {
    const int n = m_size;
    if (n <= 0) return true;
    // Gauss-Jordan elimination in double on a copy, with partial pivoting so
    // that only a singular block fails; the matrix is written only on success.
    std::vector<double> a(static_cast<size_t>(n) * n), inv(static_cast<size_t>(n) * n, 0.0);
    double scale = 0.0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double v = (*this)(r, c);
            if (!std::isfinite(v)) return false;
            a[r * n + c] = v;
            scale = std::max(scale, std::fabs(v));
        }
        inv[r * n + r] = 1.0;
    }
    if (scale == 0.0) return false;
    // A pivot this small relative to the largest entry is rounding noise of
    // what is really a zero pivot.
    const double tiny = scale * 1e-12;

    for (int col = 0; col < n; ++col) {
        int pivotRow = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a[r * n + col]) > std::fabs(a[pivotRow * n + col])) pivotRow = r;
        if (!(std::fabs(a[pivotRow * n + col]) > tiny)) return false;
        if (pivotRow != col)
            for (int c = 0; c < n; ++c) {
                std::swap(a[pivotRow * n + c], a[col * n + c]);
                std::swap(inv[pivotRow * n + c], inv[col * n + c]);
            }
        const double p = 1.0 / a[col * n + col];
        for (int c = 0; c < n; ++c) {
            a[col * n + c] *= p;
            inv[col * n + c] *= p;
        }
        for (int r = 0; r < n; ++r) {
            if (r == col) continue;
            const double f = a[r * n + col];
            if (f == 0.0) continue;
            for (int c = 0; c < n; ++c) {
                a[r * n + c] -= f * a[col * n + c];
                inv[r * n + c] -= f * inv[col * n + c];
            }
        }
    }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const float v = static_cast<float>(inv[r * n + c]);
            if (!std::isfinite(v)) return false;
        }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) (*this)(r, c) = static_cast<float>(inv[r * n + c]);
    return true;
}

}  // namespace Utility
