// Tests of the mesh writer: golden drawings, polyface meshes cut at the format's 16-bit counts and
// read back to their triangles, refused meshes, progress and cancel.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>      // std::array
#include <cmath>      // HUGE_VAL, std::nextafter
#include <cstdlib>    // std::strtod, std::strtoull
#include <fstream>    // std::ifstream
#include <iterator>   // std::istreambuf_iterator
#include <memory>     // std::make_shared
#include <set>        // std::set
#include <sstream>    // std::ostringstream, std::istringstream
#include <stdexcept>  // std::invalid_argument
#include <string>     // std::string
#include <utility>    // std::pair
#include <vector>     // std::vector

#include "DxfTestSupport.h"
#include "IProgressDelegate.h"
#include "VexlorDxfWriter.h"

namespace {

using namespace Vexlor::Dxf;
using VexlorDxfTest::TempFile;
using Point3 = Vexlor::Math::point<double, 3>;
using Triangle = std::array<Point3, 3>;

std::string Golden(const std::string& name) {
    std::ifstream in(VEXLOR_DXF_TEST_DATA_DIR "/write/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Written(const ExportToDxf::PartData& part, const MeshWriteOptions& options,
                    EWriteResult expected = EWriteResult::eOk) {
    std::ostringstream out;
    const WriteResult result = WriteMesh(out, part, options);
    EXPECT_EQ(result.result, expected) << result.error;
    return out.str();
}

// The groups of a written drawing, code and value, read line by line as any reader does.
std::vector<std::pair<int, std::string>> Groups(const std::string& text) {
    std::vector<std::pair<int, std::string>> groups;
    std::istringstream in(text);
    for (std::string code, value; std::getline(in, code) && std::getline(in, value);) {
        groups.emplace_back(std::stoi(code), value);
    }
    return groups;
}

// The triangles a drawing holds, read from its 3DFACEs or from its polyface meshes' vertices and
// face records (the numbers count from 1 in each mesh); `counts` gets each mesh's 71 and 72.
std::vector<Triangle> TrianglesOf(const std::string& text,
                                  std::vector<std::pair<long, long>>* counts = nullptr) {
    std::vector<Triangle> triangles;
    std::vector<Point3> vertices;
    std::string entity;
    Point3 corners[4]{};
    long numbers[3] = {0, 0, 0}, flags = 0;
    const auto finish = [&] {
        if (entity == "3DFACE") triangles.push_back({corners[0], corners[1], corners[2]});
        if (entity == "VERTEX" && flags == 192) vertices.push_back(corners[0]);
        if (entity == "VERTEX" && flags == 128) {
            triangles.push_back({vertices.at(numbers[0] - 1), vertices.at(numbers[1] - 1),
                                 vertices.at(numbers[2] - 1)});
        }
    };
    for (const auto& [code, value] : Groups(text)) {
        if (code == 0) {
            finish();
            entity = value;
            flags = 0;
            if (value == "POLYLINE") vertices.clear();
            if (value == "POLYLINE" && counts) counts->emplace_back(0, 0);
        } else if (code >= 10 && code <= 33 && code % 10 <= 3) {
            double& axis = code < 20   ? corners[code - 10].x
                           : code < 30 ? corners[code - 20].y
                                       : corners[code - 30].z;
            axis = std::strtod(value.c_str(), nullptr);
        } else if (code == 70) {
            flags = std::stol(value);
        } else if (code >= 71 && code <= 73) {
            numbers[code - 71] = std::stol(value);
            if (entity == "POLYLINE" && counts && code == 71) counts->back().first = numbers[0];
            if (entity == "POLYLINE" && counts && code == 72) counts->back().second = numbers[1];
        }
    }
    return triangles;
}

bool SameTriangles(const std::vector<Triangle>& a, const std::vector<Triangle>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t t = 0; t < a.size(); ++t) {
        for (std::size_t c = 0; c < 3; ++c) {
            if (a[t][c].x != b[t][c].x || a[t][c].y != b[t][c].y || a[t][c].z != b[t][c].z) {
                return false;
            }
        }
    }
    return true;
}

// The golden polyface mesh of data/write/polyface_r12.dxf: two triangles on a shared edge.
ExportToDxf::PartData TwoTriangles() {
    ExportToDxf::PartData part;
    part.vertices = {{0, 0, 0}, {2, 0, 0}, {0, 1.5, 0.25}, {2, 1.5, -0.5}, {9, 9, 9}};
    part.triangles = {{0, 1, 2}, {1, 3, 2}};
    return part;
}

TEST(MeshWriter, WritesTheGoldenPolyfaceMesh) {
    MeshWriteOptions options;
    options.version = EDxfVersion::eR12;
    options.layer = "Part";
    options.units = 1;
    EXPECT_EQ(Written(TwoTriangles(), options), Golden("polyface_r12.dxf"));
}

TEST(MeshWriter, WritesTheGolden3DFace) {
    ExportToDxf::PartData part;
    part.vertices = {{1, 2, 3}, {4.5, -6, 0.125}, {0.5, 1e-7, -2}};
    part.triangles = {{0, 1, 2}};
    part.transform.m[12] = 10;
    MeshWriteOptions options;
    options.entity = EMeshEntity::e3DFace;
    options.layer = "Mesh";
    options.units = 6;
    EXPECT_EQ(Written(part, options), Golden("face_r2000.dxf"));
}

// How the triangles of a test mesh share their vertices.
enum class Sharing { kNone, kZigzag, kFan };

// `count` triangles: each with vertices of its own, on a zigzag strip (each triangle shares two
// vertices with the one before), or a fan around vertex 0 over a ring of 99 vertices, used over
// and over; odd coordinates, placed by a rotation and a shift.
ExportToDxf::PartData Strip(std::size_t count, Sharing sharing) {
    ExportToDxf::PartData part;
    const auto at = [](std::size_t i) {
        const double x = static_cast<double>(i) / 7;
        return Point3{x, static_cast<double>(i % 2) / 3, x * x};
    };
    for (std::size_t t = 0; t < count; ++t) {
        if (sharing == Sharing::kNone) {
            const double x = static_cast<double>(t) / 7;
            part.vertices.push_back({x, 0.1, 0});
            part.vertices.push_back({x + 0.3, 0.2, 1.0 / 3});
            part.vertices.push_back({x, 0.7, -0.1});
            part.triangles.push_back({3 * t, 3 * t + 1, 3 * t + 2});
        } else if (sharing == Sharing::kZigzag) {
            part.triangles.push_back({t, t + 1, t + 2});
        } else {
            part.triangles.push_back({0, 1 + t % 98, 2 + t % 98});
        }
    }
    const std::size_t vertices = sharing == Sharing::kZigzag ? count + 2
                                 : sharing == Sharing::kFan  ? 100
                                                             : 0;
    for (std::size_t i = 0; i < vertices; ++i) part.vertices.push_back(at(i));
    double* m = part.transform.m;
    m[0] = 0.6, m[1] = 0.8, m[4] = -0.8, m[5] = 0.6, m[12] = 1e6, m[14] = -0.5;
    return part;
}

std::vector<Triangle> Placed(const ExportToDxf::PartData& part) {
    std::vector<Triangle> triangles;
    const double* m = part.transform.m;
    for (const auto& t : part.triangles) {
        Triangle triangle;
        for (std::size_t c = 0; c < 3; ++c) {
            const Point3& p = part.vertices[t[c]];
            triangle[c] = {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                           m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                           m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
        }
        triangles.push_back(triangle);
    }
    return triangles;
}

// Meshes past the 16-bit counts: cut by vertices (distinct vertices: 10922 triangles a mesh;
// a zigzag: 32765 triangles on 32767 vertices) and by faces (a fan on 100 vertices: 32767
// triangles a mesh). Every triangle reads back exactly, and no mesh counts more than 32767 of
// either.
struct Cut {
    std::size_t triangles;
    Sharing sharing;
    std::vector<std::pair<long, long>> counts;  // each mesh's vertices and faces
};

void PrintTo(const Cut& cut, std::ostream* out) {
    constexpr const char* kSharings[] = {"own corners", "zigzag", "fan"};
    *out << cut.triangles << " triangles, " << kSharings[static_cast<int>(cut.sharing)];
}

class PolyfaceCut : public testing::TestWithParam<Cut> {};

TEST_P(PolyfaceCut, KeepsEveryTriangleWithinTheCounts) {
    const ExportToDxf::PartData part = Strip(GetParam().triangles, GetParam().sharing);
    for (const EDxfVersion version : {EDxfVersion::eR2000, EDxfVersion::eR12}) {
        MeshWriteOptions options;
        options.version = version;
        const std::string text = Written(part, options);
        std::vector<std::pair<long, long>> counts;
        EXPECT_TRUE(SameTriangles(TrianglesOf(text, &counts), Placed(part)));
        EXPECT_EQ(counts, GetParam().counts);
        // The same triangles as faces (once: the cut is the polyface mesh's alone).
        if (version == EDxfVersion::eR12) continue;
        options.entity = EMeshEntity::e3DFace;
        EXPECT_TRUE(SameTriangles(TrianglesOf(Written(part, options)), Placed(part)));
    }
}

INSTANTIATE_TEST_SUITE_P(Meshes, PolyfaceCut,
                         testing::Values(Cut{5, Sharing::kNone, {{15, 5}}},
                                         Cut{10923, Sharing::kNone, {{32766, 10922}, {3, 1}}},
                                         Cut{32768, Sharing::kZigzag, {{32767, 32765}, {5, 3}}},
                                         Cut{32770, Sharing::kFan, {{100, 32767}, {5, 3}}}),
                         [](const testing::TestParamInfo<Cut>& param) {
                             return std::to_string(param.param.triangles) + "_" +
                                    std::to_string(static_cast<int>(param.param.sharing));
                         });

// Two triangles as STL gives them, corners of their own: the polyface mesh writes the two
// corners they share once, and a corner the least double away from another apart from it.
TEST(MeshWriter, WritesVerticesAtTheSamePlaceOnce) {
    ExportToDxf::PartData part;
    part.vertices = {{0, 0, 0}, {2, 0, 0},      {0, 1.5, 0.25},
                     {2, 0, 0}, {2, 1.5, -0.5}, {0, 1.5, 0.25}};
    part.triangles = {{0, 1, 2}, {3, 4, 5}};
    std::vector<std::pair<long, long>> counts;
    EXPECT_TRUE(SameTriangles(TrianglesOf(Written(part, {}), &counts), Placed(part)));
    EXPECT_EQ(counts, (std::vector<std::pair<long, long>>{{4, 2}}));
    part.vertices[3].x = std::nextafter(2.0, 3.0);
    counts.clear();
    EXPECT_TRUE(SameTriangles(TrianglesOf(Written(part, {}), &counts), Placed(part)));
    EXPECT_EQ(counts, (std::vector<std::pair<long, long>>{{5, 2}}));
}

TEST(MeshWriter, GivesEveryEntityAHandleOfItsOwnBelowTheSeed) {
    for (const EMeshEntity entity : {EMeshEntity::ePolyface, EMeshEntity::e3DFace}) {
        for (const EDxfVersion version : {EDxfVersion::eR2000, EDxfVersion::eR12}) {
            MeshWriteOptions options;
            options.entity = entity;
            options.version = version;
            const auto groups = Groups(Written(Strip(40, Sharing::kZigzag), options));
            std::set<unsigned long long> handles;
            unsigned long long seed = 0;
            std::size_t written = 0;
            for (std::size_t i = 0; i + 1 < groups.size(); ++i) {
                if (groups[i].first == 5 && groups[i].second != "$HANDSEED") {
                    handles.insert(std::strtoull(groups[i].second.c_str(), nullptr, 16));
                    ++written;
                }
                if (groups[i].second == "$HANDSEED") {
                    seed = std::strtoull(groups[i + 1].second.c_str(), nullptr, 16);
                    ++i;
                }
            }
            EXPECT_EQ(handles.size(), written);
            EXPECT_EQ(*handles.begin(), 1u);
            EXPECT_EQ(seed, *handles.rbegin() + 1);  // the next free one
            EXPECT_EQ(seed, written + 1);            // no gap
        }
    }
}

struct Bad {
    const char* name;
    ExportToDxf::PartData part;
    std::string layer;
    const char* error;
};

void PrintTo(const Bad& bad, std::ostream* out) { *out << bad.name; }

ExportToDxf::PartData WithTriangles(std::vector<std::array<std::size_t, 3>> triangles) {
    ExportToDxf::PartData part = TwoTriangles();
    part.triangles = std::move(triangles);
    return part;
}

ExportToDxf::PartData Overflowing() {
    ExportToDxf::PartData part = TwoTriangles();
    part.vertices[3].x = 1e308;
    part.transform.m[0] = 10;  // 1e309 is infinite
    return part;
}

ExportToDxf::PartData NotANumber() {
    ExportToDxf::PartData part = TwoTriangles();
    part.vertices[2].z = HUGE_VAL - HUGE_VAL;
    return part;
}

ExportToDxf::PartData UnusedNotANumber() {
    ExportToDxf::PartData part = TwoTriangles();
    part.vertices[4].z = HUGE_VAL;  // no triangle uses it: not refused
    return part;
}

class MeshRefused : public testing::TestWithParam<Bad> {};

TEST_P(MeshRefused, LeavesTheEarlierFileAsItWas) {
    MeshWriteOptions options;
    options.layer = GetParam().layer;
    std::ostringstream out;
    const WriteResult result = WriteMesh(out, GetParam().part, options);
    EXPECT_EQ(result.result, EWriteResult::eInvalidInput);
    EXPECT_NE(result.error.find(GetParam().error), std::string::npos) << result.error;
    EXPECT_EQ(out.str(), "");
    TempFile file;
    file.Write("earlier");
    EXPECT_EQ(WriteMesh(file.Path(), GetParam().part, options).result, EWriteResult::eInvalidInput);
    EXPECT_EQ(file.Read(), "earlier");
}

INSTANTIATE_TEST_SUITE_P(
    Meshes, MeshRefused,
    testing::Values(Bad{"no_triangle", WithTriangles({}), "0", "no triangle"},
                    Bad{"index_past_the_end", WithTriangles({{0, 1, 5}}), "0",
                        "triangle 0: vertex 5 is not below the vertex count 5"},
                    Bad{"overflow", Overflowing(), "0", "triangle 1: vertex 3 is not finite"},
                    Bad{"not_a_number", NotANumber(), "0", "triangle 0: vertex 2 is not finite"},
                    Bad{"layer", TwoTriangles(), "a|b", "holds '|'"}),
    [](const testing::TestParamInfo<Bad>& param) { return param.param.name; });

TEST(MeshWriter, WritesOnlyTheVerticesTheTrianglesUse) {
    const std::string text = Written(UnusedNotANumber(), {});
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_TRUE(SameTriangles(TrianglesOf(text), Placed(UnusedNotANumber())));
}

TEST(MeshWriter, RefusesAUnitCodeWithAnException) {
    MeshWriteOptions options;
    options.units = -1;
    std::ostringstream out;
    EXPECT_THROW(WriteMesh(out, TwoTriangles(), options), std::invalid_argument);
}

struct Stopper : Vexlor::Common::IProgressDelegate {
    explicit Stopper(std::size_t at) : stopAt(at) {}
    void OnProgress(const std::string& name, std::size_t value, std::size_t maximum) override {
        named = name;
        last = value;
        max = maximum;
    }
    bool IsCancelRequested() override { return ++asked >= stopAt; }
    std::size_t stopAt, asked = 0, last = 0, max = 0;
    std::string named;
};

TEST(MeshWriter, ReportsOneStepPerTriangleAndStopsWhenAsked) {
    for (const EMeshEntity entity : {EMeshEntity::ePolyface, EMeshEntity::e3DFace}) {
        MeshWriteOptions options;
        options.entity = entity;
        auto delegate = std::make_shared<Stopper>(1000);
        std::ostringstream out;
        EXPECT_EQ(WriteMesh(out, Strip(30, Sharing::kZigzag), options, delegate).result,
                  EWriteResult::eOk);
        EXPECT_EQ(delegate->named, "DXF mesh export");
        EXPECT_EQ(delegate->last, 30u);
        EXPECT_EQ(delegate->max, 30u);
        EXPECT_EQ(delegate->asked, 30u);
        TempFile file;
        file.Write("earlier");
        delegate = std::make_shared<Stopper>(5);
        EXPECT_EQ(WriteMesh(file.Path(), Strip(30, Sharing::kZigzag), options, delegate).result,
                  EWriteResult::eCancelled);
        EXPECT_EQ(delegate->asked, 5u);  // stopped after the fifth triangle
        EXPECT_EQ(file.Read(), "earlier");
        EXPECT_EQ(WriteMesh(file.WidePath(), Strip(30, Sharing::kZigzag), options).result,
                  EWriteResult::eOk);
        EXPECT_EQ(file.Read(), Written(Strip(30, Sharing::kZigzag), options));
    }
}

}  // namespace
