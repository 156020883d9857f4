// What ReadDrawingInfo tells of a drawing: header values, layers, entity kinds, blocks, counted by
// hand for small drawings, ASCII and binary; and its results for drawings it cannot read.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <map>      // std::map
#include <sstream>  // std::istringstream
#include <string>   // std::string
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "VexlorDxfInfo.h"

namespace {

using Vexlor::Dxf::DrawingInfo;
using Vexlor::Dxf::EInfoResult;
using Vexlor::Dxf::ReadDrawingInfoFromMemory;

// An ASCII drawing of `sections`, each a name and its groups, ended by EOF.
std::string Drawing(const std::vector<std::pair<std::string, std::string>>& sections) {
    std::string text;
    for (const auto& [name, body] : sections)
        text += "0\nSECTION\n2\n" + name + "\n" + body + "0\nENDSEC\n";
    return text + "0\nEOF\n";
}

// name: entities, as one line per layer or block, for comparing whole lists.
template <typename T>
std::map<std::string, std::size_t> Entities(const std::vector<T>& items) {
    std::map<std::string, std::size_t> counts;
    for (const T& item : items) counts[item.name] = item.entities;
    return counts;
}

TEST(DrawingInfo, HeaderValuesAndTheReleaseTheyName) {
    struct Case {
        std::string header;
        std::string version, release, codePage;
        int units;
        bool hasExtent;
    };
    const std::string extent =
        "9\n$EXTMIN\n10\n-1\n20\n-2\n30\n-3\n9\n$EXTMAX\n10\n4\n20\n5\n30\n6\n";
    const Case cases[] = {
        {"", "", "", "", 0, false},
        {"9\n$ACADVER\n1\nAC1009\n9\n$INSUNITS\n70\n6\n", "AC1009", "R11/R12", "", 6, false},
        {"9\n$ACADVER\n1\n  AC1032  \n9\n$DWGCODEPAGE\n3\nANSI_1251\n" + extent, "AC1032", "R2018",
         "ANSI_1251", 0, true},
        {"9\n$ACADVER\n1\nAC9999\n", "AC9999", "", "", 0, false},
        // Only a minimum, or a minimum above the maximum (how writers mark an empty drawing).
        {"9\n$EXTMIN\n10\n0\n20\n0\n30\n0\n", "", "", "", 0, false},
        {"9\n$EXTMIN\n10\n1e20\n20\n1e20\n30\n1e20\n9\n$EXTMAX\n10\n-1e20\n20\n-1e20\n30\n-1e20\n",
         "", "", "", 0, false}};
    for (const Case& c : cases) {
        const DrawingInfo info = ReadDrawingInfoFromMemory(Drawing({{"HEADER", c.header}}));
        ASSERT_EQ(EInfoResult::eOk, info.result) << c.header << info.error;
        EXPECT_EQ(c.version, info.version) << c.header;
        EXPECT_EQ(c.release, info.release) << c.header;
        EXPECT_EQ(c.codePage, info.codePage) << c.header;
        EXPECT_EQ(c.units, info.units) << c.header;
        EXPECT_EQ(c.hasExtent, info.hasExtent) << c.header;
    }
    const DrawingInfo info = ReadDrawingInfoFromMemory(Drawing({{"HEADER", extent}}));
    EXPECT_EQ(
        (std::vector<double>{-1, -2, -3, 4, 5, 6}),
        (std::vector<double>{info.extentMinimum[0], info.extentMinimum[1], info.extentMinimum[2],
                             info.extentMaximum[0], info.extentMaximum[1], info.extentMaximum[2]}));
}

TEST(DrawingInfo, LayersByTableThenByEntitiesWithoutRegardToCase) {
    // The table lists Walls twice (the first stands) and Glass locked, of colour 0 (only a
    // negative colour is off); entities name walls, GLASS, a layer the table lacks, and none
    // (layer 0). Names of a drawing before R2007 are in its code page: 0xC0 is U+0410 in
    // ANSI_1251.
    const std::string tables =
        "0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nWalls\n70\n1\n62\n-5\n0\nLAYER\n2\nWALLS\n70\n0\n0\n"
        "LAYER\n2\nGlass\n70\n4\n62\n0\n0\nLAYER\n2\n\xC0\n0\nENDTAB\n";
    const std::string entities =
        "0\nLINE\n8\nwalls\n0\nCIRCLE\n8\nGLASS\n0\nARC\n8\nNew\n0\nTEXT\n0\nLINE\n8\nNew\n";
    const DrawingInfo info = ReadDrawingInfoFromMemory(
        Drawing({{"HEADER", "9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_1251\n"},
                 {"TABLES", tables},
                 {"ENTITIES", entities}}));
    ASSERT_EQ(EInfoResult::eOk, info.result) << info.error;
    ASSERT_EQ(5u, info.layers.size());
    const std::vector<std::string> names{"Walls", "Glass", "\xD0\x90", "New", "0"};
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], info.layers[i].name);
    const auto& walls = info.layers[0];
    EXPECT_TRUE(walls.listed && walls.frozen && walls.off && !walls.locked);
    const auto& glass = info.layers[1];
    EXPECT_TRUE(glass.listed && !glass.frozen && !glass.off && glass.locked);
    EXPECT_FALSE(info.layers[3].listed);
    EXPECT_EQ((std::map<std::string, std::size_t>{
                  {"Walls", 1}, {"Glass", 1}, {"\xD0\x90", 0}, {"New", 2}, {"0", 1}}),
              Entities(info.layers));
    EXPECT_EQ(
        (std::map<std::string, std::size_t>{{"ARC", 1}, {"CIRCLE", 1}, {"LINE", 2}, {"TEXT", 1}}),
        info.entities);
}

