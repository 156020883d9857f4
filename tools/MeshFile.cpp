// Mesh file reading for the export command: binary and ASCII STL, and OBJ.
// SPDX-License-Identifier: MIT
#include "MeshFile.h"

#include <fmt/core.h>

#include <algorithm>     // std::transform
#include <array>         // std::array
#include <cctype>        // std::tolower
#include <cerrno>        // errno
#include <charconv>      // std::from_chars
#include <cstdint>       // std::uint32_t, std::uint64_t
#include <cstring>       // std::memcpy, std::strerror
#include <fstream>       // std::ifstream
#include <optional>      // std::optional
#include <sstream>       // std::istringstream
#include <system_error>  // std::error_code
#include <vector>        // std::vector

namespace Vexlor::DxfTool {

namespace {

using Vertex = Vexlor::Math::point<double, 3>;

constexpr std::uint64_t kStlHeaderSize = 84;
constexpr std::uint64_t kStlTriangleSize = 50;
const char kCutShort[] = "the file could not be read to its end";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A file of `format` that was read, or, when `problem` says why, one that is not a valid mesh.
MeshReadResult Result(const std::string& format, const std::string& problem) {
    return {problem.empty() ? EMeshRead::eOk : EMeshRead::eBadData, format, problem};
}

// A number as the C locale writes it, whatever locale is set; a leading '+' is allowed.
bool ParseDouble(const std::string& token, double& value) {
    const char* first = token.data();
    const char* last = first + token.size();
    if (first != last && *first == '+') ++first;
    const std::from_chars_result parsed = std::from_chars(first, last, value);
    return parsed.ec == std::errc() && parsed.ptr == last;
}

// The x, y and z that follow a vertex keyword; none unless all three are numbers.
std::optional<Vertex> ParseVertex(std::istream& words) {
    std::array<double, 3> xyz{};
    std::string token;
    for (double& coordinate : xyz) {
        if (!(words >> token) || !ParseDouble(token, coordinate)) return std::nullopt;
    }
    return Vertex{xyz[0], xyz[1], xyz[2]};
}

// The text formats' loop: calls `onLine(keyword, words)` for each line that has a word, `words`
// holding the rest of the line. Returns the first problem it reports, with its line number, or
// an empty string once the whole file was read.
template <typename OnLine>
std::string ForEachLine(std::istream& stream, OnLine onLine) {
    std::string line;
    for (std::size_t number = 1; std::getline(stream, line); ++number) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;
        const std::string problem = onLine(keyword, words);
        if (!problem.empty()) return fmt::format("line {}: {}", number, problem);
    }
    return stream.bad() ? kCutShort : "";
}

// Little-endian fields, whatever the byte order of the machine.
std::uint32_t ReadUint32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

double ReadFloat(const unsigned char* bytes) {
    const std::uint32_t bits = ReadUint32(bytes);
    float value = 0.0F;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

MeshReadResult ReadBinaryStl(std::ifstream& stream, std::uint32_t count,
                             ExportToDxf::PartData& part) {
    stream.seekg(static_cast<std::streamoff>(kStlHeaderSize));
    part.vertices.reserve(static_cast<std::size_t>(count) * 3);
    part.triangles.reserve(count);
    std::array<unsigned char, kStlTriangleSize> record{};
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!stream.read(reinterpret_cast<char*>(record.data()), record.size())) {
            return Result("binary STL", kCutShort);
        }
        // Bytes 0..11 hold the facet normal, which the export does not use.
        const std::size_t first = part.vertices.size();
        for (int corner = 0; corner < 3; ++corner) {
            const unsigned char* v = record.data() + 12 + corner * 12;
            part.vertices.push_back({ReadFloat(v), ReadFloat(v + 4), ReadFloat(v + 8)});
        }
        part.triangles.push_back({first, first + 1, first + 2});
    }
    return Result("binary STL", "");
}

