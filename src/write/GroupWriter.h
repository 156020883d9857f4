// DXF groups written to a stream: a code line and a value line each, numbers in their fewest
// digits, through one buffer.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint64_t
#include <cstring>      // std::memcpy
#include <ostream>      // std::ostream
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace Vexlor::Dxf {

/// Writes ASCII DXF groups to `out`. The code is right-aligned in three columns (" 10", "100"),
/// as CAD programs write it; every line ends in LF. The groups gather in a buffer that goes to
/// the stream when it is full and on Flush: formatting each number through the stream would
/// cost several times more, and the text never depends on the stream's or the process's locale.
class GroupWriter {
public:
    explicit GroupWriter(std::ostream& out);
    GroupWriter(const GroupWriter&) = delete;
    GroupWriter& operator=(const GroupWriter&) = delete;

    void Text(int code, std::string_view value);
    void Integer(int code, long long value);
    /// The shortest text that reads back to `value` exactly (std::to_chars): "0", "-0", "2.5",
    /// "0.1", "1e+300". Only finite values are written; callers refuse the others before.
    void Number(int code, double value);
    /// A handle: upper-case hexadecimal without leading zeros.
    void Handle(int code, std::uint64_t handle);
    /// `code` (10, 11, ...) with x, `code` + 10 with y and, for Point3, `code` + 20 with z.
    void Point2(int code, double x, double y);
    void Point3(int code, double x, double y, double z);

    /// The fast road for entities written by the million: room for `size` bytes, then bytes
    /// as they stand and bare values, each value followed by its line end.
    void Reserve(std::size_t size) { Ensure(size); }
    void Raw(std::string_view bytes) {
        std::memcpy(m_buffer.data() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
    }
    void RawNumber(double value);
    void RawInteger(long long value);
    void RawHandle(std::uint64_t handle);
    /// The most a bare value of RawNumber, RawInteger or RawHandle takes, with its line end.
    static constexpr std::size_t kValueRoom = 32;

    /// Hands the buffer to the stream; false once the stream has failed.
    bool Flush();
    /// Hands the buffer over when it is nearly full; false once the stream has failed.
    bool Spill() { return m_used + kRoom > m_buffer.size() ? Flush() : !m_out.fail(); }

private:
    // The most one group may take: a code line and a value line of a number or handle. The
    // buffer grows for a longer text.
    static constexpr std::size_t kRoom = 64;
    void Code(int code);
    void Ensure(std::size_t size) {
        if (m_used + size > m_buffer.size()) Flush();
        if (size > m_buffer.size()) m_buffer.resize(size);
    }

    std::ostream& m_out;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
};

}  // namespace Vexlor::Dxf
