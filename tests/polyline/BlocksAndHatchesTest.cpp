// Tests of block definitions, insert records and hatch boundaries of the polyline reader.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <ostream>    // std::ostream
#include <sstream>    // std::istringstream
#include <stdexcept>  // std::invalid_argument
#include <string>     // std::string, std::wstring
#include <utility>    // std::move
#include <vector>     // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::BlocksDrawing;
using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Groups;
using VexlorDxfTest::ImportGroups;
using VexlorDxfTest::RawPolylineReader;
using VexlorDxfTest::SamePolylines;
using Point = MStlBaseOperatorDXFPolylineReader::Point;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

Polyline Closed(std::vector<Point> points) { return Polyline{std::move(points), true}; }

// A block header whose base point (50, 50) must not move anything.
std::string Block(const std::string& name) {
    return " BLOCK 8=0 2=" + name + " 70=0 10=50 20=50 30=0 3=" + name + " ";
}

const std::string kEndBlock = " ENDBLK 8=0 ";

// Scale and rotation must not reach the record: it holds a translation only.
std::string Insert(const std::string& name, const std::string& x, const std::string& y) {
    return " INSERT 8=0 2=" + name + " 10=" + x + " 20=" + y + " 30=3 41=2 42=2 50=90 ";
}

std::string PolylinePath(const std::string& vertices, int count) {
    return " 92=2 72=0 73=1 93=" + std::to_string(count) + " " + vertices + " 97=0 ";
}

// A hatch with its elevation point (0, 0) unless told otherwise, a boundary and seed points.
std::string Hatch(const std::string& boundary, const std::string& seeds = "98=1 10=5 20=5",
                  bool elevation = true) {
    return std::string(" HATCH 100=AcDbEntity 8=0 100=AcDbHatch ") +
           (elevation ? "10=0 20=0 30=0 " : "") + "210=0 220=0 230=1 2=SOLID 70=1 71=0 91=1 " +
           boundary + " 75=0 76=1 " + seeds + " ";
}

const std::string kSquare = "10=0 20=0 10=10 20=0 10=10 20=10 10=0 20=10";
const std::string kSquareHatch = Hatch(PolylinePath(kSquare, 4));
const Polyline kUnshifted = Closed({{0, 0}, {10, 0}, {10, -10}, {0, -10}});
const Polyline kShifted = Closed({{5, -7}, {15, -7}, {15, -17}, {5, -17}});

const std::string kLineEdges =
    " 92=1 93=4 72=1 10=0 20=0 11=10 21=0 72=1 10=10 20=0 11=10 21=10 "
    "72=1 10=10 20=10 11=0 21=10 72=1 10=0 20=10 11=0 21=0 97=0 ";

std::string SplineEdge(const std::string& controlPoints) {
    return " 72=4 94=3 73=0 74=0 95=8 96=4 40=0 40=0 40=0 40=0 40=1 40=1 40=1 40=1 " +
           controlPoints + " ";
}

std::string LineAndSplineEdges(const std::string& pathType) {
    return " 92=" + pathType + " 93=3 72=1 10=0 20=0 11=10 21=0" +
           SplineEdge("10=10 20=0 10=12 20=3 10=14 20=3 10=16 20=0") +
           SplineEdge("10=16 20=0 10=14 20=-5 10=5 20=-5 10=0 20=0") + " 97=0 ";
}

std::vector<VexlorDxfTest::Group> InBlocks(const std::string& items) {
    return BlocksDrawing(Groups(items));
}

// --- Raw output of block sections --------------------------------------------------------------

struct BlockRow {
    const char* name;
    std::vector<VexlorDxfTest::Group> drawing;
    std::vector<Polyline> expected;
};

std::ostream& operator<<(std::ostream& out, const BlockRow& row) { return out << row.name; }

std::string RowName(const testing::TestParamInfo<BlockRow>& info) { return info.param.name; }