MeshReadResult ReadAsciiStl(std::istream& stream, ExportToDxf::PartData& part) {
    bool inFacet = false;
    std::size_t facetCorners = 0;
    const auto onLine = [&](const std::string& word, std::istream& words) {
        const std::string keyword = Lower(word);
        if (keyword == "facet") {
            if (inFacet) return "a facet starts before the last one ended";
            inFacet = true;
            facetCorners = 0;
        } else if (keyword == "vertex") {
            const std::optional<Vertex> vertex = ParseVertex(words);
            if (!vertex) return "'vertex' needs three numbers";
            if (!inFacet || ++facetCorners > 3) return "a vertex outside a facet of three corners";
            part.vertices.push_back(*vertex);
        } else if (keyword == "endfacet") {
            if (!inFacet || facetCorners != 3) return "a facet needs exactly three vertices";
            const std::size_t first = part.vertices.size() - 3;
            part.triangles.push_back({first, first + 1, first + 2});
            inFacet = false;
        }
        // "solid", "outer loop", "endloop" and "endsolid" carry nothing the export needs.
        return "";
    };
    std::string problem = ForEachLine(stream, onLine);
    if (problem.empty() && inFacet) problem = "the file ends inside a facet";
    return Result("ASCII STL", problem);
}

// A face corner: "i", "i/t", "i//n" or "i/t/n"; negative i counts back from the last vertex.
std::optional<std::size_t> ObjIndex(const std::string& token, std::size_t vertexCount) {
    const std::string text = token.substr(0, token.find('/'));
    long long value = 0;
    const std::from_chars_result parsed =
        std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    const long long count = static_cast<long long>(vertexCount);
    const long long zeroBased = value > 0 ? value - 1 : count + value;
    if (zeroBased < 0 || zeroBased >= count) return std::nullopt;
    return static_cast<std::size_t>(zeroBased);
}

MeshReadResult ReadObj(std::istream& stream, ExportToDxf::PartData& part) {
    const auto onLine = [&](const std::string& keyword, std::istream& words) -> std::string {
        if (keyword == "v") {
            const std::optional<Vertex> vertex = ParseVertex(words);
            if (!vertex) return "'v' needs three numbers";
            part.vertices.push_back(*vertex);
        } else if (keyword == "f") {
            std::vector<std::size_t> corners;
            std::string token;
            while (words >> token) {
                const std::optional<std::size_t> index = ObjIndex(token, part.vertices.size());
                if (!index) return fmt::format("'{}' names no vertex defined before it", token);
                corners.push_back(*index);
            }
            if (corners.size() < 3) return "a face needs three corners";
            for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
                part.triangles.push_back({corners[0], corners[i], corners[i + 1]});
            }
        }
        // Texture coordinates, normals, groups, materials and the rest are passed over.
        return "";
    };
    return Result("OBJ", ForEachLine(stream, onLine));
}

}  // namespace

MeshReadResult ReadMesh(const std::filesystem::path& path, ExportToDxf::PartData& part) {
    errno = 0;
    std::ifstream stream(path, std::ios::binary);
    if (!stream.is_open()) {
        return {EMeshRead::eOpenError, "", errno != 0 ? std::strerror(errno) : "not readable"};
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {EMeshRead::eOpenError, "", "it is a directory"};
    }
    if (Lower(path.extension().u8string()) == ".obj") return ReadObj(stream, part);

    std::array<unsigned char, kStlHeaderSize> header{};
    stream.read(reinterpret_cast<char*>(header.data()), header.size());
    const std::uint64_t headerBytes = static_cast<std::uint64_t>(stream.gcount());
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (!error && headerBytes == kStlHeaderSize) {
        const std::uint32_t count = ReadUint32(header.data() + 80);
        if (size == kStlHeaderSize + kStlTriangleSize * count) {
            return ReadBinaryStl(stream, count, part);
        }
    }
    const std::string start(header.begin(), header.begin() + headerBytes);
    const std::size_t firstWord = start.find_first_not_of(" \t\r\n");
    if (firstWord != std::string::npos && Lower(start.substr(firstWord, 5)) == "solid") {
        stream.clear();
        stream.seekg(0);
        return ReadAsciiStl(stream, part);
    }
    return Result("STL",
                  "neither ASCII STL (no 'solid' at the start) nor binary STL (its size does not "
                  "match the triangle count in its header)");
}

}  // namespace Vexlor::DxfTool
