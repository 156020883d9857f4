// Prints the accurate import of a drawing with its analysis as regions, as JSON, for
// scripts/compare-shapely.py to check against an independent geometry engine.
//   vexlor_dxf_regions_dump [--link-distance D] [--orient] [--drop-duplicates] FILE
// SPDX-License-Identifier: MIT
#include <cstdio>   // std::printf, std::fprintf
#include <cstdlib>  // std::strtod
#include <cstring>  // std::strcmp
#include <string>   // std::string

#include "VexlorDxfContours.h"

namespace {

void Point(const Vexlor::Math::point<double, 2>& p) { std::printf("[%.17g,%.17g]", p.x, p.y); }

void Indices(const std::vector<std::size_t>& list) {
    std::printf("[");
    for (std::size_t k = 0; k < list.size(); ++k) std::printf("%s%zu", k ? "," : "", list[k]);
    std::printf("]");
}

long Index(std::size_t i) { return i == Vexlor::Dxf::kNoContour ? -1 : static_cast<long>(i); }

}  // namespace

int main(int argc, char** argv) {
    Vexlor::Dxf::ContourOptions options;
    options.analyse = true;
    const char* file = nullptr;
    for (int k = 1; k < argc; ++k) {
        if (!std::strcmp(argv[k], "--link-distance") && k + 1 < argc) {
            options.linkingDistance = std::strtod(argv[++k], nullptr);
            options.linkWithinTolerance = false;
        } else if (!std::strcmp(argv[k], "--orient")) {
            options.orient = true;
        } else if (!std::strcmp(argv[k], "--drop-duplicates")) {
            options.dropDuplicates = true;
        } else {
            file = argv[k];
        }
    }
    if (!file) {
        std::fprintf(stderr, "usage: %s [--link-distance D] [--orient] [--drop-duplicates] FILE\n",
                     argv[0]);
        return 2;
    }
    const Vexlor::Dxf::ContourImport import =
        Vexlor::Dxf::ImportContours(std::filesystem::path(file), options);
    std::printf("{\"result\":%d,\"tolerance\":%.17g,\"linkingDistance\":%.17g,",
                static_cast<int>(import.result), import.tolerance, import.linkingDistance);
    std::printf("\"nestingWellDefined\":%s,\"crossingCount\":%zu,\"crossingsComplete\":%s,",
                import.nestingWellDefined ? "true" : "false", import.crossingCount,
                import.crossingsComplete ? "true" : "false");
    std::printf("\"contours\":[");
    for (std::size_t i = 0; i < import.contours.size(); ++i) {
        const auto& contour = import.contours[i];
        const auto& place = import.nesting[i];
        std::printf("%s{\"closed\":%s,\"parent\":%ld,\"depth\":%zu,\"area\":%.17g,\"points\":[",
                    i ? "," : "", contour.polyline.closed ? "true" : "false", Index(place.parent),
                    place.depth, place.area);
        for (std::size_t k = 0; k < contour.polyline.points.size(); ++k) {
            if (k) std::printf(",");
            Point(contour.polyline.points[k]);
        }
        std::printf("]}");
    }
    std::printf("],\"regions\":[");
    for (std::size_t r = 0; r < import.regions.size(); ++r) {
        const auto& region = import.regions[r];
        std::printf("%s{\"outline\":%zu,\"holes\":", r ? "," : "", region.outline);
        Indices(region.holes);
        std::printf(",\"area\":%.17g,\"ccw\":%s}", region.area,
                    region.counterClockwise ? "true" : "false");
    }
    std::printf("],\"crossings\":[");
    for (std::size_t c = 0; c < import.crossings.size(); ++c) {
        const auto& crossing = import.crossings[c];
        std::printf("%s{\"first\":%zu,\"second\":%zu,\"at\":", c ? "," : "", crossing.first,
                    crossing.second);
        Point(crossing.at);
        std::printf("}");
    }
    std::printf("],\"gaps\":[");
    for (std::size_t g = 0; g < import.gaps.size(); ++g) {
        const auto& gap = import.gaps[g];
        std::printf("%s{\"first\":%zu,\"second\":%zu,\"distance\":%.17g,\"from\":", g ? "," : "",
                    gap.first, gap.second, gap.distance);
        Point(gap.from);
        std::printf(",\"to\":");
        Point(gap.to);
        std::printf("}");
    }
    std::printf("],\"open\":");
    Indices(import.openContours);
    std::printf(",\"duplicates\":[");
    for (std::size_t d = 0; d < import.duplicates.size(); ++d) {
        const auto& duplicate = import.duplicates[d];
        std::printf("%s{\"original\":%zu,\"copies\":", d ? "," : "", duplicate.original);
        Indices(duplicate.copies);
        std::printf(",\"dropped\":%zu}", duplicate.dropped);
    }
    std::printf("]}\n");
    return 0;
}
