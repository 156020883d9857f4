// Input no drawing should hold: drawings cut short and lines of a mebibyte (random corruption is
// the fuzz harness's); the real drawings of public test suites; imports and exports on several
// threads at once.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdlib>     // std::getenv
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <set>         // std::set
#include <string>      // std::string
#include <thread>      // std::thread
#include <vector>      // std::vector

#include "ContourOracles.h"
#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "contours/Linking.h"

namespace {

using namespace VexlorDxfTest;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The outcome of importing `bytes`; a result of post-processing comes with what it promises.
int Import(const TempFile& file, const std::string& bytes) {
    file.Write(bytes);
    Polylines polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const int outcome = ImportOutcome(reader, file.WidePath());
    const bool promised = outcome == CDXFReader::eEmpty ? polylines.empty() : !polylines.empty();
    EXPECT_TRUE(outcome < 0 || outcome == CDXFReader::eReadError || promised) << outcome;
    return outcome;
}

// A drawing cut anywhere before its end marker cannot be read (1), unless the cut leaves a
// converted value without digits (std::invalid_argument). Small drawings are cut at every byte,
// longer ones at every line, with LF and with CR LF line ends.
TEST(Robustness, CutDrawings) {
    const std::string every = ReadFile(VEXLOR_DXF_TEST_DATA_DIR "/every_entity.dxf");
    const std::size_t first = every.find("0\nLINE\n"), last = every.rfind("0\nENDSEC");
    std::string crlf, many = every.substr(0, last);
    for (const char c : every) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (int k = 0; k < 20; ++k) many += every.substr(first, last - first);
    many += every.substr(last);
    TempFile file(".dxf", true);
    const std::string* drawings[] = {&every, &crlf, &many};
    for (const std::string* drawing : drawings) {
        std::set<int> seen;
        for (std::size_t length = 0; length < drawing->rfind("EOF") + 3; ++length) {
            if (drawing != &every && length > 0 && (*drawing)[length - 1] != '\n') continue;
            const int outcome = Import(file, drawing->substr(0, length));
            ASSERT_TRUE(outcome == CDXFReader::eReadError || outcome == kInvalidArgument)
                << outcome << " after " << length << " bytes";
            seen.insert(outcome);
        }
        EXPECT_EQ(seen.size(), 2u);
    }
}

// Lines of a mebibyte are read whole, whatever they hold.
TEST(Robustness, LinesOfAMebibyte) {
    const std::string mebi(1 << 20, '0');
    const auto line = [](const std::string& x) {
        return "0\nSECTION\n2\nENTITIES\n999\n" + std::string(1 << 20, 'c') + "\n0\nLINE\n10\n" +
               x + "\n11\n1\n" + std::string(1 << 20, ' ') + "0\nENDSEC\n0\nEOF\n";
    };
    TempFile file(".dxf", true);
    EXPECT_EQ(Import(file, line(std::string(1 << 20, ' ') + "5")), CDXFReader::eOk);
    EXPECT_EQ(Import(file, line("1" + mebi)), kOutOfRange);
    EXPECT_EQ(Import(file, line("0." + mebi + "1")), kOutOfRange);
    EXPECT_EQ(Import(file, line("7") + mebi + "\nPOINT\n"), CDXFReader::eOk);
}

// Every drawing of the public test suites imports with a documented outcome, and its pieces
// link and cross as the straightforward scans say.
TEST(Robustness, RealDrawings) {
    const char* corpus = std::getenv("VEXLOR_DXF_CORPUS_DIR");
    if (!corpus || !*corpus) GTEST_SKIP() << "VEXLOR_DXF_CORPUS_DIR names no folder";
    int drawings = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string name = entry.path().string(),
                          extension = entry.path().extension().string();
        if (extension != ".dxf" && extension != ".DXF") continue;
        SCOPED_TRACE(name);
        TempFile file;
        EXPECT_NE(Import(file, ReadFile(entry.path())), CDXFReader::eOpenError);
        Polylines fast;
        RawPolylineReader reader(fast);
        if (ImportOutcome(reader, std::wstring(name.begin(), name.end())) != 0) continue;
        Polylines slow = fast;
        if (fast.size() > 400) continue;  // beyond what the cubic scan does in time
        LinkByRescanning(slow);
        Vexlor::Dxf::LinkOpenPolylines(fast);
        EXPECT_EQ(Describe(fast), Describe(slow));
        EXPECT_EQ(AnyCrossPairwise(slow), Vexlor::Dxf::AnyPolylinesCross(fast));
        ++drawings;
    }
    EXPECT_GT(drawings, 20);
}

// Imports and exports at once on objects of their own give what they give alone: the library
// shares no state between calls.
TEST(Robustness, Threads) {
    const auto work = [](int id, int slot) {
        TempFile drawing("_" + std::to_string(slot) + ".dxf"), out("_" + std::to_string(slot));
        drawing.Write(ReadFile(VEXLOR_DXF_TEST_DATA_DIR "/every_entity.dxf"));
        Polylines polylines;
        const int result = MStlBaseOperatorDXFPolylineReader(polylines).Import(drawing.WidePath());
        ExportToDxf::PartData part;
        for (const auto& polyline : polylines) {
            for (const auto& p : polyline.points) part.vertices.push_back({p.x, p.y, id * 1.0});
        }
        for (std::size_t k = 2; k < part.vertices.size(); ++k)
            part.triangles.push_back({k - 2, k - 1, k});
        const int exported = ExportToDxf::Operate(out.WidePath(), part, nullptr);
        return std::to_string(result + 10 * exported) + Describe(polylines) + out.Read();
    };
    std::vector<std::string> alone, together(8);
    for (int id = 0; id < 4; ++id) alone.push_back(work(id, 8 + id));
    ASSERT_EQ(alone[0].find_first_not_of("01234"), 1u);  // imported to the end, exported (0)
    std::vector<std::thread> threads;
    for (int k = 0; k < 8; ++k) threads.emplace_back([&, k] { together[k] = work(k % 4, k); });
    for (std::thread& thread : threads) thread.join();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(together[k], alone[k % 4]) << k;
}

}  // namespace
