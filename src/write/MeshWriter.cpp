// Triangle meshes written as polyface meshes (shared vertices) or as 3DFACEs, on a layer and in
// units.
// SPDX-License-Identifier: MIT
#include <charconv>     // std::to_chars
#include <cmath>        // std::isfinite
#include <cstdint>      // std::uint32_t, std::uint64_t
#include <cstring>      // std::memcpy
#include <optional>     // std::optional
#include <string>       // std::string, std::to_string
#include <string_view>  // std::string_view

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
    std::size_t used = 0;  // how many vertices the triangles use
    // For a polyface mesh: each used vertex's first used vertex at the same place, bit for bit.
    std::vector<std::size_t> same;
};

WriteResult Refused(const std::string& why) { return {EWriteResult::eInvalidInput, why}; }

// For each vertex the triangles use, the first one they use at exactly the same place: a mesh
// read from STL gives every triangle corners of its own, which a polyface mesh writes once. An
// open-addressing table of vertex numbers keyed by the coordinates' bits: no allocation per
// vertex, which a million-triangle mesh would feel.
std::vector<std::size_t> SameVertices(const ExportToDxf::PartData& part,
                                      const std::vector<Point3>& placed, std::size_t used) {
    const auto bits = [&](std::size_t v, int axis) {
        const double value = axis == 0 ? placed[v].x : axis == 1 ? placed[v].y : placed[v].z;
        std::uint64_t b;
        std::memcpy(&b, &value, sizeof b);
        return b;
    };
    const auto hash = [&](std::size_t v) {
        std::uint64_t h = bits(v, 0) * 0x9E3779B97F4A7C15ULL;
        h = (h ^ (h >> 29) ^ bits(v, 1)) * 0xBF58476D1CE4E5B9ULL;
        h = (h ^ (h >> 31) ^ bits(v, 2)) * 0x94D049BB133111EBULL;
        return h ^ (h >> 32);
    };
    const std::size_t none = part.vertices.size();
    std::size_t slots = 16;
    while (slots < 2 * used) slots *= 2;
    std::vector<std::size_t> table(slots, none);
    std::vector<std::size_t> same(part.vertices.size(), none);
    for (const auto& triangle : part.triangles) {
        for (const std::size_t v : triangle) {
            if (same[v] != none) continue;
            for (std::size_t at = hash(v) & (slots - 1);; at = (at + 1) & (slots - 1)) {
                const std::size_t held = table[at];
                if (held == none) {
                    table[at] = v;
                    same[v] = v;
                    break;
                }
                if (bits(held, 0) == bits(v, 0) && bits(held, 1) == bits(v, 1) &&
                    bits(held, 2) == bits(v, 2)) {
                    same[v] = held;
                    break;
                }
            }
        }
    }
    return same;
}

