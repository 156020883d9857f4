// The group source of the accurate import: ASCII and binary drawings, read from memory and from a
// stream in blocks of every size, give the same groups at the same positions; cut-off and
// malformed groups name where they begin.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>    // std::min
#include <charconv>     // std::from_chars
#include <cmath>        // std::isfinite
#include <cstdint>      // std::int64_t, std::uint64_t
#include <cstdio>       // std::snprintf
#include <cstring>      // std::memcpy, std::memcmp
#include <random>       // std::mt19937_64
#include <sstream>      // std::istringstream
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "VexlorDxfContours.h"
#include "accurate/read/Entity.h"
#include "accurate/source/GroupSource.h"
#include "accurate/source/ReadError.h"

namespace {

using Vexlor::Dxf::ByteStream;
using Vexlor::Dxf::Group;
using Vexlor::Dxf::ReadError;

const std::string kSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

// A binary DXF written group by group: codes in 2 bytes, or in 1 as R12 wrote them, where the
// byte 255 announces a 2-byte code. `offsets` holds where each group begins.
struct Writer {
    explicit Writer(bool wideCodes) : wide(wideCodes) {}
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
    Writer& Text(int code, std::string_view value) {
        Code(code).bytes.append(value);
        return Le(0, 1);
    }
    Writer& Int(int code, std::int64_t value, int size) { return Code(code).Le(value, size); }
    Writer& Real(int code, double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return Code(code).Le(bits, 8);
    }
    Writer& Chunk(int code, std::string_view raw) {
        Code(code).Le(raw.size(), 1).bytes.append(raw);
        return *this;
    }
};

// A group as read: its code, its value as text (a number as %.17g) and its position.
struct Seen {
    int code;
    std::string value;
    std::size_t position;
    bool operator==(const Seen& o) const {
        return code == o.code && value == o.value && position == o.position;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << s.code << " \"" << s.value << "\" @" << s.position;
}

std::string ValueText(const Group& g) {
    char text[40];
    if (g.kind == Group::Kind::Real) std::snprintf(text, sizeof text, "%.17g", g.real);
    if (g.kind == Group::Kind::Integer) std::snprintf(text, sizeof text, "%lld", g.integer);
    return g.kind == Group::Kind::Text ? std::string(g.value) : std::string(text);
}

// Every group of `bytes`, read in blocks of `block` bytes (0: from memory at once); the error's
// position and message last when one ends the reading.
std::vector<Seen> ReadAll(const std::string& bytes, std::size_t block) {
    std::istringstream in(bytes);
    ByteStream stream = block ? ByteStream(in, block) : ByteStream(bytes);
    std::vector<Seen> seen;
    try {
        const auto source = Vexlor::Dxf::OpenGroups(stream);
        for (Group g; source->Next(g);) seen.push_back({g.code, ValueText(g), g.position});
    } catch (const ReadError& error) {
        seen.push_back({-1, error.message, error.position});
    }
    return seen;
}

// Reads alike from memory and in blocks of every size up to past its length.
void ExpectGroups(const std::string& bytes, const std::vector<Seen>& expected) {
    EXPECT_EQ(expected, ReadAll(bytes, 0));
    for (std::size_t block = 1; block <= bytes.size() + 1; ++block) {
        ASSERT_EQ(expected, ReadAll(bytes, block)) << "blocks of " << block;
    }
}

TEST(GroupSource, TextLinesEndThreeWaysAndCarryTheirLine) {
    ExpectGroups(
        " 0\r\nSECTION\r\n  2\nENTITIES\r999\n\n\t10 \n 1.5 \n0\rEOF",
        {{0, "SECTION", 1}, {2, "ENTITIES", 3}, {999, "", 5}, {10, " 1.5 ", 7}, {0, "EOF", 9}});
    // A CR LF split by a block end is one line end; a last line without its end still counts.
    ExpectGroups("0\r\n\r\n1\n\r", {{0, "", 1}, {1, "", 3}});
    ExpectGroups("0\nSECTION\n1x\nA\n",
                 {{0, "SECTION", 1}, {-1, "the group code \"1x\" is not a whole number", 3}});
    ExpectGroups("0\nSECTION\n2\n", {{0, "SECTION", 1}, {-1, "group 2 has no value line", 3}});
    // A message quotes 40 bytes of a value at most, escaped: no byte of it reaches a terminal.
    ExpectGroups("\x1B\xFF\\\"" + std::string(40, '7') + "\nX\n",
                 {{-1,
                   "the group code \"\\x1B\\xFF\\\\\\\"" + std::string(36, '7') +
                       "...\" is not a whole number",
                   1}});
}

TEST(GroupSource, BinaryValuesByTheirCodeWithBothCodeWidths) {
    for (const bool wide : {true, false}) {
        Writer w(wide);
        w.Text(0, "SECTION").Text(8, "a\nb\r\nc").Real(10, 1.5).Int(62, -1, 2).Int(70, 32767, 2);
        w.Int(90, -2147483647 - 1, 4).Int(160, -5000000000, 8).Int(290, 1, 1);
        w.Chunk(310, "\x01\xAB\xFF").Text(330, "1F").Int(450, -100, 4).Int(1071, 999999, 4);
        w.Int(1070, -300, 2).Real(1040, -0.25).Chunk(1004, "").Text(0, "EOF").Text(0, "after");
        const auto& at = w.offsets;
        const std::vector<Seen> expected = {
            {0, "SECTION", at[0]},       {8, "a b  c", at[1]},    {10, "1.5", at[2]},
            {62, "-1", at[3]},           {70, "32767", at[4]},    {90, "-2147483648", at[5]},
            {160, "-5000000000", at[6]}, {290, "1", at[7]},       {310, "01ABFF", at[8]},
            {330, "1F", at[9]},          {450, "-100", at[10]},   {1071, "999999", at[11]},
            {1070, "-300", at[12]},      {1040, "-0.25", at[13]}, {1004, "", at[14]},
            {0, "EOF", at[15]}};  // nothing is read after EOF
        ExpectGroups(w.bytes, expected);
        // Cut anywhere inside a group, the reading names that group; between groups it ends.
        for (std::size_t cut = kSentinel.size() + 2; cut < at[15]; ++cut) {
            std::size_t group = 0;
            while (at[group + 1] <= cut) ++group;
            std::vector<Seen> before(expected.begin(), expected.begin() + group);
            if (cut != at[group]) {
                const int code = expected[group].code;
                const std::size_t codeBytes = wide ? 2 : code < 255 ? 1 : 3;
                const bool inString =
                    (group == 0 || group == 1 || group == 9) && cut >= at[group] + codeBytes;
                before.push_back({-1,
                                  inString ? "the string has no NUL before the end"
                                           : "the data ends inside the group",
                                  at[group]});
            }
            ASSERT_EQ(before, ReadAll(w.bytes.substr(0, cut), 3)) << "cut at " << cut;
        }
    }
}

TEST(GroupSource, RunsLongerThanTheLimitAreErrors) {
    const std::string longLine(ByteStream::kMaxRun + 1, 'x');
    EXPECT_EQ((std::vector<Seen>{{0, "SECTION", 1}, {-1, "a line longer than 1048576 bytes", 4}}),
              ReadAll("0\nSECTION\n999\n" + longLine + "\n", 4096));
    // A line of exactly the limit is read.
    const std::string limitLine(ByteStream::kMaxRun, 'x');
    EXPECT_EQ((std::vector<Seen>{{0, "SECTION", 1}, {999, limitLine, 3}}),
              ReadAll("0\nSECTION\n999\n" + limitLine + "\n", 4096));
    Writer w(true);
    w.Text(0, "SECTION").Text(999, longLine);
    EXPECT_EQ(
        (std::vector<Seen>{{0, "SECTION", 22}, {-1, "a string longer than 1048576 bytes", 32}}),
        ReadAll(w.bytes, 4096));
}

// Numbers of every length and form, with blanks around them, a plus sign or a stray byte, read
// as the standard conversion reads what is left without the blanks and the plus, bit for bit:
// short decimals take a quicker road than the rest.
TEST(GroupSource, NumbersReadAsTheStandardConversion) {
    std::mt19937_64 random(17);
    Vexlor::Dxf::Entity entity;
    entity.Reset("LINE", 1);
    const auto blanks = [&]() { return std::string(random() % 3, random() % 2 ? ' ' : '\t'); };
    constexpr std::string_view kStray = "0:/ x.e-+\xFA\xFF\x7F";
    for (int round = 0; round < 40000; ++round) {
        const std::string sign = random() % 3 == 0 ? "-" : random() % 5 == 0 ? "+" : "";
        std::string number;
        const int whole = static_cast<int>(random() % 12);
        for (int k = 0; k < whole; ++k) number += static_cast<char>('0' + random() % 10);
        if (random() % 4 != 0) number += '.';
        const int fraction = static_cast<int>(random() % 12);
        for (int k = 0; k < fraction; ++k) number += static_cast<char>('0' + random() % 10);
        if (random() % 8 == 0) number += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
        if (random() % 6 == 0 && !number.empty()) {
            number[random() % number.size()] = kStray[random() % kStray.size()];
        }
        const std::string text = (random() % 4 == 0 ? blanks() : "") + sign + number +
                                 (random() % 4 == 0 ? blanks() : "");
        std::string_view plain = text;
        while (!plain.empty() && (plain.front() == ' ' || plain.front() == '\t'))
            plain.remove_prefix(1);
        while (!plain.empty() && (plain.back() == ' ' || plain.back() == '\t'))
            plain.remove_suffix(1);
        if (!plain.empty() && plain.front() == '+') plain.remove_prefix(1);
        double expected = 0;
        const auto [end, error] =
            std::from_chars(plain.data(), plain.data() + plain.size(), expected);
        Group group;
        group.code = 10;
        group.value = text;
        if (error != std::errc() || end != plain.data() + plain.size() ||
            !std::isfinite(expected)) {
            EXPECT_THROW(entity.Number(group), ReadError) << text;
            continue;
        }
        const double read = entity.Number(group);
        ASSERT_EQ(0, std::memcmp(&expected, &read, sizeof read)) << text;
    }
}

// An LWPOLYLINE's vertex groups, or a SPLINE's control point groups with their heights, read at
// once after each 10 where they are plain, and one by one otherwise, against all of them read one
// by one: the same points and heights to the bit, the same other groups at the same positions,
// and the same last position, from memory and in blocks of every size. The groups come in random
// forms: blanks, line ends of three kinds, numbers plain and not and of every length, and groups
// between the points.
TEST(GroupSource, PlainVerticesReadAsOneByOne) {
    std::mt19937_64 random(5);
    const auto pick = [&](std::initializer_list<const char*> forms) {
        return std::string(forms.begin()[random() % forms.size()]);
    };
    struct Reading {
        std::vector<Vexlor::Dxf::Point2d> points;
        std::vector<double> heights;
        std::vector<Seen> others;
        std::size_t last = 0;
        bool lastRight = true;  // each position read at once is that of the group before the next
    };
    // Every group of these drawings takes two lines: the next group after the one at line L is at
    // L + 2.
    const auto read = [](const std::string& bytes, std::size_t block, bool atOnce, bool withHeights,
                         std::size_t groups) {
        std::istringstream in(bytes);
        ByteStream stream = block ? ByteStream(in, block) : ByteStream(bytes);
        const auto source = Vexlor::Dxf::OpenGroups(stream);
        Reading r;
        std::size_t following = 0;  // where the next group is, after groups read at once
        for (Group g; source->Next(g);) {
            r.lastRight = r.lastRight && (following == 0 || g.position == following);
            following = 0;
            r.last = g.position;
            const std::string text = ValueText(g);
            // A number as the entity reads it: without blanks around it and a plus sign. One
            // that is not a number whole is kept aside, where the entity would fail on it.
            std::string_view number = text;
            number.remove_prefix(std::min(number.find_first_not_of(" \t+"), number.size()));
            number.remove_suffix(number.size() - (number.find_last_not_of(" \t") + 1));
            double value = 0;
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), value);
            if ((g.code == 10 || g.code == 20 || (g.code == 30 && withHeights)) &&
                (error != std::errc() || end != number.data() + number.size())) {
                r.others.push_back({g.code, text, g.position});
            } else if (g.code == 10) {
                r.points.push_back({value, 0});
                if (withHeights) r.heights.push_back(0);
                if (!atOnce) continue;
                const std::size_t last =
                    source->PlainVertices(r.points, withHeights ? &r.heights : nullptr);
                if (last != Vexlor::Dxf::kNoPosition) {
                    r.last = last;
                    following = last + 2;
                }
            } else if (g.code == 20 && !r.points.empty()) {
                r.points.back().y = value;
            } else if (g.code == 30 && withHeights && !r.heights.empty()) {
                r.heights.back() = value;
            } else {
                r.others.push_back({g.code, text, g.position});
            }
        }
        r.lastRight = r.lastRight && (following == 0 || following == 2 * groups + 1);
        return r;
    };
    for (int round = 0; round < 600; ++round) {
        const bool withHeights = round % 2 == 1;
        const int cycle = withHeights ? 3 : 2;
        std::string text;
        const int groups = 2 + static_cast<int>(random() % 12);
        for (int k = 0; k < groups; ++k) {
            const std::string end = pick({"\n", "\n", "\n", "\r\n", "\r"});
            const int code = random() % 6 == 0
                                 ? std::stoi(pick({"42", "999", "8", "11", "21", "30", "31"}))
                                 : 10 * (1 + k % cycle);
            const auto digits = [&](unsigned most) {
                std::string some;
                for (auto n = random() % (most + 1); n > 0; --n) some += char('0' + random() % 10);
                return some;
            };
            // Of every length around the limits of the forms read at once: 15 digits in all,
            // 7 after the point.
            std::string number = random() % 2 == 0 ? std::to_string(random() % 2000) + "." +
                                                         std::to_string(random() % 1000000)
                                                   : digits(16) + pick({".", ""}) + digits(9);
            // Sixteen digits that a double does not hold: converted at once, they would round
            // twice. And no digits at all.
            if (random() % 16 == 0) number = pick({"964806478.6969077", "967277843422648.1"});
            if (random() % 32 == 0) number = pick({".", "-.", "-", ""});
            if (random() % 8 == 0) number += pick({"e1", " ", "\t"});
            if (random() % 8 == 0) number = pick({" ", "+", "-"}) + number;
            text += pick({"", " ", " ", " ", "  ", "   ", "0"}) + std::to_string(code) + end +
                    number + end;
        }
        const bool sequenceEnd = random() % 2 == 0;
        if (sequenceEnd) text += "0\nSEQEND\n";  // or the drawing ends in vertices
        const std::size_t all = static_cast<std::size_t>(groups) + (sequenceEnd ? 1 : 0);
        const Reading expected = read(text, 0, false, withHeights, all);
        for (std::size_t block = 0; block <= text.size() + 1; ++block) {
            const Reading got = read(text, block, true, withHeights, all);
            ASSERT_TRUE(got.lastRight) << text << "blocks of " << block;
            ASSERT_EQ(expected.others, got.others) << text << "blocks of " << block;
            ASSERT_EQ(expected.last, got.last) << text << "blocks of " << block;
            ASSERT_EQ(expected.heights.size(), got.heights.size()) << text;
            if (!got.heights.empty()) {
                EXPECT_EQ(0, std::memcmp(expected.heights.data(), got.heights.data(),
                                         got.heights.size() * sizeof got.heights[0]))
                    << text << "blocks of " << block;
            }
            ASSERT_EQ(expected.points.size(), got.points.size()) << text;
            if (got.points.empty()) continue;  // no storage to compare
            EXPECT_EQ(0, std::memcmp(expected.points.data(), got.points.data(),
                                     got.points.size() * sizeof got.points[0]))
                << text << "blocks of " << block;
        }
    }
}

