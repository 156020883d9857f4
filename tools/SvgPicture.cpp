// Writing of the SVG picture of imported contours.
// SPDX-License-Identifier: MIT
#include "SvgPicture.h"

#include <algorithm>  // std::min, std::max
#include <cmath>      // std::isfinite
#include <cstddef>    // std::size_t
#include <cstdio>     // std::snprintf
#include <cstring>    // std::strlen
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

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
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

    std::string X(double x) const { return Number(kMargin + (x - minX) * scale); }
    std::string Y(double y) const { return Number(kMargin + (y - minY) * scale); }
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
        data += data.empty() ? "M" : " L";
        data += frame.X(p.x) + " " + frame.Y(p.y);
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
     "fill=\"#2f6fb3\" fill-opacity=\"0.12\" fill-rule=\"evenodd\" stroke=\"#1d4f86\" "
     "stroke-width=\"1.5\" stroke-linejoin=\"round\"",
     "stroke=\"#1d4f86\" stroke-width=\"1.5\""},
    {EKind::eLoop, "loop", "open, ends meet",
     "fill=\"#2f9e44\" fill-opacity=\"0.12\" fill-rule=\"evenodd\" stroke=\"#2b8a3e\" "
     "stroke-width=\"1.5\" stroke-linejoin=\"round\"",
     "stroke=\"#2b8a3e\" stroke-width=\"1.5\""},
    {EKind::eOpen, "open", "open",
     "fill=\"none\" stroke=\"#d9480f\" stroke-width=\"2\" stroke-dasharray=\"7 4\" "
     "stroke-linecap=\"round\" stroke-linejoin=\"round\"",
     "stroke=\"#d9480f\" stroke-width=\"2\" stroke-dasharray=\"7 4\""},
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

    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Number(width) << "\" height=\""
        << Number(height) << "\" viewBox=\"0 0 " << Number(width) << ' ' << Number(height)
        << "\">\n"
        << "<title>" << EscapeXml(title) << "</title>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

    std::size_t counts[3] = {0, 0, 0};
    std::string ends;
    for (const Style& style : kStyles) {
        out << "<g class=\"" << style.name << "\" " << style.groupAttributes << ">\n";
        for (const Polyline& polyline : polylines) {
            if (KindOf(polyline) != style.kind) continue;
            ++counts[static_cast<int>(style.kind)];
            const std::string data = PathData(polyline, frame);
            if (data.empty()) continue;
            out << "<path d=\"" << data << "\"/>\n";
            if (style.kind != EKind::eOpen) continue;
            // Dots at both ends show where a piece failed to meet another.
            for (const Point* p : {&polyline.points.front(), &polyline.points.back()}) {
                if (!Finite(*p)) continue;
                ends +=
                    "<circle cx=\"" + frame.X(p->x) + "\" cy=\"" + frame.Y(p->y) + "\" r=\"3\"/>\n";
            }
        }
        out << "</g>\n";
    }
    out << "<g class=\"ends\" fill=\"#d9480f\">\n" << ends << "</g>\n";

    // The caption: a line sample and a count per kind, then the title.
    const std::string lineY = Number(height - kCaptionSpace / 2);
    const std::string baseline = Number(height - kCaptionSpace / 2 + 4);
    out << "<g class=\"caption\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#333333\">\n";
    double x = kMargin;
    for (const Style& style : kStyles) {
        out << "<line x1=\"" << Number(x) << "\" y1=\"" << lineY << "\" x2=\"" << Number(x + 18)
            << "\" y2=\"" << lineY << "\" " << style.stroke << "/>\n"
            << "<text x=\"" << Number(x + 24) << "\" y=\"" << baseline << "\">"
            << counts[static_cast<int>(style.kind)] << ' ' << style.label << "</text>\n";
        x += 60 + 7 * std::strlen(style.label);
    }
    out << "<text x=\"" << Number(x + 8) << "\" y=\"" << baseline << "\">" << EscapeXml(title)
        << "</text>\n"
        << "</g>\n"
        << "</svg>\n";
}

}  // namespace Vexlor::DxfTool
