// The point budget of an import: what the drawing may make it produce.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::to_string

#include "accurate/source/ReadError.h"

namespace Vexlor::Dxf {

class Budget {
public:
    explicit Budget(std::size_t points) : m_points(points) {}

    /// Charges `points`; past the budget the import ends with a ReadError that names it.
    void Spend(std::size_t points) {
        m_spent += points;
        if (m_spent > m_points) {
            throw ReadError{kNoPosition, "the drawing gives more than " + std::to_string(m_points) +
                                             " points (ContourOptions::maxPoints)"};
        }
    }

private:
    std::size_t m_points;
    std::size_t m_spent = 0;
};

}  // namespace Vexlor::Dxf
