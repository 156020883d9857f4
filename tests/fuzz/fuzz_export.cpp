// Fuzz harness: export of arbitrary part records and meshes, with the written file read back.
// SPDX-License-Identifier: MIT
#include <unistd.h>  // getpid

#include <array>       // std::array
#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t, std::int32_t
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <limits>      // std::numeric_limits
#include <memory>      // std::shared_ptr, std::make_shared
#include <sstream>     // std::ostringstream
#include <string>      // std::string, std::wstring
#include <vector>      // std::vector

#include "CDXFReader.h"
#include "ExportToDxf.h"
#include "FuzzInput.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MInternalUnits.h"
#include "MStlBase.h"

namespace {

using Point3 = Vexlor::Math::point<double, 3>;
using Matrix = Vexlor::Math::matrix4x4<double>;
using VexlorDxfFuzz::Check;
using VexlorDxfFuzz::FuzzInput;
using VexlorDxfFuzz::ScratchFolder;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kValues[] = {
    0.0,     -0.0,   1.0,   -1.0,       0.5,
    1e-7,    5e-7,   -5e-7, 123.456789, 1e38,
    1e300,   -1e300, kInf,  -kInf,      std::numeric_limits<double>::quiet_NaN(),
    2.5e-324};

// Answers "stop" from its `cancelAt`-th question on (0: never); counts the questions.
class StoppingDelegate : public Vexlor::Common::IProgressDelegate {
public:
    explicit StoppingDelegate(std::size_t cancelAt) : m_cancelAt(cancelAt) {}
    void OnProgress(const std::string&, std::size_t value, std::size_t maxValue) override {
        Check(value <= maxValue, "progress beyond its maximum");
    }
    bool IsCancelRequested() override { return m_cancelAt != 0 && ++m_questions >= m_cancelAt; }

private:
    std::size_t m_cancelAt;
    std::size_t m_questions = 0;
};

// Reads the written file back group by group with the library's own group reader.
struct GroupProbe : CDXFReader {
    using CDXFReader::_ReadGroup;
    EReturnCode _PostProcess() override { return eOk; }
};

struct Group {
    unsigned short code;
    std::wstring value;
};

const std::filesystem::path& OutputPath() {
    static const VexlorDxfFuzz::ScratchPath path(
        ScratchFolder() / ("vexlor_dxf_fuzz_export_" + std::to_string(getpid()) + ".dxf"));
    return path.Get();
}

std::wstring Widened(const std::string& narrow) {
    return std::wstring(narrow.begin(), narrow.end());
}

std::vector<Group> ReadBack() {
    std::ifstream stream(OutputPath());
    GroupProbe probe;
    std::vector<Group> groups;
    Group group{0, L""};
    while (probe._ReadGroup(stream, group.code, group.value) > 0) groups.push_back(group);
    return groups;
}

// Any 32-bit pattern, the extremes included.
std::int32_t Int32(FuzzInput& input) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(input.Below(std::size_t{1} << 32)));
}

double Value(FuzzInput& input) { return input.Flag() ? input.Pick(kValues) : input.RawDouble(); }

Point3 Placed(const Matrix& t, const Point3& v) {
    const double* m = t.m;
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12],
            m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13],
            m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]};
}

std::wstring Fixed(double value) {
    std::ostringstream out;
    out << std::fixed << value;
    return Widened(out.str());
}

// The file holds the header, `faces` (three corners each, the last repeated) and, when
// `complete`, the closing groups, and nothing else.
void CheckFile(const std::vector<std::array<Point3, 3>>& faces, bool complete) {
    const std::vector<Group> groups = ReadBack();
    const std::vector<Group> preamble{{0, L"SECTION"}, {2, L"HEADER"}, {9, L"$ACADVER"},
                                      {1, L"AC1009"},  {0, L"ENDSEC"}, {0, L"SECTION"},
                                      {2, L"ENTITIES"}};
    const std::size_t expected = preamble.size() + 14 * faces.size() + (complete ? 2 : 0);
    Check(groups.size() == expected, "the file holds the wrong number of groups");
    std::size_t g = 0;
    for (const Group& want : preamble) {
        Check(groups[g].code == want.code && groups[g].value == want.value, "header differs");
        ++g;
    }
    for (const auto& face : faces) {
        Check(groups[g].code == 0 && groups[g].value == L"3DFACE", "face marker differs");
        Check(groups[g + 1].code == 8 && groups[g + 1].value == L"0", "face layer differs");
        g += 2;
        for (int corner = 0; corner < 4; ++corner) {
            const Point3& p = face[corner < 3 ? corner : 2];
            const double axes[] = {p.x, p.y, p.z};
            for (int axis = 0; axis < 3; ++axis) {
                const unsigned short code = static_cast<unsigned short>(10 * (axis + 1) + corner);
                Check(groups[g].code == code && groups[g].value == Fixed(axes[axis]),
                      "a corner coordinate differs");
                ++g;
            }
        }
    }
    if (complete) {
        Check(groups[g].value == L"ENDSEC" && groups[g + 1].value == L"EOF", "closing differs");
    }
}

