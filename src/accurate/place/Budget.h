// The point budget of an import: what the drawing may make it produce, charged before the memory
// is taken.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::to_string

#include "accurate/source/ReadError.h"

namespace Vexlor::Dxf {

class Budget {
public:
    /// What a piece costs beside its points: its polyline, its source and its contour take about
    /// as much room as this many points, and its part in linking and the crossing test, which
    /// goes by pieces and segments, about as much time.
    static constexpr std::size_t kPieceCharge = 16;

    explicit Budget(std::size_t points) : m_points(points) {}

    /// Charges `points`; past the budget the import ends with a ReadError that names it.
    void Spend(std::size_t points) {
        m_spent += points;
        if (m_spent > m_points) {
            throw ReadError{kNoPosition, "the drawing gives more than " + std::to_string(m_points) +
                                             " points (ContourOptions::maxPoints)"};
        }
    }
    /// Charges a piece of `points` points.
    void SpendPiece(std::size_t points) { Spend(points + kPieceCharge); }

private:
    std::size_t m_points;
    std::size_t m_spent = 0;
};

}  // namespace Vexlor::Dxf
