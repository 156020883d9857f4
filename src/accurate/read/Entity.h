// One entity's groups, from its group 0 to the next, held while the entity is read: the number
// parsing and the errors that name the group's position and the entity.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>        // std::array
#include <cstddef>      // std::size_t
#include <cstring>      // std::memcpy
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::exchange, std::move
#include <vector>       // std::vector

#include "accurate/source/GroupSource.h"
#include "accurate/source/PlainDecimal.h"
#include "accurate/source/ReadError.h"
#include "accurate/source/Text.h"
#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// A table of slots by group code for Entity::FindFirst: the slot of `codes[k]` is k, written as
/// k + 1, and every other code has 0, none. Codes must be below `Size`.
template <std::size_t Size, std::size_t Count>
constexpr std::array<unsigned char, Size> SlotsByCode(const int (&codes)[Count]) {
    std::array<unsigned char, Size> slots{};
    for (std::size_t k = 0; k < Count; ++k) {
        slots[static_cast<std::size_t>(codes[k])] = static_cast<unsigned char>(k + 1);
    }
    return slots;
}

class Entity {
public:
    Entity() = default;
    // Its groups' values point into its own storage: it moves, it is never copied.
    Entity(Entity&& other) noexcept { *this = std::move(other); }
    Entity& operator=(Entity&& other) noexcept {
        m_type = std::move(other.m_type);
        m_position = other.m_position;
        m_groups = std::move(other.m_groups);
        m_text = std::move(other.m_text);
        m_textSize = std::exchange(other.m_textSize, 0);
        m_textRoom = std::exchange(other.m_textRoom, 0);
        m_readsVertices = other.m_readsVertices;
        m_readsControlPoints = other.m_readsControlPoints;
        m_points = std::move(other.m_points);
        m_bulges = std::move(other.m_bulges);
        m_heights = std::move(other.m_heights);
        m_vertexError = std::move(other.m_vertexError);
        m_vertexErrorAt = other.m_vertexErrorAt;
        return *this;
    }
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;

    /// Starts the entity `type` at `position`, keeping the room the last one's groups took.
    void Reset(std::string_view type, std::size_t position);
    /// Adds a group, copying its value: the source's text lasts only until its next group. The
    /// vertex groups of an LWPOLYLINE (10, 20, 42) and the control point groups of a SPLINE (10,
    /// 20, 30) are read into its points instead.
    void Add(const Group& group) {
        if ((m_readsVertices || m_readsControlPoints) && AddPointGroup(group)) return;
        const std::size_t size = group.value.size();
        if (m_groups.size() == m_groups.capacity() || size > m_textRoom - m_textSize) {
            return AddGrowing(group);
        }
        m_groups.push_back(group);
        if (size == 0) return;  // numbers of a binary drawing hold no text
        std::memcpy(m_text.get() + m_textSize, group.value.data(), size);
        m_groups.back().value = {m_text.get() + m_textSize, size};
        m_textSize += size;
    }

    /// After a group 10 added, reads on the vertex groups that `source` gives in the common form
    /// at once (GroupSource::PlainVertices), as Add would read them; the position of the last
    /// group read goes to `last`.
    void AddPlainVertices(GroupSource& source, std::size_t& last) {
        if (!(m_readsVertices || m_readsControlPoints) || m_vertexError || m_points.empty()) return;
        const std::size_t read =
            source.PlainVertices(m_points, m_readsControlPoints ? &m_heights : nullptr);
        if (read == kNoPosition) return;
        last = read;
        if (!m_bulges.empty()) m_bulges.resize(m_points.size(), 0);  // a 0 per vertex after them
    }

    std::string_view Type() const { return m_type; }
    std::size_t Position() const { return m_position; }
    const std::vector<Group>& Groups() const { return m_groups; }

    /// The group's value as a finite number; a ReadError names it otherwise.
    double Number(const Group& group) const {
        double value = 0;
        if (group.kind == Group::Kind::Text && PlainDecimal(group.value, value)) return value;
        return OtherNumber(group);
    }
    /// The group's value as a whole number; a ReadError names it otherwise.
    long long Integer(const Group& group) const;
    [[noreturn]] void Fail(const Group& group, const std::string& what) const;
    [[noreturn]] void Fail(const std::string& what) const;

