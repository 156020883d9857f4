// What the library itself produces, for the end-to-end tests to hold the tool's output against.
// SPDX-License-Identifier: MIT
#include <cstdint>  // std::uint32_t
#include <cstdio>   // std::printf, std::FILE
#include <cstring>  // std::memcpy
#include <fstream>  // std::ofstream
#include <string>   // std::string, std::stoul
#include <vector>   // std::vector

#include "ExportToDxf.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

// The tests pass ASCII paths only.
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// "result R", "box x0 y0 x1 y1" and one "closed|open x y x y ..." line per polyline, every
// number in hexadecimal floating point, so that it reads back exactly.
int Import(const std::string& drawing) {
    std::vector<MStlBaseOperatorDXFPolylineReader::Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const CDXFReader::EReturnCode result = reader.Import(Wide(drawing));
    const auto leftTop = reader.GetLeftTopPoint();
    const auto rightBottom = reader.GetRightBottomPoint();
    std::printf("result %d\nbox %a %a %a %a\n", static_cast<int>(result), leftTop.x, leftTop.y,
                rightBottom.x, rightBottom.y);
    for (const auto& polyline : polylines) {
        std::printf("%s", polyline.closed ? "closed" : "open");
        for (const auto& p : polyline.points) std::printf(" %a %a", p.x, p.y);
        std::printf("\n");
    }
    return 0;
}

void PutUint32(std::ofstream& out, std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    out.write(bytes, 4);
}

void PutFloat(std::ofstream& out, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutUint32(out, bits);
}

void WriteBinaryStl(const std::string& name, const ExportToDxf::PartData& part) {
    std::ofstream out(name, std::ios::binary);
    out << std::string(80, ' ');
    PutUint32(out, static_cast<std::uint32_t>(part.triangles.size()));
    for (const auto& triangle : part.triangles) {
        for (int k = 0; k < 3; ++k) PutFloat(out, 0.0F);  // the normal, which nobody reads
        for (const std::size_t index : triangle) {
            const auto& v = part.vertices[index];
            PutFloat(out, static_cast<float>(v.x));
            PutFloat(out, static_cast<float>(v.y));
            PutFloat(out, static_cast<float>(v.z));
        }
        out.write("\0\0", 2);
    }
}

// A cube whose corners are float values far from round decimals, with 12 triangles that come
// from splitting each square side (a, b, c, d) into (a, b, c) and (a, c, d).
ExportToDxf::PartData Cube() {
    const float lo[3] = {-1.1F, 0.3F, 1234.567F};
    const float hi[3] = {2.7F, 5.55F, 1300.125F};
    ExportToDxf::PartData part;
    for (int i = 0; i < 8; ++i) {
        part.vertices.push_back(
            {(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]});
    }
    const std::size_t sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& s : sides) {
        part.triangles.push_back({s[0], s[1], s[2]});
        part.triangles.push_back({s[0], s[2], s[3]});
    }
    return part;
}

// Writes the cube as STEM.stl (binary), STEM-ascii.stl and STEM.obj (square faces, in three
// index spellings), and STEM-expected.dxf as the library exports the record.
int Mesh(const std::string& stem) {
    const ExportToDxf::PartData part = Cube();
    WriteBinaryStl(stem + ".stl", part);
    std::FILE* ascii = std::fopen((stem + "-ascii.stl").c_str(), "w");
    std::FILE* obj = std::fopen((stem + ".obj").c_str(), "w");
    if (!ascii || !obj) return 1;
    std::fprintf(ascii, "solid cube\n");
    for (const auto& triangle : part.triangles) {
        std::fprintf(ascii, "facet normal 0 0 0\nouter loop\n");
        for (const std::size_t index : triangle) {
            const auto& v = part.vertices[index];
            std::fprintf(ascii, "vertex %.17g %.17g %.17g\n", v.x, v.y, v.z);
        }
        std::fprintf(ascii, "endloop\nendfacet\n");
    }
    std::fprintf(ascii, "endsolid cube\n");
    std::fprintf(obj, "# cube\no cube\n");
    for (const auto& v : part.vertices) std::fprintf(obj, "v %.17g %.17g %.17g\n", v.x, v.y, v.z);
    for (std::size_t t = 0; t < part.triangles.size(); t += 2) {
        const std::size_t a = part.triangles[t][0] + 1;
        const std::size_t b = part.triangles[t][1] + 1;
        const std::size_t c = part.triangles[t][2] + 1;
        const std::size_t d = part.triangles[t + 1][2] + 1;
        if (t % 6 == 0) std::fprintf(obj, "f %zu %zu %zu %zu\n", a, b, c, d);
        if (t % 6 == 2) std::fprintf(obj, "f %zu//1 %zu//1 %zu//1 %zu//1\n", a, b, c, d);
        if (t % 6 == 4) {  // counted back from the 8 vertices read so far
            std::fprintf(obj, "f %d/1 %d/1 %d/1 %d/1\n", static_cast<int>(a) - 9,
                         static_cast<int>(b) - 9, static_cast<int>(c) - 9, static_cast<int>(d) - 9);
        }
    }
    std::fclose(ascii);
    std::fclose(obj);
    return ExportToDxf::Operate(Wide(stem + "-expected.dxf"), part, nullptr);
}

// A binary STL of `count` small triangles, for a long export.
int BigMesh(const std::string& name, std::uint32_t count) {
    std::ofstream out(name, std::ios::binary);
    out << std::string(80, ' ');
    PutUint32(out, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float x = static_cast<float>(i % 1000);
        const float y = static_cast<float>(i / 1000);
        const float record[12] = {0, 0, 1, x, y, 0, x + 1, y, 0, x, y + 1, 0};
        for (const float value : record) PutFloat(out, value);
        out.write("\0\0", 2);
    }
    return out.good() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "import" && argc == 3) return Import(argv[2]);
    if (command == "mesh" && argc == 3) return Mesh(argv[2]);
    if (command == "bigmesh" && argc == 4) {
        return BigMesh(argv[2], static_cast<std::uint32_t>(std::stoul(argv[3])));
    }
    std::fprintf(stderr, "usage: library_reference import DRAWING | mesh STEM | bigmesh OUT N\n");
    return 64;
}
