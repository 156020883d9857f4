// What every written drawing holds around its entities: header, tables, blocks, objects; and
// the layer names it can hold.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>      // std::uint64_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "VexlorDxfWriter.h"
#include "write/GroupWriter.h"

namespace Vexlor::Dxf {

/// Throws std::invalid_argument, naming `writer`, unless `units` is 0 or an $INSUNITS code.
void CheckUnits(int units, const char* writer);

/// `name` as a drawing of code page ANSI_1252 holds it: ASCII and U+00A0 to U+00FF as their
/// bytes in that code page, every other character as "\U+XXXX" (four upper-case hex digits),
/// the escape that readers of R2000 and R12 drawings decode. The name must have passed
/// LayerNameProblem.
std::string EncodedLayerName(std::string_view name);

/// The layers of a drawing: "0" first, then each name once, compared as DXF compares them,
/// without regard to the case of letters (those of ASCII and of U+00C0 to U+00DE); in their
/// encoded form.
class LayerTable {
public:
    LayerTable();
    /// Adds `name` (valid, not encoded) unless a name equal to it in DXF's sense is there;
    /// returns its encoded form, which the entities on it write.
    std::string Add(std::string_view name);
    const std::vector<std::string>& Names() const { return m_names; }

private:
    std::vector<std::string> m_names;
    std::vector<std::string> m_keys;  // sorted ASCII lower-case forms
};

/// The box of a drawing's points.
struct Extent {
    double minimum[3] = {0, 0, 0};
    double maximum[3] = {0, 0, 0};
    bool empty = true;
    void Add(double x, double y, double z);
};

/// Writes a drawing around its entities and hands out the handles. Begin writes everything up
/// to the entities; End everything after them. Handles count from 1 in the order written; the
/// header's $HANDSEED, the next free one, is 1 plus the frame's and `entityHandles`.
class DrawingFrame {
public:
    DrawingFrame(GroupWriter& out, EDxfVersion version, int units, const Extent& extent,
                 const LayerTable& layers, std::uint64_t entityHandles);
    void Begin();
    void End();
    bool R2000() const { return m_version == EDxfVersion::eR2000; }
    /// Starts an entity: its type, handle, owner (R2000: the model space's block record, or
    /// `owner` when not 0) and layer. Returns its handle.
    std::uint64_t StartEntity(std::string_view type, std::string_view layer,
                              std::uint64_t owner = 0);

    /// The next handle, for entities written without StartEntity.
    std::uint64_t TakeHandle() { return m_next++; }
    /// The owner of the model space's entities (R2000; 0 before Begin and in R12).
    std::uint64_t ModelSpace() const { return m_modelSpace; }

private:
    std::uint64_t Next() { return m_next++; }
    void Header();
    void Tables2000();
    void Tables12();
    std::uint64_t OpenTable(std::string_view name, std::size_t entries);
    void Record(std::string_view type, std::uint64_t table, std::string_view subclass,
                std::string_view name);

    GroupWriter& m_out;
    EDxfVersion m_version;
    int m_units;
    Extent m_extent;
    const LayerTable& m_layers;
    std::uint64_t m_seed;
    std::uint64_t m_next = 1;
    std::uint64_t m_modelSpace = 0;
};

}  // namespace Vexlor::Dxf