class BlockSections : public testing::TestWithParam<BlockRow> {};

TEST_P(BlockSections, RawOutputIsExact) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, GetParam().drawing), CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(polylines, GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    BlocksAndHatches, BlockSections,
    testing::Values(
        BlockRow{"HatchWithoutInsertIsUnshifted",
                 InBlocks(Block("B") + kSquareHatch + kEndBlock),
                 {kUnshifted}},
        BlockRow{"HatchShiftedByInsertInEarlierBlock",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + Block("B") +
                          kSquareHatch + kEndBlock),
                 {kShifted}},
        BlockRow{"FirstInsertOfANameStays",
                 InBlocks(Block("A") + Insert("B", "5", "7") + Insert("B", "2", "2") + kEndBlock +
                          Block("B") + kSquareHatch + kEndBlock),
                 {kShifted}},
        BlockRow{"InsertInSameBlockBeforeHatchShifts",
                 InBlocks(Block("B") + Insert("B", "5", "7") + kSquareHatch + kEndBlock),
                 {kShifted}},
        BlockRow{"InsertAfterTheHatchDoesNotShift",
                 InBlocks(Block("B") + kSquareHatch + kEndBlock + Block("A") +
                          Insert("B", "5", "7") + kEndBlock),
                 {kUnshifted}},
        BlockRow{
            "InsertInEntitiesIsNotRecorded",
            Groups("SECTION 2=ENTITIES " + Insert("B", "5", "7") + " ENDSEC SECTION 2=BLOCKS " +
                   Block("B") + kSquareHatch + kEndBlock + " ENDSEC EOF"),
            {kUnshifted}},
        BlockRow{"InsertNamesAreCaseSensitive",
                 InBlocks(Block("A") + Insert("b", "5", "7") + kEndBlock + Block("B") +
                          kSquareHatch + kEndBlock),
                 {kUnshifted}},
        BlockRow{"InsertWithoutNameAppliesBeforeAnyBlockHeader",
                 InBlocks(" INSERT 10=5 20=7 " + kSquareHatch),
                 {kShifted}},
        BlockRow{"MissingInsertCoordinateIsZero",
                 InBlocks(Block("A") + " INSERT 2=B 10=5 " + kEndBlock + Block("B") + kSquareHatch +
                          kEndBlock),
                 {Closed({{5, 0}, {15, 0}, {15, -10}, {5, -10}})}},
        BlockRow{"BlockNameGroup3AfterGroup2Wins",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + " BLOCK 2=A 3=B " +
                          kSquareHatch),
                 {kShifted}},
        BlockRow{"BlockNameGroup2AfterGroup3Wins",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + " BLOCK 3=B 2=A " +
                          kSquareHatch),
                 {kUnshifted}},
        BlockRow{"UnnamedBlockHeaderKeepsThePreviousName",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + Block("B") + kEndBlock +
                          " BLOCK 70=0 " + kSquareHatch),
                 {kShifted}},
        BlockRow{"HatchAfterEndOfBlockBelongsToThatBlock",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + Block("B") + kEndBlock +
                          kSquareHatch),
                 {kShifted}},
        // A prefix match would take BLOCKS for a header and rename the block to A.
        BlockRow{"NameOnlyBeginningWithBlockIsSkipped",
                 InBlocks(Block("A") + Insert("B", "5", "7") + kEndBlock + Block("B") +
                          " BLOCKS 2=A " + kSquareHatch),
                 {kShifted}},
        BlockRow{"NamesOnlyLikeHatchAreSkipped",
                 InBlocks(Block("B") + " HATCHES " + kSquare + " hatch " + kSquare + kEndBlock),
                 {}},
        BlockRow{"HatchInEntitiesProducesNothing", EntitiesDrawing(Groups(kSquareHatch)), {}},
        BlockRow{"SeveralSeedPointsAreSkipped",
                 InBlocks(Block("B") +
                          Hatch(PolylinePath(kSquare, 4), "98=3 10=5 20=5 10=6 20=6 10=7 20=7")),
                 {kUnshifted}},
        BlockRow{"HatchWithoutElevationLosesItsFirstVertex",
                 InBlocks(Block("B") + Hatch(PolylinePath(kSquare, 4), "98=0", false)),
                 {Closed({{10, 0}, {10, -10}, {0, -10}})}},
        BlockRow{"TwoPointBoundaryIsEmptiedAndLeavesNoCurrentPolyline",
                 InBlocks(Block("B") + Hatch(PolylinePath("10=0 20=0 10=10 20=0", 2)) +
                          " VERTEX 10=3 20=3"),
                 {Closed({})}},
        BlockRow{"BoundaryOfThreePointsStaysCurrent",
                 InBlocks(Block("B") + Hatch(PolylinePath("10=0 20=0 10=10 20=0 10=10 20=10", 3)) +
                          " VERTEX 10=3 20=3"),
                 {Closed({{0, 0}, {10, 0}, {10, -10}, {3, -3}})}},
        BlockRow{"LineEdgesGiveTheirStartPoints",
                 InBlocks(Block("B") + Hatch(kLineEdges)),
                 {kUnshifted}},
        BlockRow{"FullCircleEdgeGivesItsCentreAndIsEmptied",
                 InBlocks(Block("B") +
                          Hatch("92=1 93=1 72=2 10=5 20=5 40=3 50=0 51=360 73=1 97=0", "98=0")),
                 {Closed({})}},
        BlockRow{
            "PathsOfOneHatchAreConcatenated",
            InBlocks(Block("B") +
                     Hatch(PolylinePath(kSquare, 4) +
                           PolylinePath("10=2 20=2 10=4 20=2 10=4 20=4 10=2 20=4", 4))),
            {Closed({{0, 0}, {10, 0}, {10, -10}, {0, -10}, {2, -2}, {4, -2}, {4, -4}, {2, -4}})}},
        BlockRow{"SplineEdgesOfPathTypeOneStartPolylines",
                 InBlocks(Block("B") + Hatch(LineAndSplineEdges("1"), "98=0")),
                 {Closed({{0, 0}}), Closed({{10, 0}, {12, -3}, {14, -3}, {16, 0}}),
                  Closed({{16, 0}, {14, 5}, {5, 5}, {0, 0}})}},
        // Path type 5 has the bit of 1 set; only the exact value 1 splits.
        BlockRow{
            "SplineEdgesOfOtherPathTypesDoNotSplit",
            InBlocks(Block("B") + Hatch(LineAndSplineEdges("5"), "98=0")),
            {Closed(
                {{0, 0}, {10, 0}, {12, -3}, {14, -3}, {16, 0}, {16, 0}, {14, 5}, {5, 5}, {0, 0}})}},
        BlockRow{"LineInBlockIsEmittedOnceWhateverTheInserts",
                 Groups("SECTION 2=BLOCKS " + Block("B") + " LINE 10=0 20=0 11=1 21=0 " +
                        kEndBlock + Block("C") + Insert("B", "5", "7") + kEndBlock +
                        " ENDSEC SECTION 2=ENTITIES " + Insert("B", "1", "1") +
                        Insert("B", "2", "2") + Insert("B", "3", "3") + " ENDSEC EOF"),
                 {Polyline{{{0, 0}, {1, 0}}, false}}},
        BlockRow{
            "AnonymousBlockIsReadAndTextSkipped",
            InBlocks(Block("*Model_Space") + " TEXT 10=4 20=4 1=note LINE 10=2 20=3" + kEndBlock),
            {Polyline{{{2, -3}, {0, 0}}, false}}}),
    RowName);

