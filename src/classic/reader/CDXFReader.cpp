// The group reader, the section driver and the section loops of the abstract DXF reader.
// SPDX-License-Identifier: MIT
#include "CDXFReader.h"

#include <cstring>      // std::memchr
#include <fstream>      // std::ifstream
#include <string_view>  // std::wstring_view
#include <vector>       // std::vector

#if defined(__SSE2__)
#include <emmintrin.h>  // SSE2, part of every x86-64 processor
#endif

#include "WideFileStream.h"
#include "text/LineBreak.h"

namespace {

using Vexlor::Dxf::FindLineBreak;

constexpr int kLineFeed = 0x0A;
constexpr int kCarriageReturn = 0x0D;
constexpr int kSpace = 0x20;
constexpr int kTab = 0x09;
constexpr unsigned short kCommentCode = 999;

// The file stream's own buffer; a larger one than the library default keeps the byte-wise
// reads of the group reader cheap on large drawings.
constexpr std::size_t kFileBufferSize = 1 << 16;

// Reads one byte through the stream's buffer. The end of the file (or a stream without a
// buffer) marks the stream as ended, as an unformatted single-character read would.
// A buffer that fails to read (a directory opened as a file, an I/O error) marks the stream
// bad and ends its input, as an unformatted read of the stream itself would, instead of
// letting the buffer's exception out; it is rethrown only when the stream asks for that.
inline int NextByte(std::istream& stream) {
    std::streambuf* buffer = stream.rdbuf();
    int byte = std::char_traits<char>::eof();
    if (buffer) {
        try {
            byte = buffer->sbumpc();
        } catch (...) {
            if (stream.exceptions() & std::ios_base::badbit) throw;
            stream.setstate(std::ios_base::badbit);
            return std::char_traits<char>::eof();
        }
    }
    if (byte == std::char_traits<char>::eof()) stream.setstate(std::ios_base::eofbit);
    return byte;
}

// Each byte becomes one wide character; bytes 0x80-0xFF are sign-extended from 8 to 16 bits
// (0xE9 becomes 0xFFE9), with no code page applied, so the same bytes always give the same text.
inline wchar_t Widen(char byte) {
    const auto signedByte = static_cast<signed char>(byte);
    return static_cast<wchar_t>(static_cast<unsigned short>(signedByte));
}

// Widens `length` bytes from `source` into `target`, which has room for `length` rounded up to
// a multiple of eight. `limit` ends the readable bytes; whole groups of eight are widened at
// once while they lie before it (the characters beyond `length` are never used).
inline void WidenBytes(const char* source, std::size_t length, const char* limit, wchar_t* target) {
    std::size_t k = 0;
#if defined(__SSE2__) && defined(__WCHAR_MAX__) && __WCHAR_MAX__ > 0xFFFF
    static_assert(sizeof(wchar_t) == 4, "four-byte wide characters");
    const __m128i zero = _mm_setzero_si128();
    for (; k < length && limit - (source + k) >= 8; k += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + k));
        // Sign-extended to 16 bits, then zero-extended to 32, as Widen does byte by byte.
        const __m128i words = _mm_unpacklo_epi8(bytes, _mm_cmplt_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + k), _mm_unpacklo_epi16(words, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + k + 4),
                         _mm_unpackhi_epi16(words, zero));
    }
#else
    static_cast<void>(limit);
#endif
    for (; k < length; ++k) target[k] = Widen(source[k]);
}

// True once a read has hit the end of the file or the stream has failed.
inline bool AtEnd(const std::istream& stream) { return !stream.good(); }

// Drops the rest of a line after a carriage return, through the next line feed or to the end.
inline void DropRestOfLine(std::istream& stream) {
    int byte;
    do {
        byte = NextByte(stream);
    } while (byte != kLineFeed && byte != std::char_traits<char>::eof());
}

