// Lines that sit whole in the stream's buffer are read at once; lines that do not are read
// byte by byte. Both ways must give the same groups, results and stream positions.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <iterator>  // std::size
#include <random>    // std::mt19937
#include <sstream>   // std::istringstream
#include <string>    // std::string, std::wstring

#include "CDXFReader.h"

namespace {

struct GroupProbe : CDXFReader {
    using CDXFReader::_GetNumber;
    using CDXFReader::_GetString;
    using CDXFReader::_ReadGroup;
    EReturnCode _PostProcess() override { return eOk; }
};

// A stream buffer that hands out one byte at a time, so no line is ever whole in it.
class TrickleBuffer : public std::streambuf {
public:
    explicit TrickleBuffer(std::string bytes) : m_bytes(std::move(bytes)) {}

protected:
    int_type underflow() override {
        if (m_position >= m_bytes.size()) return traits_type::eof();
        m_current = m_bytes[m_position++];
        setg(&m_current, &m_current, &m_current + 1);
        return traits_type::to_int_type(m_current);
    }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
    char m_current = 0;
};

// Every group read, with its result, as one comparable text.
std::wstring ReadAll(std::istream& stream) {
    GroupProbe probe;
    std::wstring trace;
    unsigned short code = 0;
    std::wstring value;
    for (int guard = 0; guard < 10000; ++guard) {
        const short r = probe._ReadGroup(stream, code, value);
        trace += std::to_wstring(r) + L"|" + std::to_wstring(code) + L"|" + value + L"\n";
        if (r <= 0) break;
    }
    return trace;
}

TEST(GroupReaderPaths, BufferedAndByteWiseReadingAgree) {
    // Bytes that matter to the reader: digits, blanks, tabs, signs, CR, LF, high bytes.
    const std::string alphabet = "0123456789  \t\r\n\n\n-+.aZ\xE9\x80\xFF";
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 80);
        for (int k = 0; k < length; ++k) {
            // Now and then a run long enough to pass the short-line path.
            if (random() % 40 == 0) bytes.append(100 + random() % 100, "7 \t"[random() % 3]);
            bytes += alphabet[random() % alphabet.size()];
        }
        std::istringstream whole(bytes);
        TrickleBuffer trickle(bytes);
        std::istream byteWise(&trickle);
        ASSERT_EQ(ReadAll(whole), ReadAll(byteWise)) << "round " << round;
    }
}

// Text shaped like groups, where the one-pass group reading applies most of the time: comment
// groups, codes past 65535, values with high bytes, tabs, carriage returns and long lines.
TEST(GroupReaderPaths, GroupShapedTextReadsAlikeBothWays) {
    const std::string codes[] = {"  0",   "999", " 10",  "8", "65535",
                                 "65537", "070", " 1 2", "",  "9x"};
    const std::string values[] = {"LINE",
                                  "",
                                  "  1.5",
                                  "\t\xE9\x80t",
                                  "a b ",
                                  "1.5\r",
                                  "\r",
                                  std::string(127, 'v'),
                                  std::string(128, 'w'),
                                  std::string(129, 'x') + "\xFF",
                                  "   " + std::string(126, '7')};
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int groups = static_cast<int>(random() % 12);
        for (int k = 0; k < groups; ++k) {
            bytes += codes[random() % std::size(codes)];
            bytes += random() % 8 == 0 ? "\r\n" : "\n";
            bytes += values[random() % std::size(values)];
            if (k + 1 < groups || random() % 2 == 0) bytes += "\n";
        }
        std::istringstream whole(bytes);
        TrickleBuffer trickle(bytes);
        std::istream byteWise(&trickle);
        ASSERT_EQ(ReadAll(whole), ReadAll(byteWise)) << "round " << round;
    }
}

// A malformed code line leaves the stream just after the offending byte, both ways.
TEST(GroupReaderPaths, MalformedCodeLineStopsAfterTheOffendingByte) {
    const std::string bytes = " 1x2\nrest\n";
    std::istringstream whole(bytes);
    TrickleBuffer trickle(bytes);
    std::istream byteWise(&trickle);
    for (std::istream* stream : {static_cast<std::istream*>(&whole), &byteWise}) {
        GroupProbe probe;
        unsigned short code = 0;
        EXPECT_EQ(-1, probe._GetNumber(*stream, code));
        EXPECT_EQ(1, code);
        std::wstring value;
        EXPECT_EQ(1, probe._GetString(*stream, value));
        EXPECT_EQ(L"2", value);
    }
}

}  // namespace
