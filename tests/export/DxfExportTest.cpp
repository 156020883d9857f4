// Tests of the mesh and part-record exporters: exact file text, placement, result codes, progress.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>  // getpid, geteuid, seteuid

#include <array>       // std::array
#include <cstddef>     // std::size_t, std::ptrdiff_t
#include <cstdlib>     // std::abs
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream, std::ofstream
#include <iterator>    // std::distance, std::istreambuf_iterator
#include <memory>      // std::make_shared
#include <string>      // std::string, std::wstring
#include <tuple>       // std::tuple
#include <utility>     // std::move
#include <vector>      // std::vector

#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MInternalUnits.h"
#include "MStlBase.h"

namespace {

namespace fs = std::filesystem;
using Matrix = Vexlor::Math::matrix4x4<double>;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of this process in the temporary folder, holding `text` at first; removed at the end.
struct TempFile {
    explicit TempFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    ~TempFile() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    const fs::path path = fs::temp_directory_path() / ("vexlor_export_" + std::to_string(getpid()));
};

// Every element used counts, each with its own value; m3, m7, m11 and m15 must be ignored.
Matrix Placement(double scale) {
    Matrix m{{0.5, -1.25, 2, 3, -3, 0.75, -1.5, -7, 4, -2.5, 0.25, 11, 10, -20, 0.125, 0}};
    for (double& element : m.m) element *= scale;
    return m;
}

const int kVertex[4][3] = {{2, -4, 8}, {-6, 10, 12}, {1, 3, -5}, {-7, -9, 13}};
const std::size_t kFace[2][3] = {{2, 0, 1}, {1, 3, 2}};
MStlVertex Corner(std::size_t i) { return {kVertex[i][0], kVertex[i][1], kVertex[i][2]}; }

// Two faces whose file, worked out by hand from the placement, is data/export/two_faces.dxf. The
// part record is placed by Placement(1) under an internal unit of 1000, which it must ignore; the
// mesh by Placement(1000), whose result the unit of 1000 brings back to the same values.
class TwoFaces : public testing::Test {
protected:
    TwoFaces() {
        Vexlor::Common::MInternalUnits::Set(1000.0);
        for (const auto& v : kVertex) part.vertices.push_back({1.0 * v[0], 1.0 * v[1], 1.0 * v[2]});
        for (const auto& f : kFace) {
            part.triangles.push_back({f[0], f[1], f[2]});
            mesh.AddTriangle({Corner(f[0]), Corner(f[1]), Corner(f[2])});
        }
        part.transform = Placement(1.0);
    }
    ~TwoFaces() override { Vexlor::Common::MInternalUnits::Set(1.0); }

