// Tests of the polyline reader object: box, output primitives, conversion failures, the vector.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>      // std::isnan
#include <cstddef>    // std::size_t
#include <limits>     // std::numeric_limits
#include <ostream>    // std::ostream
#include <stdexcept>  // std::invalid_argument, std::out_of_range
#include <string>     // std::string
#include <vector>     // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::BlocksDrawing;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::Groups;
using VexlorDxfTest::Hex;
using VexlorDxfTest::ImportGroups;
using VexlorDxfTest::RawPolylineReader;
using VexlorDxfTest::SamePolylines;
using VexlorDxfTest::Stof;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;
using Reader = MStlBaseOperatorDXFPolylineReader;

constexpr double kBoxStart = 2147483647.0;

const std::string kLine = " LINE 10=1 20=2 11=3 21=4 ";

// --- Box ---------------------------------------------------------------------------------------

TEST(PolylineReader, BoxBeforeAnyPointIsTheIntegerRange) {
    std::vector<Polyline> polylines;
    const Reader reader(polylines);
    EXPECT_EQ(reader.GetLeftTopPoint().x, kBoxStart);
    EXPECT_EQ(reader.GetLeftTopPoint().y, kBoxStart);
    EXPECT_EQ(reader.GetRightBottomPoint().x, -kBoxStart);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -kBoxStart);
}

TEST(PolylineReader, LineWidensTheBoxInTheOutputFrame) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, EntitiesDrawing(Groups(kLine))), CDXFReader::eOk);
    EXPECT_EQ(reader.GetLeftTopPoint().x, 1.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -4.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 3.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -2.0);
}

// Starting the box at infinities or at the largest double would let these reach both corners.
TEST(PolylineReader, CoordinatesBeyondTheIntegerRangeReachOneCornerOnly) {
    std::vector<Polyline> polylines;
    Reader high(polylines);
    ASSERT_EQ(ImportGroups(high, EntitiesDrawing(Groups("LINE 10=3e9 20=-3e9 11=4e9 21=-4e9"))),
              CDXFReader::eOk);
    EXPECT_EQ(high.GetLeftTopPoint().x, kBoxStart);
    EXPECT_EQ(high.GetLeftTopPoint().y, kBoxStart);
    EXPECT_EQ(high.GetRightBottomPoint().x, Stof("4e9"));
    EXPECT_EQ(high.GetRightBottomPoint().y, Stof("4e9"));

    Reader low(polylines);
    ASSERT_EQ(ImportGroups(low, EntitiesDrawing(Groups("LINE 10=-3e9 20=3e9 11=-4e9 21=4e9")),
                           ".low.dxf"),
              CDXFReader::eOk);
    EXPECT_EQ(low.GetLeftTopPoint().x, -Stof("4e9"));
    EXPECT_EQ(low.GetLeftTopPoint().y, -Stof("4e9"));
    EXPECT_EQ(low.GetRightBottomPoint().x, -kBoxStart);
    EXPECT_EQ(low.GetRightBottomPoint().y, -kBoxStart);
}

TEST(PolylineReader, NanCoordinateTakesBothBoxValuesOfItsAxis) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    reader._AddPoint({std::numeric_limits<double>::quiet_NaN(), 1.0});
    EXPECT_TRUE(std::isnan(reader.GetLeftTopPoint().x));
    EXPECT_TRUE(std::isnan(reader.GetRightBottomPoint().x));
    EXPECT_EQ(reader.GetLeftTopPoint().y, 1.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, 1.0);
}

// Every comparison with NaN is false, so the next ordinary point replaces it in both corners.
TEST(PolylineReader, OrdinaryPointAfterNanReplacesItInBothCorners) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    EXPECT_NO_THROW(ImportGroups(reader, EntitiesDrawing(Groups("LINE 10=nan 20=2 11=5 21=6"))));
    EXPECT_EQ(reader.GetLeftTopPoint().x, 5.0) << Hex(reader.GetLeftTopPoint().x);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 5.0) << Hex(reader.GetRightBottomPoint().x);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -6.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -2.0);
}

// --- Output primitives -------------------------------------------------------------------------

TEST(PolylineReader, AddPointStartsAPolylineAndStoresPointsUnchanged) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    reader._AddPoint({3, 5});
    reader._AddPoint({3, 5});
    EXPECT_TRUE(SamePolylines(polylines, {Polyline{{{3, 5}, {3, 5}}, true}}));
    reader._AddPolyline();
    reader._AddPoint({-1, 7});
    EXPECT_TRUE(
        SamePolylines(polylines, {Polyline{{{3, 5}, {3, 5}}, true}, Polyline{{{-1, 7}}, true}}));
    EXPECT_EQ(reader.GetLeftTopPoint().x, -1.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, 5.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 3.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, 7.0);
}

