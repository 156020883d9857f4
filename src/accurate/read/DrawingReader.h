// Reading a drawing's groups into its Drawing: sections, the header, the layer table, block
// definitions and the model space, with the VERTEX entities of a POLYLINE gathered to it.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>     // std::array
#include <cstddef>   // std::size_t
#include <cstdint>   // std::uint32_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <utility>   // std::move
#include <vector>    // std::vector

#include "accurate/place/Budget.h"
#include "accurate/read/Drawing.h"
#include "accurate/read/Entity.h"
#include "accurate/read/EntityReaders.h"
#include "accurate/source/GroupSource.h"

namespace Vexlor::Dxf {

class DrawingReader {
public:
    /// What a recovery costs the budget, in points: its line of text and its slot.
    static constexpr std::size_t kRecoveryCharge = 8;

    /// Reads into `drawing`, charging the pieces of the model space (and each recovery) to
    /// `budget` as they come. `strict`: a broken structure that the reader would read past ends
    /// the import instead (see Read).
    DrawingReader(Drawing& drawing, Budget& budget, bool strict = false)
        : m_drawing(drawing), m_budget(budget), m_strict(strict) {}

    /// Reads the drawing to its EOF marker, or to its end. Where its structure is broken but
    /// what it means is clear, reads on and notes it in Drawing::recoveries: groups outside a
    /// section (header variables read as header, a section name without its SECTION read as that
    /// section, other groups and a stray ENDSEC left aside), a SECTION without a name (left
    /// aside), a section that comes again (read on as one), a section cut off by EOF, by the
    /// next SECTION or by the end of the file, and a drawing of no section at all. Strict, each
    /// of these throws a ReadError instead; a missing EOF marker after complete sections is read
    /// past and noted in either mode. Throws ReadError for anything else that breaks the
    /// structure (a group 0 outside a section that is no SECTION, EOF or ENDSEC), and when the
    /// budget is spent.
    void Read(GroupSource& source);

private:
    enum class Part { Header, Tables, Blocks, Entities, Other };

    // Reads one section to its ENDSEC into `group`; false when the drawing ends after it.
    bool Section(GroupSource& source, const std::string& name, std::size_t position, Group& group);
    // One header variable (group 9) and its value.
    void Header(const Group& group, GroupSource& source);
    // The next group: the one given back by Unread, or the source's. Inline: every group of
    // every entity comes through here.
    bool Next(GroupSource& source, Group& group) {
        if (m_holding) {
            m_holding = false;
            group = m_held;
            return true;
        }
        if (!source.Next(group)) return false;
        m_last = group.position;
        return true;
    }
    // Gives `group` back, to be read again by the next Next; the source must not move before.
    void Unread(const Group& group);
    // Notes a recovery at `position`, charged to the budget.
    void Note(std::size_t position, std::string what);
    // Notes a recovery at `position`; strict, throws `error` at `errorPosition` instead.
    void Recover(std::size_t position, std::string what, std::size_t errorPosition,
                 const std::string& error);
    void Recover(std::size_t position, std::string what, const std::string& error) {
        Recover(position, std::move(what), position, error);
    }
    // Header variables outside a section, from the group 9 in `group` to the next group 0 (left
    // in `group`); false when the drawing ends first.
    bool StrayHeader(GroupSource& source, Group& group);
    // Passes over groups to the next group 0 (left in `group`); false when the drawing ends first.
    bool SkipToGroupZero(GroupSource& source, Group& group);
    // An entity of a table, a block or the model space, with the VERTEX entities of a POLYLINE.
    void Take(Entity& entity, const std::vector<Entity>& vertices);
    void Skip(const std::string& what);
    // Counts a 3D polyline whose vertices' `heights` differ, and widens the range of z.
    void NoteHeights(const std::vector<double>& heights);
    void BeginBlock(const Entity& entity);
    void LayerEntry(const Entity& entity);
    void Line(const Entity& entity);
    void Hatch(const Entity& entity);

