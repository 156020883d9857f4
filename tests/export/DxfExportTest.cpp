// Tests of the mesh and part-record exporters: exact file text, placement, result codes, progress.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <unistd.h>  // geteuid, seteuid
#endif

#include <array>             // std::array
#include <cstddef>           // std::size_t, std::ptrdiff_t
#include <cstdlib>           // std::abs
#include <filesystem>        // std::filesystem
#include <fstream>           // std::ifstream
#include <initializer_list>  // std::initializer_list
#include <iterator>          // std::distance, std::istreambuf_iterator
#include <memory>            // std::make_shared
#include <ostream>           // std::ostream
#include <string>            // std::string, std::to_string
#include <tuple>             // std::tuple
#include <utility>           // std::move, std::make_pair
#include <vector>            // std::vector

#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MInternalUnits.h"
#include "MStlBase.h"

namespace {

namespace fs = std::filesystem;
using VexlorDxfTest::TempFile;
using VexlorDxfTest::TextFile;

#if defined(_WIN32)
// No account of Windows writes a read-only file: the exports run as they are.
int geteuid() { return 1; }
int seteuid(int) { return -1; }
#endif

// A file of data/export, worked out by hand.
std::string DataFile(const std::string& name) {
    std::ifstream in(VEXLOR_DXF_TEST_DATA_DIR "/export/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The faces of `part` as an SDK mesh; its coordinates are whole numbers.
MStlBase MeshOf(const ExportToDxf::PartData& part) {
    MStlBase mesh;
    const auto at = [&v = part.vertices](std::size_t i) {
        return MStlVertex{int(v[i].x), int(v[i].y), int(v[i].z)};
    };
    for (const auto& t : part.triangles) mesh.AddTriangle({at(t[0]), at(t[1]), at(t[2])});
    return mesh;
}

// Two faces whose file, worked out by hand from the placement, is data/export/two_faces.dxf: every
// element of the placement used counts, each with its own value; m3, m7, m11 and m15 must be
// ignored. Under an internal unit of 1000, which the part record must ignore, the mesh is placed
// by the same matrix times 1000 (translation in internal units), and the unit brings it back.
// Copies and moves carry name, mesh and transform along; every run replaces a longer file.
TEST(Export, TwoFacesExactForBothExportersThroughCopiesMovesAndReruns) {
    const ExportToDxf::PartData part{
        {{2, -4, 8}, {-6, 10, 12}, {1, 3, -5}, {-7, -9, 13}},
        {{{2, 0, 1}}, {{1, 3, 2}}},
        {{0.5, -1.25, 2, 3, -3, 0.75, -1.5, -7, 4, -2.5, 0.25, 11, 10, -20, 0.125, 0}}};
    const MStlBase mesh = MeshOf(part);
    auto placement = part.transform;
    for (double& element : placement.m) element *= 1000;
    TempFile file;
    MExportToDxf original, assigned, moveAssigned, &alias = moveAssigned;
    original.SetExportFileName(file.WidePath());
    original.SetExportStl(&mesh, placement);
    MExportToDxf copied(original), moved(std::move(copied));
    moveAssigned = std::move(assigned = original);
    moveAssigned = std::move(alias);  // assigned to itself: keeps its name
    Vexlor::Common::MInternalUnits::Set(1000.0);
    // The part record (null), then the mesh exporters, each writing over a longer file.
    for (auto* exporter : std::initializer_list<MExportToDxf*>{nullptr, &original, &original,
                                                               &moved, &moveAssigned}) {
        file.Write(std::string(1000, 'x'));
        EXPECT_EQ(exporter ? int(exporter->Operate(nullptr))
                           : ExportToDxf::Operate(file.WidePath(), part, nullptr),
                  0);  // eOk
        EXPECT_EQ(file.Read(), TextFile(DataFile("two_faces.dxf")));
    }
    // Moved from: the mesh is still set (not 1), but the name is gone.
    EXPECT_EQ(copied.Operate(nullptr), MExportToDxf::eOpenError);
    EXPECT_EQ(assigned.Operate(nullptr), MExportToDxf::eOpenError);
    Vexlor::Common::MInternalUnits::Set(1.0);
}

// Records the progress reports; answers "stop" to its `cancelAt`-th question (0: never).
struct Delegate : Vexlor::Common::IProgressDelegate {
    explicit Delegate(int stopAt) : cancelAt(stopAt) {}
    void OnProgress(const std::string& name, std::size_t value, std::size_t maxValue) override {
        log += name + " " + std::to_string(value) + "/" + std::to_string(maxValue) + ";";
    }
    bool IsCancelRequested() override { return ++questions == cancelAt; }
    int cancelAt, questions = 0;
    std::string log;
};

enum Target { kFile, kReadOnly, kMissingFolder, kFolder, kNoName, kDiskFull };
// What the export leaves: nothing done (the old file kept, no reports), the faces without or
// with the closing lines, or a stop at a full disk after at most `faces` faces.
enum Shape { kUntouched = 0, kOpen = 1, kClosed = 3, kFull = 4 };  // kClosed: kOpen, then closed
// One case for both exporters: results and shapes are the mesh's, then the part record's.
// Negative `triangles`: the mesh is not set, or the record's last index is out of range.
// `name` names the row in the test's name.
struct Row {
    const char* name;
    int triangles, target, cancelAt, result[2], shape[2], faces;
};
const Row kRows[] = {
    {"Written", 3, kFile, 0, {0, 0}, {kClosed, kClosed}, 3},
    {"NoTriangles", 0, kFile, 0, {3, 3}, {kClosed, kUntouched}, 0},
    {"NoMeshOrIndexOutOfRange", -3, kFile, 0, {1, 3}, {kUntouched, kUntouched}, 0},
    {"CancelledAtFirstQuestion", 3, kFile, 1, {4, 4}, {kOpen, kOpen}, 1},
    {"CancelledAtLastQuestion", 3, kFile, 3, {4, 4}, {kOpen, kOpen}, 3},
    {"ReadOnlyFile", 1, kReadOnly, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {"MissingFolder", 1, kMissingFolder, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {"FolderAsFile", 1, kFolder, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {"EmptyName", 1, kNoName, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    // More faces than the file buffer holds fail while they are written; one, on the last flush.
    {"DiskFullWhileWriting", 3000, kDiskFull, 0, {3, 3}, {kFull, kFull}, 2999},
    {"DiskFullAtLastFlush", 1, kDiskFull, 0, {3, 3}, {kFull, kFull}, 1},
};
// A row prints as its name, in test listings too.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

// None counted on Windows, which has no /proc (under Wine it would count Wine's own files).
std::ptrdiff_t OpenFiles() {
    std::error_code error;
    if (VexlorDxfTest::kWindows) return 0;
    return std::distance(fs::directory_iterator("/proc/self/fd", error), fs::directory_iterator());
}

class ResultCode : public testing::TestWithParam<std::tuple<Row, int>> {};

// Runs one row with the mesh (0) or the part-record (1) exporter, every corner at the origin.
TEST_P(ResultCode, FileAndProgressMatch) {
    const auto& [row, exporter] = GetParam();
    TempFile file;
    file.Write("old\n");
    if (row.target == kReadOnly) fs::permissions(file.Path(), fs::perms::owner_read);
    // Windows has no full device, and under Wine run by root a read-only file stays writable.
    if (VexlorDxfTest::kWindows &&
        (row.target == kDiskFull ||
         (row.target == kReadOnly && std::ofstream(file.Path(), std::ios::app))))
        GTEST_SKIP() << "not on this system";
    // The target of each Target: the file (writable or not), a missing folder, a folder, no
    // name, a full disk.
    const std::string path = file.Path().string();
    const fs::path target = std::vector<fs::path>{
        path, path, path + ".d/out.dxf", fs::temp_directory_path(), "", "/dev/full"}[row.target];
    const std::size_t count = std::abs(row.triangles);
    ExportToDxf::PartData part{{{0, 0, 0}}, std::vector<std::array<std::size_t, 3>>(count)};
    const MStlBase mesh = MeshOf(part);
    if (row.triangles < 0) part.triangles.back()[1] = 1;
    MExportToDxf meshExporter;
    meshExporter.SetExportFileName(target.wstring());
    if (row.triangles >= 0) meshExporter.SetExportStl(&mesh, part.transform);
    auto delegate = std::make_shared<Delegate>(row.cancelAt);
    const std::ptrdiff_t openFiles = OpenFiles();
    // Root may write a read-only file: it becomes "nobody" for that export.
    const bool asNobody = row.target == kReadOnly && geteuid() == 0;
    ASSERT_EQ(asNobody ? seteuid(65534) : 0, 0);
    EXPECT_EQ(exporter ? int(ExportToDxf::Operate(target.wstring(), part, delegate))
                       : meshExporter.Operate(delegate),
              row.result[exporter]);
    ASSERT_EQ(asNobody ? seteuid(0) : 0, 0);
    EXPECT_EQ(OpenFiles(), openFiles) << "a file was left open";
    EXPECT_EQ(delegate.use_count(), 1) << "the delegate was kept";

    // The file: header, a face at the origin per face written, closing lines if closed.
    const int shape = row.shape[exporter];
    const std::string one = DataFile("origin_face.dxf");
    const std::size_t face = one.find(" 0\n3DFACE"), tail = one.rfind(" 0\nENDSEC");
    std::string text = shape & kOpen ? one.substr(0, face) : "old\n", log;
    for (int k = 0; (shape & kOpen) && k <= row.faces; ++k) {
        log += "DFX export " + std::to_string(k) + "/" + std::to_string(row.triangles) + ";";
        if (k > 0) text += one.substr(face, tail - face);
    }
    if (shape == kClosed) text += one.substr(tail);
    EXPECT_EQ(file.Read(), shape & kOpen ? TextFile(text) : text);
    EXPECT_LE(delegate->questions, row.faces) << "faces were written after a failed one";
    if (shape != kFull) {
        EXPECT_EQ(std::make_pair(delegate->log, delegate->questions),
                  std::make_pair(log, row.faces));
    }
}

// Named by the row and the exporter, for example ReadOnlyFile_PartRecord.
INSTANTIATE_TEST_SUITE_P(BothExporters, ResultCode,
                         testing::Combine(testing::ValuesIn(kRows), testing::Values(0, 1)),
                         [](const testing::TestParamInfo<std::tuple<Row, int>>& info_) {
                             return std::string(std::get<0>(info_.param).name) +
                                    (std::get<1>(info_.param) ? "_PartRecord" : "_Mesh");
                         });

}  // namespace
