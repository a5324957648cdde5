#pragma once
// Planes x rows x columns in one zero-filled block, indexed [plane][row][column], all 0-based.
// Row(p, r) gives the row's first element, so a row reads as a plain array.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <span>
#include <vector>

namespace frontlys {

template <class T>
class Planes3D {
public:
    Planes3D() = default;
    Planes3D(int planes, int rows, int cols)
        : m_planes(planes),
          m_rows(rows),
          m_cols(cols),
          m_data(static_cast<std::size_t>(planes) * rows * cols, T{})
    {
        assert(planes >= 0 && rows >= 0 && cols >= 0);
    }

    int planes() const { return m_planes; }
    int rows() const { return m_rows; }
    int cols() const { return m_cols; }
    bool empty() const { return m_data.empty(); }

    T* Row(int plane, int row) { return m_data.data() + offset(plane, row); }
    const T* Row(int plane, int row) const { return m_data.data() + offset(plane, row); }
    std::span<T> Plane(int plane)
    {
        return {m_data.data() + offset(plane, 0), static_cast<std::size_t>(m_rows) * m_cols};
    }
    std::span<const T> Plane(int plane) const
    {
        return {m_data.data() + offset(plane, 0), static_cast<std::size_t>(m_rows) * m_cols};
    }

    T& operator()(int plane, int row, int col) { return m_data[offset(plane, row) + col]; }
    const T& operator()(int plane, int row, int col) const { return m_data[offset(plane, row) + col]; }

    T* data() { return m_data.data(); }
    const T* data() const { return m_data.data(); }
    std::size_t size() const { return m_data.size(); }
    void Fill(const T& value) { std::fill(m_data.begin(), m_data.end(), value); }

    bool operator==(const Planes3D&) const = default;

private:
    std::size_t offset(int plane, int row) const
    {
        assert(plane >= 0 && plane < m_planes && row >= 0 && row <= m_rows);
        return (static_cast<std::size_t>(plane) * m_rows + row) * m_cols;
    }

    int m_planes = 0, m_rows = 0, m_cols = 0;
    std::vector<T> m_data;
};

// Element codes of the arrays the FITS reader hands back.
enum ElementCode : int { kInt16 = 2, kDouble = 5, kInt16Colour = 7, kDoubleColour = 8 };

inline bool IsInt16Code(int code) { return code == 2 || code == 7; }
inline bool IsDoubleCode(int code) { return code == 5 || code == 6 || code == 8; }

}  // namespace frontlys
