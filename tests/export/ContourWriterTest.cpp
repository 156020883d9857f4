// Tests of the contour writer: golden drawings, round trips through the accurate import, refused
// input, and an earlier file kept through refusals and cancels.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>       // std::nan, HUGE_VAL
#include <cstring>     // std::memcmp
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <limits>      // std::numeric_limits
#include <memory>      // std::make_shared
#include <sstream>     // std::ostringstream, std::istringstream
#include <stdexcept>   // std::invalid_argument
#include <string>      // std::string
#include <vector>      // std::vector

#include "DxfTestSupport.h"
#include "IProgressDelegate.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfWriter.h"

// ctest lists the versions by name (a function of the enum's own namespace, where the test
// framework looks for it).
namespace Vexlor::Dxf {
static void PrintTo(EDxfVersion version, std::ostream* out) {
    *out << (version == EDxfVersion::eR2000 ? "R2000" : "R12");
}
}  // namespace Vexlor::Dxf

namespace {

namespace fs = std::filesystem;
using namespace Vexlor::Dxf;
using VexlorDxfTest::TempFile;
using VexlorDxfTest::Unescape;

std::string Golden(const std::string& name) {
    std::ifstream in(VEXLOR_DXF_TEST_DATA_DIR "/write/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Contour Make(std::vector<Vexlor::Math::point<double, 2>> points, bool closed,
             std::string layer = "0") {
    Contour contour;
    contour.polyline.points = std::move(points);
    contour.polyline.closed = closed;
    contour.layer = std::move(layer);
    return contour;
}

std::string Written(const std::vector<Contour>& contours, const ContourWriteOptions& options,
                    EWriteResult expected = EWriteResult::eOk) {
    std::ostringstream out;
    const WriteResult result = WriteContours(out, contours, options);
    EXPECT_EQ(result.result, expected) << result.error;
    return out.str();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The contours of `again` are those of `first`, bit for bit, with their layers and flags.
void ExpectSame(const std::vector<Contour>& first, const std::vector<Contour>& again,
                const std::string& what) {
    ASSERT_EQ(again.size(), first.size()) << what;
    for (std::size_t i = 0; i < first.size(); ++i) {
        const auto& a = first[i].polyline;
        const auto& b = again[i].polyline;
        EXPECT_EQ(again[i].layer, first[i].layer) << what << ", contour " << i;
        EXPECT_EQ(b.closed, a.closed) << what << ", contour " << i;
        ASSERT_EQ(b.points.size(), a.points.size()) << what << ", contour " << i;
        for (std::size_t k = 0; k < a.points.size(); ++k) {
            EXPECT_TRUE(SameBits(a.points[k].x, b.points[k].x) &&
                        SameBits(a.points[k].y, b.points[k].y))
                << what << ", contour " << i << ", point " << k << ": " << b.points[k].x << " "
                << b.points[k].y << " for " << a.points[k].x << " " << a.points[k].y;
        }
    }
}

// The two contours of the golden drawings, worked out by hand in data/write/contours_*.dxf.
std::vector<Contour> GoldenContours() {
    return {Make({{0, 0}, {10, 0}, {10, 2.5}, {0.1, 2.5}}, true, "Cut"),
            Make({{-1.25, 0}, {-1.25, -3}}, false)};
}

TEST(ContourWriter, WritesTheGoldenR2000Drawing) {
    ContourWriteOptions options;
    options.units = 4;
    EXPECT_EQ(Written(GoldenContours(), options), Golden("contours_r2000.dxf"));
}

TEST(ContourWriter, WritesTheGoldenR12Drawing) {
    ContourWriteOptions options;
    options.units = 4;
    options.version = EDxfVersion::eR12;
    EXPECT_EQ(Written(GoldenContours(), options), Golden("contours_r12.dxf"));
}

// Each version, y up or y down: written and imported again, the contours come back bit for bit.
class RoundTrip : public testing::TestWithParam<EDxfVersion> {};

TEST_P(RoundTrip, KeepsEveryBitOfHardNumbers) {
    const double kMax = std::numeric_limits<double>::max();
    const double kTiny = std::numeric_limits<double>::denorm_min();
    const std::vector<Contour> contours = {
        // Shortest forms of every kind: fractions with no short decimal, exponents both ways,
        // the extremes, a negative zero, and the neighbours of a short decimal.
        Make({{0.1, 1.0 / 3}, {-kMax, kMax}, {kTiny, -kTiny}, {1e-300, 123456789012345680.0}}, true,
             "Hard"),
        Make({{-0.0, 2.0 / 3}, {std::nextafter(0.1, 1.0), std::nextafter(0.1, 0.0)}}, false,
             "Hard"),
        // Layers outside ASCII: é is a byte of code page 1252, Слой and ω are escaped; names
        // equal but for case keep their own spelling.
        Make({{5, 5}, {6, 5}}, false, "trac\xC3\xA9"),
        Make({{5, 7}, {6, 7}}, false, "\xD0\xA1\xD0\xBB\xD0\xBE\xD0\xB9 \xCF\x89"),
        Make({{5, 9}, {6, 9}, {6, 10}}, true, "cut"),
        Make({{5, 11}, {6, 11}, {6, 12}}, false, "CUT"),
        Make({{5, 13}, {6, 13}}, false, "TRAC\xC3\x89")};
    for (const bool yDown : {false, true}) {
        ContourWriteOptions options;
        options.version = GetParam();
        options.yDown = yDown;
        ContourOptions import;
        import.yDown = yDown;
        // The contours' ends are 1e-4 apart or more: the chord tolerance of so wide a drawing
        // must not join them.
        import.linkWithinTolerance = false;
        const ContourImport again = ImportContoursFromMemory(Written(contours, options), import);
        ExpectSame(contours, again.contours, yDown ? "y down" : "y up");
    }
}

TEST_P(RoundTrip, KeepsTheDrawingsOfTheTestData) {
    for (const auto& entry : fs::directory_iterator(VEXLOR_DXF_TEST_DATA_DIR)) {
        if (entry.path().extension() != ".dxf") continue;
        const ContourImport first = ImportContours(entry.path());
        if (first.contours.empty()) continue;
        ContourWriteOptions options;
        options.version = GetParam();
        ContourOptions import;
        import.linkingDistance = first.linkingDistance;
        import.linkWithinTolerance = false;
        const ContourImport again =
            ImportContoursFromMemory(Written(first.contours, options), import);
        ExpectSame(first.contours, again.contours, entry.path().filename().string());
    }
}

// Groups from the words of a case file: NAME is the group 0/NAME, CODE=VALUE any other.
std::string CaseGroups(std::istream& words) {
    std::string text;
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        text += equals == std::string::npos
                    ? "0\n" + word + '\n'
                    : word.substr(0, equals) + '\n' + Unescape(word.substr(equals + 1)) + '\n';
    }
    return text;
}

struct CaseDrawing {
    std::string name, drawing;
    std::vector<std::string> options;  // the words of each options line
};

// The drawings of the accurate import's case files (tests/data/accurate/README) and their
// options lines.
std::vector<CaseDrawing> CaseDrawings() {
    std::vector<CaseDrawing> cases;
    std::string section;
    const auto close = [&](bool eof) {
        if (!section.empty()) cases.back().drawing += "0\nENDSEC\n";
        if (eof) cases.back().drawing += "0\nEOF\n";
        section.clear();
    };
    for (const fs::path& file : VexlorDxfTest::CaseFiles("accurate")) {
        std::ifstream in(file);
        for (std::string line, key; std::getline(in, line);) {
            std::istringstream words(line);
            if (!(words >> key) || key[0] == '#') continue;
            if (key == "case") {
                if (!cases.empty()) close(true);
                cases.push_back({});
                words >> cases.back().name;
                continue;
            }
            if (cases.empty()) continue;
            if (key != "+" && key != section) close(false);
            const bool opens =
                key == "header" || key == "tables" || key == "blocks" || key == "entities";
            if (opens && section.empty()) {
                std::string name = key;
                for (char& c : name) c = static_cast<char>(c - 'a' + 'A');
                cases.back().drawing += "0\nSECTION\n2\n" + name + '\n';
                section = key;
            }
            if (opens || key == "+" || key == "groups") {
                cases.back().drawing += CaseGroups(words);
            } else if (key == "options") {
                cases.back().options.push_back(line.substr(line.find("options") + 7));
            }
        }
    }
    if (!cases.empty()) close(true);
    return cases;
}

// The options of a case's options line that shape the contours (the others keep defaults).
ContourOptions CaseOptions(const std::string& line) {
    ContourOptions options;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        std::istringstream value(equals == std::string::npos ? "1"
                                                             : Unescape(word.substr(equals + 1)));
        if (name == "tolerance") value >> options.tolerance;
        if (name == "relativeTolerance") value >> options.relativeTolerance;
        if (name == "linkingDistance") value >> options.linkingDistance;
        if (name == "units") value >> options.units;
        if (name == "link") value >> options.link;
        if (name == "linkWithinTolerance") value >> options.linkWithinTolerance;
        if (name == "yDown") value >> options.yDown;
        if (name == "hiddenLayers") value >> options.hiddenLayers;
        if (name == "maxPoints") value >> options.maxPoints;
        for (std::string layer; name == "layers" && std::getline(value, layer, ',');) {
            options.layers.push_back(layer);
        }
    }
    return options;
}

// Every drawing of the case files, with each of its options: imported, written, imported again
// with the linking it was imported with (the distance it used, whatever the chord tolerance), the
// same y direction, no conversion and every layer, gives the same contours bit for bit.
TEST_P(RoundTrip, KeepsTheContoursOfEveryCaseFile) {
    std::size_t tried = 0;
    for (const CaseDrawing& c : CaseDrawings()) {
        std::vector<std::string> lines = c.options;
        if (lines.empty()) lines.push_back("");
        for (const std::string& line : lines) {
            const ContourOptions options = CaseOptions(line);
            ContourImport first;
            try {
                first = ImportContoursFromMemory(c.drawing, options);
            } catch (const std::invalid_argument&) {
                continue;  // a case of refused options
            }
            if (first.contours.empty()) continue;
            ContourWriteOptions write;
            write.version = GetParam();
            write.yDown = options.yDown;
            ContourOptions again;
            again.link = options.link;
            again.linkingDistance = first.linkingDistance;  // the distance the import used
            again.linkWithinTolerance = false;
            again.yDown = options.yDown;
            ExpectSame(first.contours,
                       ImportContoursFromMemory(Written(first.contours, write), again).contours,
                       c.name + " with options" + line);
            ++tried;
        }
    }
    EXPECT_GT(tried, 20u);  // the case files were found and read
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip,
                         testing::Values(EDxfVersion::eR2000, EDxfVersion::eR12),
                         [](const testing::TestParamInfo<EDxfVersion>& param) {
                             return param.param == EDxfVersion::eR2000 ? "R2000" : "R12";
                         });

// Bad contours, each refused with what is wrong and where, and nothing written.
struct Refusal {
    const char* name;
    Contour contour;
    const char* error;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

const double kNaN = std::nan("");

const Refusal kRefusals[] = {
    {"not_a_number", Make({{0, 0}, {kNaN, 1}}, false), "contour 1: point 1 is not finite"},
    {"infinite", Make({{0, -HUGE_VAL}, {1, 1}}, false), "contour 1: point 0 is not finite"},
    {"one_point", Make({{0, 0}}, true), "contour 1: it has 1 points"},
    {"no_point", Make({}, false), "contour 1: it has 0 points"},
    {"slash", Make({{0, 0}, {1, 1}}, false, "a/b"), "holds '/'"},
    {"colon", Make({{0, 0}, {1, 1}}, false, "C:"), "holds ':'"},
    {"quote", Make({{0, 0}, {1, 1}}, false, "\"q\""), "holds '\"'"},
    {"backslash", Make({{0, 0}, {1, 1}}, false, "\\U+0041"), "holds '\\'"},
    {"leading_blank", Make({{0, 0}, {1, 1}}, false, " a"), "starts or ends with a blank"},
    {"trailing_blank", Make({{0, 0}, {1, 1}}, false, "a "), "starts or ends with a blank"},
    {"tab", Make({{0, 0}, {1, 1}}, false, "a\tb"), "control character"},
    {"line_feed", Make({{0, 0}, {1, 1}}, false, "a\nb"), "control character"},
    {"not_utf8", Make({{0, 0}, {1, 1}}, false, "a\xC3"), "not UTF-8"},
    {"beyond_bmp", Make({{0, 0}, {1, 1}}, false, "\xF0\x9F\x98\x80"), "beyond U+FFFF"},
    {"too_long", Make({{0, 0}, {1, 1}}, false, std::string(256, 'x')), "longer than 255"},
};

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, LeavesTheEarlierFileAsItWas) {
    const std::vector<Contour> contours = {Make({{0, 0}, {1, 0}}, false), GetParam().contour};
    std::ostringstream out;
    const WriteResult streamed = WriteContours(out, contours);
    EXPECT_EQ(streamed.result, EWriteResult::eInvalidInput);
    EXPECT_NE(streamed.error.find(GetParam().error), std::string::npos) << streamed.error;
    EXPECT_EQ(out.str(), "");
    TempFile file;
    file.Write("earlier");
    EXPECT_EQ(WriteContours(file.Path(), contours).result, EWriteResult::eInvalidInput);
    EXPECT_EQ(WriteContours(file.WidePath(), contours).result, EWriteResult::eInvalidInput);
    EXPECT_EQ(file.Read(), "earlier");
}

INSTANTIATE_TEST_SUITE_P(Inputs, Refused, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& param) {
                             return param.param.name;
                         });

