// Decoding of the names of a drawing (layers, blocks) into UTF-8: from the code page its header
// names, or as UTF-8 for drawings of R2007 and later, with "\U+XXXX" escapes replaced.
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace Vexlor::Dxf {

/// The bytes of `text` that are valid UTF-8 as they are, and U+FFFD for each other byte. Only the
/// shortest form of a scalar value is valid: overlong forms, the surrogates (ED A0 to ED BF) and
/// values past U+10FFFF are not.
std::string ValidUtf8(std::string_view text);

/// A text decoder for one drawing: `codePage` as $DWGCODEPAGE gives it (any case; empty when the
/// header has none), `utf8` true for drawings of R2007 and later (then the code page is not used).
///
/// Names recognised, in any case, with or without their '_' or '-': ANSI_874, ANSI_932, ANSI_936,
/// ANSI_949, ANSI_950, ANSI_1250 to ANSI_1258; DOS437, DOS850, DOS852, DOS855, DOS857, DOS860,
/// DOS861, DOS863, DOS864, DOS865, DOS866, DOS869, DOS932; ISO8859-1 to ISO8859-15 (no 12). A
/// recognised name still counts as unknown where the platform cannot convert from it.
///
/// Decode may be called from several threads at once.
class TextDecoder {
public:
    TextDecoder(std::string_view codePage, bool utf8);
    ~TextDecoder();  // releases what the platform's converter holds
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    /// `text` as UTF-8: bytes decoded from the code page (or validated as UTF-8), then "\U+XXXX"
    /// escapes (an upper-case U, exactly four hex digits of any case) replaced by their character.
    /// A byte that starts no character of the code page, or no valid UTF-8 sequence, becomes
    /// U+FFFD, one per byte, and decoding goes on at the next byte; an escape of 0 or of a
    /// surrogate becomes U+FFFD; one without four hex digits stays as it is. Throws nothing but
    /// std::bad_alloc.
    std::string Decode(std::string_view text) const;

    /// Whether the code page was recognised and the platform converts from it; true for drawings
    /// of R2007 and later. When false, Decode reads the bytes as UTF-8 where they are valid UTF-8
    /// and as U+FFFD where they are not.
    bool Known() const;

private:
    struct Converter;  // the platform's, defined with it
    /// Null when the bytes are read as UTF-8.
    std::unique_ptr<Converter> m_converter;
    bool m_known;
};

}  // namespace Vexlor::Dxf
