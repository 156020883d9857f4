// Binary DXF read as the equivalent ASCII DXF text: each group's code and typed value written as
// the two lines an ASCII DXF would hold.
// SPDX-License-Identifier: MIT
#include "accurate/BinaryDxf.h"

#include <algorithm>  // std::replace_if
#include <charconv>   // std::to_chars
#include <cstdint>    // std::uint8_t, std::uint64_t, std::int64_t
#include <cstring>    // std::memcpy

namespace Vexlor::Dxf {

namespace {

constexpr std::string_view kSentinel{"AutoCAD Binary DXF\r\n\x1a", 22};  // the NUL ends it

// How a group's value is stored, decided by its code alone.
enum class Value { String, Double, Int16, Int32, Int64, Boolean, Chunk };

struct CodeRange {
    int first, last;
    Value value;
};

// Codes outside these ranges hold strings. Files with 1-byte codes (R12) use the same table: the
// binary DXF description of that time gives integers (60-79, 1070) 2 bytes and the extended data
// long, 1071, 4 bytes.
constexpr CodeRange kRanges[] = {
    {10, 59, Value::Double},     {60, 79, Value::Int16},     {90, 99, Value::Int32},
    {110, 149, Value::Double},   {160, 169, Value::Int64},   {170, 179, Value::Int16},
    {210, 239, Value::Double},   {270, 289, Value::Int16},   {290, 299, Value::Boolean},
    {310, 319, Value::Chunk},    {370, 389, Value::Int16},   {400, 409, Value::Int16},
    {420, 459, Value::Int32},    {460, 469, Value::Double},  {1004, 1004, Value::Chunk},
    {1010, 1059, Value::Double}, {1060, 1070, Value::Int16}, {1071, 1071, Value::Int32},
};

Value ValueOf(std::int64_t code) {
    for (const CodeRange& range : kRanges) {
        if (range.first <= code && code <= range.last) return range.value;
    }
    return Value::String;
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
    char text[32];  // the longest double, "-2.2250738585072014e-308", takes 24
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

// The bytes of one binary DXF after its sentinel, taken in order; running out of them is an
// error naming the group being read.
class Bytes {
public:
    explicit Bytes(std::string_view data) : m_data(data), m_at(kSentinel.size()) {}

    bool AtEnd() const { return m_at == m_data.size(); }
    std::size_t Offset() const { return m_at; }

    std::string_view Take(std::size_t count, std::size_t group) {
        if (m_data.size() - m_at < count) Fail(group, "the data ends inside the group");
        const std::string_view taken = m_data.substr(m_at, count);
        m_at += count;
        return taken;
    }
    unsigned Byte(std::size_t group) { return static_cast<std::uint8_t>(Take(1, group)[0]); }
    // A signed little-endian integer of `size` bytes.
    std::int64_t Integer(std::size_t size, std::size_t group) {
        const std::string_view bytes = Take(size, group);
        std::uint64_t bits = 0;
        for (std::size_t k = size; k-- > 0;) bits = bits << 8 | static_cast<std::uint8_t>(bytes[k]);
        const std::uint64_t sign = std::uint64_t{1} << (8 * size - 1);
        if ((bits & sign) != 0) bits |= ~(sign - 1);
        std::int64_t value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::string_view String(std::size_t group) {
        const std::size_t end = m_data.find('\0', m_at);
        if (end == std::string_view::npos) Fail(group, "the string has no NUL before the end");
        const std::string_view text = m_data.substr(m_at, end - m_at);
        m_at = end + 1;
        return text;
    }

    [[noreturn]] static void Fail(std::size_t group, const std::string& what) {
        throw BinaryDxfError("binary DXF, group at byte " + std::to_string(group) + ": " + what);
    }

private:
    std::string_view m_data;
    std::size_t m_at;
};

}  // namespace

bool IsBinaryDxf(std::string_view data) {
    return data.size() >= kSentinel.size() && data.substr(0, kSentinel.size()) == kSentinel;
}

std::string BinaryDxfToText(std::string_view data, std::vector<std::size_t>& groupOffsets) {
    groupOffsets.clear();
    if (!IsBinaryDxf(data)) {
        throw BinaryDxfError("binary DXF, byte 0: the data does not begin with the sentinel");
    }
    // The first group is 0 "SECTION": with 2-byte codes the byte after the first is the code's
    // high byte, 0; with 1-byte codes it is the "S" of the value.
    const bool wideCodes = data.size() <= kSentinel.size() + 1 || data[kSentinel.size() + 1] == 0;
    // A group takes at least 2 bytes and writes fewer than 4 characters a byte (at most a 1-byte
    // code 170 and a 16-bit value, "170\n-32768\n" from 3 bytes); ASCII DXF is said to take about
    // a third more room than binary.
    std::string text;
    text.reserve(data.size() + data.size() / 2);
    groupOffsets.reserve(data.size() / 8);

    Bytes bytes(data);
    while (!bytes.AtEnd()) {
        const std::size_t group = bytes.Offset();
        std::int64_t code = 0;
        if (wideCodes) {
            code = bytes.Integer(2, group);
        } else {
            code = bytes.Byte(group);
            if (code == 255) code = bytes.Integer(2, group);  // the code follows in 2 bytes
        }
        groupOffsets.push_back(group);
        AppendNumber(text, code);
        text += '\n';

        bool end = false;
        switch (ValueOf(code)) {
            case Value::String: {
                const std::size_t start = text.size();
                const std::string_view value = bytes.String(group);
                text += value;
                std::replace_if(
                    text.begin() + start, text.end(), [](char c) { return c == '\n' || c == '\r'; },
                    ' ');
                end = code == 0 && value == "EOF";
                break;
            }
            case Value::Double: {
                const std::int64_t bits = bytes.Integer(8, group);
                double value;
                std::memcpy(&value, &bits, sizeof value);
                AppendNumber(text, value);
                break;
            }
            case Value::Int16:
                AppendNumber(text, bytes.Integer(2, group));
                break;
            case Value::Int32:
                AppendNumber(text, bytes.Integer(4, group));
                break;
            case Value::Int64:
                AppendNumber(text, bytes.Integer(8, group));
                break;
            case Value::Boolean:
                AppendNumber(text, bytes.Byte(group));
                break;
            case Value::Chunk: {
                const std::size_t length = bytes.Byte(group);
                for (const char byte : bytes.Take(length, group)) {
                    const auto b = static_cast<std::uint8_t>(byte);
                    text += "0123456789ABCDEF"[b >> 4];
                    text += "0123456789ABCDEF"[b & 15];
                }
                break;
            }
        }
        text += '\n';
        if (end) break;
    }
    return text;
}

}  // namespace Vexlor::Dxf
