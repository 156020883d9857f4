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
    std::string what;  // for a file the library could not read: what it is, when known
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

/// The summary's first line, without the drawing's name.
std::string Headline(const Imported& imported);

/// The import's summary on `stream`: its result, the contours by kind, their points and the box;
/// the first line alone when `headlineOnly`.
void PrintSummary(std::FILE* stream, bool headlineOnly, const std::string& name,
                  const Imported& imported);

}  // namespace Vexlor::DxfTool
