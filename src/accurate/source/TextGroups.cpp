// The groups of an ASCII DXF, read line by line from the drawing's blocks.
// SPDX-License-Identifier: MIT
#include <charconv>  // std::from_chars
#include <cstddef>   // std::ptrdiff_t
#include <cstdint>   // std::uint64_t
#include <cstring>   // std::memcmp, std::memcpy
#include <string>    // std::to_string

#include "accurate/source/GroupSource.h"
#include "accurate/source/PlainDecimal.h"
#include "accurate/source/ReadError.h"
#include "accurate/source/Text.h"
#include "text/LineBreak.h"

namespace Vexlor::Dxf {

namespace {

class TextGroupSource final : public GroupSource {
public:
    explicit TextGroupSource(ByteStream& bytes) : m_bytes(bytes) {}

    bool Next(Group& group) override {
        if (Quick(group)) return true;
        if (!m_bytes.Fill(1)) return false;
        const std::size_t line = m_line;
        const std::string_view codeText = Trim(ReadLine());
        int code = 0;
        const auto [end, error] =
            std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (error != std::errc() || end != codeText.data() + codeText.size()) {
            throw ReadError{line, "the group code " + Quoted(codeText) + " is not a whole number"};
        }
        if (!m_bytes.Fill(1)) {
            throw ReadError{line, "group " + std::to_string(code) + " has no value line"};
        }
        group.code = code;
        group.kind = Group::Kind::Text;
        group.value = ReadLine();
        group.position = line;
        return true;
    }

    bool Binary() const override { return false; }

    std::size_t PlainVertices(std::vector<Point2d>& points, std::vector<double>* heights) override {
        std::size_t last = kNoPosition;
        if (points.empty() || (heights && heights->empty())) return last;
        const auto set = [&](int code, double value) {
            if (code == 20) {
                points.back().y = value;
            } else if (code == 30) {
                heights->back() = value;
            } else {
                // Made in place and then set: a point built aside would be copied whole from
                // the two halves just written, and wait for them.
                points.emplace_back().x = value;
                if (heights) heights->push_back(0);
            }
        };
        // The code after each: 20, 10, 20, ... or 20, 30, 10, 20, ...
        const int afterY = heights ? 30 : 10;
        const auto following = [&](int code) { return code == 20 ? afterY : code == 30 ? 10 : 20; };
        Group group;
        for (int code = 20;;) {
            // The groups in the form nearly every drawing writes, with the cursor held here
            // until they end, rather than moved group by group.
            const char* p = m_bytes.Cursor();
            const char* const end = p + m_bytes.Available();
            std::size_t read = 0;
            double value = 0;
            while (const char* next = QuickVertexGroup(p, end, code, value)) {
                set(code, value);
                p = next;
                ++read;
                code = following(code);
            }
            if (read > 0) {
                m_bytes.Advance(static_cast<std::size_t>(p - m_bytes.Cursor()));
                m_line += 2 * read;
                last = m_line - 2;
            }
            // Any other form of the next group, read as Next reads it.
            const char* next = Peek(group);
            if (!next || group.code != code || !PlainDecimal(group.value, value)) return last;
            set(code, value);
            last = Take(next);
            code = following(code);
        }
    }

private:
    // What QuickVertexGroup may look at: the code line, a sign, sixteen digits, a point, eight
    // more bytes and a line end.
    static constexpr std::size_t kQuickRoom = 32;

    // The point group `code` (10, 20 or 30) at `p`, in memory up to `end`, in the form nearly
    // every drawing writes it, read at once with its value: the code right-aligned in three
    // columns, a plain decimal (sign, digits, a point and at most seven digits after it), each
    // line ended by LF or CR LF. Where the group ends, or null for any other form, which Peek and
    // PlainDecimal read instead. Both give the same number: the digits as one exact integer over
    // an exact power of ten.
    static const char* QuickVertexGroup(const char* p, const char* end, int code, double& value) {
#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
        using namespace PlainNumbers;
        if (end - p < static_cast<std::ptrdiff_t>(kQuickRoom)) return nullptr;
        const char* head = code == 10 ? " 10" : code == 20 ? " 20" : " 30";
        if (std::memcmp(p, head, 3) != 0) return nullptr;
        p += 3;
        if (*p == '\r') ++p;
        if (*p++ != '\n') return nullptr;
        const bool negative = *p == '-';
        p += negative ? 1 : 0;
        const char* whole = p;
        std::uint64_t digits = 0;
        for (unsigned digit; (digit = static_cast<unsigned>(*p - '0')) < 10; ++p) {
            if (p - whole == 15) return nullptr;
            digits = digits * 10 + digit;
        }
        std::size_t count = static_cast<std::size_t>(p - whole);
        std::size_t fraction = 0;
        if (*p == '.') {
            std::uint64_t word;
            std::memcpy(&word, ++p, sizeof word);
            const std::uint64_t others = NotDigits(word);
            if (others == 0) return nullptr;  // eight digits or more after the point
            // The high bit of every byte that is not 0, without carries between bytes.
            constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full;
            fraction = LowestMarkedByte((((others & kLow) + kLow) | others) & ~kLow);
            if (fraction > 0) {
                // The digits last in the word, '0' before them, as EightDigitsValue reads them.
                const auto shift = static_cast<unsigned>(8 * (8 - fraction));
                word = (word << shift) | (kZeros & ((std::uint64_t{1} << shift) - 1));
                digits = digits * kWholePowers[fraction] + EightDigitsValue(word);
                p += fraction;
                count += fraction;
            }
        }
        if (count == 0 || count > 15) return nullptr;
        if (*p == '\r') ++p;
        if (*p != '\n') return nullptr;
        const double magnitude = static_cast<double>(digits) / kExactPowers[fraction];
        value = negative ? -magnitude : magnitude;
        return p + 1;
#else
        (void)p, (void)end, (void)code, (void)value;
        return nullptr;
#endif
    }

