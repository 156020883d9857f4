// The accurate import where a drawing is no case of tests/data/accurate: the ways in (memory,
// stream, paths) and binary drawings, built byte by byte.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>    // std::hypot, std::nan
#include <cstring>  // std::memcpy
#include <sstream>  // std::istringstream, std::ostringstream
#include <string>   // std::string
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "VexlorDxfContours.h"

namespace {

using Result = Vexlor::Dxf::EContourResult;
using Vexlor::Dxf::ContourImport;
using Vexlor::Dxf::ImportContours;
using Vexlor::Dxf::ImportContoursFromMemory;
using Point = Vexlor::Math::point<double, 2>;

// Points in hexadecimal floating point: equal texts are equal bits.
std::string Text(const std::vector<Point>& points) {
    std::ostringstream text;
    for (const Point& p : points) text << std::hexfloat << p.x << ' ' << p.y << '\n';
    return text.str();
}

TEST(AccurateImport, PathsStreamsAndMemoryGiveTheSame) {
    const std::string text =
        "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n10\n0\n20\n0\n40\n1\n0\nENDSEC\n0\nEOF\n";
    const ContourImport memory = ImportContoursFromMemory(text);
    ASSERT_EQ(1u, memory.contours.size());
    std::istringstream stream(text);
    const VexlorDxfTest::TempFile file(".dxf");
    file.Write(text);
    for (const ContourImport& other :
         {ImportContours(stream), ImportContours(file.WidePath()), ImportContours(file.Path())}) {
        EXPECT_EQ(memory.result, other.result);
        ASSERT_EQ(1u, other.contours.size());
        EXPECT_EQ(Text(memory.contours[0].polyline.points),
                  Text(other.contours[0].polyline.points));
    }
    EXPECT_EQ(Result::eOpenError, ImportContours(L"/nonexistent/folder/x.dxf").result);
}

TEST(AccurateImport, BinaryDrawingsReadAsTheirText) {
    // Codes of two bytes, little-endian; strings end with NUL; coordinates are 8-byte doubles (the
    // tests run on little-endian machines).
    std::string data("AutoCAD Binary DXF\r\n\x1a\0", 22);
    const auto text = [&](char code, const std::string& value) {
        data += std::string{code, '\0'} + value + '\0';
    };
    const auto number = [&](char code, double value) {
        data += std::string{code, '\0'} + std::string(reinterpret_cast<char*>(&value), 8);
    };
    text(0, "SECTION"), text(2, "ENTITIES"), text(0, "LINE"), text(8, "Cut");
    number(10, 0.1), number(20, 0);
    const std::size_t badAt = data.size();
    number(11, 1.5), number(21, 0.25), text(0, "ENDSEC"), text(0, "EOF");
    const ContourImport import = ImportContoursFromMemory(data);
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    EXPECT_TRUE(import.binary);
    ASSERT_EQ(1u, import.contours.size());
    EXPECT_EQ("Cut", import.contours[0].layer);
    EXPECT_EQ(Text({{0.1, 0}, {1.5, 0.25}}), Text(import.contours[0].polyline.points));
    // A NaN where 11 should be a number: the error names the group, its entity and byte offset.
    std::string broken = data;
    const double nan = std::nan("");
    std::memcpy(&broken[badAt + 2], &nan, 8);
    const ContourImport bad = ImportContoursFromMemory(broken);
    EXPECT_EQ(Result::eReadError, bad.result);
    for (const std::string& part :
         std::vector<std::string>{"byte " + std::to_string(badAt) + ':', "LINE", "group 11"})
        EXPECT_NE(std::string::npos, bad.error.find(part)) << bad.error;
    EXPECT_EQ(Result::eReadError, ImportContoursFromMemory(data.substr(0, badAt + 3)).result);
}

// Curves wait in the model space and in blocks until the tolerance is known: across several
// runs of them, each comes back as its own contour, in the drawing's order. Circle k has radius
// k + 1 about the origin, so no two meet or cross.
TEST(AccurateImport, ManyCurvesKeepTheirOrder) {
    const auto circles = [](int count) {
        std::string text;
        for (int k = 0; k < count; ++k) {
            text += "0\nCIRCLE\n10\n0\n20\n0\n40\n" + std::to_string(k + 1) + "\n";
        }
        return text;
    };
    constexpr int kModel = 150;
    constexpr int kInBlock = 130;
    const std::string text = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n10\n0\n20\n0\n" +
                             circles(kInBlock) + "0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
                             circles(kModel) +
                             "0\nINSERT\n2\nB\n10\n1000\n20\n0\n0\nENDSEC\n0\nEOF\n";
    const ContourImport import = ImportContoursFromMemory(text);
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    ASSERT_EQ(std::size_t{kModel + kInBlock}, import.contours.size());
    for (int k = 0; k < kModel + kInBlock; ++k) {
        const bool inBlock = k >= kModel;
        const double radius = (inBlock ? k - kModel : k) + 1;
        const Point& p = import.contours[k].polyline.points.front();
        EXPECT_NEAR(std::hypot(p.x - (inBlock ? 1000 : 0), p.y), radius, 1e-9) << k;
    }
}

}  // namespace
