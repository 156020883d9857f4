// The SVG picture of imported contours that the import command writes for a person to look at.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <ostream>  // std::ostream
#include <string>   // std::string
#include <vector>   // std::vector

#include "polyline.h"

namespace Vexlor::Dxf {
struct ContourImport;
}

namespace Vexlor::DxfTool {

/// True for an open polyline whose first and last points meet: less than 0.0001 apart, the
/// distance at which the library links pieces. Pieces linked into a ring come out this way.
bool IsLoop(const Vexlor::Math::polyline<double, 2>& polyline);

/// The open pieces of `polylines`: neither closed nor loops.
std::size_t CountOpenPieces(const std::vector<Vexlor::Math::polyline<double, 2>>& polylines);

/// What a picture says beside its contours.
struct SvgNotes {
    /// Whether both ends of each open piece get a dot, which shows where it failed to meet
    /// another: a help with few pieces, clutter with many.
    bool markEnds = true;
    /// Why the drawing could not be imported, shown in red under the title; empty when it was.
    std::string error;
    /// An import analysed as regions, whose regions, crossings and gaps are drawn over the
    /// contours (WriteRegionsSvg), with y negated when `negateY`; none when null.
    const Vexlor::Dxf::ContourImport* analysis = nullptr;
    bool negateY = false;
};

/// Writes `polylines` as a standalone SVG document: one `<path>` per polyline that has points,
/// grouped by kind, each group in the vector's order. Closed contours are shaded and outlined
/// (class "closed", path ending in "Z"); loops (`IsLoop`) are shaded and outlined in another
/// colour (class "loop"); other open pieces are dashed (class "open"), with a dot at each end
/// when `notes.markEnds`. The drawing is scaled to fit about 800 pixels with a margin; stroke
/// widths are in pixels, so they do not depend on the drawing's size. The points' y already
/// points down, as SVG's does, so the picture stands as the drawing does. Points that are not
/// finite are left out. Under the picture, a line counts the contours by kind; then `title`,
/// cut in its middle with an ellipsis when it is wider than the picture (the document's
/// <title> holds it whole), and `notes.error` wrapped to the width (class "error").
void WriteSvg(std::ostream& out, const std::vector<Vexlor::Math::polyline<double, 2>>& polylines,
              const std::string& title, const SvgNotes& notes = {});

/// As WriteSvg, framed alike, but coloured by layer: `layers[i]` is the layer of `polylines[i]`.
/// Layers are told apart as DXF tells their names apart, without regard to ASCII case, and each
/// takes a colour of its own in order of first appearance: a fixed palette's ten, then hues a
/// golden angle apart. One group (class "layer", its name in "data-layer") per layer holds its
/// polylines in the vector's order: closed ones and loops shaded and outlined, other open pieces
/// dashed (with a dot at each end when `notes.markEnds`), all in the layer's colour. The caption
/// is a legend of a line sample, the name (as the first polyline on it spells it, cut to fit a
/// line) and the count of contours per layer, in the same order and wrapped to the picture's
/// width, then the title and the error as WriteSvg writes them. Names and titles, in both, are
/// written as Printable shows them, so that the picture stays XML.
void WriteSvgByLayer(std::ostream& out,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& polylines,
                     const std::vector<std::string>& layers, const std::string& title,
                     const SvgNotes& notes = {});

}  // namespace Vexlor::DxfTool