TEST(PolylineReader, CopyWritesIntoTheSameVectorAndKeepsBoxAndCurrentPolyline) {
    std::vector<Polyline> polylines;
    RawPolylineReader original(polylines);
    original._AddPoint({1, 1});
    RawPolylineReader copy(original);
    copy._AddPoint({2, 2});  // extends the polyline the original made current
    EXPECT_TRUE(SamePolylines(polylines, {Polyline{{{1, 1}, {2, 2}}, true}}));
    EXPECT_EQ(copy.GetLeftTopPoint().x, 1.0);
    EXPECT_EQ(copy.GetRightBottomPoint().x, 2.0);
    EXPECT_EQ(original.GetRightBottomPoint().x, 1.0);
    ASSERT_EQ(ImportGroups(copy, EntitiesDrawing(Groups(kLine))), CDXFReader::eOk);
    EXPECT_EQ(polylines.size(), 2u);
}

// --- Conversion failures -----------------------------------------------------------------------

struct FailureRow {
    const char* name;
    std::vector<Group> drawing;  // a LINE (1, 2)-(3, 4) comes first
    bool invalidArgument;        // else std::out_of_range
    const char* message;
    std::size_t polylines;  // the line, plus one for readers that start theirs before reading
};

std::ostream& operator<<(std::ostream& out, const FailureRow& row) { return out << row.name; }

std::vector<Group> AfterLine(const std::string& entities) {
    return EntitiesDrawing(Groups(kLine + entities));
}

std::vector<Group> AfterLineInBlock(const std::string& items) {
    return BlocksDrawing(Groups("BLOCK 2=B " + kLine + items));
}

class ConversionFailures : public testing::TestWithParam<FailureRow> {};

TEST_P(ConversionFailures, LeaveImportAndKeepEarlierPolylines) {
    const FailureRow& row = GetParam();
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    try {
        ImportGroups(reader, row.drawing);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_TRUE(row.invalidArgument) << e.what();
        EXPECT_STREQ(e.what(), row.message);
    } catch (const std::out_of_range& e) {
        EXPECT_FALSE(row.invalidArgument) << e.what();
        EXPECT_STREQ(e.what(), row.message);
    }
    ASSERT_EQ(polylines.size(), row.polylines);
    EXPECT_TRUE(SamePolylines({polylines[0]}, {Polyline{{{1, -2}, {3, -4}}, false}}));
}

const char* const kStofInvalid = "invalid stof argument";
const char* const kStofRange = "stof argument out of range";
const char* const kStoiInvalid = "invalid stoi argument";

INSTANTIATE_TEST_SUITE_P(
    PolylineReader, ConversionFailures,
    testing::Values(
        FailureRow{"LineX", AfterLine("LINE 10=abc"), true, kStofInvalid, 1},
        FailureRow{"LineEndY", AfterLine("LINE 21=1e39"), false, kStofRange, 1},
        FailureRow{"LwPolylineY", AfterLine("LWPOLYLINE 10=1 20=abc"), true, kStofInvalid, 2},
        FailureRow{"SplineX", AfterLine("SPLINE 10=-1e39"), false, kStofRange, 2},
        FailureRow{"VertexY", AfterLine("VERTEX 20=y"), true, kStofInvalid, 1},
        FailureRow{"ArcAngle", AfterLine("ARC 51=abc"), true, kStofInvalid, 1},
        FailureRow{"CircleRadius", AfterLine("CIRCLE 40=1e39"), false, kStofRange, 1},
        FailureRow{"EllipseRatio", AfterLine("ELLIPSE 40=ratio"), true, kStofInvalid, 1},
        // Inserts outside blocks are not recorded, but their values are still converted.
        FailureRow{"InsertInEntities", AfterLine("INSERT 10=abc"), true, kStofInvalid, 1},
        FailureRow{"InsertInBlock", AfterLineInBlock("INSERT 2=B 30=1e39"), false, kStofRange, 1},
        FailureRow{"HatchX", AfterLineInBlock("HATCH 10=abc"), true, kStofInvalid, 2},
        FailureRow{"HatchPathType", AfterLineInBlock("HATCH 91=1 92=abc"), true, kStoiInvalid, 2},
        FailureRow{"HatchPathTypeRange", AfterLineInBlock("HATCH 92=99999999999"), false,
                   "stoi argument out of range", 2},
        FailureRow{"HatchSeedCount", AfterLineInBlock("HATCH 98=seeds"), true, kStoiInvalid, 2}),
    [](const testing::TestParamInfo<FailureRow>& row) { return std::string(row.param.name); });

