// Times one operation in a fresh process and reports its peak memory, for the benchmark table.
// Usage: vexlor_dxf_measure import FILE | accurate FILE | floor FILE | tokenize FILE |
//        export MESH.idx OUT.dxf | lines N OUT.dxf
// ("lines" writes the drawing of N shuffled LINE pieces that the scaling benchmarks import).
// SPDX-License-Identifier: MIT
#include <sys/resource.h>  // getrusage

#include <chrono>   // std::chrono
#include <cstdint>  // std::uint64_t
#include <cstdio>   // std::printf
#include <cstdlib>  // std::strtoul
#include <cstring>  // std::memcmp
#include <fstream>  // std::ifstream
#include <string>   // std::string

#include "ExportToDxf.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "VexlorDxfContours.h"
#include "workloads.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::wstring Wide(const std::string& narrow) { return std::wstring(narrow.begin(), narrow.end()); }

// The indexed mesh the workload generator writes: "MESHIDX1", vertex and triangle counts,
// then the vertices as doubles and the triangles as 32-bit indices.
bool ReadIndexedMesh(const std::string& path, ExportToDxf::PartData& part) {
    std::ifstream in(path, std::ios::binary);
    char magic[8];
    std::uint64_t vertices = 0;
    std::uint64_t triangles = 0;
    if (!in.read(magic, 8) || std::memcmp(magic, "MESHIDX1", 8) != 0) return false;
    in.read(reinterpret_cast<char*>(&vertices), 8);
    in.read(reinterpret_cast<char*>(&triangles), 8);
    part.vertices.resize(vertices);
    for (auto& v : part.vertices) {
        double xyz[3];
        in.read(reinterpret_cast<char*>(xyz), sizeof xyz);
        v = {xyz[0], xyz[1], xyz[2]};
    }
    part.triangles.resize(triangles);
    for (auto& t : part.triangles) {
        std::uint32_t abc[3];
        in.read(reinterpret_cast<char*>(abc), sizeof abc);
        t = {abc[0], abc[1], abc[2]};
    }
    part.transform = Vexlor::Math::matrix4x4<double>::identity();
    return static_cast<bool>(in);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: %s import FILE | accurate FILE | floor FILE | tokenize FILE | export MESH.idx "
            "OUT.dxf | lines N OUT.dxf\n",
            argv[0]);
        return 64;
    }
    const std::string mode = argv[1];
    if (mode == "lines") {
        char* rest = nullptr;
        const unsigned long count = argc < 4 ? 0 : std::strtoul(argv[2], &rest, 10);
        if (count == 0 || *rest != '\0') return 64;
        std::ofstream out(argv[3], std::ios::binary);
        out << VexlorDxfBench::LinesDrawing(count);
        return out ? 0 : 73;
    }
    const long startKilobytes = PeakKilobytes();
    if (mode == "export") {
        if (argc < 4) return 64;
        ExportToDxf::PartData part;
        if (!ReadIndexedMesh(argv[2], part)) return 65;
        const long inputKilobytes = PeakKilobytes();
        const auto start = std::chrono::steady_clock::now();
        const int result = ExportToDxf::Operate(Wide(argv[3]), part, nullptr);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("result %d seconds %.4f peak_kb %ld input_peak_kb %ld\n", result, seconds,
                    PeakKilobytes(), inputKilobytes);
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    if (mode == "floor") {
        const std::string text = VexlorDxfBench::ReadFile(argv[2]);
        const double checksum = VexlorDxfBench::TokenizeFloor(text);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("checksum %g seconds %.4f peak_kb %ld start_kb %ld\n", checksum, seconds,
                    PeakKilobytes(), startKilobytes);
        return 0;
    }
    if (mode == "tokenize") {
        const std::size_t groups = VexlorDxfBench::TokenizeGroups(argv[2]);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("groups %zu seconds %.4f peak_kb %ld start_kb %ld\n", groups, seconds,
                    PeakKilobytes(), startKilobytes);
        return 0;
    }
    if (mode == "accurate") {
        // The accurate import, with its default tolerance (1e-5 of the drawing's extent).
        const Vexlor::Dxf::ContourImport import = Vexlor::Dxf::ImportContours(Wide(argv[2]));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::size_t points = 0;
        for (const auto& c : import.contours) points += c.polyline.points.size();
        std::printf("result %d seconds %.4f peak_kb %ld start_kb %ld polylines %zu points %zu\n",
                    static_cast<int>(import.result), seconds, PeakKilobytes(), startKilobytes,
                    import.contours.size(), points);
        return 0;
    }
    std::vector<Vexlor::Math::polyline<double, 2>> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const int result = reader.Import(Wide(argv[2]));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::size_t points = 0;
    for (const auto& p : polylines) points += p.points.size();
    const std::size_t outputBytes =
        points * sizeof(Vexlor::Math::point<double, 2>) + polylines.size() * sizeof(polylines[0]);
    std::printf(
        "result %d seconds %.4f peak_kb %ld start_kb %ld polylines %zu points %zu "
        "output_kb %zu\n",
        result, seconds, PeakKilobytes(), startKilobytes, polylines.size(), points,
        outputBytes / 1024);
    return 0;
}
