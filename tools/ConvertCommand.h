// The convert command: drawings imported in their true geometry and written back as clean
// contours, a drawing cleaner for cutters.
// SPDX-License-Identifier: MIT
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>  // std::size_t
#include <string>   // std::string
#include <vector>   // std::vector

namespace Vexlor::DxfTool {

/// What the convert command is asked for.
struct ConvertArguments {
    std::string in;   // a drawing, or a folder of drawings
    std::string out;  // a drawing, or the folder the drawings of a folder go to
    double tolerance = 0;
    std::vector<std::string> layers;  // none: every layer
    bool allLayers = false;
    std::string units;  // empty: the drawing's own
    std::size_t maxPoints = 0;
    double linkingDistance = 0;  // 0: the import's default
    bool noLink = false;
    bool r12 = false;
    bool quiet = false;
};

/// Adds the convert command, whose options fill in `arguments`.
CLI::App* AddConvertCommand(CLI::App& app, ConvertArguments& arguments);

/// Converts the drawing or the folder of drawings that `arguments` name; returns the highest
/// status of all.
int RunConvert(const ConvertArguments& arguments);

}  // namespace Vexlor::DxfTool
