// Runs the import cases of tests/data/cases: a drawing in; polylines, box and result or exception
// out. The format is described in tests/data/cases/README.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::sort
#include <cmath>       // std::isnan
#include <cstdio>      // std::snprintf
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <sstream>     // std::istringstream
#include <string>      // std::string
#include <vector>      // std::vector

#include "DxfTestSupport.h"

namespace {

using namespace VexlorDxfTest;

struct Case {
    std::string name, where;
    std::vector<std::string> drawings{""};
    bool raw = false;
    std::vector<std::string> expected;  // result, box and polyline lines as the file gives them
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.where; }

// A number in one spelling: hexadecimal, zero without sign, NaN without sign or payload.
std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", v == 0 ? 0.0 : v);
    return std::isnan(v) ? "nan" : text;
}

// A line with every number in one spelling.
std::string Normal(const std::string& line) {
    std::istringstream words(line);
    std::string word, out;
    while (words >> word) {
        char* end = nullptr;
        const double v = std::strtod(word.c_str(), &end);
        out += (*end || word.back() == ':' ? word : Number(v)) + ' ';
    }
    return out;
}

// `polyline` in the shape of the expected line `like`: its flag, its point count when `like`
// gives one, then as many first points as `like` gives before "..." and last ones after it.
std::string Shaped(const Polyline& polyline, const std::string& like) {
    std::istringstream words(like);
    std::string word, count;
    std::size_t head = 0, tail = 0, *side = &head;
    for (words >> word; words >> word;) {
        if (word.back() == ':') count = word;
        if (word == "...") side = &tail;
        *side += word.back() != ':' && word != "...";
    }
    const auto& p = polyline.points;
    if (head / 2 + tail / 2 > p.size() || (count.empty() && head / 2 != p.size()))
        head = 2 * p.size(), tail = 0;
    std::string out = polyline.closed ? "closed " : "open ";
    if (!count.empty()) out += count == "*:" ? count + ' ' : std::to_string(p.size()) + ": ";
    for (std::size_t k = 0; k < head / 2; ++k) out += Number(p[k].x) + ' ' + Number(p[k].y) + ' ';
    if (side == &tail) out += "... ";
    for (std::size_t k = p.size() - tail / 2; k < p.size(); ++k)
        out += Number(p[k].x) + ' ' + Number(p[k].y) + ' ';
    return out;
}

// Groups from words: NAME is the group 0/NAME, CODE=VALUE any other, N*WORD the group N times.
std::string Groups(std::istream& words) {
    std::string text, word;
    while (words >> word) {
        const std::size_t star = word.find_first_not_of("0123456789");
        const std::size_t times = star && word[star] == '*' ? std::stoul(word) : 1;
        if (times > 1 || word[star] == '*') word.erase(0, star + 1);
        const std::size_t equals = word.find('=');
        const std::string code = equals == std::string::npos ? "0" : word.substr(0, equals);
        for (std::size_t k = 0; k < times; ++k) {
            text += code + '\n' + Unescape(word.substr(equals + 1)) + '\n';
        }
    }
    return text;
}

std::vector<Case> ReadCases() {
    const std::vector<std::filesystem::path> files = VexlorDxfTest::CaseFiles("cases");
    std::vector<Case> cases;
    std::string section;  // the open section, closed by the first line of another kind
    bool eof = true;      // whether the drawing gets the end marker
    const auto finish = [&](bool drawing) {
        if (!section.empty()) cases.back().drawings.back() += "0\nENDSEC\n";
        if (drawing && eof) cases.back().drawings.back() += "0\nEOF\n";
        section.clear();
    };
    for (const auto& file : files) {
        std::ifstream in(file);
        std::string line, key;
        for (int number = 1; std::getline(in, line); ++number) {
            std::istringstream words(line);
            if (!(words >> key) || key[0] == '#') continue;
            if (key == "windows" || key == "posix") {  // a line for one kind of system only
                if ((key == "windows") != kWindows) continue;
                std::getline(words >> std::ws, line);
                words = std::istringstream(line);
                words >> key;
            }
            if (key == "case") {
                if (!cases.empty()) finish(true);
                cases.push_back({});
                words >> cases.back().name;
                cases.back().where = file.filename().string() + ":" + std::to_string(number);
                eof = true;
                continue;
            }
            Case& c = cases.back();
            std::string& drawing = c.drawings.back();
            if (key != "+" && key != section) finish(false);
            if ((key == "entities" || key == "blocks") && section.empty()) {
                drawing +=
                    key == "blocks" ? "0\nSECTION\n2\nBLOCKS\n" : "0\nSECTION\n2\nENTITIES\n";
                section = key;
            }
            if (key == "entities" || key == "blocks" || key == "+" || key == "groups") {
                drawing += Groups(words);
            } else if (key == "bytes") {
                std::getline(words >> std::ws, line);
                drawing += Unescape(line.substr(1, line.size() - 2));
                eof = false;
            } else if (key == "raw" || key == "then") {
                c.raw = c.raw || key == "raw";
                if (key == "then") finish(true), c.drawings.emplace_back(), eof = true;
            } else {
                c.expected.push_back(line);
            }
        }
    }
    finish(true);
    return cases;
}

class ImportCase : public testing::TestWithParam<Case> {};

TEST_P(ImportCase, GivesItsOutcome) {
    const Case& c = GetParam();
    TempFile file(".dxf", true);
    Polylines polylines;
    MStlBaseOperatorDXFPolylineReader plain(polylines);
    RawPolylineReader raw(polylines);
    MStlBaseOperatorDXFPolylineReader& reader = c.raw ? raw : plain;
    int result = 0;
    for (const std::string& drawing : c.drawings) {
        file.Write(drawing);
        result = ImportOutcome(reader, file.WidePath());
    }
    const auto lt = reader.GetLeftTopPoint(), rb = reader.GetRightBottomPoint();
    const std::string got = result == kInvalidArgument ? "throws invalid_argument"
                            : result == kOutOfRange    ? "throws out_of_range"
                                                       : "result " + std::to_string(result);
    std::string want = "result 0", expected, actual;
    std::size_t count = 0;
    bool compare = false;  // whether the file lists the polylines
    for (const std::string& line : c.expected) {
        const std::string key = line.substr(0, line.find(' '));
        if (key == "result" || key == "throws") want = line;
        if (key == "box") {
            expected += Normal(line) + '\n';
            actual += Normal("box " + Number(lt.x) + ' ' + Number(lt.y) + ' ' + Number(rb.x) + ' ' +
                             Number(rb.y)) +
                      '\n';
        }
        if (key == "open" || key == "closed") {
            expected += Normal(line) + '\n';
            actual += (count < polylines.size() ? Shaped(polylines[count], line) : "none") + '\n';
            ++count;
        }
        compare = compare || key == "open" || key == "closed" || key == "nopolylines";
    }
    expected += compare ? std::to_string(count) + " polylines" : "";
    actual += compare ? std::to_string(polylines.size()) + " polylines" : "";
    EXPECT_EQ(got + '\n' + actual, want + '\n' + expected) << c.where << '\n'
                                                           << Describe(polylines);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportCase, testing::ValuesIn(ReadCases()),
                         [](const testing::TestParamInfo<Case>& info_) {
                             return info_.param.name;
                         });

}  // namespace