// The LAYER table holds a name once, whatever the case of its letters (é and É are one layer to
// readers); a letter written as an escape keeps its case.
TEST(ContourWriter, ListsEachLayerOnceWhateverItsCase) {
    const std::vector<Contour> contours = {Make({{0, 0}, {1, 0}}, false, "Cut"),
                                           Make({{0, 1}, {1, 1}}, false, "cUT"),
                                           Make({{0, 2}, {1, 2}}, false, "\xC3\xA9t\xC3\xA9"),
                                           Make({{0, 3}, {1, 3}}, false, "\xC3\x89T\xC3\x89"),
                                           Make({{0, 4}, {1, 4}}, false, "\xC3\x97"),
                                           Make({{0, 5}, {1, 5}}, false, "\xC3\xB7"),
                                           Make({{0, 6}, {1, 6}}, false, "\xD0\x96"),
                                           Make({{0, 7}, {1, 7}}, false, "\xD0\xB6")};
    const std::string text = Written(contours, {});
    const std::string record = "AcDbLayerTableRecord\n  2\n";
    std::vector<std::string> names;
    for (std::size_t at = 0; (at = text.find(record, at)) != std::string::npos;) {
        at += record.size();
        names.push_back(text.substr(at, text.find('\n', at) - at));
    }
    // × (D7) and ÷ (F7) are no letters of one another; Ж and ж are escapes.
    EXPECT_EQ(names, (std::vector<std::string>{"0", "Cut", "\xE9t\xE9", "\xD7", "\xF7", "\\U+0416",
                                               "\\U+0436"}));
}

