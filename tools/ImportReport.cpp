// The import command's words for a drawing's result, and its summary.
// SPDX-License-Identifier: MIT
#include "ImportReport.h"

#include <fmt/core.h>

#include <algorithm>  // std::min, std::stable_sort
#include <utility>    // std::move, std::pair

#include "Console.h"
#include "PrintableText.h"
#include "RegionsReport.h"
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

// What the import gave, in words, with what the file is when that says more.
std::string ResultWords(const Imported& imported) {
    if (imported.what.empty()) return ImportWords(imported.result);
    // The accurate import's error may quote the drawing's bytes.
    const std::string what = Printable(imported.what);
    return imported.result == CDXFReader::eReadError ? "cannot be read: " + what
                                                     : ImportWords(imported.result) + (": " + what);
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

std::string Thousands(std::size_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string LeftOut(const Vexlor::Dxf::ContourImport& import) {
    // What the import's own choices left out come first, each with what brings it back; then
    // what gives no contour, the commonest first.
    struct Reason {
        const char* key;
        const char* one;
        const char* many;
    };
    static const Reason kReasons[] = {
        {"frozen or off layer", "entity on a frozen or off layer (--all-layers)",
         "entities on frozen or off layers (--all-layers)"},
        {"layer not chosen", "entity on a layer not chosen by --layer",
         "entities on layers not chosen by --layer"},
        {"paper space", "entity in the paper space", "entities in the paper space"},
        {"INSERT of a missing block", "INSERT of a block the drawing does not define",
         "INSERTs of blocks the drawing does not define"}};
    std::vector<std::string> parts;
    std::vector<std::pair<std::size_t, std::string>> kinds;
    for (const auto& [what, count] : import.skipped) {
        const Reason* reason = nullptr;
        for (const Reason& r : kReasons) reason = what == r.key ? &r : reason;
        if (reason == nullptr) kinds.emplace_back(count, what);
    }
    for (const Reason& reason : kReasons) {
        const auto at = import.skipped.find(reason.key);
        if (at == import.skipped.end() || at->second == 0) continue;
        parts.push_back(Thousands(at->second) + " " + (at->second == 1 ? reason.one : reason.many));
    }
    std::stable_sort(kinds.begin(), kinds.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    constexpr std::size_t kMostKinds = 6;  // the rest is in the JSON's report
    for (std::size_t k = 0; k < kinds.size() && k < kMostKinds; ++k) {
        parts.push_back(Thousands(kinds[k].first) + " " + Printable(kinds[k].second));
    }
    if (kinds.size() > kMostKinds) {
        parts.push_back(
            fmt::format("{} kinds more (the JSON's report lists them)", kinds.size() - kMostKinds));
    }
    std::string line;
    for (const std::string& part : parts) line += (line.empty() ? "left out: " : ", ") + part;
    return line;
}

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The edits (insert, delete, replace a byte) that make `a` into `b`.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& asked,
                                      const std::vector<std::string>& names, std::size_t most) {
    const std::string key = Lower(asked);
    std::vector<std::pair<std::pair<bool, std::size_t>, const std::string*>> ranked;
    for (const std::string& name : names) {
        const std::string other = Lower(name);
        const bool holds = other.find(key) != std::string::npos;
        ranked.push_back(
            {{!holds, holds ? other.size() - key.size() : EditDistance(key, other)}, &name});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> closest;
    for (std::size_t k = 0; k < ranked.size() && k < most; ++k)
        closest.push_back(*ranked[k].second);
    return closest;
}

std::string FailureText(const Imported& imported) {
    if (!imported.error.empty()) return imported.error;
    if (imported.result == CDXFReader::eOk || imported.result == CDXFReader::eIntersecting) {
        return "";
    }
    const std::string words = ResultWords(imported);
    // No contours: what was left out says why.
    const std::string leftOut = imported.accurate && imported.result == CDXFReader::eEmpty
                                    ? LeftOut(*imported.accurate)
                                    : "";
    return leftOut.empty() ? words : words + "; " + leftOut;
}

std::string Headline(const Imported& imported) {
    return fmt::format("{} (result {})", ResultWords(imported), static_cast<int>(imported.result));
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
        const std::string leftOut = imported.accurate ? LeftOut(*imported.accurate) : "";
        if (!leftOut.empty()) text += "  " + leftOut + "\n";
        const std::vector<std::string> none;
        const auto& recoveries = imported.accurate ? imported.accurate->recoveries : none;
        if (!recoveries.empty()) {
            text += fmt::format(
                "  recovered: {} break{} of its structure read past, the first: {}\n",
                recoveries.size(), recoveries.size() == 1 ? "" : "s", recoveries.front());
        }
        const std::string regions = imported.accurate ? RegionsSummary(*imported.accurate) : "";
        if (!regions.empty()) text += "  regions: " + regions + "\n";
    }
    Say(stream, std::move(text));
}

}  // namespace Vexlor::DxfTool