// The get area of any stream buffer. Pointers to the buffer's protected members, formed in a
// derived class, may be applied to every buffer; this reads whole lines that already sit in
// the buffer at once instead of byte by byte, with exactly the same result.
struct GetArea : std::streambuf {
    static const char* Next(std::streambuf& buffer) { return (buffer.*(&GetArea::gptr))(); }
    static const char* End(std::streambuf& buffer) { return (buffer.*(&GetArea::egptr))(); }
    static void Consume(std::streambuf& buffer, const char* next) {
        (buffer.*(&GetArea::gbump))(static_cast<int>(next - Next(buffer)));
    }
};

// The grammar of a code line, the same for the buffered and the byte-wise reading: blanks,
// digits, blanks, then a line feed or a carriage return. `next()` gives the line's bytes (0 to
// 255) one by one, or -1 when there are no more. Sets `code` to the number of the digits modulo
// 65536 (the range of the code type) and returns the byte that ended the digits and blanks,
// -1 when they ran out. Any other byte there, a digit after the blanks included, is malformed.
template <typename Next>
int ScanCode(Next&& next, unsigned short& code) {
    int byte = next();
    while (byte == kSpace) byte = next();
    unsigned number = 0;  // 2^32 is a multiple of 65536
    for (unsigned digit; (digit = static_cast<unsigned>(byte - '0')) <= 9u; byte = next()) {
        number = number * 10u + digit;
    }
    while (byte == kSpace) byte = next();
    code = static_cast<unsigned short>(number);
    return byte;
}

// Reads the code line starting at p, when the buffer holds it up to its end: `next` becomes the
// byte after its line feed (1), or after an offending byte (-1). 0: the line runs past `end`
// and nothing is known.
inline short ScanCodeLine(const char* p, const char* end, unsigned short& code, const char*& next) {
    const int last =
        ScanCode([&] { return p < end ? static_cast<unsigned char>(*p++) : -1; }, code);
    if (last == -1) return 0;
    if (last == kLineFeed) return next = p, 1;
    if (last != kCarriageReturn) return next = p, -1;
    next = static_cast<const char*>(std::memchr(p, kLineFeed, static_cast<std::size_t>(end - p)));
    return next ? (++next, 1) : 0;
}

// Takes the value line starting at p when it ends inside the buffer, exactly as the byte-wise
// reading does: leading blanks dropped, the value ending at a carriage return, the rest of the
// line through its line feed consumed (everything before p too). False, with nothing
// consumed, when the line does not end inside the buffer.
inline bool TakeBufferedValue(std::streambuf& buffer, const char* p, std::wstring& value) {
    const char* end = GetArea::End(buffer);
    const char* first = p;
    while (first < end && (*first == kSpace || *first == kTab)) ++first;
    const char* last = FindLineBreak(first, end);
    if (last == end) return false;
    const char* lineFeed = last;
    if (*last == kCarriageReturn) {
        lineFeed = static_cast<const char*>(
            std::memchr(last, kLineFeed, static_cast<std::size_t>(end - last)));
        if (lineFeed == nullptr) return false;
    }
    const auto length = static_cast<std::size_t>(last - first);
    constexpr std::size_t kShortLine = 128;
    value.clear();
    if (length <= kShortLine) {
        // Widened in a local array and appended with one copy into the reused string.
        wchar_t shortLine[kShortLine + 8];
        WidenBytes(first, length, end, shortLine);
        value.append(shortLine, length);
    } else {
        value.resize(length);
        // The string has no room past the length: byte by byte.
        WidenBytes(first, length, first, value.data());
    }
    GetArea::Consume(buffer, lineFeed + 1);
    return true;
}

using namespace std::string_view_literals;

constexpr std::wstring_view kSection = L"SECTION";
constexpr std::wstring_view kEndSection = L"ENDSEC";
constexpr std::wstring_view kEndOfFile = L"EOF";

}  // namespace

