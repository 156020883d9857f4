// The import command over many drawings: the drawings that files and folders given stand for,
// imported several at once and reported in input order.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>  // std::filesystem::path
#include <string>      // std::string
#include <vector>      // std::vector

#include "Arguments.h"

namespace Vexlor::DxfTool {

/// One drawing to import: given as it is, or found in a folder given.
struct Drawing {
    std::string name;                  // as given, or the folder given joined with the path found
    std::filesystem::path outputName;  // its name under --svg-dir and --json-dir, extension aside
    std::string problem;               // why a folder given yields no drawing; empty for a drawing
};

/// The drawings that `arguments` name, in order: a folder stands for the *.dxf files (any case)
/// anywhere under it, sorted by path, so that a batch's order does not depend on the file system.
/// A folder that yields none stays as an entry that says why, so that its place is kept.
std::vector<Drawing> ListDrawings(const std::vector<std::string>& arguments);

/// Imports `drawings` as `arguments` ask, --jobs at a time, prints what each gave in input order
/// and a closing count, writes the --summary table; returns the batch's status.
int RunImport(const Arguments& arguments, const std::vector<Drawing>& drawings);

}  // namespace Vexlor::DxfTool
