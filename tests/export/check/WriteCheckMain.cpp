// The writers' round trips for scripts/check-written.py: a drawing imported, written in both
// versions and imported again; meshes made and written in every form, with their triangles.
// SPDX-License-Identifier: MIT
//
//   vexlor-dxf-write-check contours IN.dxf OUT_PREFIX
//       imports IN.dxf (default options), writes OUT_PREFIX.r2000.dxf and OUT_PREFIX.r12.dxf,
//       imports each and compares points (bit for bit), layers and closed flags with the first
//       import. Prints one line per file written. Status 0: all the same; 1: a difference;
//       3: IN.dxf gives no contours to write (nothing written).
//   vexlor-dxf-write-check mesh N OUT_PREFIX
//       writes a mesh of about N triangles as OUT_PREFIX.{polyface,3dface}.{r2000,r12}.dxf and
//       its placed triangles as OUT_PREFIX.tri: one line of nine shortest numbers per triangle.
//   vexlor-dxf-write-check time MESH.idx OUT.dxf polyface|3dface|frozen
//       reads an indexed mesh of the workload generator and writes it with the polyface writer,
//       the new 3DFACE writer or the frozen ExportToDxf::Operate; prints the seconds the write
//       took (bench/write-mesh.sh pairs the runs).
#include <charconv>  // std::to_chars
#include <chrono>    // std::chrono::steady_clock
#include <cmath>     // std::sin, std::cos, std::sqrt
#include <cstdint>   // std::uint64_t, std::uint32_t
#include <cstdio>    // std::printf
#include <cstring>   // std::memcmp
#include <fstream>   // std::ofstream
#include <string>    // std::string

#include "VexlorDxfContours.h"
#include "VexlorDxfUnits.h"
#include "VexlorDxfWriter.h"

namespace {

using namespace Vexlor::Dxf;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Where `again` differs from `first`, or an empty string.
std::string Difference(const ContourImport& first, const ContourImport& again) {
    if (again.contours.size() != first.contours.size()) {
        return std::to_string(again.contours.size()) + " contours, not " +
               std::to_string(first.contours.size());
    }
    for (std::size_t i = 0; i < first.contours.size(); ++i) {
        const Contour& a = first.contours[i];
        const Contour& b = again.contours[i];
        const std::string at = "contour " + std::to_string(i) + ": ";
        if (a.layer != b.layer) return at + "layer " + b.layer + ", not " + a.layer;
        if (a.polyline.closed != b.polyline.closed) return at + "closed flag";
        if (a.polyline.points.size() != b.polyline.points.size()) return at + "point count";
        for (std::size_t k = 0; k < a.polyline.points.size(); ++k) {
            const auto& p = a.polyline.points[k];
            const auto& q = b.polyline.points[k];
            if (!SameBits(p.x, q.x) || !SameBits(p.y, q.y)) {
                return at + "point " + std::to_string(k);
            }
        }
    }
    return "";
}

int Contours(const std::string& in, const std::string& prefix) {
    const ContourImport first = ImportContours(std::filesystem::u8path(in));
    if (first.contours.empty()) {
        std::printf("%s: no contours (result %d)\n", in.c_str(), static_cast<int>(first.result));
        return 3;
    }
    int status = 0;
    for (const EDxfVersion version : {EDxfVersion::eR2000, EDxfVersion::eR12}) {
        const std::string out =
            prefix + (version == EDxfVersion::eR2000 ? ".r2000.dxf" : ".r12.dxf");
        ContourWriteOptions options;
        options.version = version;
        options.units = FindUnit(first.units) ? first.units : 0;
        const WriteResult written =
            WriteContours(std::filesystem::u8path(out), first.contours, options);
        if (written.result != EWriteResult::eOk) {
            std::printf("%s: not written (%d): %s\n", out.c_str(), static_cast<int>(written.result),
                        written.error.c_str());
            status = 1;
            continue;
        }
        // Linking as the first import linked, whatever the written drawing's chord tolerance.
        ContourOptions again;
        again.linkingDistance = first.linkingDistance;
        again.linkWithinTolerance = false;
        const std::string difference =
            Difference(first, ImportContours(std::filesystem::u8path(out), again));
        std::printf("%s: %zu contours%s%s\n", out.c_str(), first.contours.size(),
                    difference.empty() ? ", the same" : ", differs: ", difference.c_str());
        if (!difference.empty()) status = 1;
    }
    return status;
}

void Append(std::string& line, double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    if (!line.empty()) line += ' ';
    line.append(text, end);
}

// A wavy closed tube of about `count` triangles, its coordinates odd fractions, placed by a
// transform with a rotation and a shift: vertices shared by up to six triangles.
ExportToDxf::PartData Tube(std::size_t count) {
    ExportToDxf::PartData part;
    const std::size_t around = 24;
    const std::size_t rings = count / (2 * around) + 2;
    for (std::size_t r = 0; r < rings; ++r) {
        for (std::size_t a = 0; a < around; ++a) {
            const double angle = 6.283185307179586 * static_cast<double>(a) / around;
            const double radius = 10 + std::sin(static_cast<double>(r) / 3.0);
            part.vertices.push_back(
                {radius * std::cos(angle), radius * std::sin(angle), static_cast<double>(r) / 7.0});
        }
    }
    for (std::size_t r = 0; r + 1 < rings; ++r) {
        for (std::size_t a = 0; a < around; ++a) {
            const std::size_t i = r * around + a, j = r * around + (a + 1) % around;
            part.triangles.push_back({i, j, j + around});
            part.triangles.push_back({i, j + around, i + around});
        }
    }
    double* m = part.transform.m;
    m[0] = 0.6, m[1] = 0.8, m[4] = -0.8, m[5] = 0.6, m[12] = 100.25, m[13] = -3.5, m[14] = 1e-3;
    return part;
}

int Mesh(std::size_t count, const std::string& prefix) {
    const ExportToDxf::PartData part = Tube(count);
    std::ofstream triangles(prefix + ".tri", std::ios::binary);
    const double* m = part.transform.m;
    for (const auto& t : part.triangles) {
        std::string line;
        for (const std::size_t v : t) {
            const auto& p = part.vertices[v];
            Append(line, m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12]);
            Append(line, m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13]);
            Append(line, m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
        }
        triangles << line << '\n';
    }
    int status = triangles ? 0 : 1;
    for (const EMeshEntity entity : {EMeshEntity::ePolyface, EMeshEntity::e3DFace}) {
        for (const EDxfVersion version : {EDxfVersion::eR2000, EDxfVersion::eR12}) {
            MeshWriteOptions options;
            options.entity = entity;
            options.version = version;
            options.layer = "Mesh";
            options.units = 4;
            const std::string out = prefix +
                                    (entity == EMeshEntity::ePolyface ? ".polyface" : ".3dface") +
                                    (version == EDxfVersion::eR2000 ? ".r2000.dxf" : ".r12.dxf");
            const WriteResult written = WriteMesh(std::filesystem::u8path(out), part, options);
            std::printf("%s: %zu triangles%s%s\n", out.c_str(), part.triangles.size(),
                        written.result == EWriteResult::eOk ? "" : ", not written: ",
                        written.error.c_str());
            if (written.result != EWriteResult::eOk) status = 1;
        }
    }
    return status;
}