// The same readers serve both sections, and an insert of the block transforms none of them.
TEST(BlocksAndHatches, BlockEntitiesMatchTheEntitiesSection) {
    const std::string entities =
        " LINE 10=1 20=2 11=3 21=4 LWPOLYLINE 10=0 20=0 10=5 20=0 POLYLINE VERTEX 10=7 20=8 "
        "SEQEND SPLINE 10=1 20=1 10=2 20=3 ARC 10=1 20=1 40=2 50=10 51=100 CIRCLE 10=5 40=2 "
        "ELLIPSE 11=2 21=1 40=0.5 ";
    std::vector<Polyline> fromEntities;
    RawPolylineReader entitiesReader(fromEntities);
    ASSERT_EQ(ImportGroups(entitiesReader, EntitiesDrawing(Groups(entities)), ".entities.dxf"),
              CDXFReader::eOk);
    std::vector<Polyline> fromBlock;
    RawPolylineReader blockReader(fromBlock);
    ASSERT_EQ(ImportGroups(blockReader,
                           InBlocks(Block("B") + Insert("B", "5", "7") + entities + kEndBlock),
                           ".blocks.dxf"),
              CDXFReader::eOk);
    EXPECT_EQ(fromEntities.size(), 7u);
    EXPECT_TRUE(SamePolylines(fromBlock, fromEntities));
}

