// Test helpers: DXF text from a list of groups, and temporary files named after the test.
// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <cstdio>      // std::remove
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream
#include <initializer_list>
#include <string>   // std::string, std::wstring
#include <utility>  // std::pair
#include <vector>   // std::vector

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

/// A file in the temporary folder, named after the running test (so `ctest -j` never collides)
/// plus a suffix, removed when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& suffix = ".dxf") {
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
        m_path = std::filesystem::temp_directory_path() / (name + suffix);
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

}  // namespace VexlorDxfTest
