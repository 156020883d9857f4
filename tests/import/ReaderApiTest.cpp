// What a host sees beyond drawings: hooks of a derived reader, file names, copies and the output
// primitives.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <clocale>     // std::setlocale
#include <filesystem>  // std::filesystem
#include <string>      // std::string, std::wstring

#include "DxfTestSupport.h"

namespace {

using namespace VexlorDxfTest;

// A host's reader that logs every hook call with its item and then skips the item.
struct LoggingReader : CDXFReader {
    std::string log;
    int postProcessRuns = 0;
    EReturnCode _PostProcess() override { return ++postProcessRuns, eIntersecting; }
    short Log(const char* hook, std::istream& s, unsigned short& code, std::wstring& value) {
        log += hook + std::string(value.begin(), value.end()) + ' ';
        return _ReadDefaultSection(s, code, value);
    }
    short _ReadBlockSection(std::istream& s, unsigned short& c, std::wstring& v) override {
        return Log("block:", s, c, v);
    }
    short _ReadTableSection(std::istream& s, unsigned short& c, std::wstring& v) override {
        return Log("table:", s, c, v);
    }
    short _ReadEntitySection(std::istream& s, unsigned short& c, std::wstring& v) override {
        return Log("entity:", s, c, v);
    }
    short _ReadObjectSection(std::istream& s, unsigned short& c, std::wstring& v) override {
        return Log("object:", s, c, v);
    }
};

const std::string kAllSections =
    "0\nSECTION\n2\nTABLES\n0\nTABLE\n0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n0\nDICTIONARY\n5\nC\n"
    "0\nLAYOUT\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
    "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n0\nARC\n0\nENDSEC\n0\nEOF\n";

// Items reach the hook of their section, one by one; the tables section reaches none, and an
// empty section none either; post-processing decides the result.
TEST(ReaderApi, SectionsReachTheirHooks) {
    TempFile file;
    file.Write(kAllSections);
    LoggingReader reader;
    EXPECT_EQ(reader.Import(file.WidePath()), CDXFReader::eIntersecting);
    EXPECT_EQ(reader.log, "object:DICTIONARY object:LAYOUT block:BLOCK entity:LINE entity:ARC ");
    EXPECT_EQ(reader.postProcessRuns, 1);
}

// A missing file and a directory are results, with no post-processing and no exception.
TEST(ReaderApi, UnreadableFilesAreResults) {
    TempFile missing;
    LoggingReader reader;
    EXPECT_EQ(reader.Import(missing.WidePath()), CDXFReader::eOpenError);
    const std::string folder = std::filesystem::temp_directory_path().string();
    const CDXFReader::EReturnCode result =
        reader.Import(std::wstring(folder.begin(), folder.end()));
    EXPECT_TRUE(result == CDXFReader::eReadError || result == CDXFReader::eOpenError) << result;
    EXPECT_EQ(reader.postProcessRuns, 0);
}

// Wide names are encoded as UTF-8 whatever the locale; a name that holds no code point (a lone
// surrogate) or a NUL names no file, even where a lax encoding of it would.
TEST(ReaderApi, WideFileNames) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    TempFile named(u8"_\u00e4\u56f3.dxf");
    TempFile lax("_\xED\xA0\x80.dxf");
    TempFile cut("_nul");
    for (const TempFile* file : {&named, &lax, &cut}) file->Write("0\nEOF\n");
    const std::string stem = cut.Path().string();
    const std::wstring base(stem.begin(), stem.end() - 4);
    for (const char* locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        LoggingReader reader;
        EXPECT_EQ(reader.Import(base + L"_\u00e4\u56f3.dxf"), CDXFReader::eIntersecting) << locale;
        EXPECT_EQ(reader.Import(base + L"_" + wchar_t(0xD800) + L".dxf"), CDXFReader::eOpenError);
        EXPECT_EQ(reader.Import(base + std::wstring(L"_nul\0.dxf", 9)), CDXFReader::eOpenError);
    }
    std::setlocale(LC_ALL, saved.c_str());
}

// _AddPoint starts a polyline when none is current and stores points unchanged; a copy writes
// into the same vector, extends the same current polyline and starts from the same box.
TEST(ReaderApi, PrimitivesAndCopies) {
    Polylines polylines;
    RawPolylineReader original(polylines);
    original._AddPoint({3, 5});
    original._AddPoint({3, 5});
    RawPolylineReader copy(original);
    copy._AddPoint({-1, 7});
    EXPECT_TRUE(SamePolylines(polylines, {{{{3, 5}, {3, 5}, {-1, 7}}, true}}));
    EXPECT_EQ(copy.GetLeftTopPoint().x, -1.0);
    EXPECT_EQ(copy.GetLeftTopPoint().y, 5.0);
    EXPECT_EQ(copy.GetRightBottomPoint().x, 3.0);
    EXPECT_EQ(copy.GetRightBottomPoint().y, 7.0);
    EXPECT_EQ(original.GetLeftTopPoint().x, 3.0);
}

}  // namespace
