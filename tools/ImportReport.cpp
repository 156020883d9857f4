// The import command's words for a drawing's result, and its summary.
// SPDX-License-Identifier: MIT
#include "ImportReport.h"

#include <fmt/core.h>

#include <utility>  // std::move

#include "Console.h"
#include "PrintableText.h"
#include "SvgPicture.h"
#include "VexlorDxfUnits.h"

namespace Vexlor::DxfTool {

namespace {

const char* ImportWords(CDXFReader::EReturnCode result) {
    switch (result) {
        case CDXFReader::eOk:
            return "imported";
        case CDXFReader::eReadError:
            return "cannot be read to its end (its EOF marker is missing or a group is broken)";
        case CDXFReader::eOpenError:
            return "cannot be opened";
        case CDXFReader::eEmpty:
            return "no contours found";
        case CDXFReader::eIntersecting:
            return "contours cross each other";
    }
    return "unknown result";
}

// The summary's words for what --units did: "inches to millimetres, coordinates times 25.4", or
// why the drawing's coordinates were left as they are.
std::string Conversion(const Vexlor::Dxf::ContourImport& import, int unitsAsked) {
    const int from = import.units;
    if (Vexlor::Dxf::FindUnit(from) == nullptr) {
        return fmt::format(
            "the drawing gives none that is known ($INSUNITS {}): coordinates not "
            "converted to {}",
            from, UnitWords(unitsAsked));
    }
    return fmt::format("{} to {}, coordinates times {:.9g}", UnitWords(from), UnitWords(unitsAsked),
                       import.scale);
}

}  // namespace

Counts CountContours(const std::vector<Polyline>& polylines) {
    Counts counts;
    for (const Polyline& polyline : polylines) {
        counts.closed += polyline.closed ? 1 : 0;
        counts.loops += IsLoop(polyline) ? 1 : 0;
        counts.points += polyline.points.size();
    }
    return counts;
}

CDXFReader::EReturnCode ReaderCode(Vexlor::Dxf::EContourResult result) {
    switch (result) {
        case Vexlor::Dxf::EContourResult::eOk:
            return CDXFReader::eOk;
        case Vexlor::Dxf::EContourResult::eReadError:
            return CDXFReader::eReadError;
        case Vexlor::Dxf::EContourResult::eOpenError:
            return CDXFReader::eOpenError;
        case Vexlor::Dxf::EContourResult::eEmpty:
            return CDXFReader::eEmpty;
        case Vexlor::Dxf::EContourResult::eIntersecting:
            return CDXFReader::eIntersecting;
    }
    return CDXFReader::eReadError;  // no value the library gives
}

std::string UnitWords(int code) {
    if (const Vexlor::Dxf::LengthUnit* unit = Vexlor::Dxf::FindUnit(code)) return unit->words;
    return code == 0 ? "no unit" : fmt::format("$INSUNITS {}", code);
}

std::string Headline(const Imported& imported) {
    // The accurate import's error may quote the drawing's bytes.
    const std::string words = imported.what.empty() ? ImportWords(imported.result)
                                                    : "cannot be read: " + Printable(imported.what);
    return fmt::format("{} (result {})", words, static_cast<int>(imported.result));
}

void PrintSummary(std::FILE* stream, bool headlineOnly, const std::string& name,
                  const Imported& imported) {
    const std::vector<Polyline>& polylines = imported.polylines;
    const Counts counts = CountContours(polylines);
    const std::size_t closed = counts.closed;
    const std::size_t loops = counts.loops;
    const std::size_t points = counts.points;
    std::string text = fmt::format("{}: {}\n", name, Headline(imported));
    // A file known not to be a drawing read nothing to count.
    if (!headlineOnly && imported.what.empty()) {
        // Linked pieces that form a ring keep the library's closed flag false: name them apart.
        const std::string loopNote =
            loops == 0 ? "" : fmt::format(", {} of them ending where they start", loops);
        text += fmt::format("  contours: {} ({} closed, {} open{}), {} points\n", polylines.size(),
                            closed, polylines.size() - closed, loopNote, points);
        const std::optional<Box>& box = imported.box;
        if (box) {
            // Adding 0.0 shows a negated zero as 0; the JSON keeps its sign.
            text +=
                fmt::format("  box: x {:.9g} to {:.9g}, y {:.9g} to {:.9g} (y points {})\n",
                            box->leftTop.x + 0.0, box->rightBottom.x + 0.0, box->leftTop.y + 0.0,
                            box->rightBottom.y + 0.0, imported.yUp ? "up" : "down");
        } else {
            text += "  box: none (no point read)\n";
        }
        if (imported.accurate && imported.unitsAsked != 0) {
            text += "  units: " + Conversion(*imported.accurate, imported.unitsAsked) + "\n";
        }
    }
    Say(stream, std::move(text));
}

}  // namespace Vexlor::DxfTool
