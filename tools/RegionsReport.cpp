// The import's analysis as regions in the tool's outputs.
// SPDX-License-Identifier: MIT
#include "RegionsReport.h"

#include <fmt/core.h>
#include <fmt/format.h>  // fmt::format_to

#include <algorithm>          // std::max
#include <cmath>              // std::floor, std::log10, std::pow, std::isfinite
#include <iterator>           // std::back_inserter
#include <nlohmann/json.hpp>  // nlohmann::json

namespace Vexlor::DxfTool {

namespace {

using Vexlor::Dxf::ContourImport;

nlohmann::json PointJson(const Vexlor::Math::point<double, 2>& p) {
    return nlohmann::json::array({p.x, p.y});
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return fmt::format("{} {}", count, count == 1 ? one : many);
}

}  // namespace

double RoundedAbove(double distance) {
    if (!(distance > 0) || !std::isfinite(distance)) return distance;
    const double power = std::pow(10.0, std::floor(std::log10(distance)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power > distance) return step * power;
    }
    return 20 * power;  // rounding put the distance at the top of its decade
}

std::string RegionsSummary(const ContourImport& import) {
    if (import.nesting.size() != import.contours.size() || import.contours.empty()) return "";
    std::size_t holes = 0;
    for (const auto& region : import.regions) holes += region.holes.size();
    std::string text =
        fmt::format("{} ({}), {} open", Plural(import.regions.size(), "region", "regions"),
                    Plural(holes, "hole", "holes"), import.openContours.size());
    if (!import.gaps.empty()) {
        double largest = 0;
        double closable = 0;  // the largest gap that a larger linking distance joins
        for (const auto& gap : import.gaps) {
            largest = std::max(largest, gap.distance);
            if (gap.distance >= import.linkingDistance) closable = std::max(closable, gap.distance);
        }
        fmt::format_to(std::back_inserter(text), "; {}{} up to {:.2g}",
                       Plural(import.gaps.size(), "gap", "gaps"),
                       import.gapsComplete ? "" : " or more", largest);
        if (closable > 0) {
            fmt::format_to(std::back_inserter(text), ": --link-distance {:g} closes {}",
                           RoundedAbove(closable), import.gaps.size() == 1 ? "it" : "them");
        }
    }
    if (import.crossingCount > 0) {
        std::size_t self = 0;
        for (const auto& crossing : import.crossings) self += crossing.first == crossing.second;
        fmt::format_to(std::back_inserter(text), "; {}{}",
                       import.crossingsComplete ? "" : "at least ",
                       Plural(import.crossingCount, "crossing pair", "crossing pairs"));
        if (self > 0) {
            fmt::format_to(std::back_inserter(text), " ({} crossing {})",
                           Plural(self, "contour", "contours"),
                           self == 1 ? "itself" : "themselves");
        }
    }
    if (!import.nestingWellDefined)
        text += "; nesting not well defined where closed contours cross";
    if (!import.duplicates.empty()) {
        std::size_t copies = 0;
        for (const auto& duplicate : import.duplicates) {
            copies += duplicate.copies.size() + duplicate.dropped;
        }
        fmt::format_to(std::back_inserter(text), "; {} drawn again",
                       Plural(copies, "contour", "contours"));
    }
    return text;
}

std::string RegionsJson(const ContourImport& import) {
    nlohmann::json json;
    json["linking_distance"] = import.linkingDistance;
    json["nesting_well_defined"] = import.nestingWellDefined;
    json["regions"] = nlohmann::json::array();
    for (const auto& region : import.regions) {
        json["regions"].push_back({{"outline", region.outline},
                                   {"holes", region.holes},
                                   {"area", region.area},
                                   {"counter_clockwise", region.counterClockwise}});
    }
    json["nesting"] = nlohmann::json::array();
    for (const auto& place : import.nesting) {
        json["nesting"].push_back(
            {{"parent", place.parent == Vexlor::Dxf::kNoContour ? nlohmann::json(nullptr)
                                                                : nlohmann::json(place.parent)},
             {"depth", place.depth},
             {"area", place.area}});
    }
    json["open"] = import.openContours;
    json["gaps"] = nlohmann::json::array();
    for (const auto& gap : import.gaps) {
        json["gaps"].push_back({{"contours", {gap.first, gap.second}},
                                {"at_back", {gap.firstAtBack, gap.secondAtBack}},
                                {"from", PointJson(gap.from)},
                                {"to", PointJson(gap.to)},
                                {"distance", gap.distance}});
    }
    json["gaps_complete"] = import.gapsComplete;
    json["crossings"] = nlohmann::json::array();
    for (const auto& crossing : import.crossings) {
        json["crossings"].push_back(
            {{"contours", {crossing.first, crossing.second}}, {"at", PointJson(crossing.at)}});
    }
    json["crossing_count"] = import.crossingCount;
    json["crossings_complete"] = import.crossingsComplete;
    json["duplicates"] = nlohmann::json::array();
    for (const auto& duplicate : import.duplicates) {
        json["duplicates"].push_back({{"original", duplicate.original},
                                      {"copies", duplicate.copies},
                                      {"dropped", duplicate.dropped}});
    }
    return json.dump();
}

void WriteRegionsSvg(std::ostream& out, const ContourImport& import,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& drawn, bool negateY,
                     const std::function<std::pair<double, double>(double, double)>& place) {
    const auto ring = [&](std::string& data, std::size_t contour) {
        if (contour >= drawn.size()) return;
        const char* move = "M";
        for (const auto& p : drawn[contour].points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            const auto [x, y] = place(p.x, p.y);
            fmt::format_to(std::back_inserter(data), "{}{:.2f} {:.2f}", move, x, y);
            move = " L";
        }
        if (*move != 'M') data += " Z ";
    };
    const double sign = negateY ? -1 : 1;
    out << "<g class=\"regions\" fill=\"#f08c00\" fill-opacity=\"0.3\" fill-rule=\"evenodd\" "
           "stroke=\"none\">\n";
    for (const auto& region : import.regions) {
        std::string data;
        ring(data, region.outline);
        for (const std::size_t hole : region.holes) ring(data, hole);
        if (!data.empty()) out << "<path d=\"" << data << "\"/>\n";
    }
    out << "</g>\n<g class=\"crossings\" stroke=\"#e03131\" stroke-width=\"2\">\n";
    for (const auto& crossing : import.crossings) {
        if (!std::isfinite(crossing.at.x) || !std::isfinite(crossing.at.y)) continue;
        const auto [x, y] = place(crossing.at.x, sign * crossing.at.y);
        out << fmt::format(
            "<path d=\"M{:.2f} {:.2f} L{:.2f} {:.2f} M{:.2f} {:.2f} L{:.2f} {:.2f}\"/>\n", x - 5,
            y - 5, x + 5, y + 5, x - 5, y + 5, x + 5, y - 5);
    }
    out << "</g>\n<g class=\"gaps\" font-family=\"sans-serif\" font-size=\"10\" "
           "fill=\"#862e9c\">\n";
    for (const auto& gap : import.gaps) {
        const double mx = (gap.from.x + gap.to.x) / 2;
        const double my = (gap.from.y + gap.to.y) / 2;
        if (!std::isfinite(mx) || !std::isfinite(my)) continue;
        const auto [x, y] = place(mx, sign * my);
        out << fmt::format(
            "<circle cx=\"{0:.2f}\" cy=\"{1:.2f}\" r=\"6\" fill=\"none\" stroke=\"#862e9c\" "
            "stroke-width=\"1.5\"/>\n<text x=\"{2:.2f}\" y=\"{3:.2f}\">{4:.2g}</text>\n",
            x, y, x + 8, y - 8, gap.distance);
    }
    out << "</g>\n";
}

}  // namespace Vexlor::DxfTool
