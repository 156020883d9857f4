// The polyline reader's object: construction, the bounding box and the output primitives.
// SPDX-License-Identifier: MIT
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {
// The box starts at the extremes of 32-bit integers, not at infinities: a coordinate beyond
// them in one direction never reaches the opposite corner.
constexpr double kBoxStart = 2147483647.0;
// Polyline records the vector first makes room for: 4 MB of address space.
constexpr std::size_t kFirstPolylineStep = std::size_t{1} << 17;
}  // namespace

MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader(
    std::vector<Polyline>& polylines)
    : m_leftTop{kBoxStart, kBoxStart},
      m_rightBottom{-kBoxStart, -kBoxStart},
      m_polylines(polylines) {}

MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader(
    const MStlBaseOperatorDXFPolylineReader& other) = default;

MStlBaseOperatorDXFPolylineReader::~MStlBaseOperatorDXFPolylineReader() = default;

MStlBaseOperatorDXFPolylineReader::Point MStlBaseOperatorDXFPolylineReader::GetLeftTopPoint()
    const {
    return m_leftTop;
}

MStlBaseOperatorDXFPolylineReader::Point MStlBaseOperatorDXFPolylineReader::GetRightBottomPoint()
    const {
    return m_rightBottom;
}

void MStlBaseOperatorDXFPolylineReader::_AddPolyline() {
    if (m_polylines.size() == m_polylines.capacity()) {
        // Large steps of address space, of which only the used part is ever touched: each
        // step copies the records made so far into fresh memory, so few steps mean little
        // copying. The first step holds the pieces of most drawings; linking gives back what
        // is left unused. Past a gigabyte the steps become ordinary doublings.
        const std::size_t capacity = m_polylines.capacity();
        const std::size_t limit = (std::size_t{1} << 30) / sizeof(Polyline);
        m_polylines.reserve(capacity < kFirstPolylineStep ? kFirstPolylineStep
                            : capacity < limit            ? 8 * capacity
                                                          : 2 * capacity);
    }
    m_polylines.push_back(Polyline{{}, true});
    m_currentPolyline = m_polylines.size() - 1;
}

void MStlBaseOperatorDXFPolylineReader::_ExtendBox(const Point& p) {
    // Written as "unless greater" so that a NaN coordinate replaces the box value, and the next
    // ordinary coordinate replaces the NaN again.
    if (!(p.x > m_leftTop.x)) m_leftTop.x = p.x;
    if (!(p.y > m_leftTop.y)) m_leftTop.y = p.y;
    if (!(m_rightBottom.x > p.x)) m_rightBottom.x = p.x;
    if (!(m_rightBottom.y > p.y)) m_rightBottom.y = p.y;
}

MStlBaseOperatorDXFPolylineReader::Polyline* MStlBaseOperatorDXFPolylineReader::_CurrentPolyline() {
    // Linking after an earlier import, or the caller, may have shortened the vector since the
    // index was set; an index past its end names no polyline and counts as none.
    if (!m_currentPolyline || *m_currentPolyline >= m_polylines.size()) return nullptr;
    return &m_polylines[*m_currentPolyline];
}

void MStlBaseOperatorDXFPolylineReader::_AddPoint(const Point& p) {
    _ExtendBox(p);
    Polyline* current = _CurrentPolyline();
    if (!current) {
        _AddPolyline();
        current = &m_polylines.back();
    }
    current->points.push_back(p);
}
