// The polyline reader's post-processing: contours from the pieces, then the crossing test.
// SPDX-License-Identifier: MIT
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "contours/Crossing.h"
#include "contours/Finishing.h"

CDXFReader::EReturnCode MStlBaseOperatorDXFPolylineReader::_PostProcess() {
    _LinkPolylines();
    if (m_polylines.empty()) return eEmpty;
    return _PolylinesIntersecting() ? eIntersecting : eOk;
}

void MStlBaseOperatorDXFPolylineReader::_LinkPolylines() {
    // Repeated consecutive points go, pieces of fewer than two points go, open pieces whose ends
    // meet become chains at the place of their first piece, and the pieces taken over by a
    // chain go. Each polyline is reduced where it stands, so that no second vector of polylines
    // and no copy of an unchanged piece is made.
    Vexlor::Dxf::FinishContours(m_polylines, Vexlor::Dxf::FinishOptions{});
    // Linking usually leaves far fewer polylines than pieces were read; the caller keeps only
    // the storage they need.
    if (m_polylines.capacity() > 2 * m_polylines.size() + 64) m_polylines.shrink_to_fit();
}

bool MStlBaseOperatorDXFPolylineReader::_PolylinesIntersecting() const {
    return Vexlor::Dxf::AnyPolylinesCross(m_polylines);
}
