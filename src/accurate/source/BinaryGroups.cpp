// The groups of a binary DXF: each code and its value, typed by the code, read from the drawing's
// blocks.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::min
#include <cstdint>    // std::uint8_t, std::uint64_t, std::int64_t
#include <cstring>    // std::memcpy, std::memchr
#include <string>     // std::string

#include "VexlorDxfInfo.h"  // kBinaryDxfSentinel
#include "accurate/source/GroupSource.h"
#include "accurate/source/ReadError.h"

namespace Vexlor::Dxf {

namespace {

// How a group's value is stored, decided by its code alone.
enum class Stored { String, Double, Int16, Int32, Int64, Boolean, Chunk };

struct CodeRange {
    int first, last;
    Stored stored;
};

// Codes outside these ranges hold strings. Drawings with 1-byte codes (R12) use the same table:
// the binary DXF of that time gives integers (60-79, 1070) 2 bytes and the extended data long,
// 1071, 4 bytes.
constexpr CodeRange kRanges[] = {
    {10, 59, Stored::Double},     {60, 79, Stored::Int16},     {90, 99, Stored::Int32},
    {110, 149, Stored::Double},   {160, 169, Stored::Int64},   {170, 179, Stored::Int16},
    {210, 239, Stored::Double},   {270, 289, Stored::Int16},   {290, 299, Stored::Boolean},
    {310, 319, Stored::Chunk},    {370, 389, Stored::Int16},   {400, 409, Stored::Int16},
    {420, 459, Stored::Int32},    {460, 469, Stored::Double},  {1004, 1004, Stored::Chunk},
    {1010, 1059, Stored::Double}, {1060, 1070, Stored::Int16}, {1071, 1071, Stored::Int32},
};

Stored StoredAs(std::int64_t code) {
    for (const CodeRange& range : kRanges) {
        if (range.first <= code && code <= range.last) return range.stored;
    }
    return Stored::String;
}

class BinaryGroupSource final : public GroupSource {
public:
    explicit BinaryGroupSource(ByteStream& bytes) : m_bytes(bytes) {
        m_bytes.Fill(kBinaryDxfSentinel.size() + 2);
        m_bytes.Advance(kBinaryDxfSentinel.size());
        // The first group is 0 "SECTION": with 2-byte codes the byte after the first is the
        // code's high byte, 0; with 1-byte codes it is the "S" of the value.
        m_wideCodes = m_bytes.Available() < 2 || m_bytes.Cursor()[1] == 0;
    }

    bool Next(Group& group) override {
        if (m_ended || !m_bytes.Fill(1)) return false;
        m_group = m_bytes.Offset();
        std::int64_t code = 0;
        if (m_wideCodes) {
            code = Integer(2);
        } else {
            code = Byte();
            if (code == 255) code = Integer(2);  // the code follows in 2 bytes
        }
        // Codes are 16 bits wide: a 2-byte code is read with its sign, as the text of the
        // drawing would write it.
        group.code = static_cast<int>(code);
        group.position = m_group;
        group.kind = Group::Kind::Text;
        group.value = {};  // a number has no text, and the last group's may be gone
        switch (StoredAs(code)) {
            case Stored::String:
                group.value = String();
                m_ended = code == 0 && group.value == "EOF";
                break;
            case Stored::Double: {
                const std::int64_t bits = Integer(8);
                group.kind = Group::Kind::Real;
                std::memcpy(&group.real, &bits, sizeof group.real);
                break;
            }
            case Stored::Int16:
                SetInteger(group, Integer(2));
                break;
            case Stored::Int32:
                SetInteger(group, Integer(4));
                break;
            case Stored::Int64:
                SetInteger(group, Integer(8));
                break;
            case Stored::Boolean:
                SetInteger(group, Byte());
                break;
            case Stored::Chunk: {
                // Binary data, as the hexadecimal digits an ASCII drawing holds.
                const std::size_t length = Byte();
                const char* data = Take(length);
                m_scratch.clear();
                for (std::size_t k = 0; k < length; ++k) {
                    const auto b = static_cast<std::uint8_t>(data[k]);
                    m_scratch += "0123456789ABCDEF"[b >> 4];
                    m_scratch += "0123456789ABCDEF"[b & 15];
                }
                group.value = m_scratch;
                break;
            }
        }
        return true;
    }

    bool Binary() const override { return true; }

private:
    static void SetInteger(Group& group, std::int64_t value) {
        group.kind = Group::Kind::Integer;
        group.integer = value;
    }

    [[noreturn]] void Fail(const std::string& what) const { throw ReadError{m_group, what}; }

    const char* Take(std::size_t count) {
        if (!m_bytes.Fill(count)) Fail("the data ends inside the group");
        const char* taken = m_bytes.Cursor();
        m_bytes.Advance(count);
        return taken;
    }
    unsigned Byte() { return static_cast<std::uint8_t>(*Take(1)); }
    // A signed little-endian integer of `size` bytes.
    std::int64_t Integer(std::size_t size) {
        const char* bytes = Take(size);
        std::uint64_t bits = 0;
        for (std::size_t k = size; k-- > 0;) bits = bits << 8 | static_cast<std::uint8_t>(bytes[k]);
        const std::uint64_t sign = std::uint64_t{1} << (8 * size - 1);
        if ((bits & sign) != 0) bits |= ~(sign - 1);
        std::int64_t value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // The bytes before the next NUL; a line break, which no ASCII value line can hold, reads as
    // a blank.
    std::string_view String() {
        std::size_t scanned = 0;
        for (;;) {
            const char* start = m_bytes.Cursor();
            const std::size_t available = m_bytes.Available();
            const void* nul = std::memchr(start + scanned, '\0', available - scanned);
            if (nul) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(nul) - start);
                if (length > ByteStream::kMaxRun) break;
                m_bytes.Advance(length + 1);
                std::string_view text(start, length);
                if (text.find_first_of("\r\n") == std::string_view::npos) return text;
                m_scratch.assign(text);
                for (char& c : m_scratch) {
                    if (c == '\r' || c == '\n') c = ' ';
                }
                return m_scratch;
            }
            if (available > ByteStream::kMaxRun) break;
            scanned = available;
            if (!m_bytes.Fill(available + 1)) Fail("the string has no NUL before the end");
        }
        Fail("a string longer than " + std::to_string(ByteStream::kMaxRun) + " bytes");
    }

    ByteStream& m_bytes;
    bool m_wideCodes = true;
    bool m_ended = false;
    std::size_t m_group = 0;  // where the group being read begins
    std::string m_scratch;
};

}  // namespace

bool IsBinaryDxf(std::string_view bytes) {
    return bytes.size() >= kBinaryDxfSentinel.size() &&
           bytes.substr(0, kBinaryDxfSentinel.size()) == kBinaryDxfSentinel;
}

std::unique_ptr<GroupSource> BinaryGroups(ByteStream& bytes) {
    return std::make_unique<BinaryGroupSource>(bytes);
}

std::unique_ptr<GroupSource> OpenGroups(ByteStream& bytes) {
    bytes.Fill(kBinaryDxfSentinel.size());
    const std::string_view start(bytes.Cursor(),
                                 std::min(bytes.Available(), kBinaryDxfSentinel.size()));
    return IsBinaryDxf(start) ? BinaryGroups(bytes) : TextGroups(bytes);
}

}  // namespace Vexlor::Dxf
