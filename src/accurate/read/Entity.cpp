// Holding an entity's groups, and reading numbers from them.
// SPDX-License-Identifier: MIT
#include "accurate/read/Entity.h"

#include <algorithm>  // std::max
#include <charconv>   // std::from_chars, std::to_chars
#include <cmath>      // std::isfinite
#include <cstdint>    // std::uint64_t

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

// Powers of ten that doubles hold exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common number of a drawing, such as "-12.5", at once: at most 15 digits, no exponent. Its
// digits as an integer and the power of ten are exact doubles, so their quotient is the
// correctly rounded value, the same double std::from_chars gives. False for any other text.
bool PlainDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    std::uint64_t digits = 0;  // wraps past 19 digits, and is then not used
    const char* whole = p;
    while (p < end && digit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    const auto wholeDigits = static_cast<std::size_t>(p - whole);
    std::size_t fraction = 0;
    if (p < end && *p == '.') {
        const char* first = ++p;
        while (p < end && digit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
        fraction = static_cast<std::size_t>(p - first);
    }
    if (p != end || wholeDigits + fraction == 0 || wholeDigits + fraction > 15) return false;
    const double magnitude = static_cast<double>(digits) / kExactPowers[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
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
    if (PlainDecimal(number, value)) return value;
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
