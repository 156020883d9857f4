// Reading a drawing's bytes a block at a time.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::max
#include <cstring>    // std::memmove

#include "accurate/source/GroupSource.h"
#include "accurate/source/ReadError.h"

namespace Vexlor::Dxf {

namespace {

// Room kept beyond a block for the part line left over from the block before.
constexpr std::size_t kCarried = 4096;

}  // namespace

ByteStream::ByteStream(std::string_view bytes)
    : m_begin(bytes.data()), m_cursor(bytes.data()), m_end(bytes.data() + bytes.size()) {}

ByteStream::ByteStream(std::istream& in, std::size_t block)
    : m_in(&in), m_block(std::max<std::size_t>(block, 1)), m_ended(false) {
    m_begin = m_cursor = m_end = m_buffer.data();
}

bool ByteStream::Refill(std::size_t count) {
    while (Available() < count && !m_ended) {
        // What is left moves to the front. The room takes a block and a part line beyond it
        // from the start, so that it grows only for a run longer than a block, rather than each
        // time a longer part line is left over.
        const std::size_t kept = Available();
        const std::size_t room = std::max(m_block, count) + std::max(kept, kCarried);
        if (m_buffer.size() < room) {
            std::string grown(room, '\0');
            std::memcpy(grown.data(), m_cursor, kept);
            m_buffer.swap(grown);
        } else if (kept > 0) {
            std::memmove(m_buffer.data(), m_cursor, kept);
        }
        m_consumed += static_cast<std::size_t>(m_cursor - m_begin);
        m_begin = m_cursor = m_buffer.data();
        m_in->read(m_buffer.data() + kept, static_cast<std::streamsize>(m_buffer.size() - kept));
        const auto got = static_cast<std::size_t>(m_in->gcount());
        m_end = m_begin + kept + got;
        if (m_in->bad()) throw ReadError{kNoPosition, "the stream could not be read to its end"};
        if (!*m_in) m_ended = true;
    }
    return Available() >= count;
}

}  // namespace Vexlor::Dxf
