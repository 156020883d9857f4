// Benchmark inputs built in memory, and the tokenizer floor.
// SPDX-License-Identifier: MIT
#include "workloads.h"

#include <algorithm>  // std::shuffle
#include <charconv>   // std::from_chars
#include <cmath>      // std::cos, std::sin
#include <cstdio>     // std::snprintf
#include <cstring>    // std::memchr
#include <fstream>    // std::ifstream
#include <iterator>   // std::istreambuf_iterator
#include <random>     // std::mt19937_64

namespace VexlorDxfBench {

using Point = Vexlor::Math::point<double, 2>;
using Polyline = Vexlor::Math::polyline<double, 2>;

std::vector<Polyline> ShuffledContourPieces(std::size_t count) {
    constexpr std::size_t kPiecesPerContour = 100;
    std::vector<Polyline> pieces;
    pieces.reserve(count);
    const std::size_t contours = (count + kPiecesPerContour - 1) / kPiecesPerContour;
    const auto columns = static_cast<std::size_t>(std::ceil(std::sqrt(double(contours))));
    for (std::size_t c = 0; c < contours && pieces.size() < count; ++c) {
        const double cx = 100.0 * static_cast<double>(c % columns);
        const double cy = 100.0 * static_cast<double>(c / columns);
        for (std::size_t k = 0; k < kPiecesPerContour && pieces.size() < count; ++k) {
            const double a0 = 6.283185307179586 * double(k) / double(kPiecesPerContour);
            const double a1 = 6.283185307179586 * double(k + 1) / double(kPiecesPerContour);
            // Points on a circle, rounded to float as the import would store them.
            const Point p{double(float(cx + 40 * std::cos(a0))),
                          double(float(cy + 40 * std::sin(a0)))};
            const Point q{double(float(cx + 40 * std::cos(a1))),
                          double(float(cy + 40 * std::sin(a1)))};
            pieces.push_back(Polyline{{p, q}, false});
        }
    }
    std::mt19937_64 random(12345);
    for (Polyline& piece : pieces) {
        if (random() % 2) std::swap(piece.points[0], piece.points[1]);
    }
    std::shuffle(pieces.begin(), pieces.end(), random);
    return pieces;
}

std::string LinesDrawing(std::size_t count) {
    std::string text = "  0\nSECTION\n  2\nENTITIES\n";
    char buffer[256];
    for (const Polyline& piece : ShuffledContourPieces(count)) {
        const int length = std::snprintf(
            buffer, sizeof buffer,
            "  0\nLINE\n  8\n0\n 10\n%.6f\n 20\n%.6f\n 11\n%.6f\n 21\n%.6f\n", piece.points[0].x,
            -piece.points[0].y, piece.points[1].x, -piece.points[1].y);
        text.append(buffer, static_cast<std::size_t>(length));
    }
    text += "  0\nENDSEC\n  0\nEOF\n";
    return text;
}

ExportToDxf::PartData GridMesh(std::size_t count) {
    ExportToDxf::PartData part;
    part.transform = Vexlor::Math::matrix4x4<double>::identity();
    const std::size_t side = static_cast<std::size_t>(std::sqrt(double(count) / 2.0)) + 2;
    for (std::size_t y = 0; y < side; ++y) {
        for (std::size_t x = 0; x < side; ++x) {
            part.vertices.push_back({x * 0.37, y * 0.41, std::sin(double(x + y)) * 3.0});
        }
    }
    for (std::size_t t = 0; part.triangles.size() < count; ++t) {
        const std::size_t cell = t / 2 % ((side - 1) * (side - 1));
        const std::size_t x = cell % (side - 1);
        const std::size_t y = cell / (side - 1);
        const std::size_t v = y * side + x;
        if (t % 2 == 0) {
            part.triangles.push_back({v, v + 1, v + side});
        } else {
            part.triangles.push_back({v + 1, v + side + 1, v + side});
        }
    }
    return part;
}

double TokenizeFloor(const std::string& bytes) {
    double checksum = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    bool codeLine = true;
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lineEnd) lineEnd = end;
        const char* first = p;
        while (first < lineEnd && (*first == ' ' || *first == '\t')) ++first;
        if (codeLine) {
            int code = 0;
            std::from_chars(first, lineEnd, code);
            checksum += code;
        } else if (first < lineEnd && ((*first >= '0' && *first <= '9') || *first == '-')) {
            float value = 0;
            std::from_chars(first, lineEnd, value);
            checksum += static_cast<double>(value);
        }
        codeLine = !codeLine;
        p = lineEnd + 1;
    }
    return checksum;
}

std::size_t TokenizeGroups(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    constexpr std::size_t kBlock = std::size_t{1} << 18;
    std::string buffer(2 * kBlock, '\0');
    std::size_t kept = 0;  // the unfinished line carried over from the block before
    std::size_t groups = 0;
    bool codeLine = true;
    for (;;) {
        in.read(buffer.data() + kept, static_cast<std::streamsize>(kBlock));
        const auto got = static_cast<std::size_t>(in.gcount());
        const char* p = buffer.data();
        const char* end = p + kept + got;
        for (;;) {
            const char* lineEnd =
                static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
            if (!lineEnd) break;
            if (codeLine) {
                int code = 0;
                const char* first = p;
                while (first < lineEnd && *first == ' ') ++first;
                std::from_chars(first, lineEnd, code);
                groups += code >= 0 ? 1 : 0;
            }
            codeLine = !codeLine;
            p = lineEnd + 1;
        }
        kept = static_cast<std::size_t>(end - p);
        if (got == 0 || kept > kBlock) break;
        std::memmove(buffer.data(), p, kept);
    }
    return groups;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace VexlorDxfBench
