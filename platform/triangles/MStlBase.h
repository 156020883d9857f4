// A triangle mesh of integer vertices, as the SDK's mesh library holds one.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>  // std::int32_t
#include <vector>   // std::vector

/// A mesh vertex of three signed 32-bit integer coordinates in internal units.
struct MStlVertex {
    std::int32_t x;
    std::int32_t y;
    std::int32_t z;
};

/// A triangle: three corner vertices in order.
class MStlTriangle {
public:
    MStlTriangle(const MStlVertex& a, const MStlVertex& b, const MStlVertex& c)
        : m_vertices{a, b, c} {}
    /// Corner `index` (0, 1 or 2).
    const MStlVertex& operator[](std::size_t index) const { return m_vertices[index]; }

private:
    MStlVertex m_vertices[3];
};

/// Walks the triangles of an `MStlBase` without changing them.
class MStlIteratorStlTriangleConst {
public:
    explicit MStlIteratorStlTriangleConst(std::vector<MStlTriangle>::const_iterator position)
        : m_position(position) {}
    const MStlTriangle& operator*() const { return *m_position; }
    const MStlTriangle* operator->() const { return &*m_position; }
    MStlIteratorStlTriangleConst& operator++() {
        ++m_position;
        return *this;
    }
    bool operator!=(const MStlIteratorStlTriangleConst& other) const {
        return m_position != other.m_position;
    }
    bool operator==(const MStlIteratorStlTriangleConst& other) const {
        return m_position == other.m_position;
    }

private:
    std::vector<MStlTriangle>::const_iterator m_position;
};

/// A triangle mesh: triangles in the order they were added.
class MStlBase {
public:
    MStlBase() = default;
    void AddTriangle(const MStlTriangle& triangle) { m_triangles.push_back(triangle); }
    MStlIteratorStlTriangleConst BeginTriangle() const {
        return MStlIteratorStlTriangleConst(m_triangles.begin());
    }
    MStlIteratorStlTriangleConst EndTriangle() const {
        return MStlIteratorStlTriangleConst(m_triangles.end());
    }
    std::size_t NumberOfTriangles() const { return m_triangles.size(); }

private:
    std::vector<MStlTriangle> m_triangles;
};
