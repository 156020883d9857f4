// Fuzz harness: arbitrary bytes given to the accurate import end in one of its documented
// outcomes, with contours that keep its promises.
// SPDX-License-Identifier: MIT
#undef NDEBUG           // the checks are asserts, in every build type
#include <cassert>      // assert
#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint8_t
#include <cstring>      // std::memcmp
#include <sstream>      // std::istringstream
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "VexlorDxfContours.h"
#include "accurate/source/GroupSource.h"
#include "accurate/source/ReadError.h"

namespace {

// The groups of `bytes` as one text (code, kind, value or number bits, position each), and the
// error that ends them: from memory at once, or from a stream in blocks of `block` bytes.
std::string Groups(std::string_view bytes, std::size_t block) {
    std::istringstream in{std::string(bytes)};
    Vexlor::Dxf::ByteStream stream =
        block ? Vexlor::Dxf::ByteStream(in, block) : Vexlor::Dxf::ByteStream(bytes);
    std::string seen;
    try {
        const auto source = Vexlor::Dxf::OpenGroups(stream);
        for (Vexlor::Dxf::Group g; source->Next(g);) {
            seen += std::to_string(g.code) + ' ' + std::to_string(static_cast<int>(g.kind)) + ' ' +
                    std::to_string(g.position) + ' ' + std::to_string(g.integer) + ' ';
            seen.append(g.value) += '\n';
        }
    } catch (const Vexlor::Dxf::ReadError& error) {
        seen += std::to_string(error.position) + ' ' + error.message;
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A small absolute tolerance now and then, so that curves are cut finely; the default
    // otherwise, which follows the drawing's extent.
    Vexlor::Dxf::ContourOptions options;
    if (size > 0 && data[0] % 4 == 0) options.tolerance = 1e-3;
    // The first byte's other bits choose among the options that change what is placed and kept;
    // a small budget keeps nested inserts quick.
    const unsigned choice = size > 0 ? data[0] : 0;
    if (choice & 4) options.units = 4;
    if (choice & 8) options.hiddenLayers = true;
    if (choice & 16) options.layers = {"0", "a"};
    if (choice & 32) options.strictStructure = true;
    options.maxPoints = 1 << 20;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Read in blocks of any size, the drawing gives the same groups as from memory.
    assert(Groups(bytes, 0) == Groups(bytes, size > 1 ? data[1] % 64 + 1 : 1));
    const Vexlor::Dxf::ContourImport import = Vexlor::Dxf::ImportContoursFromMemory(bytes, options);
    using Result = Vexlor::Dxf::EContourResult;
    assert(import.result != Result::eOpenError);
    assert((import.result == Result::eReadError) == !import.error.empty());
    assert((import.result == Result::eEmpty) ==
           (import.result != Result::eReadError && import.contours.empty()));
    // Every recovery rests on a group of its own, of 2 bytes at least (a binary one); strict, only
    // the missing EOF marker is read past.
    assert(import.recoveries.size() <= size / 2 + 1);
    assert(!options.strictStructure || import.recoveries.size() <= 1);
    if (options.strictStructure && import.result != Result::eReadError) {
        // What the strict import reads, recovery reads the same.
        options.strictStructure = false;
        const Vexlor::Dxf::ContourImport read =
            Vexlor::Dxf::ImportContoursFromMemory(bytes, options);
        assert(read.result == import.result && read.contours.size() == import.contours.size() &&
               read.recoveries == import.recoveries);
    }
    for (const Vexlor::Dxf::Contour& contour : import.contours) {
        assert(contour.polyline.points.size() >= 2);
        for (const auto& p : contour.polyline.points) {
            // The box holds every point (NaN never comes out of the readers).
            assert(p.x >= import.minimum.x && p.x <= import.maximum.x);
            assert(p.y >= import.minimum.y && p.y <= import.maximum.y);
        }
    }
    return 0;
}