    // What a LINE of the model space gives, read at once: the first group of each code it
    // reads, and of the values that are no number, the one that Line would report.
    struct LineGroups {
        // In the order in which Line reads them.
        enum { kSpace, kFromX, kFromY, kToX, kToY, kLayer, kHandle, kCount };
        unsigned found = 0;  // a bit per slot
        long long space = 0;
        double values[kCount] = {};
        std::string layer;
        // The index of `layer`, kept while LINEs come on one layer, as they mostly do.
        std::uint32_t layerIndex = kUnknownLayer;
        std::string handle;
        int errorSlot = kCount;
        static constexpr std::uint32_t kUnknownLayer = ~std::uint32_t{0};
        std::optional<ReadError> error;
    };
    // Reads groups up to the next group 0, left in `group`, and passes the first group of each
    // code that `slots` gives a slot (one more than the slot; 0 for none) to `take(slot, group)`,
    // `found` getting a bit per slot; false when the drawing ends first.
    template <std::size_t Size, typename Take>
    bool ReadSlots(GroupSource& source, Group& group, const std::array<unsigned char, Size>& slots,
                   unsigned& found, Take&& take) {
        bool more = false;
        while ((more = Next(source, group)) && group.code != 0) {
            const auto code = static_cast<unsigned>(group.code);
            if (code >= Size || slots[code] == 0) continue;
            const int slot = slots[code] - 1;
            const unsigned bit = 1u << slot;
            if (found & bit) continue;  // the first group of each code counts, as everywhere
            found |= bit;
            take(slot, group);
        }
        return more;
    }
    // Reads the groups of the LINE `entity` (reset, with no group of its own) up to the next
    // group 0, left in `group`, into m_line; false when the drawing ends first.
    bool ReadLine(GroupSource& source, const Entity& entity, Group& group);
    // The LINE read by ReadLine, as Line takes it.
    void TakeLine(LineGroups& line);

    // What a CIRCLE or ARC of the model space gives, read at once: the first group of each code
    // it reads, and the error of each value that is no number, told only where the generic
    // reading would tell it.
    struct CircleGroups {
        // The numbers in their CircleNumbers slots, then these.
        enum { kSpace = CircleNumbers::kCount, kLayer, kHandle, kCount };
        unsigned found = 0;   // a bit per slot
        unsigned failed = 0;  // a bit per slot whose value is no number
        long long space = 0;
        double values[CircleNumbers::kCount] = {};
        std::string layer;
        std::string handle;
        std::optional<ReadError> errors[kSpace + 1];  // of the numbers and the space
    };
    // Reads the groups of the CIRCLE or ARC `entity` (reset, with no group of its own) up to the
    // next group 0, left in `group`, into m_circle; false when the drawing ends first.
    bool ReadCircle(GroupSource& source, const Entity& entity, Group& group);
    // The CIRCLE or ARC `entity` read by ReadCircle, as Take takes it.
    void TakeCircle(const Entity& entity);
    void AddShape(Shape shape);
    Source SourceOf(const Entity& entity);

    Drawing& m_drawing;
    Budget& m_budget;
    bool m_strict = false;
    Group m_held;  // a group given back, valid as long as the source does not move
    bool m_holding = false;
    std::size_t m_last = kNoPosition;  // the position of the last group read
    Part m_part = Part::Other;
    Block* m_block = nullptr;  // where entities go now: the model space, a block, or none
    Block m_discarded;         // a second definition of a block's name, read and left aside
    LineGroups m_line;         // the LINE of the model space read last
    CircleGroups m_circle;     // the CIRCLE or ARC of the model space read last
    static constexpr std::uint32_t kNoKind = ~std::uint32_t{0};
    std::uint32_t m_lineKind = kNoKind;  // the index of the kind LINE, once a LINE is taken
};

}  // namespace Vexlor::Dxf
