// Systematic bad input for the import: cut and corrupted drawings, odd lines, extreme numbers.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::any_of, std::min, std::max
#include <cctype>      // std::isdigit
#include <cmath>       // std::isnan
#include <cstddef>     // std::size_t
#include <cstdlib>     // std::atoi
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <limits>      // std::numeric_limits
#include <set>         // std::set
#include <stdexcept>   // std::invalid_argument, std::out_of_range
#include <string>      // std::string
#include <vector>      // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Groups;
using VexlorDxfTest::RawPolylineReader;
using VexlorDxfTest::Stof;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

// These tests write thousands of drawings: in memory where possible.
class ScratchFile : public VexlorDxfTest::TempFile {
public:
    ScratchFile() : TempFile(".dxf", VexlorDxfTest::TempPlace::Memory) {}
};

// What an import ended with: a result code, or one of the two documented exceptions.
constexpr int kInvalidArgument = -1;
constexpr int kOutOfRange = -2;

struct Outcome {
    int code = 0;
    std::vector<Polyline> polylines;
};

Outcome ImportBytes(const ScratchFile& file, const std::string& bytes) {
    file.Write(bytes);
    Outcome outcome;
    MStlBaseOperatorDXFPolylineReader reader(outcome.polylines);
    try {
        outcome.code = reader.Import(file.WidePath());
    } catch (const std::invalid_argument&) {
        outcome.code = kInvalidArgument;
    } catch (const std::out_of_range&) {
        outcome.code = kOutOfRange;
    }
    return outcome;
}

Outcome ImportBytes(const std::string& bytes) {
    ScratchFile file;
    return ImportBytes(file, bytes);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DataFile(const std::string& name) {
    return ReadFile(std::filesystem::path(VEXLOR_DXF_TEST_DATA_DIR) / name);
}

// A result that only post-processing gives comes with the vector it promises.
testing::AssertionResult Documented(const Outcome& outcome) {
    switch (outcome.code) {
        case kInvalidArgument:
        case kOutOfRange:
        case CDXFReader::eReadError:
            return testing::AssertionSuccess();
        case CDXFReader::eOk:
        case CDXFReader::eIntersecting:
            if (!outcome.polylines.empty()) return testing::AssertionSuccess();
            return testing::AssertionFailure() << "result " << outcome.code << " with no polyline";
        case CDXFReader::eEmpty:
            if (outcome.polylines.empty()) return testing::AssertionSuccess();
            return testing::AssertionFailure() << "result 3 with polylines";
        default:
            return testing::AssertionFailure() << "undocumented result " << outcome.code;
    }
}

// A drawing with every entity the reader reads, in a header, the entities and a block.
std::string EveryEntityDrawing() {
    std::vector<VexlorDxfTest::Group> groups = Groups(
        "SECTION 2=HEADER 9=$ACADVER 1=AC1009 ENDSEC SECTION 2=BLOCKS BLOCK 2=B 10=0 20=0 "
        "INSERT 2=B 10=1.5 20=-2.5 30=0 HATCH 10=0 20=0 92=1 72=0 93=3 10=0 20=0 10=4 20=0 "
        "10=4 20=4 98=1 10=1 20=1 ENDBLK ENDSEC SECTION 2=ENTITIES LINE 10=0 20=0 11=10 21=0 "
        "LWPOLYLINE 90=3 10=10 20=0 10=10 20=10 10=0 20=10 POLYLINE 66=1 VERTEX 10=0 20=10 "
        "VERTEX 10=0 20=0 SEQEND ARC 10=5 20=5 40=2 50=0 51=90 CIRCLE 10=5 20=5 40=1.25 "
        "ELLIPSE 10=5 20=5 11=3 21=0 40=0.5 SPLINE 10=20 20=0 10=21 20=1 10=22 20=0 "
        "INSERT 2=B 10=1 20=2 30=3 ENDSEC EOF");
    return DxfText(groups);
}

// The groups whose values the import converts, by section and entity.
bool Converts(const std::string& section, const std::string& entity, int code) {
    auto in = [code](std::initializer_list<int> codes) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    };
    if (section != "ENTITIES" && section != "BLOCKS") return false;
    if (entity == "LINE") return in({10, 20, 11, 21});
    if (entity == "ELLIPSE") return in({10, 20, 11, 21, 40});
    if (entity == "LWPOLYLINE" || entity == "SPLINE" || entity == "VERTEX") return in({10, 20});
    if (entity == "ARC") return in({10, 20, 40, 50, 51});
    if (entity == "CIRCLE") return in({10, 20, 40});
    if (entity == "INSERT") return in({10, 20, 30});
    // Group 72 of a hatch is converted too, but its failure is caught and reads as result 1.
    if (entity == "HATCH") return section == "BLOCKS" && in({10, 20, 92, 98});
    return false;
}

