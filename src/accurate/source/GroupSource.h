// The groups of a drawing, read as a stream: an ASCII DXF and a binary DXF are two producers
// behind one interface, and every group carries its position.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint8_t
#include <istream>      // std::istream
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "accurate/source/ReadError.h"
#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// One group as a producer reads it.
struct Group {
    /// How the value is held: as text (every group of an ASCII drawing, and the strings of a
    /// binary one) or as the number a binary drawing stores.
    enum class Kind : std::uint8_t { Text, Real, Integer };

    int code = 0;
    Kind kind = Kind::Text;
    /// Text: the value line as written, its line end removed (a binary string: its bytes, line
    /// breaks turned to blanks); empty for a number. Valid until the next group is read.
    std::string_view value;
    /// A binary number: `real` for Kind::Real, `integer` for Kind::Integer.
    union {
        double real = 0;
        long long integer;
    };
    /// The line of the group's code in an ASCII drawing; the byte offset where the group begins
    /// in a binary one.
    std::size_t position = 0;
};

/// The bytes of a drawing in blocks: from memory as they stand, or from a stream a block at a
/// time, so that memory does not grow with the file. A line or string of the drawing must fit in
/// kMaxRun bytes.
class ByteStream {
public:
    /// The bytes a reader may need at once: a longer line or string is an error.
    static constexpr std::size_t kMaxRun = std::size_t{1} << 20;

    /// All of `bytes`, which outlive the stream.
    explicit ByteStream(std::string_view bytes);
    /// The bytes of `in`, read `block` at a time (at least 1).
    ByteStream(std::istream& in, std::size_t block);
    // Its cursor points into its own room.
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    const char* Cursor() const { return m_cursor; }
    /// The bytes from the cursor that are in memory now.
    std::size_t Available() const { return static_cast<std::size_t>(m_end - m_cursor); }
    void Advance(std::size_t count) { m_cursor += count; }
    /// The offset of the cursor from the start of the drawing.
    std::size_t Offset() const { return m_consumed + static_cast<std::size_t>(m_cursor - m_begin); }
    /// Whether the last byte of the drawing is in memory.
    bool Ended() const { return m_ended; }
    /// Reads until `count` bytes from the cursor are in memory, or the drawing ends; false when
    /// fewer remain. The bytes move: views into them end here. Throws ReadError when the stream
    /// fails.
    bool Fill(std::size_t count) { return Available() >= count || Refill(count); }

private:
    bool Refill(std::size_t count);

    std::istream* m_in = nullptr;
    std::size_t m_block = 0;
    std::string m_buffer;
    const char* m_begin = nullptr;
    const char* m_cursor = nullptr;
    const char* m_end = nullptr;
    std::size_t m_consumed = 0;  // bytes before m_begin
    bool m_ended = true;
};

/// A drawing's groups in their order.
class GroupSource {
public:
    virtual ~GroupSource() = default;
    /// The next group, or false at the end of the drawing (a binary one ends after 0/EOF). Throws
    /// ReadError for a group that is cut off or malformed, or a line longer than
    /// ByteStream::kMaxRun.
    virtual bool Next(Group& group) = 0;
    /// Whether positions are byte offsets of a binary drawing, not lines.
    virtual bool Binary() const = 0;
    /// Reads on through the point groups that follow a group 10 in the common form, each a plain
    /// decimal (PlainDecimal): an LWPOLYLINE's vertices, a 20 and a 10 in turn, or with
    /// `heights` a SPLINE's control points, a 20, a 30 and a 10 in turn; beginning with a 20. A
    /// 20 sets the y of the last of `points`, a 30 the last of `heights`, and a 10 appends the
    /// point (x, 0), and a height 0 to `heights`. Stops before the first group of any other
    /// form, which it leaves unread, and returns the position of the last group it read, or
    /// kNoPosition when it read none. Reading the same groups one by one gives the same points:
    /// a producer may read none at all, as binary drawings do.
    virtual std::size_t PlainVertices(std::vector<Point2d>& points, std::vector<double>* heights) {
        (void)points, (void)heights;
        return kNoPosition;
    }
};

/// Whether `bytes` begin with the binary DXF sentinel, "AutoCAD Binary DXF" CR LF SUB NUL (22
/// bytes).
bool IsBinaryDxf(std::string_view bytes);

/// The producer for `bytes`: binary when they begin with the sentinel, ASCII otherwise.
std::unique_ptr<GroupSource> OpenGroups(ByteStream& bytes);

/// An ASCII DXF: a code line and a value line per group; LF, CR LF and a lone CR end a line,
/// blanks and tabs around a code are ignored.
std::unique_ptr<GroupSource> TextGroups(ByteStream& bytes);

/// A binary DXF after its sentinel: codes of 2 bytes (R13 and later) or of 1 byte (R12 and
/// earlier, where the byte 255 announces a 2-byte code); values typed by their code, strings
/// ended by NUL.
std::unique_ptr<GroupSource> BinaryGroups(ByteStream& bytes);

}  // namespace Vexlor::Dxf
