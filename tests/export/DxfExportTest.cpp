// Tests of the mesh and part-record exporters: file text, placement, result codes, progress.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::count
#include <array>       // std::array
#include <cstddef>     // std::size_t
#include <cstdint>     // std::int32_t
#include <filesystem>  // std::filesystem
#include <memory>      // std::shared_ptr, std::make_shared
#include <sstream>     // std::istringstream
#include <string>      // std::string, std::wstring
#include <utility>     // std::move
#include <vector>      // std::vector

#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MInternalUnits.h"
#include "MStlBase.h"

namespace {

using Matrix = Vexlor::Math::matrix4x4<double>;
using VexlorDxfTest::TempFile;

// Records every report; answers "stop" from its `cancelAt`-th question on (0: never).
class RecordingDelegate : public Vexlor::Common::IProgressDelegate {
public:
    struct Report {
        std::string name;
        std::size_t value;
        std::size_t maxValue;
    };
    explicit RecordingDelegate(std::size_t cancelAt = 0) : m_cancelAt(cancelAt) {}
    void OnProgress(const std::string& name, std::size_t value, std::size_t maxValue) override {
        reports.push_back({name, value, maxValue});
    }
    bool IsCancelRequested() override { return ++questions == m_cancelAt; }

    std::vector<Report> reports;
    std::size_t questions = 0;

private:
    std::size_t m_cancelAt;
};

// Sets the process-wide internal unit for one test and restores it afterwards.
class UnitScope {
public:
    explicit UnitScope(double unit) : m_saved(Vexlor::Common::MInternalUnits::Get()) {
        Vexlor::Common::MInternalUnits::Set(unit);
    }
    ~UnitScope() { Vexlor::Common::MInternalUnits::Set(m_saved); }

private:
    double m_saved;
};

// Names each row of a table after its `name` field.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& row) {
    return row.param.name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The value line of `axis` (0 x, 1 y, 2 z) of corner `corner` of face `face`.
const std::string& CornerValue(const std::vector<std::string>& lines, std::size_t face,
                               std::size_t corner, std::size_t axis) {
    return lines.at(14 + 28 * face + 4 + 6 * corner + 2 * axis + 1);
}

// One triangle as both exporters must write it: fixed notation with six decimals, so 1e-7 shows
// as 0.000000, and the fourth corner repeating the third.
const char kOneTriangleFile[] =
    " 0\nSECTION\n 2\nHEADER\n 9\n$ACADVER\n 1\nAC1009\n 0\nENDSEC\n"
    " 0\nSECTION\n 2\nENTITIES\n"
    " 0\n3DFACE\n 8\n0\n"
    " 10\n1.000000\n 20\n0.000000\n 30\n0.000000\n"
    " 11\n0.000000\n 21\n2.500000\n 31\n-0.250000\n"
    " 12\n-0.125000\n 22\n0.000000\n 32\n12.500000\n"
    " 13\n-0.125000\n 23\n0.000000\n 33\n12.500000\n"
    " 0\nENDSEC\n 0\nEOF\n";

TEST(MeshExport, OneTriangleFileIsExact) {
    UnitScope unit(1e7);  // one internal unit is 1e-7
    MStlBase mesh;
    mesh.AddTriangle({{10000000, 1, 0}, {0, 25000000, -2500000}, {-1250000, 0, 125000000}});
    TempFile file;
    MExportToDxf exporter;
    exporter.SetExportFileName(file.WidePath());
    exporter.SetExportStl(&mesh, Matrix::identity());
    EXPECT_EQ(exporter.Operate(nullptr), MExportToDxf::eOk);
    EXPECT_EQ(file.Read(), kOneTriangleFile);
}

TEST(PartExport, OneTriangleFileIsExact) {
    UnitScope unit(1000.0);  // must not divide the record's coordinates
    ExportToDxf::PartData part;
    part.vertices = {{1.0, 1e-7, 0.0}, {0.0, 2.5, -0.25}, {-0.125, 0.0, 12.5}};
    part.triangles = {{0, 1, 2}};
    TempFile file;
    EXPECT_EQ(ExportToDxf::Operate(file.WidePath(), part, nullptr), ExportToDxf::eOk);
    EXPECT_EQ(file.Read(), kOneTriangleFile);
}

struct PlacementCase {
    const char* name;
    std::vector<std::pair<int, double>> elements;  // changes to the identity
    std::array<const char*, 3> mesh;               // divided by the unit of 1000
    std::array<const char*, 3> part;               // not divided
};

class Placement : public testing::TestWithParam<PlacementCase> {};

// The vertex (1000, -2000, 3000) as corner 0, placed by both exporters under a unit of 1000.
TEST_P(Placement, MapsCornerZero) {
    UnitScope unit(1000.0);
    Matrix transform = Matrix::identity();
    for (const auto& [index, value] : GetParam().elements) transform.m[index] = value;

    MStlBase mesh;
    mesh.AddTriangle({{1000, -2000, 3000}, {0, 0, 0}, {0, 0, 0}});
    TempFile meshFile(".mesh.dxf");
    MExportToDxf exporter;
    exporter.SetExportFileName(meshFile.WidePath());
    exporter.SetExportStl(&mesh, transform);
    ASSERT_EQ(exporter.Operate(nullptr), MExportToDxf::eOk);

    ExportToDxf::PartData part{{{1000.0, -2000.0, 3000.0}, {0, 0, 0}}, {{0, 1, 1}}, transform};
    TempFile partFile(".part.dxf");
    ASSERT_EQ(ExportToDxf::Operate(partFile.WidePath(), part, nullptr), ExportToDxf::eOk);

    const std::vector<std::string> meshLines = Lines(meshFile.Read());
    const std::vector<std::string> partLines = Lines(partFile.Read());
    for (std::size_t axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(CornerValue(meshLines, 0, 0, axis), GetParam().mesh[axis]) << "axis " << axis;
        EXPECT_EQ(CornerValue(partLines, 0, 0, axis), GetParam().part[axis]) << "axis " << axis;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Export, Placement,
    testing::Values(PlacementCase{"Identity",
                                  {},
                                  {"1.000000", "-2.000000", "3.000000"},
                                  {"1000.000000", "-2000.000000", "3000.000000"}},
                    // The translation is in internal units: it is added before the division.
                    PlacementCase{"Translation",
                                  {{12, 500.0}, {13, -1000.0}, {14, 2000.0}},
                                  {"1.500000", "-3.000000", "5.000000"},
                                  {"1500.000000", "-3000.000000", "5000.000000"}},
                    // Catches a transposed matrix: m4 scales y into x', m1 scales x into y'.
                    PlacementCase{"ColumnOrder",
                                  {{0, 0.0}, {5, 0.0}, {4, 2.0}, {1, 1.0}},
                                  {"-4.000000", "1.000000", "3.000000"},
                                  {"-4000.000000", "1000.000000", "3000.000000"}},
                    PlacementCase{"Shear",
                                  {{8, 0.5}, {6, 2.0}},
                                  {"2.500000", "-2.000000", "-1.000000"},
                                  {"2500.000000", "-2000.000000", "-1000.000000"}},
                    // Catches a projective division or use of the bottom row.
                    PlacementCase{"BottomRowIgnored",
                                  {{3, 7.0}, {7, 7.0}, {11, 7.0}, {15, 0.0}},
                                  {"1.000000", "-2.000000", "3.000000"},
                                  {"1000.000000", "-2000.000000", "3000.000000"}}),
    CaseName<PlacementCase>);

// Which exporter a result-code case runs, and how its input is broken.
enum class Input { Mesh, Part, NoMesh, PartBadIndex };
// Where it writes. Existing files start with kOldText.
enum class Target { File, MissingFolder, Folder, EmptyName, DevFull };
const char kOldText[] = "old content\n";
// What the file must hold afterwards: a count of faces, open or closed, or the old text; or, for
// a failing disk, that the export stopped at the face that failed.
enum class Outcome { Closed, Open, Untouched, StoppedEarly, NotChecked };

struct CodeCase {
    const char* name;
    Input input;
    std::size_t triangles;
    Target target;
    std::size_t cancelAt;
    int result;
    Outcome outcome;
    std::size_t faces;  // faces in the file, and questions asked of the delegate
};

class ResultCode : public testing::TestWithParam<CodeCase> {};

int RunExport(const CodeCase& c, const std::wstring& path,
              std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    if (c.input == Input::Mesh || c.input == Input::NoMesh) {
        MStlBase mesh;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(c.triangles); ++i) {
            mesh.AddTriangle({{i, 0, 0}, {i, 1, 0}, {i, 0, 1}});
        }
        MExportToDxf exporter;
        exporter.SetExportFileName(path);
        if (c.input == Input::Mesh) exporter.SetExportStl(&mesh, Matrix::identity());
        return exporter.Operate(std::move(delegate));
    }
    ExportToDxf::PartData part;
    for (std::size_t i = 0; i < c.triangles; ++i) {
        const double x = static_cast<double>(i);
        part.vertices.insert(part.vertices.end(), {{x, 0, 0}, {x, 1, 0}, {x, 0, 1}});
        part.triangles.push_back({3 * i, 3 * i + 1, 3 * i + 2});
    }
    if (c.input == Input::PartBadIndex) part.triangles.back()[1] = part.vertices.size();
    return ExportToDxf::Operate(path, part, std::move(delegate));
}

TEST_P(ResultCode, MatchesFileAndProgress) {
    const CodeCase& c = GetParam();
    TempFile file;
    file.Write(kOldText);
    std::wstring path = file.WidePath();
    if (c.target == Target::MissingFolder) path += L".missing/out.dxf";
    if (c.target == Target::Folder) path = file.WidePath().substr(0, path.rfind(L'/'));
    if (c.target == Target::EmptyName) path.clear();
    if (c.target == Target::DevFull) {
        if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
        path = L"/dev/full";
    }
    auto delegate = std::make_shared<RecordingDelegate>(c.cancelAt);

    EXPECT_EQ(RunExport(c, path, delegate), c.result);
    EXPECT_EQ(delegate.use_count(), 1) << "the exporter kept the delegate";

    const std::vector<std::string> lines = Lines(file.Read());
    switch (c.outcome) {
        case Outcome::Untouched:
            EXPECT_EQ(file.Read(), kOldText);
            EXPECT_TRUE(delegate->reports.empty());
            return;
        case Outcome::StoppedEarly:
            EXPECT_LT(delegate->questions, c.triangles);
            return;
        case Outcome::NotChecked:
            return;
        case Outcome::Closed:
            ASSERT_EQ(lines.size(), 14 + 28 * c.faces + 4);
            EXPECT_EQ(lines[lines.size() - 3], "ENDSEC");
            EXPECT_EQ(lines.back(), "EOF");
            break;
        case Outcome::Open:
            // Header, section start and the faces written up to the cancel: nothing after.
            ASSERT_EQ(lines.size(), 14 + 28 * c.faces);
            EXPECT_EQ(lines.back(), CornerValue(lines, c.faces - 1, 2, 2));
            EXPECT_EQ(delegate->reports.back().value, c.faces) << "the cancelled face counts";
            break;
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "3DFACE"), static_cast<long>(c.faces));
    EXPECT_EQ(delegate->questions, c.faces) << "one cancel question per face written";
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.front().name, "DFX export");
    EXPECT_EQ(delegate->reports.front().value, 0u);
    EXPECT_EQ(delegate->reports.back().maxValue, c.triangles);
    if (c.outcome == Outcome::Closed) {
        EXPECT_EQ(delegate->reports.back().value, c.triangles);
    }
}

