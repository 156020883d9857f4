// Fuzz harness: arbitrary bytes imported as a drawing, through a file and through the stream loops.
// SPDX-License-Identifier: MIT
#include <unistd.h>  // getpid

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream
#include <sstream>     // std::istringstream
#include <stdexcept>   // std::invalid_argument, std::out_of_range
#include <string>      // std::string, std::wstring
#include <vector>      // std::vector

#include "FuzzInput.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfFuzz::Check;
using VexlorDxfFuzz::ScratchFolder;
using Polylines = std::vector<MStlBaseOperatorDXFPolylineReader::Polyline>;

// The polyline reader as a host's derived reader sees it, driving the section loops on a stream.
struct StreamReader : MStlBaseOperatorDXFPolylineReader {
    using MStlBaseOperatorDXFPolylineReader::_PostProcess;
    using MStlBaseOperatorDXFPolylineReader::_ReadBlocks;
    using MStlBaseOperatorDXFPolylineReader::_ReadEntities;
    using MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader;
};

// One file per process, so parallel fuzzing jobs never share it.
const std::filesystem::path& InputPath() {
    static const VexlorDxfFuzz::ScratchPath path(
        ScratchFolder() / ("vexlor_dxf_fuzz_import_" + std::to_string(getpid()) + ".dxf"));
    return path.Get();
}

std::wstring Widened(const std::string& narrow) {
    return std::wstring(narrow.begin(), narrow.end());
}

void CheckPostProcessed(CDXFReader::EReturnCode result, const Polylines& polylines) {
    Check(result == CDXFReader::eOk || result == CDXFReader::eEmpty ||
              result == CDXFReader::eIntersecting,
          "post-processing gave a result outside 0, 3, 4");
    Check((result == CDXFReader::eEmpty) == polylines.empty(), "result 3 exactly when empty");
    for (const auto& polyline : polylines) {
        Check(polyline.points.size() >= 2, "a piece of fewer than two points survived linking");
    }
}

void ImportFile(const std::string& bytes) {
    {
        std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    Polylines polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    try {
        const CDXFReader::EReturnCode result = reader.Import(Widened(InputPath().string()));
        Check(result != CDXFReader::eOpenError, "the written input could not be opened");
        if (result != CDXFReader::eReadError) CheckPostProcessed(result, polylines);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
}

// The same bytes as the body of an entities or a blocks section, then post-processed.
void ReadSection(const std::string& bytes, bool blocks) {
    Polylines polylines;
    StreamReader reader(polylines);
    std::istringstream stream(bytes);
    try {
        const short r = blocks ? reader._ReadBlocks(stream) : reader._ReadEntities(stream);
        Check(r >= -1, "a section loop returned below -1");
        if (r > 0) CheckPostProcessed(reader._PostProcess(), polylines);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ImportFile(bytes);
    ReadSection(bytes, false);
    ReadSection(bytes, true);
    return 0;
}
