// Fuzz harness: arbitrary bytes given to the accurate import end in one of its documented
// outcomes, with contours that keep its promises.
// SPDX-License-Identifier: MIT
#undef NDEBUG           // the checks are asserts, in every build type
#include <cassert>      // assert
#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint8_t
#include <string_view>  // std::string_view

#include "VexlorDxfContours.h"

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
    options.maxPoints = 1 << 20;
    const Vexlor::Dxf::ContourImport import = Vexlor::Dxf::ImportContoursFromMemory(
        std::string_view(reinterpret_cast<const char*>(data), size), options);
    using Result = Vexlor::Dxf::EContourResult;
    assert(import.result != Result::eOpenError);
    assert((import.result == Result::eReadError) == !import.error.empty());
    assert((import.result == Result::eEmpty) ==
           (import.result != Result::eReadError && import.contours.empty()));
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
