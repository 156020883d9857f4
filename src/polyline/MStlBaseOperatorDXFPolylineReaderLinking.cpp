// The polyline reader's post-processing: contours from the pieces, then the crossing test.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::remove_if
#include <utility>    // std::move
#include <vector>     // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"
#include "contours/Crossing.h"
#include "contours/Linking.h"
#include "contours/Reduction.h"

CDXFReader::EReturnCode MStlBaseOperatorDXFPolylineReader::_PostProcess() {
    _LinkPolylines();
    if (m_polylines.empty()) return eEmpty;
    return _PolylinesIntersecting() ? eIntersecting : eOk;
}

void MStlBaseOperatorDXFPolylineReader::_LinkPolylines() {
    // 1. Repeated consecutive points go, in every polyline. Each polyline is reduced where it
    // stands, to the same points the index-list reduction gives, so that no second vector of
    // polylines and no copy of an unchanged piece is made.
    for (Polyline& polyline : m_polylines) Vexlor::Dxf::CollapseRepeatedPoints(polyline);
    // 2. Pieces of fewer than two points are no curves.
    m_polylines.erase(std::remove_if(m_polylines.begin(), m_polylines.end(),
                                     [](const Polyline& p) { return p.points.size() < 2; }),
                      m_polylines.end());
    // 3. Open pieces whose ends meet become chains, at the place of their first piece.
    Vexlor::Dxf::LinkOpenPolylines(m_polylines);
    // 4. Pieces taken over by a chain, or dropped as duplicates, were left empty.
    m_polylines = Vexlor::Dxf::RemoveEmptyPolylines(std::move(m_polylines));
    // Linking usually leaves far fewer polylines than pieces were read; the caller keeps only
    // the storage they need.
    if (m_polylines.capacity() > 2 * m_polylines.size() + 64) m_polylines.shrink_to_fit();
}

bool MStlBaseOperatorDXFPolylineReader::_PolylinesIntersecting() const {
    return Vexlor::Dxf::AnyPolylinesCross(m_polylines);
}
