// Smoke test: every drawing of an external corpus imports without crashing and with a known result.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>     // std::sort
#include <cctype>        // std::isalnum, std::toupper
#include <cstdlib>       // std::getenv
#include <filesystem>    // std::filesystem
#include <ostream>       // std::ostream
#include <set>           // std::set
#include <stdexcept>     // std::invalid_argument, std::out_of_range
#include <string>        // std::string, std::wstring
#include <system_error>  // std::error_code
#include <vector>        // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"

#ifndef VEXLOR_DXF_CORPUS_DIR
#define VEXLOR_DXF_CORPUS_DIR ""
#endif

namespace {

namespace fs = std::filesystem;

using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

struct CorpusFile {
    std::string path;  // empty: no corpus
    std::string name;
};

void PrintTo(const CorpusFile& file, std::ostream* out) { *out << file.path; }

// The folder named by the environment, else by the build; empty when neither names one.
fs::path CorpusFolder() {
    const char* fromEnvironment = std::getenv("VEXLOR_DXF_CORPUS_DIR");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return VEXLOR_DXF_CORPUS_DIR;
}

// "gdal/hatch-as_multi.dxf" becomes "GdalHatchAsMultiDxf"; a repeated name gets a number.
std::string TestName(const std::string& relative, std::set<std::string>& taken) {
    std::string name;
    bool upper = true;
    for (const char c : relative) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    if (name.empty()) name = "File";
    std::string unique = name;
    for (int n = 2; !taken.insert(unique).second; ++n) unique = name + std::to_string(n);
    return unique;
}

std::vector<CorpusFile> CorpusFiles() {
    std::vector<std::string> paths;
    const fs::path folder = CorpusFolder();
    std::error_code error;
    if (!folder.empty() && fs::is_directory(folder, error)) {
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string extension = it->path().extension().string();
            if (it->is_regular_file(error) && (extension == ".dxf" || extension == ".DXF")) {
                paths.push_back(it->path().string());
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<CorpusFile> files;
    std::set<std::string> taken;
    for (const std::string& path : paths) {
        files.push_back({path, TestName(fs::relative(path, folder).string(), taken)});
    }
    if (files.empty()) files.push_back({"", "NoCorpus"});
    return files;
}

class Corpus : public testing::TestWithParam<CorpusFile> {};

TEST_P(Corpus, ImportsWithAKnownResultOrAConversionFailure) {
    const std::string& path = GetParam().path;
    if (path.empty()) {
        GTEST_SKIP() << "VEXLOR_DXF_CORPUS_DIR names no folder of drawings";
    }
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    CDXFReader::EReturnCode result;
    try {
        result = reader.Import(std::wstring(path.begin(), path.end()));
    } catch (const std::invalid_argument& e) {
        RecordProperty("import_exception",
                       e.what());  // a value that is not a number may leave Import
        return;
    } catch (const std::out_of_range& e) {
        RecordProperty("import_exception", e.what());
        return;
    }
    RecordProperty("import_result", static_cast<int>(result));
    ASSERT_GE(static_cast<int>(result), 0);
    ASSERT_LE(static_cast<int>(result), 4);
    EXPECT_NE(result, CDXFReader::eOpenError) << "the file exists and is readable";
    if (result == CDXFReader::eEmpty) {
        EXPECT_TRUE(polylines.empty());
    }
    if (result == CDXFReader::eOk || result == CDXFReader::eIntersecting) {
        ASSERT_FALSE(polylines.empty());
        for (const Polyline& polyline : polylines) {
            EXPECT_GE(polyline.points.size(), 2u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PolylineReader, Corpus, testing::ValuesIn(CorpusFiles()),
                         [](const testing::TestParamInfo<CorpusFile>& row) {
                             return row.param.name;
                         });

}  // namespace
