// Binary DXF read as ASCII DXF text: small files written byte by byte with either code width, and
// the text, offsets and errors they give, worked out from the binary layout.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <charconv>     // std::from_chars
#include <cstdint>      // std::int64_t, std::uint64_t
#include <cstring>      // std::memcpy
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "accurate/BinaryDxf.h"

namespace {

using Vexlor::Dxf::BinaryDxfError;
using Vexlor::Dxf::BinaryDxfToText;

const std::string kSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

// A binary DXF written group by group: codes in 2 bytes, or in 1 as R12 wrote them, where the
// byte 255 announces a 2-byte code. `offsets` holds where each group's code begins.
struct Writer {
    explicit Writer(bool wideCodes = true) : wide(wideCodes) {}
    bool wide;
    std::string bytes = kSentinel;
    std::vector<std::size_t> offsets;

    Writer& Le(std::uint64_t value, int size) {
        for (int k = 0; k < size; ++k) bytes += static_cast<char>(value >> 8 * k & 0xFF);
        return *this;
    }
    Writer& Code(int code) {
        offsets.push_back(bytes.size());
        if (wide) return Le(code, 2);
        return code < 255 ? Le(code, 1) : Le(255, 1).Le(code, 2);
    }
    Writer& Text(int code, std::string_view value) { return Code(code).Chars(value).Le(0, 1); }
    Writer& Int(int code, std::int64_t value, int size) { return Code(code).Le(value, size); }
    Writer& Real(int code, double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return Code(code).Le(bits, 8);
    }
    Writer& Chunk(int code, std::string_view raw) {
        return Code(code).Le(raw.size(), 1).Chars(raw);
    }
    Writer& Chars(std::string_view chars) {
        bytes.append(chars);
        return *this;
    }
};

// A group of each kind of value, and a string with line breaks, which no line can hold.
Writer Sample(bool wide) {
    Writer w(wide);
    w.Text(0, "SECTION").Text(2, "ENTITIES").Text(0, "LINE").Text(8, "a\nb\r\nc");
    w.Real(10, 1.5).Real(20, -0.25).Int(62, -1, 2).Int(70, 32767, 2).Int(90, -2147483647 - 1, 4);
    w.Int(160, -5000000000, 8).Int(290, 1, 1).Chunk(310, "\x01\xAB\xFF").Text(330, "1F");
    w.Int(450, -100, 4).Int(1071, 999999, 4).Int(1070, -300, 2).Real(1040, 100).Chunk(1004, "");
    return w.Text(2, "EOF").Text(0, "EOF");
}
const std::string_view kSampleText =
    "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\na b  c\n10\n1.5\n20\n-0.25\n62\n-1\n70\n32767\n"
    "90\n-2147483648\n160\n-5000000000\n290\n1\n310\n01ABFF\n330\n1F\n450\n-100\n1071\n999999\n"
    "1070\n-300\n1040\n100\n1004\n\n2\nEOF\n0\nEOF\n";

std::string Convert(const std::string& bytes) {
    std::vector<std::size_t> offsets;
    return BinaryDxfToText(bytes, offsets);
}

TEST(BinaryDxf, TheSentinelIsTheFirst22Bytes) {
    EXPECT_TRUE(Vexlor::Dxf::IsBinaryDxf(kSentinel + std::string("\0\0SECTION", 9)));
    EXPECT_FALSE(Vexlor::Dxf::IsBinaryDxf(kSentinel.substr(0, 21)));
    EXPECT_FALSE(Vexlor::Dxf::IsBinaryDxf("AutoCAD Binary DXF\n\x1a" + std::string(2, '\0')));
    EXPECT_FALSE(Vexlor::Dxf::IsBinaryDxf("0\nSECTION\n2\nENTITIES\n0\nEOF\n"));
    // Groups that would convert, after 22 bytes that are not the sentinel.
    EXPECT_THROW(Convert(std::string(22, ' ') + std::string("\0\0EOF\0", 6)), BinaryDxfError);
}

TEST(BinaryDxf, BothCodeWidthsGiveTheSameTextUpToEof) {
    for (const bool wide : {true, false}) {
        Writer w = Sample(wide);
        std::vector<std::size_t> offsets;
        EXPECT_EQ(kSampleText, BinaryDxfToText(w.bytes + std::string("\1\0after", 7), offsets));
        EXPECT_EQ(w.offsets, offsets);
        // SECTION after the 22 bytes of the sentinel, with its NUL: 2 + 8 or 1 + 8 bytes; then
        // ENTITIES, 2 + 9 or 1 + 9 bytes.
        const std::vector<std::size_t> first =
            wide ? std::vector<std::size_t>{22, 32, 43} : std::vector<std::size_t>{22, 31, 41};
        EXPECT_EQ(first, std::vector<std::size_t>(offsets.begin(), offsets.begin() + 3));
    }
}

TEST(BinaryDxf, DoublesReadBackExactly) {
    const std::pair<double, std::string_view> rows[] = {
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e-300, "1e-300"},
        {-0.0, "-0"},
        {4.9406564584124654e-324, "5e-324"},
        {1.0 / 3, "0.3333333333333333"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
    };
    for (const auto& [value, expected] : rows) {
        const std::string text = Convert(Writer().Text(0, "SECTION").Real(40, value).bytes);
        const std::string line = text.substr(13, text.size() - 14);  // after "0\nSECTION\n40\n"
        EXPECT_EQ(expected, line);
        double back = 1;
        std::from_chars(line.data(), line.data() + line.size(), back);
        EXPECT_EQ(0, std::memcmp(&back, &value, sizeof back)) << line;
    }
    // A NaN or an infinity becomes text the import rejects as a malformed number.
    Writer w;
    w.Text(0, "SECTION").Int(10, 0x7FF8000000000000, 8).Int(20, -(std::int64_t{1} << 52), 8);
    EXPECT_EQ("0\nSECTION\n10\nnan\n20\n-inf\n", Convert(w.bytes));
}

// Each prefix converts when it ends between groups, to the groups it holds, and otherwise throws
// naming the group it cuts: with 26 bytes, the string "SECTION" without its NUL.
TEST(BinaryDxf, EveryPrefixConvertsOrNamesTheCutGroup) {
    for (const bool wide : {true, false}) {
        Writer w = Sample(wide);
        w.offsets.push_back(w.bytes.size());
        for (std::size_t n = kSentinel.size(); n <= w.bytes.size(); ++n) {
            std::size_t whole = 0;  // the groups that end by n
            while (whole + 1 < w.offsets.size() && w.offsets[whole + 1] <= n) ++whole;
            std::vector<std::size_t> offsets;
            try {
                const std::string text = BinaryDxfToText(w.bytes.substr(0, n), offsets);
                EXPECT_EQ(w.offsets[whole], n) << "converted a cut group";
                EXPECT_EQ(std::vector<std::size_t>(w.offsets.begin(), w.offsets.begin() + whole),
                          offsets);
                EXPECT_EQ(kSampleText.substr(0, text.size()), text);
            } catch (const BinaryDxfError& e) {
                EXPECT_NE(w.offsets[whole], n) << e.what();
                EXPECT_TRUE(n != 26 || std::string(e.what()).find("NUL") != std::string::npos);
                EXPECT_NE(std::string(e.what()).find(" " + std::to_string(w.offsets[whole]) + ":"),
                          std::string::npos)
                    << e.what();
            }
        }
    }
}

TEST(BinaryDxf, TextGrowsAtMostFourCharactersAByte) {
    // The most a byte gives: a 1-byte code 170 and a 16-bit value, 11 characters of 3 bytes.
    Writer w(false);
    w.Text(0, "SECTION");
    for (int k = 0; k < 1000; ++k) w.Int(170, -32768, 2);
    EXPECT_EQ(10 + 11000u, Convert(w.bytes).size());
}

}  // namespace
