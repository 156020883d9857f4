// Placing blocks by their INSERTs.
// SPDX-License-Identifier: MIT
#include "accurate/place/Placement.h"

#include <algorithm>  // std::max
#include <string>     // std::to_string

#include "accurate/curves/Ocs.h"
#include "accurate/read/EntityReaders.h"

namespace Vexlor::Dxf {

namespace {

// Blocks placed inside blocks deeper than this end the import: no drawing needs it, and the
// placing recurses once per level.
constexpr int kMaxNesting = 128;

// The transform of one block placed by `insert` in its column `column` and row `row`.
Affine3 CopyPlacement(const Insert& insert, const Block& block, long long column, long long row) {
    const Point3d offset{static_cast<double>(column) * insert.columnSpacing,
                         static_cast<double>(row) * insert.rowSpacing, 0};
    Affine3 local = Affine3::Translation(insert.at) * Affine3::Rotation(insert.rotation) *
                    Affine3::Translation(offset) *
                    Affine3::Scaling(insert.scale.x, insert.scale.y, insert.scale.z) *
                    Affine3::Translation({-block.base.x, -block.base.y, -block.base.z});
    if (!WorldAxes(insert.extrusion)) {
        const OcsAxes axes = ArbitraryAxes(insert.extrusion);
        local = Affine3::Columns(axes.xAxis, axes.yAxis, axes.zAxis) * local;
    }
    return local;
}

}  // namespace

void NoteApproximation(void* drawing, const std::string& what) {
    static_cast<Drawing*>(drawing)->Approximate(what);
}

void Placer::PlaceModelSpace(const Affine3& top) {
    for (const Polyline2d& piece : m_drawing.pieces.polylines) m_budget.Spend(piece.points.size());
    const std::vector<Shape>& shapes = m_drawing.model.shapes;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        m_curves.push_back({&shapes[i], top, m_drawing.modelSlots[i]});
        m_budget.Spend(std::max<std::size_t>(1, shapes[i].points.size()));
    }
    const std::uint32_t layer0 = m_drawing.LayerIndex("0");
    for (const Insert& insert : m_drawing.model.inserts) Place(insert, top, layer0, 1);
}

// Places the block of `insert` by `outer`; `inherited` is the layer that entities on layer "0"
// take (the INSERT's own, or its placer's when it is on "0" as well).
void Placer::Place(const Insert& insert, const Affine3& outer, std::uint32_t inherited, int depth) {
    m_budget.Spend(1);
    const auto found = m_drawing.blocks.find(NameKey(insert.block));
    if (found == m_drawing.blocks.end()) {
        ++m_drawing.skipped["INSERT of a missing block"];
        return;
    }
    Block& block = found->second;
    const std::uint32_t layer0 = m_drawing.LayerIndex("0");
    const std::uint32_t own = insert.source.layer == layer0 ? inherited : insert.source.layer;
    if (m_layers.HiddenByTable(own) && m_layers.Frozen(own)) {
        ++m_drawing.skipped["frozen or off layer"];  // a frozen INSERT hides all it places
        return;
    }
    if (block.placing) {
        throw ReadError{insert.position, "block " + Quoted(block.name) + " inserts itself"};
    }
    if (depth > kMaxNesting) {
        throw ReadError{insert.position, "blocks nested more than " + std::to_string(kMaxNesting) +
                                             " deep at block " + Quoted(block.name)};
    }
    block.placing = true;
    Pieces& pieces = m_drawing.pieces;
    for (long long row = 0; row < insert.rows; ++row) {
        for (long long column = 0; column < insert.columns; ++column) {
            m_budget.Spend(1);  // every copy costs, even of an empty block
            const Affine3 placement = outer * CopyPlacement(insert, block, column, row);
            for (const auto& [what, count] : block.skipped) m_drawing.skipped[what] += count;
            for (const Shape& shape : block.shapes) {
                m_budget.Spend(std::max<std::size_t>(1, shape.points.size()));
                Source source = shape.source;
                if (source.layer == layer0) source.layer = own;
                if (shape.Straight()) {
                    std::vector<Point2d> points;
                    points.reserve(shape.points.size());
                    FlattenShape(shape, placement, 1, points, &NoteApproximation, &m_drawing);
                    pieces.Add(std::move(points), shape.closed, std::move(source));
                } else {
                    m_curves.push_back(
                        {&shape, placement, pieces.Add({}, shape.closed, std::move(source))});
                }
            }
            for (const Insert& nested : block.inserts) Place(nested, placement, own, depth + 1);
        }
    }
    block.placing = false;
}

}  // namespace Vexlor::Dxf
