// Triangle meshes written as polyface meshes (shared vertices) or as 3DFACEs, on a layer and in
// units.
// SPDX-License-Identifier: MIT
#include <cmath>     // std::isfinite
#include <cstdint>   // std::uint32_t, std::uint64_t
#include <optional>  // std::optional
#include <string>    // std::string, std::to_string

#include "IncrementalProgressReporter.h"
#include "VexlorDxfWriter.h"
#include "write/DrawingFrame.h"
#include "write/FileReplacement.h"
#include "write/GroupWriter.h"

namespace Vexlor::Dxf {

namespace {

using Point3 = Vexlor::Math::point<double, 3>;

// The format counts a polyface mesh's vertices and faces, and numbers its vertices, in 16-bit
// integers.
constexpr std::size_t kMaxPolyface = 32767;

// The triangles of one polyface mesh, [first, end), and how many vertices they use.
struct Chunk {
    std::size_t first;
    std::size_t end;
    std::size_t vertices;
};

struct Plan {
    LayerTable table;
    std::string layer;
    std::vector<Point3> placed;  // the placed vertices; those no triangle uses are left as zero
    Extent extent;
    std::vector<Chunk> chunks;
};

WriteResult Refused(const std::string& why) { return {EWriteResult::eInvalidInput, why}; }

// Cuts the triangles into polyface meshes of at most kMaxPolyface vertices and faces. `mark`
// holds, for each vertex, the number (from 1) of the last mesh that used it.
std::vector<Chunk> Chunks(const ExportToDxf::PartData& part) {
    std::vector<Chunk> chunks;
    std::vector<std::uint32_t> mark(part.vertices.size(), 0);
    Chunk chunk{0, 0, 0};
    auto number = static_cast<std::uint32_t>(1);
    for (std::size_t t = 0; t < part.triangles.size(); ++t) {
        std::size_t fresh = 0;
        for (const std::size_t v : part.triangles[t]) fresh += mark[v] != number;
        if (t - chunk.first == kMaxPolyface || chunk.vertices + fresh > kMaxPolyface) {
            chunk.end = t;
            chunks.push_back(chunk);
            chunk = {t, t, 0};
            ++number;
        }
        for (const std::size_t v : part.triangles[t]) {
            if (mark[v] != number) {
                mark[v] = number;
                ++chunk.vertices;
            }
        }
    }
    chunk.end = part.triangles.size();
    chunks.push_back(chunk);
    return chunks;
}

std::optional<WriteResult> Prepare(const ExportToDxf::PartData& part,
                                   const MeshWriteOptions& options, Plan& plan) {
    CheckUnits(options.units, "WriteMesh");
    if (part.triangles.empty()) return Refused("the mesh has no triangle");
    const std::string& layer = options.layer.empty() ? std::string("0") : options.layer;
    const std::string problem = LayerNameProblem(layer);
    if (!problem.empty()) return Refused(problem);
    plan.layer = plan.table.Add(layer);
    plan.placed.assign(part.vertices.size(), Point3{0, 0, 0});
    std::vector<bool> used(part.vertices.size(), false);
    const double* m = part.transform.m;
    for (std::size_t t = 0; t < part.triangles.size(); ++t) {
        for (const std::size_t v : part.triangles[t]) {
            if (v >= part.vertices.size()) {
                return Refused("triangle " + std::to_string(t) + ": vertex " + std::to_string(v) +
                               " is not below the vertex count " +
                               std::to_string(part.vertices.size()));
            }
            if (used[v]) continue;
            used[v] = true;
            const Point3& p = part.vertices[v];
            const Point3 q{m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                           m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                           m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
            if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) {
                return Refused("triangle " + std::to_string(t) + ": vertex " + std::to_string(v) +
                               " is not finite where it is placed");
            }
            plan.placed[v] = q;
            plan.extent.Add(q.x, q.y, q.z);
        }
    }
    if (options.entity == EMeshEntity::ePolyface) plan.chunks = Chunks(part);
    return std::nullopt;
}

const WriteResult kWriteFailed{EWriteResult::eWriteError, "the file cannot be written"};

WriteResult Emit(std::ostream& stream, const ExportToDxf::PartData& part,
                 const MeshWriteOptions& options, const Plan& plan,
                 const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate) {
    const bool polyface = options.entity == EMeshEntity::ePolyface;
    std::uint64_t handles = 0;
    if (polyface) {
        // A POLYLINE, its vertices, a face record per triangle and a SEQEND.
        for (const Chunk& chunk : plan.chunks)
            handles += 2 + chunk.vertices + chunk.end - chunk.first;
    } else {
        handles = part.triangles.size();
    }
    GroupWriter out(stream);
    DrawingFrame frame(out, options.version, options.units, plan.extent, plan.table, handles);
    const bool r2000 = frame.R2000();
    frame.Begin();
    Vexlor::Common::IncrementalProgressReporter progress(delegate, "DXF mesh export",
                                                         part.triangles.size(), true);
    const std::string& layer = plan.layer;
    if (!polyface) {
        for (const auto& triangle : part.triangles) {
            frame.StartEntity("3DFACE", layer);
            if (r2000) out.Text(100, "AcDbFace");
            for (int corner = 0; corner < 4; ++corner) {
                const Point3& p = plan.placed[triangle[corner < 3 ? corner : 2]];
                out.Point3(10 + corner, p.x, p.y, p.z);
            }
            if (!out.Spill()) return kWriteFailed;
            ++progress;
            if (progress.IsCancelled()) return {EWriteResult::eCancelled, ""};
        }
    } else {
        // Each vertex's number in the mesh being written, valid where `mark` holds its number.
        std::vector<std::uint32_t> mark(part.vertices.size(), 0);
        std::vector<std::uint32_t> local(part.vertices.size(), 0);
        std::vector<std::size_t> order;
        std::uint32_t number = 0;
        for (const Chunk& chunk : plan.chunks) {
            ++number;
            order.clear();
            for (std::size_t t = chunk.first; t < chunk.end; ++t) {
                for (const std::size_t v : part.triangles[t]) {
                    if (mark[v] == number) continue;
                    mark[v] = number;
                    order.push_back(v);
                    local[v] = static_cast<std::uint32_t>(order.size());  // numbered from 1
                }
            }
            const std::uint64_t mesh = frame.StartEntity("POLYLINE", layer);
            if (r2000) out.Text(100, "AcDbPolyFaceMesh");
            out.Integer(66, 1);
            out.Point3(10, 0, 0, 0);
            out.Integer(70, 64);
            out.Integer(71, static_cast<long long>(order.size()));
            out.Integer(72, static_cast<long long>(chunk.end - chunk.first));
            for (const std::size_t v : order) {
                frame.StartEntity("VERTEX", layer, mesh);
                if (r2000) {
                    out.Text(100, "AcDbVertex");
                    out.Text(100, "AcDbPolyFaceMeshVertex");
                }
                const Point3& p = plan.placed[v];
                out.Point3(10, p.x, p.y, p.z);
                out.Integer(70, 192);  // a polyface mesh's vertex: 64 (3D mesh) and 128 (face)
                if (!out.Spill()) return kWriteFailed;
            }
            for (std::size_t t = chunk.first; t < chunk.end; ++t) {
                frame.StartEntity("VERTEX", layer, mesh);
                if (r2000) out.Text(100, "AcDbFaceRecord");
                out.Point3(10, 0, 0, 0);
                out.Integer(70, 128);  // a face record
                for (int corner = 0; corner < 3; ++corner) {
                    out.Integer(71 + corner, local[part.triangles[t][corner]]);
                }
                if (!out.Spill()) return kWriteFailed;
                ++progress;
                if (progress.IsCancelled()) return {EWriteResult::eCancelled, ""};
            }
            frame.StartEntity("SEQEND", layer, mesh);
        }
    }
    frame.End();
    if (!out.Flush()) return kWriteFailed;
    return {};
}

}  // namespace

WriteResult WriteMesh(std::ostream& out, const ExportToDxf::PartData& part,
                      const MeshWriteOptions& options,
                      std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    Plan plan;
    if (std::optional<WriteResult> refused = Prepare(part, options, plan)) return *refused;
    WriteResult result = Emit(out, part, options, plan, delegate);
    if (result.result == EWriteResult::eOk) out.flush();
    if (result.result == EWriteResult::eOk && out.fail()) {
        result = {EWriteResult::eWriteError, "the stream failed"};
    }
    return result;
}

WriteResult WriteMesh(const std::filesystem::path& path, const ExportToDxf::PartData& part,
                      const MeshWriteOptions& options,
                      std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    Plan plan;
    if (std::optional<WriteResult> refused = Prepare(part, options, plan)) return *refused;
    return WriteReplacing(
        path, [&](std::ostream& out) { return Emit(out, part, options, plan, delegate); });
}

WriteResult WriteMesh(const std::wstring& path, const ExportToDxf::PartData& part,
                      const MeshWriteOptions& options,
                      std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    const std::optional<std::filesystem::path> file = FilePathOf(path);
    if (!file) {
        Plan plan;
        if (std::optional<WriteResult> refused = Prepare(part, options, plan)) return *refused;
        return {EWriteResult::eOpenError, "the path names no file"};
    }
    return WriteMesh(*file, part, options, std::move(delegate));
}

}  // namespace Vexlor::Dxf
