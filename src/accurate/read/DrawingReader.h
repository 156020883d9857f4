// Reading a drawing's groups into its Drawing: sections, the header, the layer table, block
// definitions and the model space, with the VERTEX entities of a POLYLINE gathered to it.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>  // std::string
#include <vector>  // std::vector

#include "accurate/place/Budget.h"
#include "accurate/read/Drawing.h"
#include "accurate/read/Entity.h"
#include "accurate/source/GroupSource.h"

namespace Vexlor::Dxf {

class DrawingReader {
public:
    /// Reads into `drawing`, charging the pieces of the model space to `budget` as they come.
    DrawingReader(Drawing& drawing, Budget& budget) : m_drawing(drawing), m_budget(budget) {}

    /// Reads the drawing to its EOF marker, or to the end of its last complete section (noted
    /// under approximations). Throws ReadError, also when the budget is spent.
    void Read(GroupSource& source);

private:
    enum class Part { Header, Tables, Blocks, Entities, Other };

    // Reads one section to its ENDSEC into `group`; false when the drawing ends after it.
    bool Section(GroupSource& source, const std::string& name, std::size_t position, Group& group);
    void Header(const Group& group, GroupSource& source);
    // An entity of a table, a block or the model space, with the VERTEX entities of a POLYLINE.
    void Take(const Entity& entity, const std::vector<Entity>& vertices);
    void Skip(const std::string& what);
    void BeginBlock(const Entity& entity);
    void LayerEntry(const Entity& entity);
    void Line(const Entity& entity);
    void Hatch(const Entity& entity);
    void AddShape(Shape shape);
    Source SourceOf(const Entity& entity);

    Drawing& m_drawing;
    Budget& m_budget;
    Part m_part = Part::Other;
    Block* m_block = nullptr;  // where entities go now: the model space, a block, or none
    Block m_discarded;         // a second definition of a block's name, read and left aside
};

}  // namespace Vexlor::Dxf