    /// The first group `code`, or null.
    const Group* Find(int code) const {
        for (const Group& group : m_groups) {
            if (group.code == code) return &group;
        }
        return nullptr;
    }
    /// The first group of each code that `slots` (SlotsByCode) gives a slot, into that slot of
    /// `found`, in one pass; null where there is none. The first group of each code counts, as
    /// everywhere.
    template <std::size_t Size, std::size_t Count>
    void FindFirst(const std::array<unsigned char, Size>& slots,
                   const Group* (&found)[Count]) const {
        for (const Group*& slot : found) slot = nullptr;
        for (const Group& group : m_groups) {
            const auto code = static_cast<unsigned>(group.code);
            if (code >= Size || slots[code] == 0) continue;
            const Group*& slot = found[slots[code] - 1];
            if (!slot) slot = &group;
        }
    }
    /// How many groups `code` it has.
    std::size_t Count(int code) const {
        std::size_t count = 0;
        for (const Group& group : m_groups) count += group.code == code ? 1 : 0;
        return count;
    }
    /// An LWPOLYLINE's vertices, read as its groups came: a 10 begins a vertex (bulge 0), a 20
    /// and a 42 set the last vertex's y and bulge, and come to nothing before the first 10.
    /// Throws the ReadError of the first vertex group that is not a number.
    const std::vector<Point2d>& Vertices() const {
        if (m_vertexError) throw *m_vertexError;
        return m_points;
    }
    /// Their bulges, one per vertex; none when they are all 0.
    const std::vector<double>& Bulges() const { return m_bulges; }
    /// The vertices, as Vertices gives them, in exactly their room: handed over when the count
    /// in the group 90 gave that room, copied otherwise. The entity holds none of them after.
    std::vector<Point2d> TakeVertices();

    /// Of a SPLINE, read as its groups came: a 10 begins a control point (height 0), a 20 and a
    /// 30 set the last point's y and height, and come to nothing before the first 10. Throws the
    /// ReadError of the first of those groups that is not a number when it came before the
    /// first `groups` of the others (Groups): reading them in order, a reader meets it there.
    void CheckControlPoints(std::size_t groups) const {
        if (m_vertexError && m_vertexErrorAt <= groups) throw *m_vertexError;
    }
    /// The control points and their heights, in exactly their room, as TakeVertices gives them;
    /// throws the ReadError of the first of their groups that is not a number, as it does.
    std::vector<Point2d> TakeControlPoints(std::vector<double>& heights);

    /// The value of the first group `code`, or `fallback`.
    double NumberOr(int code, double fallback) const {
        const Group* group = Find(code);
        return group ? Number(*group) : fallback;
    }
    long long IntegerOr(int code, long long fallback) const {
        const Group* group = Find(code);
        return group ? Integer(*group) : fallback;
    }
    /// The first group `code` as written, without the blanks around it, or nothing.
    std::string_view RawText(int code) const {
        const Group* group = Find(code);
        return group ? Trim(group->value) : std::string_view();
    }
    /// The first group `code` as valid UTF-8, or `fallback`.
    std::string TextOr(int code, const std::string& fallback) const;
    Point3d Extrusion() const { return {NumberOr(210, 0), NumberOr(220, 0), NumberOr(230, 1)}; }
    Point3d PointOr(int xCode, const Point3d& fallback) const {
        return {NumberOr(xCode, fallback.x), NumberOr(xCode + 10, fallback.y),
                NumberOr(xCode + 20, fallback.z)};
    }

private:
    // Add, when the groups or their values need more room.
    void AddGrowing(const Group& group);
    // Reads `group` into the points when it is one of theirs, and takes their count; false for
    // a group to hold.
    bool AddPointGroup(const Group& group);
    // A vertex group of an LWPOLYLINE. A lightweight polyline can hold most of a drawing's
    // groups: its vertices are read as they come rather than held as groups, and a value that
    // is no number is reported only when the vertices are asked for, as it would be when read.
    void AddVertexGroup(const Group& group);
    // A control point group of a SPLINE, read as they come for the same reason. A value that is
    // no number is reported where it stood among the other groups.
    void AddControlPointGroup(const Group& group);
    // Room for as many points as an LWPOLYLINE's group 90 or a SPLINE's 73 counts, asked for
    // before they come, so that they never move as they are read and can be handed over whole.
    // Up to a bound: the count is the drawing's word, and room asked for is not touched until
    // points fill it.
    void ReserveVertices(const Group& group);
    // A binary number, or text that is not the common plain decimal.
    double OtherNumber(const Group& group) const;

    std::string m_type;
    std::size_t m_position = 0;
    std::vector<Group> m_groups;
    std::unique_ptr<char[]> m_text;  // the values, which the groups view
    std::size_t m_textSize = 0;
    std::size_t m_textRoom = 0;
    bool m_readsVertices = false;       // an LWPOLYLINE
    bool m_readsControlPoints = false;  // a SPLINE
    std::vector<Point2d> m_points;
    std::vector<double> m_bulges;
    std::vector<double> m_heights;
    std::optional<ReadError> m_vertexError;
    std::size_t m_vertexErrorAt = 0;  // how many groups were held before it
};

}  // namespace Vexlor::Dxf