// A buffer's worth of faces makes /dev/full fail while the faces are written.
constexpr std::size_t kManyFaces = 2000;

INSTANTIATE_TEST_SUITE_P(
    Export, ResultCode,
    testing::Values(
        CodeCase{"MeshWritten", Input::Mesh, 3, Target::File, 0, 0, Outcome::Closed, 3},
        CodeCase{"PartWritten", Input::Part, 3, Target::File, 0, 0, Outcome::Closed, 3},
        // An empty mesh still gets a complete file; an empty record gets none.
        CodeCase{"MeshEmpty", Input::Mesh, 0, Target::File, 0, 3, Outcome::Closed, 0},
        CodeCase{"PartEmpty", Input::Part, 0, Target::File, 0, 3, Outcome::Untouched, 0},
        CodeCase{"MeshNotSet", Input::NoMesh, 3, Target::File, 0, 1, Outcome::Untouched, 0},
        CodeCase{"PartBadIndex", Input::PartBadIndex, 3, Target::File, 0, 3, Outcome::Untouched, 0},
        CodeCase{"MeshCancelFirst", Input::Mesh, 3, Target::File, 1, 4, Outcome::Open, 1},
        CodeCase{"PartCancelFirst", Input::Part, 3, Target::File, 1, 4, Outcome::Open, 1},
        CodeCase{"MeshCancelSecond", Input::Mesh, 3, Target::File, 2, 4, Outcome::Open, 2},
        // Cancelling at the last face still leaves the closing lines out.
        CodeCase{"MeshCancelLast", Input::Mesh, 3, Target::File, 3, 4, Outcome::Open, 3},
        CodeCase{"PartCancelLast", Input::Part, 3, Target::File, 3, 4, Outcome::Open, 3},
        CodeCase{"MeshMissingFolder", Input::Mesh, 1, Target::MissingFolder, 0, 2,
                 Outcome::NotChecked, 0},
        CodeCase{"PartMissingFolder", Input::Part, 1, Target::MissingFolder, 0, 2,
                 Outcome::NotChecked, 0},
        CodeCase{"MeshFolder", Input::Mesh, 1, Target::Folder, 0, 2, Outcome::NotChecked, 0},
        CodeCase{"PartFolder", Input::Part, 1, Target::Folder, 0, 2, Outcome::NotChecked, 0},
        CodeCase{"MeshEmptyName", Input::Mesh, 1, Target::EmptyName, 0, 2, Outcome::NotChecked, 0},
        CodeCase{"PartEmptyName", Input::Part, 1, Target::EmptyName, 0, 2, Outcome::NotChecked, 0},
        CodeCase{"MeshDiskFull", Input::Mesh, kManyFaces, Target::DevFull, 0, 3,
                 Outcome::StoppedEarly, 0},
        CodeCase{"PartDiskFull", Input::Part, kManyFaces, Target::DevFull, 0, 3,
                 Outcome::StoppedEarly, 0},
        // One face stays in the buffer until the end; a full disk must still be reported.
        CodeCase{"MeshDiskFullOnClose", Input::Mesh, 1, Target::DevFull, 0, 3, Outcome::NotChecked,
                 0},
        CodeCase{"PartDiskFullOnClose", Input::Part, 1, Target::DevFull, 0, 3, Outcome::NotChecked,
                 0}),
    CaseName<CodeCase>);

