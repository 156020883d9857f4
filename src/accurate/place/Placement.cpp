// Placing blocks by their INSERTs, and flattening every shape where it is placed.
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

void Unnoted(void*, const std::string&) {}

}  // namespace

void NoteApproximation(void* drawing, const std::string& what) {
    static_cast<Drawing*>(drawing)->Approximate(what);
}

Box2d Placer::Extent() {
    m_box = Box2d();
    const Pieces& pieces = m_drawing.pieces;
    // The pieces so far, each layer's box at once. Their coordinates are numbers as read (no
    // NaN), in whatever order taken the least and the greatest are the same.
    for (std::uint32_t layer = 0; layer < pieces.layerBoxes.size(); ++layer) {
        const Box2d& box = pieces.layerBoxes[layer];
        if (box.empty || !m_layers.Visible(layer)) continue;
        m_box.Extend(box.minimum);
        m_box.Extend(box.maximum);
    }
    const ShapeList& shapes = m_drawing.model.shapes;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (m_layers.Visible(pieces.sources[m_drawing.modelSlots[i]].layer)) {
            NoteExtent(shapes[i], m_top, m_box);
        }
    }
    Budget work = m_budget;
    const std::uint32_t layer0 = m_drawing.LayerIndex("0");
    for (const Insert& insert : m_drawing.model.inserts) {
        Walk(Pass::Extent, insert, m_top, layer0, 1, work);
    }
    return m_box;
}

void Placer::Place(double tolerance) {
    m_tolerance = tolerance;
    Pieces& pieces = m_drawing.pieces;
    // The model space is placed once: its curves give way to their points as they are placed.
    m_drawing.model.shapes.Drain([&](const Shape& shape, std::size_t i) {
        const std::size_t slot = m_drawing.modelSlots[i];
        if (!m_layers.Visible(pieces.sources[slot].layer)) return;
        Flatten(shape, m_top, pieces.sources[slot].entity);
        // The piece itself was charged as it was read.
        m_budget.Spend(m_points.size() + EvaluationCost(shape));
        pieces.PolylineOf(slot).points.assign(m_points.begin(), m_points.end());
    });
    const std::uint32_t layer0 = m_drawing.LayerIndex("0");
    for (const Insert& insert : m_drawing.model.inserts) {
        Walk(Pass::Place, insert, m_top, layer0, 1, m_budget);
    }
    // What a block holds that gives no contour counts once for each copy; added up here, so
    // that a copy costs the same however many kinds its block leaves out.
    for (const auto& [block, copies] : m_copies) {
        for (const auto& [what, count] : block->skipped) m_drawing.skipped[what] += count * copies;
    }
}

void Placer::Flatten(const Shape& shape, const Affine3& placement, std::uint32_t entity) {
    m_points.clear();
    if (FlattenShape(shape, placement, m_tolerance, m_points, &NoteApproximation, &m_drawing)) {
        return;
    }
    // Refused definitions (decreasing knots, a wrong number of weights) keep the points that
    // define them, as a polyline.
    m_points.clear();
    Shape straight;
    straight.points = shape.DefiningPoints();
    straight.elevation = shape.elevation;
    straight.ocs = shape.ocs;
    straight.extrusion = shape.extrusion;
    FlattenShape(straight, placement, m_tolerance, m_points, &NoteApproximation, &m_drawing);
    m_drawing.Approximate(m_drawing.kinds[entity] + " that could not be evaluated: its points");
}

void Placer::Walk(Pass pass, const Insert& insert, const Affine3& outer, std::uint32_t inherited,
                  int depth, Budget& budget) {
    const bool place = pass == Pass::Place;
    budget.Spend(1);
    const auto found = m_drawing.blocks.find(NameKey(insert.block));
    if (found == m_drawing.blocks.end()) {
        if (place) ++m_drawing.skipped["INSERT of a missing block"];
        return;
    }
    Block& block = found->second;
    const std::uint32_t layer0 = m_drawing.LayerIndex("0");
    const std::uint32_t own = insert.source.layer == layer0 ? inherited : insert.source.layer;
    if (m_layers.HiddenByTable(own) && m_layers.Frozen(own)) {
        // A frozen INSERT hides all it places.
        if (place) ++m_drawing.skipped["frozen or off layer"];
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
            budget.Spend(1);  // every copy costs, even of an empty block
            const Affine3 placement = outer * CopyPlacement(insert, block, column, row);
            if (place) ++m_copies[&block];
            for (const Shape& shape : block.shapes) {
                const std::uint32_t layer = shape.source.layer == layer0 ? own : shape.source.layer;
                const bool visible = m_layers.Visible(layer);
                if (!place) {
                    budget.Spend(std::max<std::size_t>(1, DefiningSize(shape)));
                    if (!visible) continue;
                    if (shape.Straight()) {
                        m_points.clear();
                        FlattenShape(shape, placement, 1, m_points, &Unnoted, nullptr);
                        m_box.Extend(m_points);
                    } else {
                        NoteExtent(shape, placement, m_box);
                    }
                    continue;
                }
                // A shape of a hidden layer leaves an empty piece, which finishing counts.
                m_points.clear();
                if (visible && shape.Straight()) {
                    FlattenShape(shape, placement, 1, m_points, &NoteApproximation, &m_drawing);
                } else if (visible) {
                    Flatten(shape, placement, shape.source.entity);
                    budget.Spend(EvaluationCost(shape));
                }
                budget.SpendPiece(m_points.size());
                Source source = shape.source;
                source.layer = layer;
                if (m_points.size() == 2 && !shape.closed) {
                    pieces.AddSegment(m_points[0], m_points[1], std::move(source));
                } else {
                    pieces.Add(std::vector<Point2d>(m_points.begin(), m_points.end()), shape.closed,
                               std::move(source));
                }
            }
            for (const Insert& nested : block.inserts) {
                Walk(pass, nested, placement, own, depth + 1, budget);
            }
        }
    }
    block.placing = false;
}

}  // namespace Vexlor::Dxf