TEST(DrawingInfo, BlocksSpacesAndEntitiesThatBelongToAnother) {
    // Door is placed by the model space twice (INSERT and MINSERT, any case) and by Frame once;
    // Frame is not placed. The layouts' records are no blocks: *Paper_Space's entity counts in the
    // paper space, *Model_Space's nowhere. A POLYLINE's VERTEX and SEQEND and an INSERT's ATTRIB
    // count with them.
    const std::string blocks =
        "0\nBLOCK\n2\nDoor\n0\nLINE\n0\nPOLYLINE\n0\nVERTEX\n0\nVERTEX\n0\nSEQEND\n0\nENDBLK\n"
        "0\nBLOCK\n2\nFrame\n0\nINSERT\n2\nDOOR\n0\nENDBLK\n"
        "0\nBLOCK\n2\n*Model_Space\n0\nLINE\n0\nENDBLK\n"
        "0\nBLOCK\n2\n*Paper_Space0\n0\nCIRCLE\n0\nENDBLK\n"
        "0\nBLOCK\n2\ndoor\n0\nARC\n0\nENDBLK\n";  // a second definition of Door counts with it
    const std::string entities =
        "0\nINSERT\n2\ndoor\n66\n1\n0\nATTRIB\n0\nATTRIB\n0\nSEQEND\n0\nMINSERT\n2\nDoor\n"
        "0\nLINE\n67\n1\n0\nINSERT\n2\nMissing\n";
    const DrawingInfo info =
        ReadDrawingInfoFromMemory(Drawing({{"BLOCKS", blocks}, {"ENTITIES", entities}}));
    ASSERT_EQ(EInfoResult::eOk, info.result) << info.error;
    ASSERT_EQ(2u, info.blocks.size());
    EXPECT_EQ("Door", info.blocks[0].name);
    EXPECT_EQ(3u, info.blocks[0].entities);
    EXPECT_EQ(3u, info.blocks[0].inserts);
    EXPECT_EQ("Frame", info.blocks[1].name);
    EXPECT_EQ(1u, info.blocks[1].entities);
    EXPECT_EQ(0u, info.blocks[1].inserts);
    EXPECT_EQ((std::map<std::string, std::size_t>{{"INSERT", 2}, {"MINSERT", 1}}), info.entities);
    EXPECT_EQ(2u, info.paperSpaceEntities);
}

