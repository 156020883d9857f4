// Excerpts of a drawing's values for error messages.
// SPDX-License-Identifier: MIT
#include "accurate/source/ReadError.h"

#include "text/Utf8.h"

namespace Vexlor::Dxf {

std::string Excerpt(std::string_view value) {
    constexpr std::size_t kMaxBytes = 40;
    std::string out;
    const std::size_t end = value.size() < kMaxBytes ? value.size() : kMaxBytes;
    for (std::size_t i = 0; i < end;) {
        const auto byte = static_cast<unsigned char>(value[i]);
        const std::size_t length = Utf8SequenceLength(value, i);
        if (byte == '\\' || byte == '"') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n' || byte == '\r' || byte == '\t') {
            out += '\\';
            out += byte == '\n' ? 'n' : byte == '\r' ? 'r' : 't';
        } else if (length == 1 && byte >= 0x20 && byte != 0x7F) {
            out += static_cast<char>(byte);
        } else if (length > 1 && i + length <= end &&
                   !(Utf8Value(value, i, length) >= 0x80 && Utf8Value(value, i, length) < 0xA0)) {
            // A whole character, but not one of the C1 controls that terminals obey.
            out.append(value.substr(i, length));
            i += length;
            continue;
        } else {
            out += "\\x";
            out += "0123456789ABCDEF"[byte >> 4];
            out += "0123456789ABCDEF"[byte & 15];
        }
        ++i;
    }
    if (value.size() > kMaxBytes) out += "...";
    return out;
}

}  // namespace Vexlor::Dxf
