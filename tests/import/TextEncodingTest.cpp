// The text decoder of drawings: bytes of several code pages and of UTF-8 against the characters
// their code page charts give, "\U+XXXX" escapes, and which $DWGCODEPAGE names are recognised.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>  // std::string

#include "accurate/text/TextEncoding.h"

namespace {

using Vexlor::Dxf::TextDecoder;

// U+FFFD in UTF-8.
#define BAD "\xEF\xBF\xBD"

struct Row {
    const char* codePage;
    bool utf8;
    std::string bytes;
    std::string expected;  // UTF-8, worked out from the code point of each character
};

// Hex escapes end at the first non-hex character: those followed by a hex letter close their
// literal and the text goes on in the next, which clang-format would put on lines of their own.
// clang-format off
const Row kRows[] = {
    // Plain ASCII and nothing, as they are.
    {"ANSI_932", false, "Layer_0", "Layer_0"},
    {"ANSI_932", false, "", ""},
    // "Слой": С D1 (U+0421), л EB (U+043B), о EE (U+043E), й E9 (U+0439).
    {"ANSI_1251", false, "\xD1\xEB\xEE\xE9", "\xD0\xA1\xD0\xBB\xD0\xBE\xD0\xB9"},
    {"ansi_1251", false, "\xD1", "\xD0\xA1"},
    // é E9 (U+00E9), € 80 (U+20AC).
    {"ANSI_1252", false, "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
    // "Łódź": Ł A3 (U+0141), ó F3 (U+00F3), ź 9F (U+017A).
    {"ANSI_1250", false, "\xA3\xF3" "d\x9F", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},
    // "日本": 93 FA (U+65E5), 96 7B (U+672C).
    {"ANSI_932", false, "\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},
    {"DOS932", false, "\x93\xFA", "\xE6\x97\xA5"},
    // 表 is 95 5C (U+8868): its trail byte is no backslash, so no escape follows.
    {"ANSI_932", false, "\x95\\U+0416", "\xE8\xA1\xA8U+0416"},
    // A lead byte without its trail byte.
    {"ANSI_932", false, "A\x93", "A" BAD},
    // "Grüße ø": ü 81 (U+00FC), ß E1 (U+00DF), ø 9B (U+00F8); 9B is ¢ (U+00A2) in 437.
    {"DOS850", false, "Gr\x81\xE1" "e \x9B", "Gr\xC3\xBC\xC3\x9F" "e \xC3\xB8"},
    {"dos437", false, "\x9B", "\xC2\xA2"},
    // Ł A3 (U+0141), ą B1 (U+0105).
    {"ISO8859-2", false, "\xA3\xB1", "\xC5\x81\xC4\x85"},
    // ก A1 (U+0E01).
    {"ANSI_874", false, "\xA1", "\xE0\xB8\x81"},
    // Đ D0 (U+0110), ê EA (U+00EA): the last letter comes out, though a combining mark could
    // have followed.
    {"ANSI_1258", false, "\xD0\xEA", "\xC4\x90\xC3\xAA"},
#if !defined(_WIN32)
    // iconv refuses the bytes that the 1258 chart leaves undefined (81), after giving out the
    // letter it held back. Windows decodes them to characters of its own choice.
    {"ANSI_1258", false, "\xEA\x81z", "\xC3\xAA" BAD "z"},
#endif
    // UTF-8: valid sequences as they are, the code page not used.
    {"ANSI_1252", true, "\xD0\xA1\xF0\x9F\x98\x80", "\xD0\xA1\xF0\x9F\x98\x80"},
    {"", true, "a\xFF" "b", "a" BAD "b"},
    {"", true, "\xE2\x82", BAD BAD},                  // cut short
    {"", true, "\xC0\xAF", BAD BAD},                  // overlong '/'
    {"", true, "\xED\xA0\x80", BAD BAD BAD},          // surrogate U+D800
    {"", true, "\xF4\x90\x80\x80", BAD BAD BAD BAD},  // U+110000
    // An unknown code page or none: UTF-8 where valid.
    {"ANSI_9999", false, "\xD0\x96\xE9", "\xD0\x96" BAD},
    {"", false, "\xD0\x96\xE9", "\xD0\x96" BAD},
    // Escapes, after decoding: Ж U+0416, é U+00E9, € U+20AC.
    {"ANSI_1252", false, "\\U+0416", "\xD0\x96"},
    {"ANSI_1252", false, "\\U+00e9\xE9", "\xC3\xA9\xC3\xA9"},
    {"", true, "A\\U+0416\\U+20AC" "B", "A\xD0\x96\xE2\x82\xAC" "B"},
    {"", true, "\\U+004100", "A00"},
    {"", true, "\\U+0000|\\U+D800|\\U+DFFF", BAD "|" BAD "|" BAD},
    {"", true, "\\U+12", "\\U+12"},
    {"", true, "\\U+12G4 \\U 0416 \\u+0416", "\\U+12G4 \\U 0416 \\u+0416"},
};
// clang-format on

TEST(TextEncoding, DecodesToUtf8) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.codePage) + (row.utf8 ? " UTF-8 " : " ") + row.bytes);
        EXPECT_EQ(TextDecoder(row.codePage, row.utf8).Decode(row.bytes), row.expected);
    }
}

TEST(TextEncoding, RecognisesCodePageNames) {
    const struct {
        const char* codePage;
        bool utf8;
        bool known;
    } rows[] = {
        {"ANSI_1252", false, true},   {"ansi_1257", false, true},  {"DOS850", false, true},
        {"Dos866", false, true},      {"ISO8859-15", false, true}, {"", false, false},
        {"ANSI_", false, false},      {"ANSI_9999", false, false}, {"ANSI_1252x", false, false},
        {"ISO8859-12", false, false}, {"UTF8", false, false},      {"", true, true},
        {"KLINGON", true, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TextDecoder(row.codePage, row.utf8).Known(), row.known)
            << row.codePage << (row.utf8 ? " UTF-8" : "");
    }
}

}  // namespace