// The indexed mesh the workload generator writes: "MESHIDX1", vertex and triangle counts, then
// the vertices as doubles and the triangles as 32-bit indices.
bool ReadIndexedMesh(const std::string& path, ExportToDxf::PartData& part) {
    std::ifstream in(path, std::ios::binary);
    char magic[8];
    std::uint64_t counts[2] = {0, 0};
    if (!in.read(magic, 8) || std::memcmp(magic, "MESHIDX1", 8) != 0) return false;
    in.read(reinterpret_cast<char*>(counts), sizeof counts);
    if (!in || counts[0] > (std::uint64_t{1} << 28) || counts[1] > (std::uint64_t{1} << 28)) {
        return false;
    }
    part.vertices.resize(counts[0]);
    for (auto& v : part.vertices) {
        double xyz[3];
        in.read(reinterpret_cast<char*>(xyz), sizeof xyz);
        v = {xyz[0], xyz[1], xyz[2]};
    }
    part.triangles.resize(counts[1]);
    for (auto& t : part.triangles) {
        std::uint32_t abc[3];
        in.read(reinterpret_cast<char*>(abc), sizeof abc);
        t = {abc[0], abc[1], abc[2]};
    }
    return static_cast<bool>(in);
}

int Time(const std::string& mesh, const std::string& out, const std::string& writer) {
    ExportToDxf::PartData part;
    if (!ReadIndexedMesh(mesh, part)) {
        std::fprintf(stderr, "%s: not an indexed mesh\n", mesh.c_str());
        return 2;
    }
    MeshWriteOptions options;
    options.entity = writer == "3dface" ? EMeshEntity::e3DFace : EMeshEntity::ePolyface;
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    if (writer == "frozen") {
        const std::wstring wide(out.begin(), out.end());
        ok = ExportToDxf::Operate(wide, part, nullptr) == ExportToDxf::eOk;
    } else {
        ok = WriteMesh(std::filesystem::u8path(out), part, options).result == EWriteResult::eOk;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", seconds.count());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 4 || argc == 5 ? argv[1] : "";
    if (mode == "time" && argc == 5) return Time(argv[2], argv[3], argv[4]);
    if (mode == "contours") return Contours(argv[2], argv[3]);
    if (mode == "mesh") return Mesh(std::stoul(argv[2]), argv[3]);
    std::fprintf(stderr,
                 "usage: %s contours IN.dxf OUT_PREFIX | mesh N OUT_PREFIX | time MESH.idx OUT.dxf "
                 "polyface|3dface|frozen\n",
                 argv[0]);
    return 2;
}
