// Escaping of text that came from a file, before a terminal, a CSV reader or an XML reader sees it.
// SPDX-License-Identifier: MIT
#include "PrintableText.h"

#include <cstddef>  // std::size_t

namespace Vexlor::DxfTool {

std::string Printable(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    for (std::size_t i = 0; i < text.size();) {
        // The length of the UTF-8 sequence that starts here, 0 when no sequence can. Only the
        // shortest form of a scalar value is well-formed: the range of the second byte leaves
        // out overlong forms, the surrogates and values past U+10FFFF.
        const unsigned lead = byte(i);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        bool valid = length > 0 && text.size() - i >= length;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = byte(i + k) >= (k == 1 ? low : 0x80) && byte(i + k) <= (k == 1 ? high : 0xBF);
        }
        // C1 controls are the two-byte sequences C2 80 to C2 9F.
        const bool control =
            lead < 0x20 || lead == 0x7F || (valid && lead == 0xC2 && byte(i + 1) < 0xA0);
        const std::string_view sequence = text.substr(i, valid ? length : 1);
        i += sequence.size();
        if (valid && !control && sequence != "\xEF\xBF\xBE" && sequence != "\xEF\xBF\xBF") {
            shown += sequence;
        } else if (lead == '\n' || lead == '\r' || lead == '\t') {
            shown += lead == '\n' ? "\\n" : lead == '\r' ? "\\r" : "\\t";
        } else {
            for (const char c : sequence) {
                const auto value = static_cast<unsigned char>(c);
                shown += {'\\', 'x', kHex[value >> 4], kHex[value & 0xF]};
            }
        }
    }
    return shown;
}

}  // namespace Vexlor::DxfTool
