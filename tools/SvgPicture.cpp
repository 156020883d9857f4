// Writing of the SVG picture of imported contours.
// SPDX-License-Identifier: MIT
#include "SvgPicture.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>  // std::min, std::max, std::count_if
#include <cmath>      // std::isfinite, std::fmod, std::fabs, std::lround
#include <cstddef>    // std::size_t
#include <cstring>    // std::strlen
#include <iterator>   // std::back_inserter, std::size
#include <limits>     // std::numeric_limits
#include <map>        // std::map
#include <utility>    // std::pair

#include "PrintableText.h"
#include "RegionsReport.h"

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
    std::string colour;
    std::vector<std::size_t> members;  // indices into the polylines
};

constexpr double kCharacterWidth = 7.0;  // pixels a character of the caption takes, about

// The `index`-th layer's colour: the palette's first, then hues a golden angle apart, which never
// meet again, in three lightnesses, so that no two layers share a colour.
std::string LayerColour(std::size_t index) {
    if (index < std::size(kLayerColours)) return kLayerColours[index];
    const std::size_t k = index - std::size(kLayerColours);
    const double hue = std::fmod(static_cast<double>(k) * 137.50776405003785 + 15.0, 360.0);
    const double lightness = 0.32 + 0.12 * static_cast<double>(k % 3);
    const double chroma = (1 - std::fabs(2 * lightness - 1)) * 0.75;
    const double h = hue / 60.0;
    const double second = chroma * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    const double rgb[6][3] = {{chroma, second, 0}, {second, chroma, 0}, {0, chroma, second},
                              {0, second, chroma}, {second, 0, chroma}, {chroma, 0, second}};
    const double* c = rgb[std::min(5, static_cast<int>(h))];
    const double m = lightness - chroma / 2;
    const auto byte = [&](double v) { return static_cast<int>(std::lround((v + m) * 255)); };
    return fmt::format("#{:02x}{:02x}{:02x}", byte(c[0]), byte(c[1]), byte(c[2]));
}

// The byte offsets where the characters of UTF-8 `text` begin, and its end.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    starts.push_back(text.size());
    return starts;
}

// `text` (printable UTF-8) cut to `pixels` of caption: its start and its end kept, an ellipsis
// between, since a path's file name is at its end.
std::string FitText(const std::string& text, double pixels) {
    const std::vector<std::size_t> starts = CharacterStarts(text);
    const std::size_t characters = starts.size() - 1;
    const auto room = static_cast<std::size_t>(std::max(pixels / kCharacterWidth, 5.0));
    if (characters <= room) return text;
    const std::size_t tail = (room - 1) * 2 / 3;
    const std::size_t head = room - 1 - tail;
    return text.substr(0, starts[head]) + "\u2026" + text.substr(starts[characters - tail]);
}

// `text` (printable UTF-8) in lines of `pixels` of caption, broken at blanks where it can be.
std::vector<std::string> WrapText(const std::string& text, double pixels) {
    const auto room = static_cast<std::size_t>(std::max(pixels / kCharacterWidth, 10.0));
    const std::vector<std::size_t> starts = CharacterStarts(text);
    std::vector<std::string> lines;
    std::size_t from = 0;  // a character index
    while (from + 1 < starts.size()) {
        std::size_t to = std::min(from + room, starts.size() - 1);
        if (to + 1 < starts.size()) {
            std::size_t blank = to;
            while (blank > from && text[starts[blank]] != ' ') --blank;
            if (blank > from) to = blank;
        }
        lines.push_back(text.substr(starts[from], starts[to] - starts[from]));
        from = to;
        while (from + 1 < starts.size() && text[starts[from]] == ' ') ++from;
    }
    return lines;
}

// The caption's lines under the picture: the title fitted to the width, then the error wrapped.
struct CaptionLines {
    std::string title;                // escaped
    std::vector<std::string> errors;  // escaped
};

CaptionLines CaptionOf(const std::string& title, const SvgNotes& notes, double width) {
    CaptionLines lines;
    const double room = width - 2 * kMargin;
    lines.title = EscapeXml(FitText(Printable(title), room));
    if (!notes.error.empty()) {
        for (const std::string& line : WrapText(Printable(notes.error), room)) {
            lines.errors.push_back(EscapeXml(line));
        }
    }
    return lines;
}

// The title and the error from `top` down, one line each.
void WriteCaptionLines(std::ostream& out, const CaptionLines& lines, double top) {
    fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{}</text>\n", kMargin, top + 14, lines.title);
    for (std::size_t k = 0; k < lines.errors.size(); ++k) {
        fmt::print(out,
                   "<text class=\"error\" x=\"{:.2f}\" y=\"{:.2f}\" fill=\"#c92a2a\">{}</text>\n",
                   kMargin, top + 14 + kLegendRow * static_cast<double>(k + 1), lines.errors[k]);
    }
}

double CaptionHeight(const CaptionLines& lines) {
    return kLegendRow * static_cast<double>(1 + lines.errors.size()) + 8;
}

// The dots at both ends of an open piece, which show where it failed to meet another.
void AddEnds(std::string& ends, const Polyline& polyline, const Frame& frame,
             const std::string& fill) {
    for (const Point* p : {&polyline.points.front(), &polyline.points.back()}) {
        if (!Finite(*p)) continue;
        fmt::format_to(std::back_inserter(ends),
                       "<circle cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"3\"{}/>\n", frame.X(p->x),
                       frame.Y(p->y), fill);
    }
}

}  // namespace

