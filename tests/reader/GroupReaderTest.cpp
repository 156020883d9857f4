// Tests of the group reader: code lines, value lines, comment groups and where the stream is left.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <initializer_list>  // std::initializer_list
#include <iterator>          // std::istreambuf_iterator
#include <sstream>           // std::istringstream
#include <string>            // std::string, std::wstring

#include "CDXFReader.h"

namespace {

// Reaches the group reader as a host's derived reader does.
struct ReaderProbe : CDXFReader {
    using CDXFReader::_GetNumber;
    using CDXFReader::_GetString;
    using CDXFReader::_ReadGroup;

protected:
    EReturnCode _PostProcess() override { return eOk; }
};

// The bytes the stream still holds.
std::string Rest(std::istringstream& stream) {
    stream.clear();
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// A wide string of the given character values, for widened bytes.
std::wstring Wide(std::initializer_list<unsigned> chars) {
    std::wstring wide;
    for (unsigned c : chars) wide.push_back(static_cast<wchar_t>(c));
    return wide;
}

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// --- Code lines -----------------------------------------------------------------------------

struct NumberRow {
    const char* name;
    std::string input;
    short result;
    unsigned short code;
    std::string rest;
};

class GetNumber : public testing::TestWithParam<NumberRow> {};

TEST_P(GetNumber, ResultCodeAndStreamPosition) {
    const NumberRow& row = GetParam();
    ReaderProbe probe;
    std::istringstream stream(row.input);
    unsigned short code = 777;  // stale value from an earlier group
    EXPECT_EQ(probe._GetNumber(stream, code), row.result);
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(Rest(stream), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    GroupReader, GetNumber,
    testing::Values(NumberRow{"Plain", "10\nX", 1, 10, "X"},
                    NumberRow{"LeadingBlanks", "  10\nX", 1, 10, "X"},
                    NumberRow{"TrailingBlanks", "10   \nX", 1, 10, "X"},
                    NumberRow{"EmptyLineIsCodeZero", "\nX", 1, 0, "X"},
                    NumberRow{"BlanksOnlyIsCodeZero", "   \nX", 1, 0, "X"},
                    NumberRow{"FourDigits", "1071\n", 1, 1071, ""},
                    // Codes are reduced modulo 65536 rather than rejected or saturated.
                    NumberRow{"ModuloAbove", "70000\n", 1, 4464, ""},
                    NumberRow{"ModuloExact", "65536\n", 1, 0, ""},
                    NumberRow{"Largest", "65535\n", 1, 65535, ""},
                    NumberRow{"CrLf", "10\r\nX", 1, 10, "X"},
                    NumberRow{"BytesBetweenCrAndLfDropped", "10\r5 junk\nX", 1, 10, "X"},
                    NumberRow{"CrWithoutLfDropsToEnd", "10\rX\r20\r", 1, 10, ""},
                    // Malformed lines stop just after the offending byte.
                    NumberRow{"BlankBetweenDigits", "1 0\nX", -1, 1, "\nX"},
                    NumberRow{"MinusSign", "-5\nX", -1, 0, "5\nX"},
                    NumberRow{"PlusSign", "+5\nX", -1, 0, "5\nX"},
                    NumberRow{"DecimalPoint", "10.0\nX", -1, 10, "0\nX"},
                    NumberRow{"LetterAfterDigits", "10a\nX", -1, 10, "\nX"},
                    NumberRow{"LeadingTab", "\t10\nX", -1, 0, "10\nX"},
                    NumberRow{"TrailingTab", "10\t\nX", -1, 10, "\nX"},
                    NumberRow{"EndOfFileAtOnce", "", 0, 0, ""},
                    NumberRow{"DigitsWithoutLineFeed", "12", 0, 12, ""},
                    NumberRow{"BlanksWithoutLineFeed", "12  ", 0, 12, ""}),
    RowName<NumberRow>);

// --- Value lines ----------------------------------------------------------------------------

struct StringRow {
    const char* name;
    std::string input;
    short result;
    std::wstring value;
    std::string rest;
};

class GetString : public testing::TestWithParam<StringRow> {};

TEST_P(GetString, ResultValueAndStreamPosition) {
    const StringRow& row = GetParam();
    ReaderProbe probe;
    std::istringstream stream(row.input);
    std::wstring value = L"stale value";
    EXPECT_EQ(probe._GetString(stream, value), row.result);
    EXPECT_EQ(value, row.value);
    EXPECT_EQ(Rest(stream), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    GroupReader, GetString,
    testing::Values(
        StringRow{"Plain", "SECTION\nX", 1, L"SECTION", "X"},
        StringRow{"LeadingBlanksDroppedTrailingKept", "  SECTION  \nX", 1, L"SECTION  ", "X"},
        StringRow{"TabsDroppedOnlyBeforeFirstCharacter", "\t \tA\tB\t\nX", 1, L"A\tB\t", "X"},
        StringRow{"EmptyLine", "\nX", 1, L"", "X"}, StringRow{"BlanksOnly", " \t \nX", 1, L"", "X"},
        StringRow{"CrLf", "abc\r\nX", 1, L"abc", "X"},
        StringRow{"BytesBetweenCrAndLfDropped", "abc\rdef\nX", 1, L"abc", "X"},
        StringRow{"CrWithoutLfDropsToEnd", "abc\rdef\rghi", 1, L"abc", ""},
        StringRow{"EofWithoutLineFeed", "EOF", 0, L"EOF", ""},
        StringRow{"EndOfFileAtOnce", "", 0, L"", ""},
        StringRow{"NoCaseFolding", "Layer 0\n", 1, L"Layer 0", ""},
        StringRow{"AsciiKeepsValue", "A\x7F\n", 1, Wide({0x41, 0x7F}), ""},
        StringRow{"HighByteSignExtended", "\xE9\n", 1, Wide({0xFFE9}), ""},
        // Byte 0xFF must not be mistaken for the end of the file.
        StringRow{"HighBytesRange", "\x80\xFF\x41\n", 1, Wide({0xFF80, 0xFFFF, 0x41}), ""},
        StringRow{"NulByteKept", std::string("a\0b\n", 4), 1, Wide({0x61, 0x00, 0x62}), ""}),
    RowName<StringRow>);

// --- Whole groups ---------------------------------------------------------------------------

struct GroupRow {
    const char* name;
    std::string input;
    short result;
    unsigned short code;  // checked only for results >= 0
    std::wstring value;   // checked only for results >= 0
    std::string rest;
};

class ReadGroup : public testing::TestWithParam<GroupRow> {};

TEST_P(ReadGroup, ResultGroupAndStreamPosition) {
    const GroupRow& row = GetParam();
    ReaderProbe probe;
    std::istringstream stream(row.input);
    unsigned short code = 777;
    std::wstring value = L"stale value";
    EXPECT_EQ(probe._ReadGroup(stream, code, value), row.result);
    if (row.result >= 0) {
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(value, row.value);
    }
    EXPECT_EQ(Rest(stream), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    GroupReader, ReadGroup,
    testing::Values(
        GroupRow{"Plain", "0\nSECTION\n2\nX\n", 1, 0, L"SECTION", "2\nX\n"},
        GroupRow{"BlanksAroundCodeAndValue", "  8  \n \tLayer 1\t\nX", 1, 8, L"Layer 1\t", "X"},
        GroupRow{"CrLfLines", "0\r\nSECTION\r\n2\r\nX", 1, 0, L"SECTION", "2\r\nX"},
        GroupRow{"CommentPassedOver", "999\na comment\n8\n0\nX", 2, 8, L"0", "X"},
        GroupRow{"CommentsCounted", "999\nA\n999\nB\n999\nC\n0\nLINE\n", 4, 0, L"LINE", ""},
        GroupRow{"CommentWithNumericValue", "999\n0\n10\n1.5\n", 2, 10, L"1.5", ""},
        GroupRow{"EndOfFileAtOnce", "", -1, 0, L"", ""},
        GroupRow{"CodeLineWithoutLineFeed", "12", -1, 0, L"", ""},
        GroupRow{"MalformedCodeLine", "-8\nX\n", -1, 0, L"", "8\nX\n"},
        GroupRow{"MalformedCodeAfterComment", "999\nc\n8x\nX\n", -1, 0, L"", "\nX\n"},
        GroupRow{"EndOfFileAfterComment", "999\nc\n", -1, 0, L"", ""},
        GroupRow{"ValueRunsIntoEndOfFile", "0\nEOF", 0, 0, L"EOF", ""},
        GroupRow{"EmptyValueAtEndOfFile", "10\n", 0, 10, L"", ""},
        GroupRow{"CommentValueRunsIntoEndOfFile", "999\nlast words", 0, 999, L"last words", ""},
        // Of a file whose lines end in CR alone only the first line's content is seen.
        GroupRow{"CrOnlyLines", "0\rSECTION\r2\rENTITIES\r", 0, 0, L"", ""}),
    RowName<GroupRow>);

// A run of comment groups and one group, as text.
std::string CommentsThenGroup(int comments) {
    std::string text;
    for (int i = 0; i < comments; ++i) text += "999\nc\n";
    return text + "8\nX\n";
}

// The group count is 16 bits wide: 32,767 comments and one group wrap it to a negative result.
TEST(GroupReader, CommentCountWrapsToNegative) {
    ReaderProbe probe;
    unsigned short code = 0;
    std::wstring value;

    std::istringstream fits(CommentsThenGroup(32766));
    EXPECT_EQ(probe._ReadGroup(fits, code, value), 32767);
    EXPECT_EQ(code, 8);

    std::istringstream wraps(CommentsThenGroup(32767));
    EXPECT_LT(probe._ReadGroup(wraps, code, value), 0);
}

// Once the end of the file was reached, every later call returns at once.
TEST(GroupReader, CallsAfterEndOfFileReturnAtOnce) {
    ReaderProbe probe;
    std::istringstream stream("0\nEOF");
    unsigned short code = 0;
    std::wstring value;
    ASSERT_EQ(probe._ReadGroup(stream, code, value), 0);

    code = 5;
    EXPECT_EQ(probe._GetNumber(stream, code), 0);
    EXPECT_EQ(code, 0);
    value = L"stale";
    EXPECT_EQ(probe._GetString(stream, value), 0);
    EXPECT_EQ(value, L"");
    EXPECT_EQ(probe._ReadGroup(stream, code, value), -1);
}

// A failed stream yields nothing even though its buffer still holds bytes.
TEST(GroupReader, FailedStreamReadsNothing) {
    ReaderProbe probe;
    std::istringstream stream("10\nX\n");
    stream.setstate(std::ios_base::failbit);
    unsigned short code = 5;
    EXPECT_EQ(probe._GetNumber(stream, code), 0);
    EXPECT_EQ(code, 0);
    std::wstring value = L"stale";
    EXPECT_EQ(probe._GetString(stream, value), 0);
    EXPECT_EQ(value, L"");
    EXPECT_EQ(probe._ReadGroup(stream, code, value), -1);
    EXPECT_EQ(Rest(stream), "10\nX\n");
}

}  // namespace