// Each value below is junk in a group that its reader does not interpret.
TEST(PolylineReader, IgnoredGroupsWithJunkValuesNeverFail) {
    const std::string junk =
        "LINE 10=1 20=1 30=abc 39=x 210=x LWPOLYLINE 90=n 70=f 38=z 43=w 10=5 20=5 40=w 41=w "
        "42=bulge 10=6 20=5 POLYLINE 66=? 70=? 10=dummy 20=dummy VERTEX 10=8 20=8 30=z 42=b "
        "70=f SEQEND SPLINE 70=f 71=d 40=knot 41=weight 11=fit 21=fit 12=t 10=9 20=9 10=9 "
        "20=10 ARC 10=20 20=20 30=z 40=1 39=t CIRCLE 10=30 39=t 230=e ELLIPSE 11=1 41=start "
        "42=end 31=z INSERT 41=s 50=r HATCH 92=abc 72=abc 98=abc TEXT 10=abc 40=abc";
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    CDXFReader::EReturnCode result = CDXFReader::eReadError;
    EXPECT_NO_THROW(result = ImportGroups(reader, EntitiesDrawing(Groups(junk))));
    EXPECT_NE(result, CDXFReader::eReadError);
    EXPECT_FALSE(polylines.empty());
}

// --- The caller's vector -----------------------------------------------------------------------

TEST(PolylineReader, CallersPolylinesStayInFront) {
    const Polyline callers{{{100, 100}, {200, 100}, {200, 200}}, true};
    std::vector<Polyline> polylines{callers};
    Reader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, EntitiesDrawing(Groups(kLine))), CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(polylines, {callers, Polyline{{{1, -2}, {3, -4}}, false}}));
    EXPECT_EQ(reader.GetRightBottomPoint().x, 3.0);  // the caller's points are not in the box
}

TEST(PolylineReader, SecondImportAppendsAndTheBoxCoversBoth) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, EntitiesDrawing(Groups(kLine)), ".first.dxf"), CDXFReader::eOk);
    ASSERT_EQ(
        ImportGroups(reader, EntitiesDrawing(Groups("LINE 10=-5 20=1 11=-6 21=1")), ".second.dxf"),
        CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(
        polylines, {Polyline{{{1, -2}, {3, -4}}, false}, Polyline{{{-5, -1}, {-6, -1}}, false}}));
    EXPECT_EQ(reader.GetLeftTopPoint().x, -6.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -4.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 3.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -1.0);
}

// Post-processing drops the zero-length line that was current, so the index outlives it.
TEST(PolylineReader, StaleCurrentIndexAfterPostProcessingNamesNoPolyline) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, EntitiesDrawing(Groups(kLine + "LINE 10=9 20=9 11=9 21=9")),
                           ".first.dxf"),
              CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    ASSERT_EQ(ImportGroups(reader,
                           EntitiesDrawing(Groups("VERTEX 10=7 20=70 LINE 10=20 20=0 11=21 21=0")),
                           ".second.dxf"),
              CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(
        polylines, {Polyline{{{1, -2}, {3, -4}}, false}, Polyline{{{20, 0}, {21, 0}}, false}}));
    EXPECT_EQ(reader.GetLeftTopPoint().y, -9.0);  // the dropped vertex would give -70
}

TEST(PolylineReader, VectorShortenedByTheCallerGetsANewPolyline) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    reader._AddPoint({1, 1});
    reader._AddPoint({2, 2});
    polylines.clear();
    reader._AddPoint({3, 3});
    EXPECT_TRUE(SamePolylines(polylines, {Polyline{{{3, 3}}, true}}));
}

// --- Real drawings -----------------------------------------------------------------------------

std::wstring DataFile(const std::string& name) {
    const std::string path = std::string(VEXLOR_DXF_TEST_DATA_DIR) + "/" + name;
    return std::wstring(path.begin(), path.end());
}

TEST(PolylineReader, LinesOfASquareBecomeOneContourBesideTheCircle) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    ASSERT_EQ(reader.Import(DataFile("lines_square_around_circle.dxf")), CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 2u);
    EXPECT_TRUE(SamePolylines({polylines[0]},
                              {Polyline{{{0, 0}, {10, 0}, {10, -10}, {0, -10}, {0, 0}}, false}}));
    EXPECT_TRUE(polylines[1].closed);
    EXPECT_EQ(polylines[1].points.size(), 30u);
    EXPECT_EQ(reader.GetLeftTopPoint().x, 0.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -10.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 10.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, 0.0);
}

TEST(PolylineReader, OverlappingSquaresCross) {
    std::vector<Polyline> polylines;
    Reader reader(polylines);
    EXPECT_EQ(reader.Import(DataFile("crossing_lwpolylines.dxf")), CDXFReader::eIntersecting);
    EXPECT_EQ(polylines.size(), 2u);
}

}  // namespace