TEST(ContourWriter, TakesTheLongestNameAndAnEmptyLayerAsLayer0) {
    const std::vector<Contour> contours = {Make({{0, 0}, {1, 0}}, false, std::string(255, 'x')),
                                           Make({{0, 1}, {1, 1}}, false, "")};
    const ContourImport again = ImportContoursFromMemory(Written(contours, {}));
    ASSERT_EQ(again.contours.size(), 2u);
    EXPECT_EQ(again.contours[0].layer, std::string(255, 'x'));
    EXPECT_EQ(again.contours[1].layer, "0");
}

TEST(ContourWriter, RefusesAUnitCodeWithAnException) {
    ContourWriteOptions options;
    options.units = 22;
    std::ostringstream out;
    EXPECT_THROW(WriteContours(out, GoldenContours(), options), std::invalid_argument);
}

TEST(ContourWriter, WritesTheUnitsAndTheBoxOfTheContours) {
    for (const int units : {0, 1, 6, 21}) {
        ContourWriteOptions options;
        options.units = units;
        options.yDown = true;  // the box is of the points as written: y negated
        const ContourImport again = ImportContoursFromMemory(Written(GoldenContours(), options));
        EXPECT_EQ(again.units, units);
        EXPECT_EQ(again.minimum.x, -1.25);
        EXPECT_EQ(again.minimum.y, -2.5);
        EXPECT_EQ(again.maximum.x, 10);
        EXPECT_EQ(again.maximum.y, 3);
    }
    // Without contours, a drawing with nothing in it, and its box at the origin.
    const std::string empty = Written({}, {});
    EXPECT_NE(empty.find("$EXTMIN\n 10\n0\n 20\n0\n 30\n0\n"), std::string::npos);
    EXPECT_EQ(ImportContoursFromMemory(empty).result, EContourResult::eEmpty);
}

