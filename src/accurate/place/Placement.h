// Blocks placed where the drawing's INSERTs place them (every copy of an array, nested blocks,
// tilted frames, the layer "0" that takes its placer's layer), and the drawing's shapes flattened
// where they are placed.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>        // std::uint32_t
#include <string>         // std::string
#include <unordered_map>  // std::unordered_map
#include <vector>         // std::vector

#include "accurate/place/Budget.h"
#include "accurate/place/Layers.h"
#include "accurate/read/Drawing.h"

namespace Vexlor::Dxf {

class Placer {
public:
    /// Places by `top` (the unit conversion) the model space of `drawing`, whose pieces read so
    /// far are charged to `budget` already.
    Placer(Drawing& drawing, LayerFilter& layers, Budget& budget, const Affine3& top)
        : m_drawing(drawing), m_layers(layers), m_budget(budget), m_top(top) {}

    /// The box of the points that define the shapes of visible layers, placed: the pieces read,
    /// and every copy of every shape. Its work is bounded by a budget of its own, as large as
    /// the import's.
    Box2d Extent();
    /// Flattens the model space's curves into their pieces and adds a piece for every shape of
    /// every copy of a placed block, within `tolerance`; a shape of a hidden layer leaves its
    /// piece empty. Each piece is charged to the budget before it takes its room.
    void Place(double tolerance);

private:
    enum class Pass { Extent, Place };

    // Walks the copies of the block `insert` places by `outer`; `inherited` is the layer that
    // entities on layer "0" take (the INSERT's own, or its placer's when it is on "0" as well).
    void Walk(Pass pass, const Insert& insert, const Affine3& outer, std::uint32_t inherited,
              int depth, Budget& budget);
    // The points of `shape` placed by `placement` into m_points; false when its curve could not
    // be evaluated and its defining points stand in.
    void Flatten(const Shape& shape, const Affine3& placement, std::uint32_t entity);

    Drawing& m_drawing;
    LayerFilter& m_layers;
    Budget& m_budget;
    Affine3 m_top;
    double m_tolerance = 1;
    Box2d m_box;
    std::vector<Point2d> m_points;  // a shape flattened, before its piece is charged
    std::unordered_map<const Block*, std::size_t> m_copies;  // how often each block is placed
};

/// Notes an approximation in the Drawing given as `drawing`.
void NoteApproximation(void* drawing, const std::string& what);

}  // namespace Vexlor::Dxf
