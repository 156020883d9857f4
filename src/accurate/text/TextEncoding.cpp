// Decoding of the names of a drawing into UTF-8: the $DWGCODEPAGE names, the platform's
// converters (iconv, or the code page functions of Windows), UTF-8 checks and "\U+XXXX" escapes.
// SPDX-License-Identifier: MIT
#include "accurate/text/TextEncoding.h"

#include <algorithm>  // std::all_of, std::find
#include <cstddef>    // std::size_t
#include <iterator>   // std::begin, std::end
#include <utility>    // std::move

#include "text/Utf8.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX  // std::max and std::min, not the macros of windows.h
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // IsDBCSLeadByteEx, IsValidCodePage, MultiByteToWideChar
#else
#include <iconv.h>  // iconv, iconv_close, iconv_open

#include <cerrno>  // errno, E2BIG
#include <mutex>   // std::lock_guard, std::mutex
#endif

namespace Vexlor::Dxf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

/// `text` with each "\U+" and four hex digits replaced by that character. Only the upper-case U
/// counts: "\u" is another code in the text of drawings.
std::string ReplaceEscapes(std::string text) {
    if (text.find("\\U+") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t value = 0;
        std::size_t digits = 0;
        if (text.compare(i, 3, "\\U+") == 0) {
            for (; digits < 4 && i + 3 + digits < text.size(); ++digits) {
                const int digit = HexDigit(text[i + 3 + digits]);
                if (digit < 0) break;
                value = value * 16 + static_cast<char32_t>(digit);
            }
        }
        if (digits == 4) {
            const bool scalar = value != 0 && (value < 0xD800 || value > 0xDFFF);
            AppendUtf8(out, scalar ? value : kReplacement);
            i += 7;
        } else {
            out += text[i++];
        }
    }
    return out;
}

/// The number Windows gives the code page that a $DWGCODEPAGE value names, 0 for none. Case,
/// '_', '-' and blanks do not count: "ANSI_1252", "ansi_1252" and "ISO8859-1" are read as
/// "ANSI1252", "ANSI1252" and "ISO88591".
unsigned CodePageNumber(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == '_' || c == '-' || c == ' ') continue;
        key += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    // The number after `prefix`, 0 when the key does not start with it or goes on with no digits.
    const auto number = [&](std::string_view prefix) {
        if (key.compare(0, prefix.size(), prefix) != 0 || key.size() == prefix.size() ||
            key.size() > prefix.size() + 5) {
            return 0U;
        }
        unsigned value = 0;
        for (char c : key.substr(prefix.size())) {
            if (c < '0' || c > '9') return 0U;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        return value;
    };
    static constexpr unsigned kAnsi[] = {874,  932,  936,  949,  950,  1250, 1251,
                                         1252, 1253, 1254, 1255, 1256, 1257, 1258};
    static constexpr unsigned kDos[] = {437, 850, 852, 855, 857, 860, 861,
                                        863, 864, 865, 866, 869, 932};
    const auto listed = [](const auto& list, unsigned value) {
        return std::find(std::begin(list), std::end(list), value) != std::end(list);
    };
    if (const unsigned n = number("ANSI"); listed(kAnsi, n)) return n;
    if (const unsigned n = number("DOS"); listed(kDos, n)) return n;
    // ISO 8859-n is 28590 + n to Windows; ISO 8859-12 was never published.
    if (const unsigned n = number("ISO8859"); n >= 1 && n <= 15 && n != 12) return 28590 + n;
    return 0;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            AppendUtf8(out, kReplacement);
            ++i;
        }
    }
    return out;
}

#if defined(_WIN32)

struct TextDecoder::Converter {
    UINT codePage;
};

