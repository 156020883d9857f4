// Finding line ends eight bytes at a time, for the readers' hot loops.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>  // std::uint64_t
#include <cstring>  // std::memcpy

// Whether a word read from memory holds its first byte in its lowest bits; Windows runs on
// little-endian processors only.
#if (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) || defined(_WIN32)
#define VEXLOR_DXF_LITTLE_ENDIAN 1
#endif

namespace Vexlor::Dxf {

#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
/// The index of the lowest byte of `marks` whose high bit is set; `marks` has one. Compilers
/// without the bit-scan builtin count the bytes one by one, with the same result.
inline std::size_t LowestMarkedByte(std::uint64_t marks) {
#if defined(__GNUC__)
    return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
#else
    std::size_t index = 0;
    while ((marks & 0x80) == 0) {
        marks >>= 8;
        ++index;
    }
    return index;
#endif
}
#endif

/// The first line feed or carriage return in [p, end), or end. Eight bytes are tested at a time
/// while they lie inside the range: a byte equal to b leaves a zero byte in word ^ b, and the
/// lowest marked zero byte is always a true one.
inline const char* FindLineBreak(const char* p, const char* end) {
#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        const std::uint64_t lineFeeds = word ^ (kOnes * '\n');
        const std::uint64_t returns = word ^ (kOnes * '\r');
        const std::uint64_t zeros =
            ((lineFeeds - kOnes) & ~lineFeeds) | ((returns - kOnes) & ~returns);
        if (const std::uint64_t found = zeros & kHighBits) {
            return p + LowestMarkedByte(found);
        }
        p += 8;
    }
#endif
    while (p < end && *p != '\n' && *p != '\r') ++p;
    return p;
}

}  // namespace Vexlor::Dxf