void ExportRecord(FuzzInput& input, std::size_t cancelAt) {
    ExportToDxf::PartData part;
    part.vertices.resize(input.Below(12));
    for (Point3& v : part.vertices) v = {Value(input), Value(input), Value(input)};
    if (input.Flag()) {
        for (double& m : part.transform.m) m = Value(input);
    }
    part.triangles.resize(input.Below(24));
    bool inRange = true;
    // Now and then an index one past the last vertex, which the record must not hold.
    for (auto& triangle : part.triangles) {
        for (std::size_t& index : triangle) {
            index = input.Below(part.vertices.size() + 1);
            inRange = inRange && index < part.vertices.size();
        }
    }
    const ExportToDxf::ReturnCode result = ExportToDxf::Operate(
        Widened(OutputPath().string()), part, std::make_shared<StoppingDelegate>(cancelAt));
    if (part.triangles.empty() || !inRange) {
        Check(result == ExportToDxf::eWriteError, "a rejected record gave another result");
        Check(!std::filesystem::exists(OutputPath()), "a rejected record touched the file");
        return;
    }
    const bool cancelled = cancelAt != 0 && cancelAt <= part.triangles.size();
    Check(result == (cancelled ? ExportToDxf::eCancelled : ExportToDxf::eOk), "record result");
    std::vector<std::array<Point3, 3>> faces;
    for (std::size_t i = 0; i < (cancelled ? cancelAt : part.triangles.size()); ++i) {
        const auto& t = part.triangles[i];
        faces.push_back({Placed(part.transform, part.vertices[t[0]]),
                         Placed(part.transform, part.vertices[t[1]]),
                         Placed(part.transform, part.vertices[t[2]])});
    }
    CheckFile(faces, !cancelled);
}

void ExportMesh(FuzzInput& input, std::size_t cancelAt) {
    MStlBase mesh;
    const std::size_t count = input.Below(24);
    std::vector<std::array<MStlVertex, 3>> corners(count);
    for (auto& triangle : corners) {
        for (MStlVertex& v : triangle) {
            v = {Int32(input), Int32(input), Int32(input)};
        }
        mesh.AddTriangle(MStlTriangle(triangle[0], triangle[1], triangle[2]));
    }
    Matrix transform = Matrix::identity();
    if (input.Flag()) {
        for (double& m : transform.m) m = Value(input);
    }
    MExportToDxf exporter;
    exporter.SetExportFileName(Widened(OutputPath().string()));
    exporter.SetExportStl(&mesh, transform);
    const MExportToDxf::ERCode result =
        exporter.Operate(std::make_shared<StoppingDelegate>(cancelAt));
    const bool cancelled = cancelAt != 0 && cancelAt <= count;
    if (count == 0) {
        Check(result == MExportToDxf::eWriteError, "an empty mesh gave another result");
    } else {
        Check(result == (cancelled ? MExportToDxf::eCancelled : MExportToDxf::eOk), "mesh result");
    }
    const double unit = Vexlor::Common::MInternalUnits::Get();
    std::vector<std::array<Point3, 3>> faces;
    for (std::size_t i = 0; i < (cancelled ? cancelAt : count); ++i) {
        std::array<Point3, 3> face;
        for (std::size_t k = 0; k < 3; ++k) {
            const MStlVertex& v = corners[i][k];
            const Point3 placed = Placed(
                transform,
                {static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z)});
            face[k] = {placed.x / unit, placed.y / unit, placed.z / unit};
        }
        faces.push_back(face);
    }
    CheckFile(faces, !cancelled);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool mesh = input.Flag();
    const std::size_t cancelAt = input.Below(26);
    std::filesystem::remove(OutputPath());
    if (mesh) {
        ExportMesh(input, cancelAt);
    } else {
        ExportRecord(input, cancelAt);
    }
    return 0;
}