namespace {

// A character of a double-byte code page is its lead byte and one more, of the others one byte;
// bytes below 0x80 that start a character are ASCII in every code page named here. What Windows
// refuses with MB_ERR_INVALID_CHARS (a lone lead byte, an invalid pair, an undefined byte of the
// double-byte code pages) becomes U+FFFD and decoding goes on at the next byte. A byte that
// Windows maps although its code page leaves it undefined (0x81 of 1252 to U+0081, for one) is
// taken as Windows maps it.
std::string DecodeCodePage(UINT codePage, std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        const std::size_t length = IsDBCSLeadByteEx(codePage, lead) ? 2 : 1;
        wchar_t wide[2];
        const int count = length > text.size() - i
                              ? 0
                              : MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data() + i,
                                                    static_cast<int>(length), wide, 2);
        if (count <= 0) {
            AppendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        // These code pages decode into the Basic Multilingual Plane: a surrogate is an error.
        for (int k = 0; k < count; ++k) {
            const char32_t c = static_cast<char32_t>(wide[k]);
            AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? kReplacement : c);
        }
        i += length;
    }
    return out;
}

}  // namespace

TextDecoder::TextDecoder(std::string_view codePage, bool utf8) : m_known(utf8) {
    if (utf8) return;
    const unsigned number = CodePageNumber(codePage);
    if (number != 0 && IsValidCodePage(number)) {
        m_converter = std::make_unique<Converter>(Converter{number});
        m_known = true;
    }
}

TextDecoder::~TextDecoder() = default;

#else

struct TextDecoder::Converter {
    explicit Converter(iconv_t handle) : cd(handle) {}
    ~Converter() { iconv_close(cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t cd;
    /// iconv keeps its state in `cd`: one conversion at a time.
    std::mutex mutex;
};

namespace {

/// Appends what a stateful code page (1255, 1258, which wait for a combining mark after a letter)
/// holds back, and resets the state. One held back character fits the buffer.
void Flush(iconv_t cd, std::string& out) {
    char buffer[16];
    char* to = buffer;
    std::size_t left = sizeof buffer;
    iconv(cd, nullptr, nullptr, &to, &left);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
}

// A byte at which iconv finds no character (EILSEQ), or only the start of one (EINVAL, a lone
// lead byte at the end), becomes U+FFFD and decoding goes on at the next byte.
std::string DecodeCodePage(iconv_t cd, std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh state, whatever a call before left
    // iconv takes char** but only reads the input.
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char buffer[256];
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            Flush(cd, out);
            AppendUtf8(out, kReplacement);
            ++in;
            --inLeft;
        }
    }
    Flush(cd, out);
    return out;
}

}  // namespace

TextDecoder::TextDecoder(std::string_view codePage, bool utf8) : m_known(utf8) {
    if (utf8) return;
    const unsigned number = CodePageNumber(codePage);
    if (number == 0) return;
    // glibc's names: CP1252, CP932 (Windows' Shift-JIS), ISO-8859-2.
    const std::string name = number > 28590 ? "ISO-8859-" + std::to_string(number - 28590)
                                            : "CP" + std::to_string(number);
    const iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return;  // not in this C library
    m_converter = std::make_unique<Converter>(cd);
    m_known = true;
}

TextDecoder::~TextDecoder() = default;

#endif

std::string TextDecoder::Decode(std::string_view text) const {
    // Most names are bytes below 0x80 alone: ASCII in UTF-8 and, as Windows decodes them, in
    // every code page named here (glibc alone reads 0x25 of 864 as U+066A, not '%').
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && text.find('\\') == std::string_view::npos) return std::string(text);
    std::string utf8;
    if (ascii) {
        utf8 = text;
    } else if (!m_converter) {
        utf8 = ValidUtf8(text);
    } else {
#if defined(_WIN32)
        utf8 = DecodeCodePage(m_converter->codePage, text);
#else
        const std::lock_guard<std::mutex> lock(m_converter->mutex);
        utf8 = DecodeCodePage(m_converter->cd, text);
#endif
    }
    // Decoded first: a trail byte 0x5C of a double-byte code page is no backslash.
    return ReplaceEscapes(std::move(utf8));
}

bool TextDecoder::Known() const { return m_known; }

}  // namespace Vexlor::Dxf
