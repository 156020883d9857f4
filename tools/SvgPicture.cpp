// Writing of the SVG picture of imported contours.
// SPDX-License-Identifier: MIT
#include "SvgPicture.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>  // std::min, std::max
#include <cmath>      // std::isfinite
#include <cstddef>    // std::size_t
#include <cstring>    // std::strlen
#include <iterator>   // std::back_inserter
#include <limits>     // std::numeric_limits

namespace Vexlor::DxfTool {

namespace {

using Polyline = Vexlor::Math::polyline<double, 2>;
using Point = Vexlor::Math::point<double, 2>;

constexpr double kFitSize = 800.0;      // pixels the longer side of the drawing is scaled to
constexpr double kMargin = 24.0;        // pixels around the drawing
constexpr double kCaptionSpace = 28.0;  // pixels below the margin for the caption
constexpr double kMinWidth = 520.0;     // so that the caption fits beside a narrow drawing

bool Finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The characters that would end an attribute or start markup, written as entities.
std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const char* entity = c == '&'   ? "&amp;"
                             : c == '<' ? "&lt;"
                             : c == '>' ? "&gt;"
                             : c == '"' ? "&quot;"
                                        : nullptr;
        escaped += entity ? entity : std::string(1, c);
    }
    return escaped;
}

// Maps drawing coordinates to pixels: the box's corner to the margin, one scale for both axes.
struct Frame {
    double minX = 0.0;
    double minY = 0.0;
    double scale = 1.0;
    double width = 0.0;   // of the drawing, in pixels
    double height = 0.0;  // of the drawing, in pixels

    double X(double x) const { return kMargin + (x - minX) * scale; }
    double Y(double y) const { return kMargin + (y - minY) * scale; }
};

Frame FitFrame(const std::vector<Polyline>& polylines) {
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    for (const Polyline& polyline : polylines) {
        for (const Point& p : polyline.points) {
            if (!Finite(p)) continue;
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    }
    Frame frame;
    if (minX > maxX) return frame;  // no finite point: an empty picture
    frame.minX = minX;
    frame.minY = minY;
    // A drawing that is a single point or a straight line along an axis is scaled by its
    // other side, or not at all.
    const double extent = std::max(maxX - minX, maxY - minY);
    if (extent > 0.0 && std::isfinite(extent)) frame.scale = kFitSize / extent;
    frame.width = (maxX - minX) * frame.scale;
    frame.height = (maxY - minY) * frame.scale;
    return frame;
}

enum class EKind { eClosed, eLoop, eOpen };

EKind KindOf(const Polyline& polyline) {
    if (polyline.closed) return EKind::eClosed;
    return IsLoop(polyline) ? EKind::eLoop : EKind::eOpen;
}

std::string PathData(const Polyline& polyline, const Frame& frame) {
    std::string data;
    for (const Point& p : polyline.points) {
        if (!Finite(p)) continue;
        fmt::format_to(std::back_inserter(data), "{}{:.2f} {:.2f}", data.empty() ? "M" : " L",
                       frame.X(p.x), frame.Y(p.y));
    }
    if (polyline.closed && !data.empty()) data += " Z";
    return data;
}

// How each kind is drawn: the group's attributes, and the legend's stroke sample.
struct Style {
    EKind kind;
    const char* name;   // the group's class
    const char* label;  // the legend's words
    const char* groupAttributes;
    const char* stroke;
};

const Style kStyles[] = {
    {EKind::eClosed, "closed", "closed",
     R"(fill="#2f6fb3" fill-opacity="0.12" fill-rule="evenodd" stroke="#1d4f86" )"
     R"(stroke-width="1.5" stroke-linejoin="round")",
     R"(stroke="#1d4f86" stroke-width="1.5")"},
    {EKind::eLoop, "loop", "open, ends meet",
     R"(fill="#2f9e44" fill-opacity="0.12" fill-rule="evenodd" stroke="#2b8a3e" )"
     R"(stroke-width="1.5" stroke-linejoin="round")",
     R"(stroke="#2b8a3e" stroke-width="1.5")"},
    {EKind::eOpen, "open", "open",
     R"(fill="none" stroke="#d9480f" stroke-width="2" stroke-dasharray="7 4" )"
     R"(stroke-linecap="round" stroke-linejoin="round")",
     R"(stroke="#d9480f" stroke-width="2" stroke-dasharray="7 4")"},
};

}  // namespace

bool IsLoop(const Polyline& polyline) {
    if (polyline.closed || polyline.points.size() < 3) return false;
    const Point& first = polyline.points.front();
    const Point& last = polyline.points.back();
    const double dx = first.x - last.x;
    const double dy = first.y - last.y;
    return dx * dx + dy * dy < 1e-8;
}

void WriteSvg(std::ostream& out, const std::vector<Polyline>& polylines, const std::string& title) {
    const Frame frame = FitFrame(polylines);
    const double width = std::max(frame.width + 2 * kMargin, kMinWidth);
    const double height = frame.height + 2 * kMargin + kCaptionSpace;
    const std::string escapedTitle = EscapeXml(title);
    fmt::print(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0:.2f}\" height=\"{1:.2f}\" "
               "viewBox=\"0 0 {0:.2f} {1:.2f}\">\n"
               "<title>{2}</title>\n"
               "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n",
               width, height, escapedTitle);

    std::size_t counts[3] = {0, 0, 0};
    std::string ends;
    for (const Style& style : kStyles) {
        fmt::print(out, "<g class=\"{}\" {}>\n", style.name, style.groupAttributes);
        for (const Polyline& polyline : polylines) {
            if (KindOf(polyline) != style.kind) continue;
            ++counts[static_cast<int>(style.kind)];
            const std::string data = PathData(polyline, frame);
            if (data.empty()) continue;
            fmt::print(out, "<path d=\"{}\"/>\n", data);
            if (style.kind != EKind::eOpen) continue;
            // Dots at both ends show where a piece failed to meet another.
            for (const Point* p : {&polyline.points.front(), &polyline.points.back()}) {
                if (!Finite(*p)) continue;
                fmt::format_to(std::back_inserter(ends),
                               "<circle cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"3\"/>\n", frame.X(p->x),
                               frame.Y(p->y));
            }
        }
        out << "</g>\n";
    }
    out << "<g class=\"ends\" fill=\"#d9480f\">\n" << ends << "</g>\n";

    // The caption: a line sample and a count per kind, then the title.
    const double lineY = height - kCaptionSpace / 2;
    const double baseline = height - kCaptionSpace / 2 + 4;
    out << "<g class=\"caption\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#333333\">\n";
    double x = kMargin;
    for (const Style& style : kStyles) {
        fmt::print(out, "<line x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" y2=\"{:.2f}\" {}/>\n", x,
                   lineY, x + 18, lineY, style.stroke);
        fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{} {}</text>\n", x + 24, baseline,
                   counts[static_cast<int>(style.kind)], style.label);
        x += 60 + 7 * std::strlen(style.label);
    }
    fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{}</text>\n</g>\n</svg>\n", x + 8, baseline,
               escapedTitle);
}

}  // namespace Vexlor::DxfTool
