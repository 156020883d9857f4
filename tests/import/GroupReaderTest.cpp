// The group reader: the rows of tests/data/group_reader.txt, each read from a buffered stream and
// from one that hands out a byte at a time, and random text read both ways.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>   // std::ifstream
#include <iterator>  // std::istreambuf_iterator
#include <random>    // std::mt19937
#include <sstream>   // std::istringstream
#include <string>    // std::string, std::wstring
#include <vector>    // std::vector

#include "DxfTestSupport.h"

namespace {

struct GroupProbe : CDXFReader {
    using CDXFReader::_GetNumber;
    using CDXFReader::_GetString;
    using CDXFReader::_ReadGroup;
    EReturnCode _PostProcess() override { return eOk; }
};

// A stream buffer that hands out one byte at a time, so that no line is ever whole in it.
struct TrickleBuffer : std::streambuf {
    std::string bytes;
    std::size_t next = 0;
    explicit TrickleBuffer(std::string text) : bytes(std::move(text)) {}
    int_type underflow() override {
        if (next == bytes.size()) return traits_type::eof();
        setg(&bytes[next], &bytes[next], &bytes[next] + 1);
        return traits_type::to_int_type(bytes[next++]);
    }
};

// What one call gives, "r code value" (characters beyond ASCII as {N}), then "|" and the bytes
// the stream still holds when `rest`.
std::string Call(const std::string& function, std::istream& stream, bool rest) {
    GroupProbe probe;
    // "failed" runs the call on a stream whose fail state is already set, with a code and a
    // value left from before.
    const bool failed = function.rfind("failed ", 0) == 0;
    unsigned short code = failed ? 7 : 0;
    std::wstring value = failed ? L"stale" : L"";
    if (failed) stream.setstate(std::ios_base::failbit);
    const std::string name = function.substr(function.find(' ') + 1);
    short r = name == "number"   ? probe._GetNumber(stream, code)
              : name == "string" ? probe._GetString(stream, value)
                                 : probe._ReadGroup(stream, code, value);
    std::string text = std::to_string(r) + ' ' + std::to_string(code) + ' ';
    for (const wchar_t c : value) {
        text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "{" + std::to_string(c) + "}";
    }
    if (!rest) return text;
    stream.clear();
    return text + '|' + std::string(std::istreambuf_iterator<char>(stream), {});
}

// Each row, `function "bytes" "expected"`, read from both kinds of stream.
TEST(GroupReader, RowsReadAlikeBothWays) {
    std::ifstream rows(VEXLOR_DXF_TEST_DATA_DIR "/group_reader.txt");
    std::string line, function;
    int count = 0;
    for (int number = 1; std::getline(rows, line); ++number) {
        const std::size_t open = line.find(" \""), middle = line.find("\" \"");
        if (line.empty() || line[0] == '#') continue;
        const std::string bytes = VexlorDxfTest::Unescape(line.substr(open + 2, middle - open - 2));
        const std::string expected =
            VexlorDxfTest::Unescape(line.substr(middle + 3, line.size() - middle - 4));
        std::istringstream whole(bytes);
        TrickleBuffer trickle(bytes);
        std::istream byteWise(&trickle);
        EXPECT_EQ(Call(line.substr(0, open), whole, true), expected) << "line " << number;
        EXPECT_EQ(Call(line.substr(0, open), byteWise, true), expected) << "line " << number;
        ++count;
    }
    EXPECT_GT(count, 20);
}

// Every group of random text, with its result, read from both kinds of stream. The text mixes
// group-shaped lines (long ones past the short-line path, codes past 65535, CR LF) with bytes
// that matter to the reader anywhere.
TEST(GroupReader, RandomTextReadsAlikeBothWays) {
    std::vector<std::string> pieces = {
        "  0\n",   "999\n",         " 10\n",  "65537\n", " 1 2\n", "9x\n", "8\r\n", "LINE\n", "\n",
        "  1.5\n", "\t\xE9\x80t\n", "a b \n", "1.5\r",   "-",      "+",    ".",     "\r",     " ",
        "\t",      "\xE9"};
    pieces.push_back(std::string(127, 'v') + "\n");
    pieces.push_back(std::string(129, '7') + "\xFF\n");
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes;
        for (std::size_t k = random() % 24; k > 0; --k) bytes += pieces[random() % pieces.size()];
        std::istringstream whole(bytes);
        TrickleBuffer trickle(bytes);
        std::istream byteWise(&trickle);
        for (std::string a; a.empty() || (a[0] != '-' && a[0] != '0');) {
            a = Call("group", whole, false);
            ASSERT_EQ(a, Call("group", byteWise, false)) << "round " << round;
        }
    }
}

}  // namespace