// --- Hatch box and failures --------------------------------------------------------------------

TEST(BlocksAndHatches, EmptiedBoundaryStillWidensTheBoxButTheElevationDoesNot) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    ASSERT_EQ(
        ImportGroups(reader, InBlocks("HATCH 10=100 20=100 30=0 92=2 93=2 10=1 20=2 10=3 20=4")),
        CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(polylines, {Closed({})}));
    EXPECT_EQ(reader.GetLeftTopPoint().x, 1.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -4.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, 3.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -2.0);
}

const std::string kHatchUpToTwoVertices = "HATCH 10=0 20=0 92=2 72=0 93=3 10=1 20=1 10=2 20=1 ";

TEST(BlocksAndHatches, GroupSeventyTwoNotANumberFailsTheImportAndKeepsPoints) {
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    EXPECT_EQ(ImportGroups(reader, InBlocks(kHatchUpToTwoVertices + "72=bulge? 10=3 20=3")),
              CDXFReader::eReadError);
    // The emptying of short boundaries does not run after the failure.
    EXPECT_TRUE(SamePolylines(polylines, {Closed({{1, -1}, {2, -1}})}));
}

TEST(BlocksAndHatches, GroupSeventyTwoNotANumberMakesTheReaderReturnMinusOne) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    std::istringstream stream(DxfText(Groups("10=0 20=0 72=x ENDBLK")));
    unsigned short code = 0;
    std::wstring value = L"HATCH";
    EXPECT_EQ(reader._ReadHatch(stream, code, value, nullptr), -1);
    EXPECT_EQ(code, 72);
    CDXFReader::EntityInsert offset{L"B", 1, 1, 0};
    std::istringstream overflow(DxfText(Groups("72=99999999999 ENDBLK")));
    EXPECT_EQ(reader._ReadHatch(overflow, code, value, &offset), -1);
}

TEST(BlocksAndHatches, GroupNinetyTwoNotANumberThrowsAndKeepsPoints) {
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    EXPECT_THROW(ImportGroups(reader, InBlocks(kHatchUpToTwoVertices + "92=abc")),
                 std::invalid_argument);
    EXPECT_TRUE(SamePolylines(polylines, {Closed({{1, -1}, {2, -1}})}));
}

TEST(BlocksAndHatches, RealDrawingShiftsTheHatchOfAnInsertedBlock) {
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const std::string path =
        std::string(VEXLOR_DXF_TEST_DATA_DIR) + "/hatch_in_block_shifted_by_insert.dxf";
    ASSERT_EQ(reader.Import(std::wstring(path.begin(), path.end())), CDXFReader::eOk);
    EXPECT_TRUE(SamePolylines(polylines, {kShifted}));
}

}  // namespace
