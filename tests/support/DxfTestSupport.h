// Test helpers: DXF text from a list of groups, and temporary files named after the test.
// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <cstdio>      // std::remove, std::snprintf
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream
#include <initializer_list>
#include <ios>      // std::hexfloat
#include <sstream>  // std::istringstream, std::ostringstream
#include <string>   // std::string, std::wstring
#include <utility>  // std::pair
#include <vector>   // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"

namespace VexlorDxfTest {

/// One group as a test writes it: the code line's text and the value line's text.
struct Group {
    int code;
    std::string value;
};

/// DXF text of the groups, each line ended by a line feed.
inline std::string DxfText(const std::vector<Group>& groups) {
    std::string text;
    for (const Group& group : groups) {
        text += std::to_string(group.code);
        text += '\n';
        text += group.value;
        text += '\n';
    }
    return text;
}

/// The groups of a drawing with one ENTITIES section holding `entities`, then the end marker.
inline std::vector<Group> EntitiesDrawing(const std::vector<Group>& entities) {
    std::vector<Group> groups{{0, "SECTION"}, {2, "ENTITIES"}};
    groups.insert(groups.end(), entities.begin(), entities.end());
    groups.push_back({0, "ENDSEC"});
    groups.push_back({0, "EOF"});
    return groups;
}

/// The groups of a drawing with one BLOCKS section holding `blockItems`, then the end marker.
inline std::vector<Group> BlocksDrawing(const std::vector<Group>& blockItems) {
    std::vector<Group> groups{{0, "SECTION"}, {2, "BLOCKS"}};
    groups.insert(groups.end(), blockItems.begin(), blockItems.end());
    groups.push_back({0, "ENDSEC"});
    groups.push_back({0, "EOF"});
    return groups;
}

/// Where a TempFile goes: the temporary folder, or memory-backed /dev/shm where there is one
/// (for tests that write thousands of drawings; a disk-backed folder makes each write cost
/// milliseconds).
enum class TempPlace { Folder, Memory };

/// A file in the temporary folder, named after the running test (so `ctest -j` never collides)
/// plus a suffix, removed when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& suffix = ".dxf", TempPlace place = TempPlace::Folder) {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "vexlor_dxf_";
        if (info) {
            name += info->test_suite_name();
            name += '_';
            name += info->name();
        }
        for (char& c : name) {
            if (c == '/' || c == '\\' || c == ' ') c = '_';
        }
        std::error_code ignored;
        const bool memory =
            place == TempPlace::Memory && std::filesystem::is_directory("/dev/shm", ignored);
        m_path =
            (memory ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
            (name + suffix);
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    /// Writes `bytes` to the file, replacing what was there.
    void Write(const std::string& bytes) const {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    /// The whole content of the file.
    std::string Read() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::filesystem::path& Path() const { return m_path; }
    /// The path as the library takes it (the temporary folder's name is ASCII).
    std::wstring WidePath() const {
        const std::string narrow = m_path.string();
        return std::wstring(narrow.begin(), narrow.end());
    }

private:
    std::filesystem::path m_path;
};

/// Groups from a compact text of words: "NAME" is the group (0, NAME) and "code=value" any other
/// group, for example Groups("LINE 10=1 20=2 11=3 21=4"). Values cannot hold blanks.
inline std::vector<Group> Groups(const std::string& text) {
    std::vector<Group> groups;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos) {
            groups.push_back({0, word});
        } else {
            groups.push_back({std::stoi(word.substr(0, equals)), word.substr(equals + 1)});
        }
    }
    return groups;
}