// Cuts the triangles into polyface meshes of at most kMaxPolyface vertices and faces. `mark`
// holds, for each vertex, the number (from 1) of the last mesh that used it.
std::vector<Chunk> Chunks(const ExportToDxf::PartData& part, const std::vector<std::size_t>& same) {
    std::vector<Chunk> chunks;
    std::vector<std::uint32_t> mark(part.vertices.size(), 0);
    Chunk chunk{0, 0, 0};
    auto number = static_cast<std::uint32_t>(1);
    for (std::size_t t = 0; t < part.triangles.size(); ++t) {
        std::size_t fresh = 0;
        for (const std::size_t v : part.triangles[t]) fresh += mark[same[v]] != number;
        if (t - chunk.first == kMaxPolyface || chunk.vertices + fresh > kMaxPolyface) {
            chunk.end = t;
            chunks.push_back(chunk);
            chunk = {t, t, 0};
            ++number;
        }
        for (const std::size_t v : part.triangles[t]) {
            if (mark[same[v]] != number) {
                mark[same[v]] = number;
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
            ++plan.used;
        }
    }
    if (options.entity == EMeshEntity::ePolyface) {
        plan.same = SameVertices(part, plan.placed, plan.used);
        plan.chunks = Chunks(part, plan.same);
    }
    return std::nullopt;
}

const WriteResult kWriteFailed{EWriteResult::eWriteError, "the file cannot be written"};

std::string Hex(std::uint64_t handle) {
    char text[17];
    char* end = std::to_chars(text, text + sizeof text, handle, 16).ptr;
    for (char* c = text; c < end; ++c) {
        if (*c >= 'a') *c = static_cast<char>(*c - 'a' + 'A');
    }
    return std::string(text, end);
}

// The groups of an entity that every one of its kind repeats, after its handle: the owner, the
// layer, the subclasses and, last, the code line of the group that follows. Entities written by
// the million are put together from these and their values: group by group, formatting costs
// more than the numbers do.
std::string Tail(bool r2000, std::uint64_t owner, const std::string& layer,
                 std::string_view subclasses, std::string_view next) {
    std::string tail;
    if (r2000) tail += "330\n" + Hex(owner) + "\n100\nAcDbEntity\n";
    tail += "  8\n" + layer + "\n";
    if (r2000) tail += subclasses;
    tail += next;
    return tail;
}

class MeshEmitter {
public:
    MeshEmitter(GroupWriter& out, DrawingFrame& frame, const Plan& plan,
                Vexlor::Common::IncrementalProgressReporter& progress)
        : m_out(out), m_frame(frame), m_plan(plan), m_progress(progress) {}

    WriteResult Faces(const ExportToDxf::PartData& part) {
        const std::string tail =
            Tail(m_frame.R2000(), m_frame.ModelSpace(), m_plan.layer, "100\nAcDbFace\n", " 10\n");
        static constexpr std::string_view kHead = "  0\n3DFACE\n  5\n";
        static constexpr std::string_view kCodes[12] = {" 20\n", " 30\n", " 11\n", " 21\n",
                                                        " 31\n", " 12\n", " 22\n", " 32\n",
                                                        " 13\n", " 23\n", " 33\n", ""};
        const std::size_t room = kHead.size() + tail.size() + 12 * (4 + GroupWriter::kValueRoom) +
                                 GroupWriter::kValueRoom;
        // A vertex shared by several faces is formatted once: numbers are what costs.
        const bool shared = m_plan.used <= part.triangles.size();
        if (shared) FormatVertices(part);
        for (const auto& triangle : part.triangles) {
            m_out.Reserve(room);
            m_out.Raw(kHead);
            m_out.RawHandle(m_frame.TakeHandle());
            m_out.Raw(tail);
            // The fourth corner repeats the third: a triangle as a face.
            for (int corner = 0; corner < 4; ++corner) {
                const std::size_t v = triangle[corner < 3 ? corner : 2];
                if (shared) {
                    const Text& text = m_texts[v];
                    const char* at = m_text.data() + text.start;
                    m_out.Raw({at, text.x});
                    m_out.Raw(kCodes[3 * corner]);
                    m_out.Raw({at + text.x, text.y});
                    m_out.Raw(kCodes[3 * corner + 1]);
                    m_out.Raw({at + text.x + text.y, text.z});
                } else {
                    const Point3& p = m_plan.placed[v];
                    m_out.RawNumber(p.x);
                    m_out.Raw(kCodes[3 * corner]);
                    m_out.RawNumber(p.y);
                    m_out.Raw(kCodes[3 * corner + 1]);
                    m_out.RawNumber(p.z);
                }
                m_out.Raw(kCodes[3 * corner + 2]);
            }
            if (!Step()) return m_stopped;
        }
        return {};
    }

    WriteResult Polyfaces(const ExportToDxf::PartData& part) {
        const bool r2000 = m_frame.R2000();
        // Each vertex's number in the mesh being written, valid where `mark` holds the mesh's.
        std::vector<std::uint32_t> mark(part.vertices.size(), 0);
        std::vector<std::uint32_t> local(part.vertices.size(), 0);
        std::vector<std::size_t> order;
        std::uint32_t number = 0;
        static constexpr std::string_view kHead = "  0\nVERTEX\n  5\n";
        for (const Chunk& chunk : m_plan.chunks) {
            ++number;
            order.clear();
            for (std::size_t t = chunk.first; t < chunk.end; ++t) {
                for (const std::size_t corner : part.triangles[t]) {
                    const std::size_t v = m_plan.same[corner];
                    if (mark[v] == number) continue;
                    mark[v] = number;
                    order.push_back(v);
                    local[v] = static_cast<std::uint32_t>(order.size());  // numbered from 1
                }
            }
            const std::uint64_t mesh = m_frame.StartEntity("POLYLINE", m_plan.layer);
            if (r2000) m_out.Text(100, "AcDbPolyFaceMesh");
            m_out.Integer(66, 1);  // vertices follow
            m_out.Point3(10, 0, 0, 0);
            m_out.Integer(70, 64);  // a polyface mesh
            m_out.Integer(71, static_cast<long long>(order.size()));
            m_out.Integer(72, static_cast<long long>(chunk.end - chunk.first));
            // A vertex of the mesh: flags 64 (of a 3D mesh) and 128 (of a polyface mesh).
            const std::string vertexTail =
                Tail(r2000, mesh, m_plan.layer, "100\nAcDbVertex\n100\nAcDbPolyFaceMeshVertex\n",
                     " 10\n");
            for (const std::size_t v : order) {
                m_out.Reserve(kHead.size() + vertexTail.size() + 4 * GroupWriter::kValueRoom + 24);
                m_out.Raw(kHead);
                m_out.RawHandle(m_frame.TakeHandle());
                m_out.Raw(vertexTail);
                const Point3& p = m_plan.placed[v];
                m_out.RawNumber(p.x);
                m_out.Raw(" 20\n");
                m_out.RawNumber(p.y);
                m_out.Raw(" 30\n");
                m_out.RawNumber(p.z);
                m_out.Raw(" 70\n192\n");
                if (!m_out.Spill()) return kWriteFailed;
            }
            // A face record (flag 128) at the origin, naming its three vertices.
            const std::string faceTail = Tail(r2000, mesh, m_plan.layer, "100\nAcDbFaceRecord\n",
                                              " 10\n0\n 20\n0\n 30\n0\n 70\n128\n 71\n");
            for (std::size_t t = chunk.first; t < chunk.end; ++t) {
                m_out.Reserve(kHead.size() + faceTail.size() + 4 * GroupWriter::kValueRoom + 8);
                m_out.Raw(kHead);
                m_out.RawHandle(m_frame.TakeHandle());
                m_out.Raw(faceTail);
                const auto& triangle = part.triangles[t];
                const std::vector<std::size_t>& same = m_plan.same;
                m_out.RawInteger(local[same[triangle[0]]]);
                m_out.Raw(" 72\n");
                m_out.RawInteger(local[same[triangle[1]]]);
                m_out.Raw(" 73\n");
                m_out.RawInteger(local[same[triangle[2]]]);
                if (!Step()) return m_stopped;
            }
            m_frame.StartEntity("SEQEND", m_plan.layer, mesh);
        }
        return {};
    }

private:
    // Where the text of a vertex's three numbers, each with its line end, starts in `m_text`,
    // and the length of each.
    struct Text {
        std::size_t start = 0;
        std::uint8_t x = 0, y = 0, z = 0;
    };

    void FormatVertices(const ExportToDxf::PartData& part) {
        m_texts.assign(part.vertices.size(), Text{});
        std::vector<bool> done(part.vertices.size(), false);
        for (const auto& triangle : part.triangles) {
            for (const std::size_t v : triangle) {
                if (done[v]) continue;
                done[v] = true;
                Text& text = m_texts[v];
                text.start = m_text.size();
                const Point3& p = m_plan.placed[v];
                text.x = Append(p.x);
                text.y = Append(p.y);
                text.z = Append(p.z);
            }
        }
    }

    std::uint8_t Append(double value) {
        char number[32];
        char* end = std::to_chars(number, number + sizeof number - 1, value).ptr;
        *end++ = '\n';
        m_text.insert(m_text.end(), number, end);
        return static_cast<std::uint8_t>(end - number);
    }

    // One triangle written: false when the export stops, `m_stopped` saying why.
    bool Step() {
        if (!m_out.Spill()) {
            m_stopped = kWriteFailed;
            return false;
        }
        ++m_progress;
        if (!m_progress.IsCancelled()) return true;
        m_stopped = {EWriteResult::eCancelled, ""};
        return false;
    }

    GroupWriter& m_out;
    DrawingFrame& m_frame;
    const Plan& m_plan;
    Vexlor::Common::IncrementalProgressReporter& m_progress;
    WriteResult m_stopped;
    std::vector<Text> m_texts;
    std::vector<char> m_text;
};

WriteResult Emit(std::ostream& stream, const ExportToDxf::PartData& part,
                 const MeshWriteOptions& options, const Plan& plan,
                 const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate) {
    const bool polyface = options.entity == EMeshEntity::ePolyface;
    std::uint64_t handles = 0;
    if (polyface) {
        // A POLYLINE, its vertices, a face record per triangle and a SEQEND.
        for (const Chunk& chunk : plan.chunks) {
            handles += 2 + chunk.vertices + chunk.end - chunk.first;
        }
    } else {
        handles = part.triangles.size();
    }
    GroupWriter out(stream);
    DrawingFrame frame(out, options.version, options.units, plan.extent, plan.table, handles);
    frame.Begin();
    Vexlor::Common::IncrementalProgressReporter progress(delegate, "DXF mesh export",
                                                         part.triangles.size(), true);
    MeshEmitter emitter(out, frame, plan, progress);
    const WriteResult result = polyface ? emitter.Polyfaces(part) : emitter.Faces(part);
    if (result.result != EWriteResult::eOk) return result;
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
