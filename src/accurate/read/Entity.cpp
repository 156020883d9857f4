// Holding an entity's groups, and reading numbers from them.
// SPDX-License-Identifier: MIT
#include "accurate/read/Entity.h"

#include <algorithm>  // std::max
#include <charconv>   // std::from_chars, std::to_chars
#include <cmath>      // std::isfinite

#include "accurate/text/TextEncoding.h"

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
    m_type.assign(type);
    m_position = position;
    m_groups.clear();
    m_text.clear();
}

void Entity::Add(const Group& group) {
    m_groups.push_back(group);
    const std::size_t size = group.value.size();
    if (group.kind != Group::Kind::Text || size == 0) return;
    if (m_text.size() + size > m_text.capacity()) {
        // The values move to larger room: the views follow them.
        std::vector<char> grown;
        grown.reserve(std::max(2 * m_text.capacity(), m_text.size() + size + 256));
        grown.assign(m_text.begin(), m_text.end());
        for (Group& held : m_groups) {
            if (held.kind == Group::Kind::Text && !held.value.empty() &&
                &held != &m_groups.back()) {
                held.value = {grown.data() + (held.value.data() - m_text.data()),
                              held.value.size()};
            }
        }
        m_text.swap(grown);
    }
    const std::size_t at = m_text.size();
    m_text.insert(m_text.end(), group.value.begin(), group.value.end());
    m_groups.back().value = {m_text.data() + at, size};
}

double Entity::Number(const Group& group) const {
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
