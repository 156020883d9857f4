// Holding an entity's groups, and reading the numbers that are not plain decimals.
// SPDX-License-Identifier: MIT
#include "accurate/read/Entity.h"

#include <algorithm>  // std::max, std::min
#include <charconv>   // std::from_chars, std::to_chars
#include <cmath>      // std::isfinite
#include <cstring>    // std::memcpy
#include <memory>     // std::unique_ptr
#include <utility>    // std::move

#include "accurate/text/TextEncoding.h"
#include "contours/LargeArrayAllocator.h"

namespace Vexlor::Dxf {

namespace {

// A binary drawing's number as the shortest text that reads back to it, which is what an ASCII
// drawing of it would hold.
template <typename Number>
std::string_view Written(Number value, char (&text)[32]) {
    const auto result = std::to_chars(text, text + sizeof text, value);
    return {text, static_cast<std::size_t>(result.ptr - text)};
}

}  // namespace

void Entity::Reset(std::string_view type, std::size_t position) {
    if (m_type != type) m_type.assign(type);  // entities come in runs of one kind
    m_position = position;
    m_groups.clear();
    m_textSize = 0;
    m_readsVertices = type == "LWPOLYLINE";
    m_readsControlPoints = type == "SPLINE";
    m_points.clear();
    m_bulges.clear();
    m_heights.clear();
    m_vertexError.reset();
}

bool Entity::AddPointGroup(const Group& group) {
    const int code = group.code;
    if (m_readsControlPoints) {
        if (code == 10 || code == 20 || code == 30) {
            AddControlPointGroup(group);
            return true;
        }
        if (code == 73) ReserveVertices(group);
        return false;
    }
    if (code == 10 || code == 20 || code == 42) {
        AddVertexGroup(group);
        return true;
    }
    if (code == 90) ReserveVertices(group);
    return false;
}

void Entity::AddVertexGroup(const Group& group) {
    if (m_vertexError) return;  // reading stops at the first value that is no number
    try {
        if (group.code == 10) {
            m_points.push_back({Number(group), 0});
            if (!m_bulges.empty()) m_bulges.push_back(0);
        } else if (m_points.empty()) {
            return;
        } else if (group.code == 20) {
            m_points.back().y = Number(group);
        } else {
            const double bulge = Number(group);
            // Most polylines are straight: their bulges are kept from the first that is not 0.
            if (m_bulges.empty()) {
                if (bulge == 0) return;
                m_bulges.resize(m_points.size(), 0);
            }
            m_bulges.back() = bulge;
        }
    } catch (ReadError& error) {
        m_vertexError = std::move(error);
    }
}

void Entity::AddControlPointGroup(const Group& group) {
    if (m_vertexError) return;  // reading stops at the first value that is no number
    try {
        if (group.code == 10) {
            m_points.push_back({Number(group), 0});
            m_heights.push_back(0);
        } else if (m_points.empty()) {
            return;
        } else if (group.code == 20) {
            m_points.back().y = Number(group);
        } else {
            m_heights.back() = Number(group);
        }
    } catch (ReadError& error) {
        m_vertexError = std::move(error);
        m_vertexErrorAt = m_groups.size();
    }
}

void Entity::ReserveVertices(const Group& group) {
    constexpr long long kMostReserved = 1 << 20;  // 16 MiB of points
    long long count = 0;
    if (group.kind == Group::Kind::Integer) {
        count = group.integer;
    } else if (group.kind == Group::Kind::Text) {
        const std::string_view text = Trim(group.value);
        // A count that is no whole number is the reading's to report, not this one's.
        if (std::from_chars(text.data(), text.data() + text.size(), count).ptr !=
            text.data() + text.size()) {
            return;
        }
    }
    if (count <= 0) return;
    const auto room = static_cast<std::size_t>(std::min(count, kMostReserved));
    m_points.reserve(room);
    // The points are written all over as they are read: a polyline of hundreds of thousands of
    // vertices takes a fault per 2 MiB rather than per 4 KiB, where the system offers it (room
    // without a whole 2 MiB page asks nothing).
    AdviseHugePages(m_points.data(), m_points.capacity() * sizeof(Point2d));
    if (m_readsControlPoints) m_heights.reserve(room);
}

std::vector<Point2d> Entity::TakeVertices() {
    const std::vector<Point2d>& points = Vertices();
    if (points.size() == points.capacity()) return std::move(m_points);
    std::vector<Point2d> copy(points.begin(), points.end());
    m_points.clear();  // its room stays, for the next entity
    return copy;
}

std::vector<Point2d> Entity::TakeControlPoints(std::vector<double>& heights) {
    if (m_heights.size() == m_heights.capacity()) {
        heights = std::move(m_heights);
    } else {
        heights.assign(m_heights.begin(), m_heights.end());
        m_heights.clear();
    }
    return TakeVertices();
}

void Entity::AddGrowing(const Group& group) {
    m_groups.push_back(group);
    const std::size_t size = group.value.size();
    if (size == 0) return;
    if (size > m_textRoom - m_textSize) {
        // The values move to larger room: the views follow them.
        const std::size_t room = std::max(2 * m_textRoom, m_textSize + size + 256);
        std::unique_ptr<char[]> grown(new char[room]);
        if (m_textSize > 0) std::memcpy(grown.get(), m_text.get(), m_textSize);
        for (Group& held : m_groups) {
            if (!held.value.empty() && &held != &m_groups.back()) {
                held.value = {grown.get() + (held.value.data() - m_text.get()), held.value.size()};
            }
        }
        m_text = std::move(grown);
        m_textRoom = room;
    }
    std::memcpy(m_text.get() + m_textSize, group.value.data(), size);
    m_groups.back().value = {m_text.get() + m_textSize, size};
    m_textSize += size;
}

double Entity::OtherNumber(const Group& group) const {
    std::string_view text = group.value;
    char written[32];
    if (group.kind == Group::Kind::Real) {
        if (std::isfinite(group.real)) return group.real;
        text = Written(group.real, written);
    } else if (group.kind == Group::Kind::Integer) {
        return static_cast<double>(group.integer);
    }
    std::string_view number = Trim(text);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        Fail(group, "group " + std::to_string(group.code) + " is not a number: " + Quoted(text));
    }
    return value;
}

long long Entity::Integer(const Group& group) const {
    if (group.kind == Group::Kind::Integer) return group.integer;
    char written[32];
    const std::string_view text =
        group.kind == Group::Kind::Real ? Written(group.real, written) : group.value;
    const std::string_view number = Trim(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) {
        Fail(group,
             "group " + std::to_string(group.code) + " is not a whole number: " + Quoted(text));
    }
    return value;
}

void Entity::Fail(const Group& group, const std::string& what) const {
    throw ReadError{group.position, Excerpt(m_type) + ": " + what};
}

void Entity::Fail(const std::string& what) const {
    throw ReadError{m_position, Excerpt(m_type) + ": " + what};
}

std::string Entity::TextOr(int code, const std::string& fallback) const {
    const Group* group = Find(code);
    return group ? ValidUtf8(Trim(group->value)) : fallback;
}

}  // namespace Vexlor::Dxf
