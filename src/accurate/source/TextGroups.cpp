// The groups of an ASCII DXF, read line by line from the drawing's blocks.
// SPDX-License-Identifier: MIT
#include <charconv>  // std::from_chars
#include <string>    // std::to_string

#include "accurate/source/GroupSource.h"
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

private:
    // The common group at once: blanks and a code of at most four digits, then a value line,
    // each ended by LF or CR LF, both in memory. False, having read nothing, for anything else,
    // which the general reading takes.
    bool Quick(Group& group) {
        const char* p = m_bytes.Cursor();
        const char* end = p + m_bytes.Available();
        const char* start = p;
        int code = 0;
        if (end - p >= 8) {
            // Three blanks and four digits at most lie within the eight bytes: no test of the end.
            for (int blanks = 0; blanks < 3 && *p == ' '; ++blanks) ++p;
            auto digit = static_cast<unsigned>(*p - '0');
            if (digit > 9) return false;
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
            if (p == digits) return false;
        }
        if (!(p = LineBreak(p, end))) return false;
        const char* value = p;
        p = FindLineBreak(p, end);
        const char* next = LineBreak(p, end);
        if (!next || static_cast<std::size_t>(p - value) > ByteStream::kMaxRun) return false;
        group.code = code;
        group.kind = Group::Kind::Text;
        group.value = {value, static_cast<std::size_t>(p - value)};
        group.position = m_line;
        m_line += 2;
        m_bytes.Advance(static_cast<std::size_t>(next - start));
        return true;
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
