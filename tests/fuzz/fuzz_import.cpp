// Fuzz harness: arbitrary bytes imported as a drawing end in one of the documented outcomes.
// SPDX-License-Identifier: MIT
#undef NDEBUG  // the checks are asserts, in every build type

#include <sys/mman.h>  // memfd_create

#include <cassert>     // assert
#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ofstream
#include <stdexcept>   // std::invalid_argument, std::out_of_range
#include <string>      // std::to_string
#include <vector>      // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"

// A file in memory that the library opens by name; it goes with the process.
static const std::filesystem::path file = "/proc/self/fd/" + std::to_string(memfd_create("in", 0));

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(file).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::vector<MStlBaseOperatorDXFPolylineReader::Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    try {
        // 0 to 4 but not 2, as the file opens. Read to its EOF marker (not 1), the drawing was
        // post-processed: 3 exactly when no polyline remains, degenerate pieces dropped.
        const CDXFReader::EReturnCode result = reader.Import(file.wstring());
        assert(result >= 0 && result <= 4 && result != CDXFReader::eOpenError);
        if (result == CDXFReader::eReadError) return 0;
        assert((result == CDXFReader::eEmpty) == polylines.empty());
        for (const auto& polyline : polylines) assert(polyline.points.size() >= 2);
    } catch (const std::invalid_argument&) {  // a coordinate that is not a number
    } catch (const std::out_of_range&) {      // or one beyond the range of float
    }
    return 0;
}
