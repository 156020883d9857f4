// Writing of the SVG picture of imported contours.
// SPDX-License-Identifier: MIT
#include "SvgPicture.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>  // std::min, std::max, std::count_if
#include <cmath>      // std::isfinite
#include <cstddef>    // std::size_t
#include <cstring>    // std::strlen
#include <iterator>   // std::back_inserter, std::size
#include <limits>     // std::numeric_limits
#include <map>        // std::map
#include <utility>    // std::pair

#include "PrintableText.h"

namespace Vexlor::DxfTool {

namespace {

using Polyline = Vexlor::Math::polyline<double, 2>;
using Point = Vexlor::Math::point<double, 2>;

constexpr double kFitSize = 800.0;      // pixels the longer side of the drawing is scaled to
constexpr double kMargin = 24.0;        // pixels around the drawing
constexpr double kCaptionSpace = 28.0;  // pixels below the margin for the caption
constexpr double kMinWidth = 520.0;     // so that the caption fits beside a narrow drawing

bool Finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Text as XML: the characters that would end an attribute or start markup written as entities,
// after the characters XML cannot hold at all and bytes that are not UTF-8 were escaped
// (Printable), so that an odd layer or file name cannot make the picture unreadable.
std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : Printable(text)) {
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

// The document's start: its size, its title (escaped) and a white background.
void WriteHead(std::ostream& out, double width, double height, const std::string& escapedTitle) {
    fmt::print(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0:.2f}\" height=\"{1:.2f}\" "
               "viewBox=\"0 0 {0:.2f} {1:.2f}\">\n"
               "<title>{2}</title>\n"
               "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n",
               width, height, escapedTitle);
}

// Colours told apart at a glance on white, and from each other, the first ones most of all.
const char* const kLayerColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                     "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"};
constexpr double kLegendRow = 20.0;  // pixels per line of the layer legend

// The characters of UTF-8 text, which the legend's widths are reckoned by.
std::size_t Characters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// DXF names are the same whatever the case of their ASCII letters.
std::string NameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// One layer of the picture: its name as first spelled, its colour and its polylines.
struct Layer {
    std::string name;
    const char* colour;
    std::vector<std::size_t> members;  // indices into the polylines
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
    WriteHead(out, width, height, escapedTitle);

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

void WriteSvgByLayer(std::ostream& out, const std::vector<Polyline>& polylines,
                     const std::vector<std::string>& layers, const std::string& title) {
    std::vector<Layer> order;
    std::map<std::string, std::size_t> byKey;
    for (std::size_t i = 0; i < polylines.size() && i < layers.size(); ++i) {
        const auto [at, added] = byKey.try_emplace(NameKey(layers[i]), order.size());
        if (added) {
            order.push_back(
                {layers[i], kLayerColours[order.size() % std::size(kLayerColours)], {}});
        }
        order[at->second].members.push_back(i);
    }

    const Frame frame = FitFrame(polylines);
    const double width = std::max(frame.width + 2 * kMargin, kMinWidth);
    // The legend's entries fill lines of the picture's width, as many lines as they take.
    std::vector<std::string> labels;
    std::vector<std::pair<double, int>> places;  // each entry's x and line
    double x = kMargin;
    int line = 0;
    for (const Layer& layer : order) {
        const std::string shown =
            Printable(fmt::format("{} ({})", layer.name, layer.members.size()));
        labels.push_back(EscapeXml(shown));
        // A sample, its gap, about 7 pixels a character at this size, and room to the next.
        const double entryWidth = 24 + 7.0 * static_cast<double>(Characters(shown)) + 20;
        if (x > kMargin && x + entryWidth > width - kMargin) {
            ++line;
            x = kMargin;
        }
        places.emplace_back(x, line);
        x += entryWidth;
    }
    const int lines = order.empty() ? 0 : line + 1;
    const double legendTop = frame.height + 2 * kMargin;
    const double height = legendTop + lines * kLegendRow + kCaptionSpace;
    const std::string escapedTitle = EscapeXml(title);
    WriteHead(out, width, height, escapedTitle);

    std::string ends;
    for (const Layer& layer : order) {
        fmt::print(out,
                   "<g class=\"layer\" data-layer=\"{0}\" fill=\"{1}\" fill-opacity=\"0.12\" "
                   "fill-rule=\"evenodd\" stroke=\"{1}\" stroke-width=\"1.5\" "
                   "stroke-linejoin=\"round\">\n",
                   EscapeXml(layer.name), layer.colour);
        for (const std::size_t i : layer.members) {
            const Polyline& polyline = polylines[i];
            const std::string data = PathData(polyline, frame);
            if (data.empty()) continue;
            if (KindOf(polyline) != EKind::eOpen) {
                fmt::print(out, "<path d=\"{}\"/>\n", data);
                continue;
            }
            fmt::print(out,
                       "<path class=\"open\" d=\"{}\" fill=\"none\" stroke-width=\"2\" "
                       "stroke-dasharray=\"7 4\" stroke-linecap=\"round\"/>\n",
                       data);
            // Dots at both ends show where a piece failed to meet another.
            for (const Point* p : {&polyline.points.front(), &polyline.points.back()}) {
                if (!Finite(*p)) continue;
                fmt::format_to(std::back_inserter(ends),
                               "<circle cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"3\" fill=\"{}\"/>\n",
                               frame.X(p->x), frame.Y(p->y), layer.colour);
            }
        }
        out << "</g>\n";
    }
    out << "<g class=\"ends\">\n" << ends << "</g>\n";

    out << "<g class=\"caption\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#333333\">\n";
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto [left, row] = places[k];
        const double lineY = legendTop + row * kLegendRow + kLegendRow / 2;
        fmt::print(out,
                   "<line x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" y2=\"{:.2f}\" stroke=\"{}\" "
                   "stroke-width=\"3\"/>\n",
                   left, lineY, left + 18, lineY, order[k].colour);
        fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{}</text>\n", left + 24, lineY + 4,
                   labels[k]);
    }
    fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{}</text>\n</g>\n</svg>\n", kMargin,
               height - kCaptionSpace / 2 + 4, escapedTitle);
}

}  // namespace Vexlor::DxfTool