// What a drawing cut before its end marker gives: result 1, or std::invalid_argument when the
// cut leaves the value of a converted group without any digit. Lines end with LF or CR LF.
int ExpectedForCut(const std::string& prefix) {
    std::vector<std::string> lines(1);
    for (const char c : prefix) {
        if (c == '\n') {
            if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    const std::size_t complete = lines.size() - 1;
    if (complete % 2 == 0) return CDXFReader::eReadError;  // cut inside a code line
    std::string section;
    std::string entity;
    bool sectionName = false;
    for (std::size_t i = 0; i + 1 < complete; i += 2) {
        const int code = std::atoi(lines[i].c_str());
        const std::size_t start = lines[i + 1].find_first_not_of(" \t");
        const std::string value = start == std::string::npos ? "" : lines[i + 1].substr(start);
        if (sectionName && code == 2) section = value;
        sectionName = code == 0 && value == "SECTION";
        if (code == 0) entity = value;
    }
    const std::string& partial = lines.back();
    const bool anyDigit = std::any_of(partial.begin(), partial.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    const int code = std::atoi(lines[complete - 1].c_str());
    return !anyDigit && Converts(section, entity, code) ? kInvalidArgument : CDXFReader::eReadError;
}

// Every prefix that ends before the "EOF" marker is complete, cut at every byte or every line.
void CheckCuts(const std::string& drawing, bool everyByte) {
    const std::size_t marker = drawing.rfind("EOF");
    ASSERT_NE(marker, std::string::npos);
    ScratchFile file;
    std::size_t cuts = 0;
    std::set<int> seen;
    for (std::size_t length = 0; length < marker + 3; ++length) {
        if (!everyByte && length > 0 && drawing[length - 1] != '\n') continue;
        const std::string prefix = drawing.substr(0, length);
        const Outcome outcome = ImportBytes(file, prefix);
        ASSERT_EQ(outcome.code, ExpectedForCut(prefix)) << "cut after " << length << " bytes";
        seen.insert(outcome.code);
        ++cuts;
    }
    EXPECT_GT(cuts, 10u);
    EXPECT_EQ(seen.size(), 2u) << "both outcomes should occur";
}

TEST(CutDrawingTest, EveryByteOfSmallDrawings) {
    CheckCuts(EveryEntityDrawing(), true);
    for (const char* name :
         {"square_lines.dxf", "crossing_lwpolylines.dxf", "lines_square_around_circle.dxf",
          "hatch_in_block_shifted_by_insert.dxf"}) {
        SCOPED_TRACE(name);
        CheckCuts(DataFile(name), true);
    }
}

TEST(CutDrawingTest, EveryLineOfLargerDrawings) {
    std::string drawing = EveryEntityDrawing();
    const std::string body = drawing.substr(drawing.find("LINE\n") - 2);
    const std::string entities = body.substr(0, body.find("0\nENDSEC"));
    std::string many;
    for (int i = 0; i < 20; ++i) many += entities;
    drawing.insert(drawing.find("LINE\n") - 2, many);
    CheckCuts(drawing, false);
    // CR LF line ends cut after each LF.
    std::string crlf;
    for (const char c : EveryEntityDrawing())
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    CheckCuts(crlf, false);
}

// Real drawings of other projects, when present, cut at every line.
TEST(CutDrawingTest, EveryLineOfCorpusDrawings) {
    const std::string corpus = VEXLOR_DXF_CORPUS_DIR;
    if (corpus.empty() || !std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
    std::size_t drawings = 0;
    for (const char* name : {"ezdxf/AC1003_LINE_Example.dxf", "cadquery/gear.dxf"}) {
        const std::filesystem::path path = std::filesystem::path(corpus) / name;
        if (!std::filesystem::is_regular_file(path) || std::filesystem::file_size(path) > 32768)
            continue;
        const std::string drawing = ReadFile(path);
        if (ImportBytes(drawing).code < 0) continue;
        SCOPED_TRACE(name);
        CheckCuts(drawing, false);
        ++drawings;
    }
    if (drawings == 0) GTEST_SKIP() << "no suitable corpus drawing";
}

// Any one byte replaced by a troublesome one still gives a documented outcome.
TEST(CorruptDrawingTest, EverySingleByteReplacement) {
    const std::string replacements("\0\n\r -.9eE\xff\x80\t", 13);
    for (const std::string& drawing : {EveryEntityDrawing(), DataFile("square_lines.dxf")}) {
        ScratchFile file;
        for (std::size_t at = 0; at < drawing.size(); ++at) {
            for (const char byte : replacements) {
                if (drawing[at] == byte) continue;
                std::string corrupt = drawing;
                corrupt[at] = byte;
                const Outcome outcome = ImportBytes(file, corrupt);
                ASSERT_TRUE(Documented(outcome))
                    << "byte " << at << " replaced by " << static_cast<int>(byte);
            }
        }
    }
}

struct OddInputCase {
    std::string name;
    std::string bytes;
    int expected;
};

std::string LineDrawing(const std::string& x) {
    return DxfText(EntitiesDrawing({{0, "LINE"}, {10, x}, {20, "0"}, {11, "1"}, {21, "1"}}));
}

std::string Comments(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "999\nc\n";
    return text;
}

std::string LinesEnded(const std::string& ending) {
    std::string text;
    for (const char c : DataFile("square_lines.dxf"))
        text += c == '\n' ? ending : std::string(1, c);
    return text;
}

constexpr std::size_t kMiB = 1u << 20;

std::vector<OddInputCase> OddInputCases() {
    const std::string square = DataFile("square_lines.dxf");
    const std::size_t entities = square.find("ENTITIES\n") + 9;
    auto inEntities = [&](const std::string& insert) {
        return square.substr(0, entities) + insert + square.substr(entities);
    };
    return {
        // Lines of a megabyte and more: read whole, whatever they hold.
        {"comment_of_a_mebibyte", inEntities("999\n" + std::string(kMiB, 'c') + "\n"), 0},
        {"blanks_before_a_coordinate", LineDrawing(std::string(kMiB, ' ') + "5"), 0},
        {"coordinate_of_a_mebibyte_of_digits", LineDrawing("1" + std::string(kMiB, '0')),
         kOutOfRange},
        {"fraction_of_a_mebibyte_underflows", LineDrawing("0." + std::string(kMiB, '0') + "1"),
         kOutOfRange},
        {"code_line_of_a_mebibyte_of_zeros", inEntities(std::string(kMiB, '0') + "\nPOINT\n"), 0},
        {"code_line_of_a_mebibyte_of_blanks", inEntities(std::string(kMiB, ' ') + "0\nPOINT\n"), 0},
        // The group count is 16 bits: 32,767 comments and the group after them wrap it negative.
        {"32766_comments_in_a_row", inEntities(Comments(32766)), 0},
        {"32767_comments_in_a_row", inEntities(Comments(32767)), CDXFReader::eReadError},
        {"40000_comments_in_a_row", inEntities(Comments(40000)), CDXFReader::eReadError},
        {"40000_comments_at_the_top", Comments(40000) + square, CDXFReader::eReadError},
        // Line ends: CR LF and a mix read as LF; a lone CR swallows the next line.
        {"cr_lf_line_ends", LinesEnded("\r\n"), 0},
        {"cr_only_line_ends", LinesEnded("\r"), CDXFReader::eReadError},
        {"mixed_line_ends", inEntities("0\r\nPOINT\n10\r\n1\n"), 0},
        {"lone_cr_drops_the_rest_of_a_value", LineDrawing("5\r6"), 0},
        // NUL bytes.
        {"only_a_nul", std::string(1, '\0'), CDXFReader::eReadError},
        {"nul_in_a_code_line", inEntities(std::string("0\0\nPOINT\n", 9)), CDXFReader::eReadError},
        {"nul_ends_a_coordinate",
         LineDrawing(std::string("5\0"
                                 "7",
                                 3)),
         0},
        {"nul_before_a_coordinate",
         LineDrawing(std::string("\0"
                                 "5",
                                 2)),
         kInvalidArgument},
        {"nul_in_an_entity_name", DxfText(EntitiesDrawing({{0, std::string("LINE\0", 5)}})),
         CDXFReader::eEmpty},
        {"empty_file", "", CDXFReader::eReadError},
    };
}

class OddInputTest : public testing::TestWithParam<OddInputCase> {};

TEST_P(OddInputTest, GivesItsDocumentedOutcome) {
    const Outcome outcome = ImportBytes(GetParam().bytes);
    EXPECT_EQ(outcome.code, GetParam().expected);
    EXPECT_TRUE(Documented(outcome));
}

INSTANTIATE_TEST_SUITE_P(Import, OddInputTest, testing::ValuesIn(OddInputCases()),
                         [](const auto& row) { return row.param.name; });

TEST(OddInputTest, LongLinesKeepTheirValues) {
    // The x coordinate after a mebibyte of blanks, and one whose line a lone CR cut short.
    for (const std::string& x : {std::string(kMiB, ' ') + "5", std::string("5\r6"),
                                 std::string("5\0"
                                             "7",
                                             3)}) {
        const Outcome outcome = ImportBytes(LineDrawing(x));
        ASSERT_EQ(outcome.polylines.size(), 1u);
        EXPECT_EQ(outcome.polylines[0].points.front().x, 5.0);
    }
}

// Extreme and non-finite values in every group an entity reader converts.
struct ExtremeCase {
    std::string name;
    std::string entities;  // "@" stands for the value under test
    bool inBlocks;
};

std::vector<ExtremeCase> ExtremeCases() {
    const std::string hatch = "HATCH 10=0 20=0 92=1 93=4 10=0 20=0 10=4 20=0 10=4 20=4 10=0 20=4";
    return {
        {"line_start", "LINE 10=@ 20=@ 11=1 21=1", false},
        {"line_end", "LINE 10=1 20=1 11=@ 21=@", false},
        {"lwpolyline", "LWPOLYLINE 10=0 20=0 10=@ 20=@ 10=1 20=0", false},
        {"vertex", "POLYLINE VERTEX 10=0 20=0 VERTEX 10=@ 20=@ VERTEX 10=1 20=0 SEQEND", false},
        {"spline", "SPLINE 10=0 20=0 10=@ 20=@ 10=1 20=0", false},
        {"arc_centre", "ARC 10=@ 20=@ 40=1 50=0 51=90", false},
        {"arc_radius", "ARC 10=0 20=0 40=@ 50=0 51=90", false},
        {"arc_start", "ARC 10=0 20=0 40=1 50=@ 51=90", false},
        {"arc_end", "ARC 10=0 20=0 40=1 50=0 51=@", false},
        {"circle_centre", "CIRCLE 10=@ 20=@ 40=1", false},
        {"circle_radius", "CIRCLE 10=0 20=0 40=@", false},
        {"ellipse_centre", "ELLIPSE 10=@ 20=@ 11=1 21=0 40=0.5", false},
        {"ellipse_axis", "ELLIPSE 10=0 20=0 11=@ 21=@ 40=0.5", false},
        {"ellipse_ratio", "ELLIPSE 10=0 20=0 11=1 21=0 40=@", false},
        {"insert", "INSERT 2=B 10=@ 20=@ 30=@ LINE 11=1", false},
        {"hatch_point", "BLOCK 2=B " + hatch + " 10=@ 20=@ ENDBLK", true},
        {"hatch_shifted_by_insert", "BLOCK 2=B INSERT 2=B 10=@ 20=@ 30=@ " + hatch + " ENDBLK",
         true},
    };
}

std::string Substituted(const std::string& text, const std::string& value) {
    std::string result;
    for (const char c : text) result += c == '@' ? value : std::string(1, c);
    return result;
}

class ExtremeValueTest : public testing::TestWithParam<ExtremeCase> {};

TEST_P(ExtremeValueTest, ConvertsOrThrowsOutOfRange) {
    const ExtremeCase& row = GetParam();
    ScratchFile file;
    for (const std::string value : {"1e38", "-1e38", "3.4028234e38", "inf", "-inf", "nan", "-nan",
                                    "-0", "1e39", "-1e39", "1e-50"}) {
        const std::vector<VexlorDxfTest::Group> body = Groups(Substituted(row.entities, value));
        const std::string drawing =
            DxfText(row.inBlocks ? VexlorDxfTest::BlocksDrawing(body) : EntitiesDrawing(body));
        const Outcome outcome = ImportBytes(file, drawing);
        const bool outOfRange = value == "1e39" || value == "-1e39" || value == "1e-50";
        EXPECT_EQ(outcome.code == kOutOfRange, outOfRange) << value << ": " << outcome.code;
        EXPECT_NE(outcome.code, kInvalidArgument) << value;
        EXPECT_NE(outcome.code, CDXFReader::eReadError) << value;
        EXPECT_TRUE(Documented(outcome)) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryReader, ExtremeValueTest, testing::ValuesIn(ExtremeCases()),
                         [](const auto& row) { return row.param.name; });

// The box of a line from (v, v) to (1, 1): a NaN is replaced by the next ordinary value.
TEST(ExtremeValueTest, BoxOfExtremeLines) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* text;
        double v;
    } rows[] = {{"1e38", Stof("1e38")}, {"-1e38", Stof("-1e38")},
                {"inf", inf},           {"-inf", -inf},
                {"-0", -0.0},           {"nan", 1.0}};
    for (const Row& row : rows) {
        std::vector<Polyline> polylines;
        MStlBaseOperatorDXFPolylineReader reader(polylines);
        ScratchFile file;
        file.Write(DxfText(EntitiesDrawing(
            Groups(std::string("LINE 10=") + row.text + " 20=" + row.text + " 11=1 21=1"))));
        EXPECT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk) << row.text;
        EXPECT_EQ(reader.GetLeftTopPoint().x, std::min(row.v, 1.0)) << row.text;
        EXPECT_EQ(reader.GetLeftTopPoint().y, std::min(-row.v, -1.0)) << row.text;
        EXPECT_EQ(reader.GetRightBottomPoint().x, std::max(row.v, 1.0)) << row.text;
        EXPECT_EQ(reader.GetRightBottomPoint().y, std::max(-row.v, -1.0)) << row.text;
    }
}

// Angles where the step no longer moves the running angle must not loop for ever.
struct ArcCase {
    std::string name;
    std::string start;
    std::string end;
    std::size_t minPoints;
    std::size_t maxPoints;
};

class ArcAngleTest : public testing::TestWithParam<ArcCase> {};

TEST_P(ArcAngleTest, EndsWithFewPoints) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    ScratchFile file;
    file.Write(DxfText(EntitiesDrawing(
        Groups("ARC 10=0 20=0 40=1 50=" + GetParam().start + " 51=" + GetParam().end))));
    ASSERT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_GE(polylines[0].points.size(), GetParam().minPoints);
    EXPECT_LE(polylines[0].points.size(), GetParam().maxPoints);
}

INSTANTIATE_TEST_SUITE_P(Import, ArcAngleTest,
                         testing::Values(ArcCase{"sweep_of_1e_13_degrees", "0", "1e-13", 2, 2},
                                         ArcCase{"sweep_lost_beside_the_quarter_turn", "0", "1e-30",
                                                 1, 1},
                                         ArcCase{"huge_start_and_end", "1e30", "2e30", 31, 32},
                                         ArcCase{"largest_floats", "3e38", "3.4e38", 31, 32},
                                         ArcCase{"whole_float_range", "-3.4e38", "3.4e38", 31, 32},
                                         ArcCase{"equal_huge_angles", "1e20", "1e20", 1, 1},
                                         ArcCase{"start_beyond_end_by_far", "3e38", "-3e38", 1, 1},
                                         ArcCase{"infinite_angles", "-inf", "inf", 1, 32},
                                         ArcCase{"nan_start", "nan", "90", 1, 1}),
                         [](const auto& row) { return row.param.name; });

// Ellipses with a major or minor axis of length zero, or with extreme axes.
struct EllipseCase {
    std::string name;
    std::string groups;
    std::size_t points;
};

class EllipseAxisTest : public testing::TestWithParam<EllipseCase> {};

TEST_P(EllipseAxisTest, GivesItsPoints) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    ScratchFile file;
    file.Write(DxfText(EntitiesDrawing(Groups("ELLIPSE 10=1 20=1 " + GetParam().groups))));
    ASSERT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0].points.size(), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(
    Import, EllipseAxisTest,
    testing::Values(EllipseCase{"zero_major_axis", "11=0 21=0 40=1", 0},
                    EllipseCase{"zero_major_and_minor_axis", "11=0 21=0 40=0", 0},
                    EllipseCase{"zero_minor_axis", "11=2 21=0 40=0", 30},
                    EllipseCase{"axis_lost_beside_the_centre", "11=1e-30 21=0 40=1", 0},
                    EllipseCase{"huge_major_axis", "11=1e38 21=1e38 40=1", 30},
                    EllipseCase{"infinite_major_axis", "11=inf 21=0 40=1", 30},
                    EllipseCase{"nan_ratio", "11=1 21=0 40=nan", 30}),
    [](const auto& row) { return row.param.name; });

