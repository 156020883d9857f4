// Test helpers: temporary files, imports that end in an outcome, and polyline comparisons.
// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>
#if defined(_WIN32)
#include <process.h>  // _getpid
#else
#include <unistd.h>  // getpid
#endif

#include <algorithm>         // std::sort
#include <clocale>           // std::setlocale
#include <filesystem>        // std::filesystem
#include <fstream>           // std::ofstream, std::ifstream
#include <initializer_list>  // std::initializer_list
#include <iterator>          // std::istreambuf_iterator
#include <sstream>           // std::ostringstream
#include <stdexcept>         // std::invalid_argument, std::out_of_range
#include <string>            // std::string, std::wstring
#include <vector>            // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"

namespace VexlorDxfTest {

using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;
using Polylines = std::vector<Polyline>;

#if defined(_WIN32)
constexpr bool kWindows = true;
inline int getpid() { return _getpid(); }
#else
constexpr bool kWindows = false;
#endif

/// Sets a German locale, whose decimal point is a comma, by a name one of the C libraries knows:
/// glibc's, msvcrt.dll's (Wine's too), UCRT's. False, the locale unchanged, where none is there.
inline bool SetGermanLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252", "de-DE"})
        if (std::setlocale(LC_ALL, name)) return true;
    return false;
}

/// `text` as a file written in text mode holds it: each LF becomes CR LF on Windows.
inline std::string TextFile(std::string text) {
    for (std::size_t at = 0; kWindows && (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, 1, '\r');
    return text;
}

/// `text` with the escapes \n \r \t \s (a blank) \\ \" and \xHH replaced by their bytes.
/// The case files (*.txt) of the test data folder `folder`, in name order.
inline std::vector<std::filesystem::path> CaseFiles(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(VEXLOR_DXF_TEST_DATA_DIR "/") + folder)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
        bytes += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 's' ? ' ' : c;
        if (c == 'x') bytes.back() = static_cast<char>(std::stoi(text.substr(i + 1, 2), 0, 16));
        if (c == 'x') i += 2;
        if (!c) bytes.back() = text[i];
    }
    return bytes;
}

/// A file named after the running test and process plus `suffix` (so that test programs running
/// at once never collide), in the temporary folder or in memory-backed /dev/shm where there is
/// one; removed when it goes.
class TempFile {
public:
    explicit TempFile(const std::string& suffix = ".dxf", bool memory = false) {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vexlor_dxf_") + test->test_suite_name() + '_' +
                           test->name() + '_' + std::to_string(getpid());
        for (char& c : name) c = c == '/' ? '_' : c;
        std::error_code e;
        m_path = (memory && std::filesystem::is_directory("/dev/shm", e)
                      ? std::filesystem::path("/dev/shm")
                      : std::filesystem::temp_directory_path()) /
                 std::filesystem::u8path(name + suffix);
    }
    ~TempFile() {
        // Windows removes no read-only file.
        if (kWindows)
            std::filesystem::permissions(m_path, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, m_error);
        std::filesystem::remove(m_path, m_error);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    void Write(const std::string& bytes) const {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Read() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const std::filesystem::path& Path() const { return m_path; }
    /// The path as the library takes it (the temporary folders' names are ASCII).
    std::wstring WidePath() const {
        if (kWindows) return m_path.wstring();
        const std::string narrow = m_path.string();
        return std::wstring(narrow.begin(), narrow.end());
    }

private:
    std::filesystem::path m_path;
    std::error_code m_error;
};

/// The polyline reader without post-processing: an import leaves the readers' output as it is.
struct RawPolylineReader : MStlBaseOperatorDXFPolylineReader {
    using MStlBaseOperatorDXFPolylineReader::_AddPoint;
    using MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader;

protected:
    EReturnCode _PostProcess() override { return eOk; }
};

/// How an import ended: its result code, or one of the two documented exceptions.
enum Outcome { kInvalidArgument = -1, kOutOfRange = -2 };

inline int ImportOutcome(CDXFReader& reader, const std::wstring& path) {
    try {
        return reader.Import(path);
    } catch (const std::invalid_argument&) {
        return kInvalidArgument;
    } catch (const std::out_of_range&) {
        return kOutOfRange;
    }
}

/// Polylines in hexadecimal floating point, one a line: two vectors give the same text exactly
/// when their flags and coordinates are the same bit for bit (NaN payloads aside).
inline std::string Describe(const Polylines& polylines) {
    std::ostringstream out;
    for (const Polyline& polyline : polylines) {
        out << std::hexfloat << (polyline.closed ? "closed" : "open");
        for (const auto& p : polyline.points) out << ' ' << p.x << ' ' << p.y;
        out << '\n';
    }
    return out.str();
}

}  // namespace VexlorDxfTest