class MeshExporter : public testing::Test {
protected:
    MeshExporter() { m_mesh.AddTriangle({{1000, 2000, 3000}, {0, 0, 0}, {0, 0, 1}}); }

    // An exporter set up on this test's file and mesh.
    MExportToDxf Exporter(const TempFile& file, const Matrix& transform = Matrix::identity()) {
        MExportToDxf exporter;
        exporter.SetExportFileName(file.WidePath());
        exporter.SetExportStl(&m_mesh, transform);
        return exporter;
    }

    // Moves x by 250, so a lost transform shows in the file.
    static Matrix Shifted() {
        Matrix shifted = Matrix::identity();
        shifted.m[12] = 250.0;
        return shifted;
    }

    UnitScope m_unit{1.0};
    MStlBase m_mesh;
};

// A moved-from exporter keeps its mesh (2, not 1) but has no file name to open.
TEST_F(MeshExporter, MoveTakesTheFileName) {
    TempFile file;
    MExportToDxf source = Exporter(file, Shifted());
    MExportToDxf moved(std::move(source));
    EXPECT_EQ(source.Operate(nullptr), MExportToDxf::eOpenError);
    EXPECT_EQ(moved.Operate(nullptr), MExportToDxf::eOk);

    MExportToDxf assigned;
    assigned = std::move(moved);
    EXPECT_EQ(moved.Operate(nullptr), MExportToDxf::eOpenError);
    EXPECT_EQ(assigned.Operate(nullptr), MExportToDxf::eOk);

    MExportToDxf& alias = assigned;
    assigned = std::move(alias);
    file.Write("");
    EXPECT_EQ(assigned.Operate(nullptr), MExportToDxf::eOk) << "self move lost the name";
    const std::vector<std::string> lines = Lines(file.Read());
    EXPECT_EQ(lines.size(), 46u);
    EXPECT_EQ(CornerValue(lines, 0, 0, 0), "1250.000000") << "the transform was not carried";
}

TEST_F(MeshExporter, CopyKeepsNameMeshAndTransform) {
    TempFile file;
    const MExportToDxf original = Exporter(file, Shifted());
    MExportToDxf copy(original);
    MExportToDxf assigned;
    assigned = original;
    for (MExportToDxf* exporter : {&copy, &assigned}) {
        file.Write("");
        ASSERT_EQ(exporter->Operate(nullptr), MExportToDxf::eOk);
        EXPECT_EQ(CornerValue(Lines(file.Read()), 0, 0, 0), "1250.000000");
    }
}

// Each run truncates: nothing of a longer earlier file or of the previous run remains.
TEST_F(MeshExporter, OperateTwiceWritesFromScratch) {
    TempFile file;
    file.Write(std::string(100000, 'x'));
    MExportToDxf exporter = Exporter(file);
    ASSERT_EQ(exporter.Operate(nullptr), MExportToDxf::eOk);
    const std::string first = file.Read();
    ASSERT_EQ(exporter.Operate(nullptr), MExportToDxf::eOk);
    EXPECT_EQ(file.Read(), first);
    EXPECT_EQ(Lines(first).size(), 46u);
    EXPECT_EQ(first.find('x'), std::string::npos);
}

}  // namespace