TEST(EllipseAxisTest, ZeroAxesAloneGiveAnEmptyResult) {
    EXPECT_EQ(
        ImportBytes(DxfText(EntitiesDrawing(Groups("ELLIPSE 10=1 20=1 11=0 21=0 40=0")))).code,
        CDXFReader::eEmpty);
}

// The file is opened only during Import, so it can go or change between imports.
TEST(FileLifetimeTest, RemovedOrReplacedBetweenImports) {
    // Open descriptors of this process (0 where /proc is missing).
    const auto openFiles = [] {
        std::size_t count = 0;
        std::error_code ignored;
        for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
             it != std::filesystem::directory_iterator(); it.increment(ignored)) {
            ++count;
        }
        return count;
    };
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    std::size_t before = 0;
    {
        ScratchFile file;
        file.Write(DataFile("square_lines.dxf"));
        before = openFiles();
        ASSERT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk);
        EXPECT_EQ(openFiles(), before) << "the reader kept a handle";
        const std::vector<Polyline> first = polylines;

        // Replaced: the next import reads the new content and appends it.
        file.Write(DxfText(EntitiesDrawing(Groups("CIRCLE 10=50 20=50 40=1"))));
        ASSERT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk);
        EXPECT_EQ(polylines.size(), first.size() + 1);
        EXPECT_EQ(polylines.back().points.size(), 30u);

        std::filesystem::remove(file.Path());
        const std::vector<Polyline> kept = polylines;
        EXPECT_EQ(reader.Import(file.WidePath()), CDXFReader::eOpenError);
        EXPECT_TRUE(VexlorDxfTest::SamePolylines(polylines, kept));
    }
    EXPECT_EQ(openFiles(), before);
}

// Every minimised fuzz input of the import still gives a documented outcome.
TEST(FuzzRegressionTest, ImportInputsReplay) {
    const std::filesystem::path folder = std::filesystem::path(VEXLOR_DXF_TEST_DATA_DIR) / "fuzz";
    std::size_t replayed = 0;
    if (std::filesystem::is_directory(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().rfind("import-", 0) != 0) continue;
            SCOPED_TRACE(entry.path().string());
            EXPECT_TRUE(Documented(ImportBytes(ReadFile(entry.path()))));
            ++replayed;
        }
    }
    if (replayed == 0) GTEST_SKIP() << "no import reproducers";
}

}  // namespace