bool IsLoop(const Polyline& polyline) {
    if (polyline.closed || polyline.points.size() < 3) return false;
    const Point& first = polyline.points.front();
    const Point& last = polyline.points.back();
    const double dx = first.x - last.x;
    const double dy = first.y - last.y;
    return dx * dx + dy * dy < 1e-8;
}

void WriteSvg(std::ostream& out, const std::vector<Polyline>& polylines, const std::string& title,
              const SvgNotes& notes) {
    const Frame frame = FitFrame(polylines);
    const double width = std::max(frame.width + 2 * kMargin, kMinWidth);
    const CaptionLines caption = CaptionOf(title, notes, width);
    const double legendTop = frame.height + 2 * kMargin;
    const double height = legendTop + kLegendRow + CaptionHeight(caption);
    WriteHead(out, width, height, EscapeXml(title));

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
            if (style.kind == EKind::eOpen && notes.markEnds) AddEnds(ends, polyline, frame, "");
        }
        out << "</g>\n";
    }
    out << "<g class=\"ends\" fill=\"#d9480f\">\n" << ends << "</g>\n";

    // The caption: a line sample and a count per kind, then the title and any error.
    const double lineY = legendTop + kLegendRow / 2;
    if (notes.analysis) {
        WriteRegionsSvg(out, *notes.analysis, polylines, notes.negateY, [&](double px, double py) {
            return std::pair{frame.X(px), frame.Y(py)};
        });
    }
    out << "<g class=\"caption\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#333333\">\n";
    double x = kMargin;
    for (const Style& style : kStyles) {
        fmt::print(out, "<line x1=\"{:.2f}\" y1=\"{:.2f}\" x2=\"{:.2f}\" y2=\"{:.2f}\" {}/>\n", x,
                   lineY, x + 18, lineY, style.stroke);
        fmt::print(out, "<text x=\"{:.2f}\" y=\"{:.2f}\">{} {}</text>\n", x + 24, lineY + 4,
                   counts[static_cast<int>(style.kind)], style.label);
        x += 60 + kCharacterWidth * static_cast<double>(std::strlen(style.label));
    }
    WriteCaptionLines(out, caption, legendTop + kLegendRow);
    out << "</g>\n</svg>\n";
}

void WriteSvgByLayer(std::ostream& out, const std::vector<Polyline>& polylines,
                     const std::vector<std::string>& layers, const std::string& title,
                     const SvgNotes& notes) {
    std::vector<Layer> order;
    std::map<std::string, std::size_t> byKey;
    for (std::size_t i = 0; i < polylines.size() && i < layers.size(); ++i) {
        const auto [at, added] = byKey.try_emplace(NameKey(layers[i]), order.size());
        if (added) order.push_back({layers[i], LayerColour(order.size()), {}});
        order[at->second].members.push_back(i);
    }

    const Frame frame = FitFrame(polylines);
    const double width = std::max(frame.width + 2 * kMargin, kMinWidth);
    // The legend's entries fill lines of the picture's width, as many lines as they take; a name
    // too long for a line is cut to fit.
    std::vector<std::string> labels;
    std::vector<std::pair<double, int>> places;  // each entry's x and line
    double x = kMargin;
    int line = 0;
    const double room = width - 2 * kMargin - 44;  // a line less the sample, its gap and room
    for (const Layer& layer : order) {
        const std::string count = fmt::format(" ({})", layer.members.size());
        const std::string shown =
            FitText(Printable(layer.name), room - kCharacterWidth * count.size()) + count;
        labels.push_back(EscapeXml(shown));
        // A sample, its gap, the text and room to the next.
        const double entryWidth =
            24 + kCharacterWidth * static_cast<double>(Characters(shown)) + 20;
        if (x > kMargin && x + entryWidth > width - kMargin) {
            ++line;
            x = kMargin;
        }
        places.emplace_back(x, line);
        x += entryWidth;
    }
    const int lines = order.empty() ? 0 : line + 1;
    const double legendTop = frame.height + 2 * kMargin;
    const CaptionLines caption = CaptionOf(title, notes, width);
    const double captionTop = legendTop + lines * kLegendRow;
    const double height = captionTop + CaptionHeight(caption);
    WriteHead(out, width, height, EscapeXml(title));

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
            if (notes.markEnds) {
                AddEnds(ends, polyline, frame, fmt::format(" fill=\"{}\"", layer.colour));
            }
        }
        out << "</g>\n";
    }
    out << "<g class=\"ends\">\n" << ends << "</g>\n";

    if (notes.analysis) {
        WriteRegionsSvg(out, *notes.analysis, polylines, notes.negateY, [&](double px, double py) {
            return std::pair{frame.X(px), frame.Y(py)};
        });
    }
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
    WriteCaptionLines(out, caption, captionTop);
    out << "</g>\n</svg>\n";
}

std::size_t CountOpenPieces(const std::vector<Polyline>& polylines) {
    return static_cast<std::size_t>(
        std::count_if(polylines.begin(), polylines.end(),
                      [](const Polyline& p) { return KindOf(p) == EKind::eOpen; }));
}

}  // namespace Vexlor::DxfTool
