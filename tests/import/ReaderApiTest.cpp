// What a host sees beyond drawings: file names, unreadable files, copies and the output
// primitives.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <clocale>     // std::setlocale
#include <cmath>       // std::signbit
#include <filesystem>  // std::filesystem
#include <string>      // std::string, std::wstring

#include "DxfTestSupport.h"

namespace {

using namespace VexlorDxfTest;

// Wide names are encoded as UTF-8 whatever the locale (Windows takes them as UTF-16, U+1F4D0 as
// a surrogate pair); a name that holds no code point (a lone surrogate) or a NUL names no file,
// even where a lax encoding of it would. A missing file, and a folder, are results, never
// exceptions.
TEST(ReaderApi, FileNames) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    TempFile named(u8"_\u00e4\u56f3\U0001F4D0.dxf"), cut("_nul"), missing;
    TempFile lax(kWindows ? "_lax" : "_\xED\xA0\x80.dxf");  // UTF-16 has no such bytes
    for (const TempFile* file : {&named, &lax, &cut}) file->Write("0\nEOF\n");
    const std::string stem = cut.Path().string();
    const std::wstring base(stem.begin(), stem.end() - 4);
    Polylines polylines;
    RawPolylineReader reader(polylines);
    for (const char* locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        EXPECT_EQ(reader.Import(base + L"_\u00e4\u56f3\U0001F4D0.dxf"), CDXFReader::eOk) << locale;
        EXPECT_EQ(reader.Import(base + L"_" + wchar_t(0xD800) + L".dxf"), CDXFReader::eOpenError);
        EXPECT_EQ(reader.Import(base + std::wstring(L"_nul\0.dxf", 9)), CDXFReader::eOpenError);
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(reader.Import(missing.WidePath()), CDXFReader::eOpenError);
    const std::string folder = std::filesystem::temp_directory_path().string();
    const int result = ImportOutcome(reader, std::wstring(folder.begin(), folder.end()));
    EXPECT_TRUE(result == CDXFReader::eReadError || result == CDXFReader::eOpenError) << result;
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
    EXPECT_EQ(Describe(polylines), Describe({{{{3, 5}, {3, 5}, {-1, 7}}, true}}));
    const auto lt = copy.GetLeftTopPoint(), rb = copy.GetRightBottomPoint();
    EXPECT_TRUE(lt.x == -1 && lt.y == 5 && rb.x == 3 && rb.y == 7);
    EXPECT_EQ(original.GetLeftTopPoint().x, 3.0);
    // A coordinate equal to a corner's still replaces it: -0 after 0 gives -0 in both corners.
    RawPolylineReader zeros(polylines);
    zeros._AddPoint({0, 0});
    zeros._AddPoint({-0.0, -0.0});
    const auto zl = zeros.GetLeftTopPoint(), zr = zeros.GetRightBottomPoint();
    EXPECT_TRUE(std::signbit(zl.x) && std::signbit(zl.y) && std::signbit(zr.x) &&
                std::signbit(zr.y));
}

}  // namespace
