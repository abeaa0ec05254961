// A small dense square matrix of floats (row-major, row stride = capacity)
// whose used top-left block can be inverted in place; the spline solves its
// coefficient system with it.
#pragma once

#include <cstddef>
#include <vector>

namespace Utility {

class MatrixN {
public:
    // A capacity of 0 or less becomes 5; the used size is `size` when
    // 0 < size <= capacity, else the capacity. All elements start at 0.
    explicit MatrixN(int capacity = 5, int size = 0);

    int Capacity() const { return m_capacity; }
    int Size() const { return m_size; }

    float& operator()(int r, int c) { return m_data[static_cast<std::size_t>(r) * m_capacity + c]; }
    float operator()(int r, int c) const { return m_data[static_cast<std::size_t>(r) * m_capacity + c]; }

    // Takes the other matrix's used size (growing the capacity when needed)
    // and copies its used block.
    void Assign(const MatrixN& other);

    // Replaces the used block by its inverse. Returns false, leaving the
    // matrix unchanged, when the block is singular (a zero pivot remains even
    // after row exchanges) or holds values that are not finite.
    bool Invert();

private:
    int m_capacity;
    int m_size;
    std::vector<float> m_data;
};

}  // namespace Utility