/// The polyline reader as a host's derived reader sees it, with its protected readers and
/// primitives re-exported and post-processing switched off: an import leaves the entity
/// readers' output exactly as they made it.
struct RawPolylineReader : MStlBaseOperatorDXFPolylineReader {
    using MStlBaseOperatorDXFPolylineReader::_AddPoint;
    using MStlBaseOperatorDXFPolylineReader::_AddPolyline;
    using MStlBaseOperatorDXFPolylineReader::_ReadArc;
    using MStlBaseOperatorDXFPolylineReader::_ReadBlock;
    using MStlBaseOperatorDXFPolylineReader::_ReadBlockSection;
    using MStlBaseOperatorDXFPolylineReader::_ReadCircle;
    using MStlBaseOperatorDXFPolylineReader::_ReadEllipse;
    using MStlBaseOperatorDXFPolylineReader::_ReadEntitySection;
    using MStlBaseOperatorDXFPolylineReader::_ReadHatch;
    using MStlBaseOperatorDXFPolylineReader::_ReadInsert;
    using MStlBaseOperatorDXFPolylineReader::_ReadLine;
    using MStlBaseOperatorDXFPolylineReader::_ReadLwPolyline;
    using MStlBaseOperatorDXFPolylineReader::_ReadPolyline;
    using MStlBaseOperatorDXFPolylineReader::_ReadSpline;
    using MStlBaseOperatorDXFPolylineReader::_ReadVertex;
    using MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader;

protected:
    EReturnCode _PostProcess() override { return eOk; }
};

/// Imports the DXF text of `groups` with `reader`, through a temporary file named after the test
/// plus `suffix`.
inline CDXFReader::EReturnCode ImportGroups(CDXFReader& reader, const std::vector<Group>& groups,
                                            const std::string& suffix = ".dxf") {
    TempFile file(suffix);
    file.Write(DxfText(groups));
    return reader.Import(file.WidePath());
}

/// A coordinate as the import must store it: the text's single-precision value, widened.
inline double Stof(const std::string& text) { return static_cast<double>(std::stof(text)); }

/// `value` in hexadecimal floating-point notation, for messages about exact values.
inline std::string Hex(double value) {
    std::ostringstream out;
    out << std::hexfloat << value;
    return out.str();
}

/// Whether `actual` holds exactly the polylines of `expected`: the same `closed` flags and the
/// same points, each coordinate compared with `==`; a mismatch is described in hexfloat.
inline testing::AssertionResult SamePolylines(
    const std::vector<MStlBaseOperatorDXFPolylineReader::Polyline>& actual,
    const std::vector<MStlBaseOperatorDXFPolylineReader::Polyline>& expected) {
    if (actual.size() != expected.size()) {
        return testing::AssertionFailure()
               << actual.size() << " polylines, expected " << expected.size();
    }
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const auto& got = actual[i];
        const auto& want = expected[i];
        if (got.closed != want.closed) {
            return testing::AssertionFailure()
                   << "polyline " << i << ": closed " << got.closed << ", expected " << want.closed;
        }
        if (got.points.size() != want.points.size()) {
            return testing::AssertionFailure() << "polyline " << i << ": " << got.points.size()
                                               << " points, expected " << want.points.size();
        }
        for (std::size_t k = 0; k < got.points.size(); ++k) {
            const auto& p = got.points[k];
            const auto& q = want.points[k];
            if (!(p.x == q.x) || !(p.y == q.y)) {
                return testing::AssertionFailure()
                       << "polyline " << i << ", point " << k << ": (" << Hex(p.x) << ", "
                       << Hex(p.y) << "), expected (" << Hex(q.x) << ", " << Hex(q.y) << ")";
            }
        }
    }
    return testing::AssertionSuccess();
}

/// A point as a drawing writes it; the import stores (x, -y).
struct XY {
    double x;
    double y;
};

/// Text for a coordinate value; values that are floats convert back to exactly themselves.
inline std::string Text(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

/// The groups of several parts, one after another.
inline std::vector<Group> Join(std::initializer_list<std::vector<Group>> parts) {
    std::vector<Group> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

/// A LINE entity on layer 0: an open two-point piece.
inline std::vector<Group> Line(XY from, XY to) {
    return {{0, "LINE"},        {8, "0"},         {10, Text(from.x)},
            {20, Text(from.y)}, {11, Text(to.x)}, {21, Text(to.y)}};
}

/// An entity of 10/20 vertex pairs: an LWPOLYLINE is closed exactly when its last vertex
/// repeats the first (within 0.0001).
inline std::vector<Group> Vertices(const char* entity, const std::vector<XY>& vertices) {
    std::vector<Group> groups{{0, entity}};
    for (const XY& v : vertices) {
        groups.push_back({10, Text(v.x)});
        groups.push_back({20, Text(v.y)});
    }
    return groups;
}

inline std::vector<Group> LwPolyline(const std::vector<XY>& vertices) {
    return Vertices("LWPOLYLINE", vertices);
}

}  // namespace VexlorDxfTest
