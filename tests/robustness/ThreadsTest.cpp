// Several imports and exports at once on separate objects: the library shares no state.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>  // std::size_t
#include <cstdint>  // std::int32_t
#include <string>   // std::string, std::to_string
#include <thread>   // std::thread
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "MExportToDxf.h"
#include "MStlBase.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::TempFile;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

constexpr int kThreads = 4;
constexpr int kRounds = 8;

std::string Drawing(int seed) {
    return VexlorDxfTest::DxfText(VexlorDxfTest::EntitiesDrawing(VexlorDxfTest::Groups(
        "LINE 10=0 20=0 11=" + std::to_string(seed + 1) + " 21=0 ARC 10=5 20=5 40=2 50=0 51=270 " +
        "CIRCLE 10=20 20=" + std::to_string(seed) + " 40=3 ELLIPSE 10=40 20=0 11=2 21=1 40=0.5 " +
        "LWPOLYLINE 10=60 20=0 10=61 20=1 10=60 20=2 10=60 20=0")));
}

struct Work {
    int importResult = -1;
    std::vector<Polyline> polylines;
    int meshResult = -1;
    int partResult = -1;
    std::string meshFile;
    std::string partFile;
};

// One thread's import and both exports, each on objects of its own.
void RunOnce(int id, int round, Work& work) {
    const std::string tag = "_" + std::to_string(id) + "_" + std::to_string(round);
    TempFile input(tag + ".dxf");
    input.Write(Drawing(id));
    MStlBaseOperatorDXFPolylineReader reader(work.polylines);
    work.importResult = reader.Import(input.WidePath());

    MStlBase mesh;
    ExportToDxf::PartData part;
    for (std::int32_t i = 0; i < 50; ++i) {
        mesh.AddTriangle(MStlTriangle({i, id, 0}, {i + 1, id, 0}, {i, id + 1, 1}));
        const double x = i;
        part.vertices.push_back({x, static_cast<double>(id), 0});
        part.vertices.push_back({x + 1, static_cast<double>(id), 0});
        part.vertices.push_back({x, id + 1.0, 1});
        const std::size_t k = 3 * static_cast<std::size_t>(i);
        part.triangles.push_back({k, k + 1, k + 2});
    }
    TempFile meshOut(tag + ".mesh.dxf");
    MExportToDxf exporter;
    exporter.SetExportFileName(meshOut.WidePath());
    exporter.SetExportStl(&mesh, Vexlor::Math::matrix4x4<double>::identity());
    work.meshResult = exporter.Operate(nullptr);
    work.meshFile = meshOut.Read();

    TempFile partOut(tag + ".part.dxf");
    work.partResult = ExportToDxf::Operate(partOut.WidePath(), part, nullptr);
    work.partFile = partOut.Read();
}

TEST(ThreadsTest, ImportsAndExportsAtOnceMatchSingleThreaded) {
    std::vector<Work> alone(kThreads);
    for (int id = 0; id < kThreads; ++id) RunOnce(id, -1, alone[id]);

    std::vector<std::vector<Work>> together(kThreads, std::vector<Work>(kRounds));
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) {
        threads.emplace_back([id, &together] {
            for (int round = 0; round < kRounds; ++round) RunOnce(id, round, together[id][round]);
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int id = 0; id < kThreads; ++id) {
        ASSERT_EQ(alone[id].importResult, CDXFReader::eOk);
        ASSERT_EQ(alone[id].meshResult, MExportToDxf::eOk);
        ASSERT_EQ(alone[id].partResult, ExportToDxf::eOk);
        for (const Work& work : together[id]) {
            EXPECT_EQ(work.importResult, alone[id].importResult);
            EXPECT_TRUE(VexlorDxfTest::SamePolylines(work.polylines, alone[id].polylines));
            EXPECT_EQ(work.meshResult, alone[id].meshResult);
            EXPECT_EQ(work.partResult, alone[id].partResult);
            EXPECT_EQ(work.meshFile, alone[id].meshFile);
            EXPECT_EQ(work.partFile, alone[id].partFile);
        }
    }
}

}  // namespace
