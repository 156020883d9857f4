// Blocks placed where the drawing's INSERTs place them: every copy of an array, nested blocks,
// tilted frames, and the layer "0" that takes its placer's layer.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>  // std::uint32_t
#include <vector>   // std::vector

#include "accurate/place/Budget.h"
#include "accurate/place/Layers.h"
#include "accurate/read/Drawing.h"

namespace Vexlor::Dxf {

/// A curve to flatten once the tolerance is known: a shape, where it goes, and its piece.
struct CurvePlacement {
    const Shape* shape;
    Affine3 placement;
    std::size_t slot;
};

class Placer {
public:
    Placer(Drawing& drawing, LayerFilter& layers, Budget& budget)
        : m_drawing(drawing), m_layers(layers), m_budget(budget) {}

    /// Places the model space's curves and blocks by `top` (the unit conversion): straight
    /// pieces get their points now, curves wait in Curves() for the tolerance. Throws ReadError
    /// for a block that inserts itself, nesting deeper than 128 and a spent budget.
    void PlaceModelSpace(const Affine3& top);
    const std::vector<CurvePlacement>& Curves() const { return m_curves; }

private:
    void Place(const Insert& insert, const Affine3& outer, std::uint32_t inherited, int depth);

    Drawing& m_drawing;
    LayerFilter& m_layers;
    Budget& m_budget;
    std::vector<CurvePlacement> m_curves;
};

/// Notes an approximation in the Drawing given as `drawing`.
void NoteApproximation(void* drawing, const std::string& what);

}  // namespace Vexlor::Dxf