    // The common group at once (Peek), read.
    bool Quick(Group& group) {
        const char* next = Peek(group);
        if (!next) return false;
        group.position = Take(next);
        return true;
    }

    // Moves past the group that ends at `next`; its position.
    std::size_t Take(const char* next) {
        const std::size_t position = m_line;
        m_line += 2;
        m_bytes.Advance(static_cast<std::size_t>(next - m_bytes.Cursor()));
        return position;
    }

    // The common group, without reading it: blanks and a code of at most four digits, then a
    // value line, each ended by LF or CR LF, both in memory. Where the group ends, or null for
    // anything else, which the general reading takes.
    const char* Peek(Group& group) const {
        const char* p = m_bytes.Cursor();
        const char* end = p + m_bytes.Available();
        int code = 0;
        if (end - p >= 8) {
            // Three blanks and four digits at most lie within the eight bytes: no test of the end.
            for (int blanks = 0; blanks < 3 && *p == ' '; ++blanks) ++p;
            auto digit = static_cast<unsigned>(*p - '0');
            if (digit > 9) return nullptr;
            code = static_cast<int>(digit);
            for (int more = 0; more < 3 && (digit = static_cast<unsigned>(p[1] - '0')) <= 9;
                 ++more) {
                code = code * 10 + static_cast<int>(digit);
                ++p;
            }
            ++p;
        } else {
            while (p < end && *p == ' ') ++p;
            const char* digits = p;
            while (p < end && *p >= '0' && *p <= '9' && p - digits < 4) {
                code = code * 10 + (*p++ - '0');
            }
            if (p == digits) return nullptr;
        }
        if (!(p = LineBreak(p, end))) return nullptr;
        const char* value = p;
        p = FindLineBreak(p, end);
        const char* next = LineBreak(p, end);
        if (!next || static_cast<std::size_t>(p - value) > ByteStream::kMaxRun) return nullptr;
        group.code = code;
        group.kind = Group::Kind::Text;
        group.value = {value, static_cast<std::size_t>(p - value)};
        return next;
    }

    // Past the LF or CR LF at `p`, or null when there is none in memory.
    static const char* LineBreak(const char* p, const char* end) {
        if (p < end && *p == '\n') return p + 1;
        if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') return p + 2;
        return nullptr;
    }

    // The next line, at least one byte of which is in memory; valid until the next Fill.
    std::string_view ReadLine() {
        std::size_t scanned = 0;
        for (;;) {
            const char* start = m_bytes.Cursor();
            const char* to = start + m_bytes.Available();
            const char* end = FindLineBreak(start + scanned, to);
            const auto length = static_cast<std::size_t>(end - start);
            if (length > ByteStream::kMaxRun) {
                throw ReadError{
                    m_line, "a line longer than " + std::to_string(ByteStream::kMaxRun) + " bytes"};
            }
            // A CR last in memory may be the first half of a CR LF.
            const bool whole = end < to && !(*end == '\r' && end + 1 == to && !m_bytes.Ended());
            if (!whole && !m_bytes.Ended()) {
                scanned = length;
                m_bytes.Fill(m_bytes.Available() + 1);
                continue;
            }
            std::size_t taken = length;
            if (end < to) taken += *end == '\r' && end + 1 < to && end[1] == '\n' ? 2 : 1;
            m_bytes.Advance(taken);
            ++m_line;
            return {start, length};
        }
    }

    ByteStream& m_bytes;
    std::size_t m_line = 1;
};

}  // namespace

std::unique_ptr<GroupSource> TextGroups(ByteStream& bytes) {
    return std::make_unique<TextGroupSource>(bytes);
}

}  // namespace Vexlor::Dxf