CDXFReader::EReturnCode CDXFReader::Import(const std::wstring& fileName) {
    std::vector<char> fileBuffer(kFileBufferSize);
    std::ifstream stream;
    stream.rdbuf()->pubsetbuf(fileBuffer.data(), static_cast<std::streamsize>(fileBuffer.size()));
    // Read-only and in text mode; the stream takes no lock on the file. On POSIX systems the
    // bytes come unconverted; on Windows the runtime turns CR LF into LF and a Ctrl-Z byte
    // (0x1A) ends the file (KNOWN_ISSUES.md).
    Vexlor::Platform::OpenByWidePath(stream, fileName, std::ios_base::in);
    if (!stream.is_open()) return eOpenError;

    unsigned short code = 0;
    std::wstring value;
    for (;;) {
        short r = _ReadGroup(stream, code, value);
        if (r < 0) return eReadError;
        // The marker ends the file whatever its code, even when its line has no line feed.
        if (value == kEndOfFile) {
            const EReturnCode result = _PostProcess();
            stream.close();
            return result;
        }
        if (code != 0 || value != kSection || r == 0) return eReadError;

        r = _ReadGroup(stream, code, value);
        if (r <= 0 || code != 2) return eReadError;

        if (value == L"HEADER"sv) {
            r = _ReadHeader(stream);
        } else if (value == L"CLASSES"sv) {
            r = _ReadClasses(stream);
        } else if (value == L"TABLES"sv) {
            r = _ReadTables(stream);
        } else if (value == L"BLOCKS"sv) {
            r = _ReadBlocks(stream);
        } else if (value == L"ENTITIES"sv) {
            r = _ReadEntities(stream);
        } else if (value == L"OBJECTS"sv) {
            r = _ReadObjects(stream);
        } else if (value == L"THUMBNAILIMAGE"sv) {
            r = _ReadThumbnailImage(stream);
        } else {
            r = _SkipBody(stream, 0, std::wstring(kEndSection));
        }
        if (r < 0) return eReadError;
    }
}

short CDXFReader::_ReadBlockSection(std::istream& stream, unsigned short& code,
                                    std::wstring& value) {
    return _ReadDefaultSection(stream, code, value);
}

short CDXFReader::_ReadTableSection(std::istream& stream, unsigned short& code,
                                    std::wstring& value) {
    return _ReadDefaultSection(stream, code, value);
}

short CDXFReader::_ReadEntitySection(std::istream& stream, unsigned short& code,
                                     std::wstring& value) {
    return _ReadDefaultSection(stream, code, value);
}

short CDXFReader::_ReadObjectSection(std::istream& stream, unsigned short& code,
                                     std::wstring& value) {
    return _ReadDefaultSection(stream, code, value);
}

short CDXFReader::_GetNumber(std::istream& stream, unsigned short& code) {
    code = 0;
    if (AtEnd(stream)) return 0;
    // A line that ends inside the buffer is read in place; one running past the buffer is
    // read byte by byte from its start.
    std::streambuf* buffer = stream.rdbuf();
    if (buffer != nullptr && GetArea::Next(*buffer) != nullptr) {
        const char* next = nullptr;
        if (const short r =
                ScanCodeLine(GetArea::Next(*buffer), GetArea::End(*buffer), code, next)) {
            GetArea::Consume(*buffer, next);
            return r;
        }
    }
    const int last = ScanCode([&] { return NextByte(stream); }, code);
    if (last == std::char_traits<char>::eof()) return 0;
    if (last == kCarriageReturn) DropRestOfLine(stream);
    return last == kLineFeed || last == kCarriageReturn ? 1 : -1;
}

short CDXFReader::_GetString(std::istream& stream, std::wstring& value) {
    value.clear();
    if (AtEnd(stream)) return 0;
    std::streambuf* buffer = stream.rdbuf();
    if (buffer != nullptr && GetArea::Next(*buffer) != nullptr &&
        TakeBufferedValue(*buffer, GetArea::Next(*buffer), value)) {
        return 1;
    }
    for (;;) {
        const int byte = NextByte(stream);
        if (byte == std::char_traits<char>::eof()) return 0;
        if (byte == kLineFeed) return 1;
        if (byte == kCarriageReturn) {
            DropRestOfLine(stream);
            return 1;
        }
        if ((byte == kSpace || byte == kTab) && value.empty()) continue;
        value.push_back(Widen(static_cast<char>(byte)));
    }
}

