// Holding an entity's groups, and reading numbers from them.
// SPDX-License-Identifier: MIT
#include "accurate/read/Entity.h"

#include <algorithm>  // std::max, std::min
#include <charconv>   // std::from_chars, std::to_chars
#include <cmath>      // std::isfinite
#include <cstdint>    // std::uint64_t
#include <cstring>    // std::memcpy
#include <memory>     // std::unique_ptr
#include <utility>    // std::move

#include "accurate/text/TextEncoding.h"
#include "text/LineBreak.h"  // VEXLOR_DXF_LITTLE_ENDIAN

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

#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ull;
constexpr std::uint64_t kZeros = 0x3030303030303030ull;  // eight '0'

// The bytes of `word` (the first in its lowest bits) that are not decimal digits, as non-zero
// bytes. A byte is 0x30..0x39 exactly when its high half is 3 and adding 6 keeps it so; a carry
// out of a byte comes only from one that is not a digit, and reaches only later bytes.
inline std::uint64_t NotDigits(std::uint64_t word) {
    return ((word & kHighHalves) ^ kZeros) |
           (((word + 0x0606060606060606ull) & kHighHalves) ^ kZeros);
}

// The number of eight digits, the first byte the most significant: pairs, then the pairs joined
// into two numbers of four, then the two into one.
inline std::uint64_t EightDigitsValue(std::uint64_t word) {
    word -= kZeros;
    word = (word * 10) + (word >> 8);
    return (((word & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
            (((word >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
           32;
}
#endif

constexpr std::uint64_t kWholePowers[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};

// Appends the digits of [p, end) to `digits` and returns true when they are all digits, at most
// eight, and the text has eight bytes before `end`: those are read as one word, the bytes before
// `p` taken as zeros. False, having changed nothing, otherwise.
bool AppendLastDigits(const char* begin, const char* p, const char* end, std::uint64_t& digits) {
#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
    const auto count = static_cast<std::size_t>(end - p);
    if (count == 0 || count > 8 || end - begin < 8) return false;
    std::uint64_t word;
    std::memcpy(&word, end - 8, sizeof word);
    const std::uint64_t before = (std::uint64_t{1} << (8 * (8 - count))) - 1;
    word = (word & ~before) | (kZeros & before);
    if (NotDigits(word) != 0) return false;
    digits = digits * kWholePowers[count] + EightDigitsValue(word);
    return true;
#else
    (void)begin, (void)p, (void)end, (void)digits;
    return false;
#endif
}

// The common number of a drawing, such as "-12.5", at once: at most 15 digits, no exponent,
// blanks around it allowed. Its digits as an integer and the power of ten are exact doubles, so
// their quotient is the correctly rounded value, the same double std::from_chars gives. False
// for any other text.
bool PlainDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    while (p < end && (end[-1] == ' ' || end[-1] == '\t')) --end;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    std::uint64_t digits = 0;  // wraps past 19 digits, and is then not used
    const char* whole = p;
    while (p < end && digit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    const auto wholeDigits = static_cast<std::size_t>(p - whole);
    std::size_t fraction = 0;
    if (p < end && *p == '.') {
        const char* first = ++p;
        if (AppendLastDigits(text.data(), p, end, digits)) p = end;
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
    if (m_type != type) m_type.assign(type);  // entities come in runs of one kind
    m_position = position;
    m_groups.clear();
    m_textSize = 0;
    m_readsVertices = type == "LWPOLYLINE";
    m_points.clear();
    m_bulges.clear();
    m_vertexError.reset();
}

void Entity::AddVertexGroup(const Group& group) {
    if (m_vertexError) return;  // reading stops at the first value that is no number
    try {
        if (group.code == 10) {
            m_points.push_back({Number(group), 0});
            m_bulges.push_back(0);
        } else if (m_points.empty()) {
            return;
        } else if (group.code == 20) {
            m_points.back().y = Number(group);
        } else {
            m_bulges.back() = Number(group);
        }
    } catch (ReadError& error) {
        m_vertexError = std::move(error);
    }
}

void Entity::ReserveVertices(const Group& group) {
    constexpr long long kMostReserved = 1 << 20;  // 24 MiB of points and bulges
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
    m_bulges.reserve(room);
}

std::vector<Point2d> Entity::TakeVertices() {
    const std::vector<Point2d>& points = Vertices();
    if (points.size() == points.capacity()) return std::move(m_points);
    std::vector<Point2d> copy(points.begin(), points.end());
    m_points.clear();  // its room stays, for the next entity
    return copy;
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

double Entity::Number(const Group& group) const {
    double value = 0;
    if (group.kind == Group::Kind::Text && PlainDecimal(group.value, value)) return value;
    return OtherNumber(group);
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