TEST(DrawingInfo, BinaryDrawingsAsTheirText) {
    // Codes of two bytes, little-endian; strings end with NUL; 70 is a 2-byte integer.
    std::string data(Vexlor::Dxf::kBinaryDxfSentinel);  // its NUL too
    const auto text = [&](char code, const std::string& value) {
        data += std::string{code, '\0'} + value + '\0';
    };
    text(0, "SECTION"), text(2, "HEADER"), text(9, "$INSUNITS");
    data += std::string{70, '\0', 4, '\0'};
    text(0, "ENDSEC"), text(0, "SECTION"), text(2, "ENTITIES"), text(0, "LINE"), text(8, "Cut");
    text(0, "ENDSEC"), text(0, "EOF");
    const DrawingInfo info = ReadDrawingInfoFromMemory(data);
    ASSERT_EQ(EInfoResult::eOk, info.result) << info.error;
    EXPECT_TRUE(info.binary);
    EXPECT_EQ(4, info.units);
    EXPECT_EQ((std::map<std::string, std::size_t>{{"Cut", 1}}), Entities(info.layers));
    const DrawingInfo cut = ReadDrawingInfoFromMemory(data.substr(0, data.size() - 11));
    EXPECT_EQ(EInfoResult::eReadError, cut.result);
    EXPECT_EQ(0u, cut.error.find("binary DXF: ")) << cut.error;
}

TEST(DrawingInfo, WhatCannotBeReadSaysWhyAndKeepsWhatWasRead) {
    struct Case {
        std::string text;
        EInfoResult result;
        std::string error;
    };
    const Case cases[] = {
        {"", EInfoResult::eReadError, "the file is empty"},
        {"0\nEOF\n", EInfoResult::eOk, ""},
        {"0\nSECTION\n2\nENTITIES\n0\nLINE\n", EInfoResult::eReadError,
         "line 1: section ENTITIES has no ENDSEC"},
        {"0\nLINE\n", EInfoResult::eReadError, "line 1: \"LINE\" where a SECTION should begin"},
        {"5\nA\n", EInfoResult::eReadError, "line 1: group 5 outside a section"},
        {"0\nSECTION\n0\nEOF\n", EInfoResult::eReadError, "line 1: SECTION without a name"}};
    for (const Case& c : cases) {
        const DrawingInfo info = ReadDrawingInfoFromMemory(c.text);
        EXPECT_EQ(c.result, info.result) << c.text;
        EXPECT_EQ(c.error, info.error) << c.text;
    }
    // What came before the error is told: the LINE, on layer 0.
    const DrawingInfo info = ReadDrawingInfoFromMemory("0\nSECTION\n2\nENTITIES\n0\nLINE\n");
    EXPECT_EQ((std::map<std::string, std::size_t>{{"LINE", 1}}), info.entities);
    // A header number that is not one names its line.
    const DrawingInfo bad =
        ReadDrawingInfoFromMemory(Drawing({{"HEADER", "9\n$INSUNITS\n70\nmm\n"}}));
    EXPECT_EQ(EInfoResult::eReadError, bad.result);
    EXPECT_EQ(0u, bad.error.find("line 7: ")) << bad.error;

    std::istringstream closed;
    closed.setstate(std::ios_base::failbit);
    EXPECT_EQ(EInfoResult::eOpenError, Vexlor::Dxf::ReadDrawingInfo(closed).result);
    const DrawingInfo missing = Vexlor::Dxf::ReadDrawingInfo(L"/nonexistent/folder/x.dxf");
    EXPECT_EQ(EInfoResult::eOpenError, missing.result);
    EXPECT_EQ(0u, missing.error.find("cannot be opened: ")) << missing.error;
    // The import says the same.
    EXPECT_EQ(missing.error, Vexlor::Dxf::ImportContours(L"/nonexistent/folder/x.dxf").error);
}

}  // namespace