struct Stopper : Vexlor::Common::IProgressDelegate {
    explicit Stopper(std::size_t at) : stopAt(at) {}
    void OnProgress(const std::string& name, std::size_t value, std::size_t maximum) override {
        names = name;
        last = value;
        max = maximum;
    }
    bool IsCancelRequested() override { return ++asked >= stopAt; }
    std::size_t stopAt, asked = 0, last = 0, max = 0;
    std::string names;
};

TEST(ContourWriter, ReportsOneStepPerPoint) {
    const auto delegate = std::make_shared<Stopper>(1000);
    std::ostringstream out;
    EXPECT_EQ(WriteContours(out, GoldenContours(), {}, delegate).result, EWriteResult::eOk);
    EXPECT_EQ(delegate->names, "DXF contour export");
    EXPECT_EQ(delegate->max, 6u);
    EXPECT_EQ(delegate->last, 6u);
    EXPECT_EQ(delegate->asked, 2u);  // once after each contour
}

TEST(ContourWriter, CancelledLeavesTheEarlierFileAndNoOther) {
    TempFile file;
    file.Write("earlier");
    const fs::path folder = file.Path().parent_path();
    const auto count = [&] {
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            files += entry.path().filename().string().find(file.Path().filename().string()) !=
                     std::string::npos;
        }
        return files;
    };
    const std::size_t before = count();
    for (const EDxfVersion version : {EDxfVersion::eR2000, EDxfVersion::eR12}) {
        ContourWriteOptions options;
        options.version = version;
        const WriteResult result =
            WriteContours(file.Path(), GoldenContours(), options, std::make_shared<Stopper>(1));
        EXPECT_EQ(result.result, EWriteResult::eCancelled);
        EXPECT_EQ(file.Read(), "earlier");
        EXPECT_EQ(count(), before);  // the temporary file went too
    }
    // Not cancelled, it replaces the file completely.
    EXPECT_EQ(WriteContours(file.Path(), GoldenContours(), {}, std::make_shared<Stopper>(3)).result,
              EWriteResult::eOk);
    EXPECT_EQ(count(), before);
    ContourWriteOptions options;
    EXPECT_EQ(file.Read(), Written(GoldenContours(), options));
}

TEST(ContourWriter, ReportsFilesItCannotWrite) {
    TempFile file;
    const fs::path missing = file.Path().parent_path() / "no such folder" / "a.dxf";
    EXPECT_EQ(WriteContours(missing, GoldenContours()).result, EWriteResult::eOpenError);
    EXPECT_FALSE(fs::exists(missing.parent_path()));
    // A surrogate names no file on POSIX systems; Windows takes it.
    if (!VexlorDxfTest::kWindows) {
        EXPECT_EQ(WriteContours(std::wstring(L"a\xDC80.dxf"), GoldenContours()).result,
                  EWriteResult::eOpenError);
    }
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_EQ(WriteContours(failed, GoldenContours()).result, EWriteResult::eWriteError);
}

}  // namespace