short CDXFReader::_ReadGroup(std::istream& stream, unsigned short& code, std::wstring& value) {
    // A 16-bit count: 32,767 comment groups and one more group wrap it to a negative result.
    short count = 0;
    for (;;) {
        // The usual group, a code line of blanks and digits and a value line, both inside the
        // buffer, is read in one pass. Anything else is left unread for the line readers.
        std::streambuf* buffer = stream.rdbuf();
        if (buffer != nullptr && stream.good() && GetArea::Next(*buffer) != nullptr) {
            const char* valueLine = nullptr;
            if (ScanCodeLine(GetArea::Next(*buffer), GetArea::End(*buffer), code, valueLine) > 0 &&
                TakeBufferedValue(*buffer, valueLine, value)) {
                count = static_cast<short>(static_cast<unsigned short>(count) + 1u);
                if (code != kCommentCode) return count;
                continue;
            }
        }
        if (_GetNumber(stream, code) <= 0) return -1;
        count = static_cast<short>(static_cast<unsigned short>(count) + 1u);
        if (_GetString(stream, value) == 0) return 0;
        if (code != kCommentCode) return count;
    }
}

namespace {

// The loop shared by the blocks, entities and objects sections: one hook call per item.
template <typename Hook>
short ReadSectionItems(const unsigned short& code, const std::wstring& value, short firstResult,
                       Hook&& hook) {
    short r = firstResult;
    if (r < 0) return -1;
    while (code == 0) {
        if (value == kEndSection) return r;
        if (r == 0) return -1;  // the file ended inside the section
        r = hook();
        if (r < 0) return -1;
    }
    return r;
}

}  // namespace

short CDXFReader::_ReadBlocks(std::istream& stream) {
    unsigned short code = 0;
    std::wstring value;
    const short r = _ReadGroup(stream, code, value);
    return ReadSectionItems(code, value, r, [&] { return _ReadBlockSection(stream, code, value); });
}

short CDXFReader::_ReadEntities(std::istream& stream) {
    unsigned short code = 0;
    std::wstring value;
    const short r = _ReadGroup(stream, code, value);
    return ReadSectionItems(code, value, r,
                            [&] { return _ReadEntitySection(stream, code, value); });
}

short CDXFReader::_ReadObjects(std::istream& stream) {
    unsigned short code = 0;
    std::wstring value;
    const short r = _ReadGroup(stream, code, value);
    return ReadSectionItems(code, value, r,
                            [&] { return _ReadObjectSection(stream, code, value); });
}

short CDXFReader::_ReadHeader(std::istream& stream) {
    return _SkipBody(stream, 0, std::wstring(kEndSection));
}

short CDXFReader::_ReadClasses(std::istream& stream) {
    return _SkipBody(stream, 0, std::wstring(kEndSection));
}

short CDXFReader::_ReadTables(std::istream& stream) {
    return _SkipBody(stream, 0, std::wstring(kEndSection));
}

short CDXFReader::_ReadThumbnailImage(std::istream& stream) {
    return _SkipBody(stream, 0, std::wstring(kEndSection));
}

short CDXFReader::_SkipBody(std::istream& stream, unsigned short code, const std::wstring& name) {
    unsigned short groupCode = 0;
    std::wstring groupValue;
    short r = 1;
    for (;;) {
        if (r == 0) return -1;
        r = _ReadGroup(stream, groupCode, groupValue);
        if (r < 0) return -1;
        if (groupCode == code && groupValue == name) return r;
    }
}

short CDXFReader::_ReadDefaultSection(std::istream& stream, unsigned short& code,
                                      std::wstring& value) {
    short r = 1;
    for (;;) {
        if (r == 0) return -1;
        r = _ReadGroup(stream, code, value);
        if (r < 0) return -1;
        if (code == 0) return r;
    }
}
