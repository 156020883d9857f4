// The info command: a drawing's header values, layers, entity kinds and blocks, counted in one
// pass by the library, as text for a person or JSON Lines for a script.
// SPDX-License-Identifier: MIT
#include "InfoCommand.h"

#include <fmt/core.h>

#include <algorithm>  // std::max, std::sort
#include <iostream>   // std::cin
#include <nlohmann/json.hpp>
#include <optional>  // std::optional
#include <string>    // std::string
#include <utility>   // std::pair
#include <vector>    // std::vector

#include "Batch.h"
#include "Console.h"
#include "ImportReport.h"
#include "PrintableText.h"
#include "VexlorDxfInfo.h"

namespace Vexlor::DxfTool {

namespace {

using Vexlor::Dxf::DrawingInfo;

// The most entity kinds and blocks the text lists; the JSON lists all.
constexpr std::size_t kMostListed = 40;

std::string LayerState(const Vexlor::Dxf::LayerInfo& layer) {
    if (!layer.listed) return "on (no table entry)";
    std::string state = layer.frozen ? "frozen" : layer.off ? "off" : "on";
    if (layer.frozen && layer.off) state += ", off";
    if (layer.locked) state += ", locked";
    return state;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return Thousands(count) + " " + (count == 1 ? one : many);
}

std::string InfoText(const std::string& name, const DrawingInfo& info) {
    std::string version = "no version given";
    if (!info.version.empty()) {
        version = info.release.empty() ? "DXF " + Printable(info.version)
                                       : "DXF " + info.release + " (" + info.version + ")";
    }
    std::string text =
        fmt::format("{}: {}, {}, units: {}{}\n", name, version, info.binary ? "binary" : "ASCII",
                    UnitWords(info.units),
                    info.codePage.empty() ? "" : ", code page " + Printable(info.codePage));
    if (info.hasExtent) {
        const auto& lo = info.extentMinimum;
        const auto& hi = info.extentMaximum;
        text += fmt::format("  extent (as its header says): x {:.9g} to {:.9g}, y {:.9g} to {:.9g}",
                            lo[0] + 0.0, hi[0] + 0.0, lo[1] + 0.0, hi[1] + 0.0);
        if (lo[2] != 0 || hi[2] != 0) text += fmt::format(", z {:.9g} to {:.9g}", lo[2], hi[2]);
        text += "\n";
    } else {
        text += "  extent: none given in its header\n";
    }
    std::size_t frozen = 0, off = 0;
    for (const auto& layer : info.layers) {
        frozen += layer.frozen ? 1 : 0;
        off += layer.off && !layer.frozen ? 1 : 0;
    }
    text += fmt::format("  layers: {} ({} frozen, {} off)\n", info.layers.size(), frozen, off);
    std::size_t width = 0;
    for (const auto& layer : info.layers) width = std::max(width, Printable(layer.name).size());
    width = std::min<std::size_t>(width, 40);
    for (const auto& layer : info.layers) {
        text += fmt::format("    {:<{}}  {:<16}  {}\n", Printable(layer.name), width,
                            LayerState(layer), Plural(layer.entities, "entity", "entities"));
    }
    std::size_t model = 0;
    std::vector<std::pair<std::string, std::size_t>> kinds;
    for (const auto& [kind, count] : info.entities) {
        model += count;
        kinds.emplace_back(kind, count);
    }
    std::sort(kinds.begin(), kinds.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    text += fmt::format("  entities: {} in the model space, {} in the paper space\n",
                        Thousands(model), Thousands(info.paperSpaceEntities));
    for (std::size_t k = 0; k < kinds.size() && k < kMostListed; ++k) {
        text +=
            fmt::format("    {:<16}  {}\n", Printable(kinds[k].first), Thousands(kinds[k].second));
    }
    if (kinds.size() > kMostListed) {
        text += fmt::format("    and {} kinds more (--json lists them all)\n",
                            kinds.size() - kMostListed);
    }
    text += fmt::format("  blocks: {}\n", info.blocks.size());
    for (std::size_t k = 0; k < info.blocks.size() && k < kMostListed; ++k) {
        const auto& block = info.blocks[k];
        text += fmt::format(
            "    {}: {}, {}\n", Printable(block.name), Plural(block.entities, "entity", "entities"),
            block.inserts == 0 ? std::string("not placed")
                               : "placed by " + Plural(block.inserts, "INSERT", "INSERTs"));
    }
    if (info.blocks.size() > kMostListed) {
        text += fmt::format("    and {} blocks more (--json lists them all)\n",
                            info.blocks.size() - kMostListed);
    }
    return text;
}

std::string InfoJson(const std::string& name, const DrawingInfo& info) {
    using nlohmann::json;
    json record;
    record["file"] = name;
    record["result"] = static_cast<int>(info.result);
    record["error"] = info.error.empty() ? json(nullptr) : json(info.error);
    record["binary"] = info.binary;
    record["version"] = info.version.empty() ? json(nullptr) : json(Printable(info.version));
    record["release"] = info.release.empty() ? json(nullptr) : json(info.release);
    record["code_page"] = info.codePage.empty() ? json(nullptr) : json(Printable(info.codePage));
    record["units"] = info.units;
    record["extent"] = info.hasExtent
                           ? json{{"min", info.extentMinimum}, {"max", info.extentMaximum}}
                           : json(nullptr);
    json layers = json::array();
    for (const auto& layer : info.layers) {
        layers.push_back({{"name", layer.name},
                          {"listed", layer.listed},
                          {"frozen", layer.frozen},
                          {"off", layer.off},
                          {"locked", layer.locked},
                          {"entities", layer.entities}});
    }
    record["layers"] = std::move(layers);
    record["entities"] = info.entities;
    record["paper_space_entities"] = info.paperSpaceEntities;
    json blocks = json::array();
    for (const auto& block : info.blocks) {
        blocks.push_back(
            {{"name", block.name}, {"entities", block.entities}, {"inserts", block.inserts}});
    }
    record["blocks"] = std::move(blocks);
    return record.dump() + "\n";
}

}  // namespace

int RunInfo(const Arguments& arguments) {
    int status = 0;
    // Folders stand for the drawings under them, as for the import.
    for (const Drawing& drawing : ListDrawings(arguments.infoDrawings)) {
        const std::string& argument = drawing.name;
        const bool standardInput = argument == kStandardStream;
        const std::string name = standardInput ? kStandardInputName : argument;
        if (!drawing.problem.empty()) {
            Error("{}: {}", name, drawing.problem);
            status = MoreSevere(status, kExitNoInput);
            continue;
        }
        DrawingInfo info;
        if (standardInput) {
            info = Vexlor::Dxf::ReadDrawingInfo(std::cin);
        } else {
            const std::optional<std::wstring> path = LibraryPath(argument);
            if (!path) {
                status = MoreSevere(status, kExitUsage);
                continue;
            }
            info = Vexlor::Dxf::ReadDrawingInfo(*path);
        }
        const int code = static_cast<int>(info.result);
        if (code != 0) {
            // The library's text quotes the drawing's bytes escaped already.
            const std::string error = info.result == Vexlor::Dxf::EInfoResult::eOpenError
                                          ? info.error
                                          : "cannot be read: " + info.error;
            Error("{}: {} (result {})", name, Printable(error), code);
            status = MoreSevere(status, code);
            if (info.result == Vexlor::Dxf::EInfoResult::eOpenError && !arguments.infoJson) {
                continue;
            }
        }
        Print(stdout, arguments.infoJson ? InfoJson(name, info) : InfoText(name, info));
    }
    return status;
}

}  // namespace Vexlor::DxfTool
