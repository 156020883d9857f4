// Recovery from a broken structure where a case file cannot show it: a binary drawing, whose
// recoveries name byte offsets, and a drawing read from a stream.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <sstream>  // std::istringstream
#include <string>   // std::string
#include <vector>   // std::vector

#include "VexlorDxfContours.h"

namespace {

using Result = Vexlor::Dxf::EContourResult;
using Vexlor::Dxf::ContourImport;
using Vexlor::Dxf::ContourOptions;
using Vexlor::Dxf::ImportContoursFromMemory;

TEST(Recovery, BinaryDrawingNamesTheByte) {
    // Codes of two bytes, little-endian; strings end with NUL; coordinates are 8-byte doubles.
    std::string data("AutoCAD Binary DXF\r\n\x1a\0", 22);
    const auto text = [&](char code, const std::string& value) {
        data += std::string{code, '\0'} + value + '\0';
    };
    const auto number = [&](char code, double value) {
        data += std::string{code, '\0'} + std::string(reinterpret_cast<char*>(&value), 8);
    };
    text(0, "SECTION"), text(2, "ENTITIES"), text(0, "LINE");
    number(10, 0), number(20, 0), number(11, 1), number(21, 0), text(0, "ENDSEC");
    const std::size_t stray = data.size();
    text(0, "ENDSEC"), text(0, "EOF");
    const ContourImport import = ImportContoursFromMemory(data);
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    EXPECT_EQ(std::vector<std::string>{"byte " + std::to_string(stray) +
                                       ": ENDSEC outside a section, ignored"},
              import.recoveries);
    ContourOptions strict;
    strict.strictStructure = true;
    const ContourImport refused = ImportContoursFromMemory(data, strict);
    EXPECT_EQ(Result::eReadError, refused.result);
    EXPECT_EQ(
        "binary DXF: byte " + std::to_string(stray) + ": \"ENDSEC\" where a SECTION should begin",
        refused.error);
}

TEST(Recovery, StreamsRecoverAsMemoryDoes) {
    // Header variables after the header's ENDSEC and a section without its ENDSEC: a stream gives
    // each at the same line as memory does. The HEADER section takes lines 1 to 10.
    const std::string drawing =
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n9\n$INSUNITS\n70\n4\n"
        "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n0\nEOF\n";
    const std::vector<std::string> expected = {
        "line 11: header variables after ENDSEC, read as header",
        "line 29: EOF before the ENDSEC of section ENTITIES, which ends there"};
    const ContourImport memory = ImportContoursFromMemory(drawing);
    EXPECT_EQ(expected, memory.recoveries);
    EXPECT_EQ(4, memory.units);
    std::istringstream stream(drawing);
    const ContourImport streamed = Vexlor::Dxf::ImportContours(stream);
    EXPECT_EQ(expected, streamed.recoveries);
    ASSERT_EQ(1u, streamed.contours.size());
}

}  // namespace