// A drawing of more than 1 MiB, read from a stream in its blocks and from memory: the same
// contours, and the ring its pieces make.
TEST(GroupSource, DrawingsLargerThanABlockReadWhole) {
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    constexpr int kPieces = 30000;
    for (int i = 0; i < kPieces; ++i) {
        text += "0\nLINE\n8\nWalls\n10\n" + std::to_string(i) + "\n20\n0\n11\n" +
                std::to_string(i + 1) + "\n21\n0\n";
    }
    text +=
        "0\nLINE\n10\n" + std::to_string(kPieces) + "\n20\n0\n11\n0\n21\n0\n0\nENDSEC\n0\nEOF\n";
    ASSERT_GT(text.size(), std::size_t{1} << 20);
    std::istringstream in(text);
    const Vexlor::Dxf::ContourImport streamed = Vexlor::Dxf::ImportContours(in);
    const Vexlor::Dxf::ContourImport memory = Vexlor::Dxf::ImportContoursFromMemory(text);
    ASSERT_EQ(Vexlor::Dxf::EContourResult::eOk, streamed.result) << streamed.error;
    ASSERT_EQ(1u, streamed.contours.size());
    EXPECT_EQ(std::size_t{kPieces} + 1, streamed.contours[0].polyline.points.size());
    const auto& points = streamed.contours[0].polyline.points;
    ASSERT_EQ(memory.contours[0].polyline.points.size(), points.size());
    EXPECT_EQ(0, std::memcmp(memory.contours[0].polyline.points.data(), points.data(),
                             points.size() * sizeof points[0]));
    EXPECT_EQ(kPieces, streamed.maximum.x);
}

}  // namespace