    TempFile file{std::string(1000, 'x')};  // longer than the export, which must replace it
    const std::string expected = Read(VEXLOR_DXF_TEST_DATA_DIR "/export/two_faces.dxf");
    ExportToDxf::PartData part;
    MStlBase mesh;
};

TEST_F(TwoFaces, PartFileIsExact) {
    EXPECT_EQ(ExportToDxf::Operate(file.path.wstring(), part, nullptr), ExportToDxf::eOk);
    EXPECT_EQ(Read(file.path), expected);
}

// Copies and moves carry name, mesh and transform along; every run writes the file anew.
TEST_F(TwoFaces, MeshFileIsExactAfterCopiesMovesAndReruns) {
    MExportToDxf original;
    original.SetExportFileName(file.path.wstring());
    original.SetExportStl(&mesh, Placement(1000.0));
    MExportToDxf copied(original), assigned;
    assigned = original;
    MExportToDxf moved(std::move(copied)), moveAssigned;
    moveAssigned = std::move(assigned);
    MExportToDxf& alias = moveAssigned;
    moveAssigned = std::move(alias);  // assigned to itself: keeps its name
    for (MExportToDxf* exporter : {&original, &original, &moved, &moveAssigned}) {
        EXPECT_EQ(exporter->Operate(nullptr), MExportToDxf::eOk);
        EXPECT_EQ(Read(file.path), expected);
    }
    // Moved from: the mesh is still set (not 1), but the name is gone.
    EXPECT_EQ(copied.Operate(nullptr), MExportToDxf::eOpenError);
    EXPECT_EQ(assigned.Operate(nullptr), MExportToDxf::eOpenError);
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
enum Shape { kUntouched, kOpen, kClosed, kFull };
// One case for both exporters: results and shapes are the mesh's, then the part record's.
struct Row {
    int triangles;  // negative: the mesh is not set, or the record's last index is out of range
    Target target;
    int cancelAt, result[2];
    Shape shape[2];
    int faces;
};
const Row kRows[] = {
    {3, kFile, 0, {0, 0}, {kClosed, kClosed}, 3},
    {0, kFile, 0, {3, 3}, {kClosed, kUntouched}, 0},
    {-3, kFile, 0, {1, 3}, {kUntouched, kUntouched}, 0},
    {3, kFile, 1, {4, 4}, {kOpen, kOpen}, 1},
    {3, kFile, 3, {4, 4}, {kOpen, kOpen}, 3},
    {1, kReadOnly, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {1, kMissingFolder, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {1, kFolder, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    {1, kNoName, 0, {2, 2}, {kUntouched, kUntouched}, 0},
    // More faces than the file buffer holds fail while they are written; one, on the last flush.
    {3000, kDiskFull, 0, {3, 3}, {kFull, kFull}, 2999},
    {1, kDiskFull, 0, {3, 3}, {kFull, kFull}, 1},
};

// Runs one row with the mesh (0) or the part-record (1) exporter, every corner at the origin.
int Export(const Row& row, int exporter, const fs::path& path, std::shared_ptr<Delegate> delegate) {
    const auto count = static_cast<std::size_t>(std::abs(row.triangles));
    if (exporter == 0) {
        MStlBase mesh;
        for (std::size_t i = 0; i < count; ++i) mesh.AddTriangle({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
        MExportToDxf meshExporter;
        meshExporter.SetExportFileName(path.wstring());
        if (row.triangles >= 0) meshExporter.SetExportStl(&mesh, Matrix::identity());
        return meshExporter.Operate(std::move(delegate));
    }
    ExportToDxf::PartData part{{{0, 0, 0}}, std::vector<std::array<std::size_t, 3>>(count)};
    if (row.triangles < 0) part.triangles.back()[1] = 1;
    return ExportToDxf::Operate(path.wstring(), part, std::move(delegate));
}

std::ptrdiff_t OpenFiles() {
    std::error_code error;
    return std::distance(fs::directory_iterator("/proc/self/fd", error), fs::directory_iterator());
}

// The file, worked out by hand: header, a face with every corner at the origin, closing lines.
const char kHead[] =
    " 0\nSECTION\n 2\nHEADER\n 9\n$ACADVER\n 1\nAC1009\n 0\nENDSEC\n 0\nSECTION\n 2\nENTITIES\n";
const char kZeroFace[] =
    " 0\n3DFACE\n 8\n0\n 10\n0.000000\n 20\n0.000000\n 30\n0.000000\n 11\n0.000000\n"
    " 21\n0.000000\n 31\n0.000000\n 12\n0.000000\n 22\n0.000000\n 32\n0.000000\n"
    " 13\n0.000000\n 23\n0.000000\n 33\n0.000000\n";
const char kTail[] = " 0\nENDSEC\n 0\nEOF\n";

class ResultCode : public testing::TestWithParam<std::tuple<Row, int>> {};

TEST_P(ResultCode, FileAndProgressMatch) {
    const auto& [row, exporter] = GetParam();
    TempFile file("old\n");
    fs::path target = file.path;
    if (row.target == kReadOnly) fs::permissions(file.path, fs::perms::owner_read);
    if (row.target == kMissingFolder) target = fs::path(file.path.string() + ".d") / "out.dxf";
    if (row.target == kFolder) target = fs::temp_directory_path();
    if (row.target == kNoName) target.clear();
    if (row.target == kDiskFull) target = "/dev/full";
    const auto delegate = std::make_shared<Delegate>(row.cancelAt);
    const std::ptrdiff_t openFiles = OpenFiles();
    // Root may write a read-only file: it becomes "nobody" for that export.
    const bool asNobody = row.target == kReadOnly && geteuid() == 0;
    ASSERT_EQ(asNobody ? seteuid(65534) : 0, 0);
    EXPECT_EQ(Export(row, exporter, target, delegate), row.result[exporter]);
    ASSERT_EQ(asNobody ? seteuid(0) : 0, 0);
    EXPECT_EQ(OpenFiles(), openFiles) << "a file was left open";
    EXPECT_EQ(delegate.use_count(), 1) << "the delegate was kept";

    const Shape shape = row.shape[exporter];
    std::string text = "old\n", log;
    if (shape == kOpen || shape == kClosed) {
        text = kHead;
        for (int k = 0; k <= row.faces; ++k) {
            log += "DFX export " + std::to_string(k) + "/" + std::to_string(row.triangles) + ";";
            if (k > 0) text += kZeroFace;
        }
        if (shape == kClosed) text += kTail;
    }
    EXPECT_EQ(Read(file.path), text);
    if (shape == kFull) {
        EXPECT_LE(delegate->questions, row.faces) << "faces were written after a failed one";
    } else {
        EXPECT_EQ(delegate->log, log);
        EXPECT_EQ(delegate->questions, row.faces);
    }
}

INSTANTIATE_TEST_SUITE_P(BothExporters, ResultCode,
                         testing::Combine(testing::ValuesIn(kRows), testing::Values(0, 1)));

}  // namespace
