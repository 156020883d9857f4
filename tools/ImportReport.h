// What the import command says of one drawing: its result in words and its summary.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>   // std::size_t
#include <cstdio>    // std::FILE
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "CDXFReader.h"
#include "ImportJson.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "VexlorDxfContours.h"

namespace Vexlor::DxfTool {

using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

/// What an import gave, for its summary and its output files.
struct Imported {
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    std::vector<Polyline> polylines;
    std::optional<Box> box;
    std::string what;   // for a file the library could not read: what it is, when known
    std::string error;  // for an import that ended early: why, without the drawing's name
    // Of an accurate import: where each polyline came from (the polylines moved out) and what
    // was left out; and whether y points up.
    std::optional<Vexlor::Dxf::ContourImport> accurate;
    bool yUp = false;
    int unitsAsked = 0;  // the $INSUNITS code coordinates were to be converted to; 0 for none
};

/// The contours of an import by kind, and their points.
struct Counts {
    std::size_t closed = 0;
    std::size_t loops = 0;
    std::size_t points = 0;
};

Counts CountContours(const std::vector<Polyline>& polylines);

/// The accurate import's result as the polyline reader's code for the same outcome.
CDXFReader::EReturnCode ReaderCode(Vexlor::Dxf::EContourResult result);

/// What an $INSUNITS code stands for, in the summary's words.
std::string UnitWords(int code);

/// `count` with a comma between each three digits: "1,049".
std::string Thousands(std::size_t count);

/// The summary's line of what the accurate import left out and why, with the option that brings
/// it back: "left out: 1,049 entities on frozen or off layers (--all-layers), 2 POLYFACE MESH";
/// empty when nothing was.
std::string LeftOut(const Vexlor::Dxf::ContourImport& import);

/// Up to `most` of `names` closest to `asked`, closest first, compared without regard to ASCII
/// case: those that hold it (a layer of an external reference ends in it), then by edit
/// distance.
std::vector<std::string> ClosestNames(const std::string& asked,
                                      const std::vector<std::string>& names, std::size_t most);

/// Why a drawing failed, for its JSON record and its picture: the summary's first words; empty
/// for an import that gave contours (crossing ones too).
std::string FailureText(const Imported& imported);

/// The summary's first line, without the drawing's name.
std::string Headline(const Imported& imported);

/// The import's summary on `stream`: its result, the contours by kind, their points, the box and
/// what was left out; the first line alone when `headlineOnly`.
void PrintSummary(std::FILE* stream, bool headlineOnly, const std::string& name,
                  const Imported& imported);

}  // namespace Vexlor::DxfTool
