// The accurate import: a drawing's contours in its true geometry and in double precision.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <filesystem>   // std::filesystem::path
#include <istream>      // std::istream
#include <map>          // std::map
#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "VexlorDxfExport.h"
#include "point.h"
#include "polyline.h"

namespace Vexlor::Dxf {

/// How ImportContours turns a drawing into contours.
struct ContourOptions {
    /// The largest distance between a curve and its polyline, in drawing units. Zero (the
    /// default) takes `relativeTolerance` times the drawing's extent: the longer side of the box
    /// of the points that define its geometry.
    double tolerance = 0;
    double relativeTolerance = 1e-5;
    /// The drawing's own frame is y up, as CAD programs show it; true negates y, as the polyline
    /// reader does.
    bool yDown = false;
    /// Open pieces whose end points are less than this apart are joined end to end.
    double linkingDistance = 1e-4;
    /// Whether to join open pieces and test contours for crossings at all; without it every
    /// entity stays a contour of its own and the result is never 4.
    bool link = true;
    /// The layers to import, by name in UTF-8 (as Contour::layer gives them), compared without
    /// regard to case as DXF names are; empty (the default) imports every layer.
    std::vector<std::string> layers;
    /// Whether entities on layers that the LAYER table marks frozen (flag 1) or off (negative
    /// colour) are imported too; by default they are left out and reported, as CAD programs hide
    /// them. An INSERT on a frozen layer hides all it places.
    bool hiddenLayers = false;
    /// The unit to give coordinates in, as an $INSUNITS code (4 millimetres, 1 inches, 6 metres,
    /// ...); 0 (the default) keeps the drawing's units. A drawing without units is not
    /// converted (reported under `approximations`). The tolerances and the linking distance are
    /// in the units of the result. Another value throws std::invalid_argument.
    int units = 0;
    /// The budget that bounds the import's memory and work: a drawing that would take more ends
    /// with result 1 and says so, before the memory is taken. It is charged, as they are made,
    /// for every point of every piece (curves as flattened, every copy a block is placed in), 16
    /// points more for each piece (its record, linking and the crossing test), 1 for each
    /// INSERT and each copy it places, and the spans of a NURBS curve by the cube of its degree;
    /// finding the drawing's extent walks the placed copies under a budget of its own, as large.
    /// A budget point stands for at most 32 bytes at the peak (15 at most as measured, while
    /// blocks are placed or contours finished), so the default takes at most 1.6 GB. Raise it
    /// for huge drawings: one of more than about 2.5 million separate lines needs more.
    std::size_t maxPoints = 50000000;
};

/// One contour: a polyline and where its first piece came from.
struct Contour {
    /// Closed (by the drawing's flag, or by linking pieces whose ends meet) with its first
    /// point not repeated at the end; open otherwise.
    Vexlor::Math::polyline<double, 2> polyline;
    /// The layer name (group 8), UTF-8.
    std::string layer;
    /// The entity kind, such as "LINE", "LWPOLYLINE", "SPLINE".
    std::string entity;
    /// The handle (group 5) as the drawing writes it, or empty.
    std::string handle;
};

/// The outcome of ImportContours; the values are the polyline reader's result codes.
enum class EContourResult : int {
    eOk = 0,           ///< contours, and none crosses another
    eReadError = 1,    ///< the drawing cannot be read to its end: `ContourImport::error` says why
    eOpenError = 2,    ///< the file or stream cannot be opened
    eEmpty = 3,        ///< no contour
    eIntersecting = 4  ///< two contours cross
};

/// What ImportContours gives back.
struct ContourImport {
    EContourResult result = EContourResult::eOpenError;
    /// For eReadError: what is wrong, with the line number (for a binary DXF, the byte offset)
    /// and the entity, such as
    /// "line 120: LWPOLYLINE: group 20 is not a number: \"1.5.2\"". A value is quoted with its
    /// control characters, backslashes, quotes and bytes that are not UTF-8 escaped, and cut
    /// after 40 bytes.
    std::string error;
    std::vector<Contour> contours;
    /// The box of the contours' points, (minimum x, minimum y) and (maximum x, maximum y);
    /// both zero when there is no point.
    Vexlor::Math::point<double, 2> minimum{0, 0};
    Vexlor::Math::point<double, 2> maximum{0, 0};
    /// The drawing's units as $INSUNITS gives them (0 when it does not: unitless).
    int units = 0;
    /// The chord tolerance that was used, in the units of the result.
    double tolerance = 0;
    /// The factor that took drawing units to the units asked for (1 without conversion).
    double scale = 1;
    /// Whether the drawing was a binary DXF (its errors name byte offsets, not lines).
    bool binary = false;
    /// What was not turned into contours, by entity kind ("TEXT", "DIMENSION", ...; paper-space
    /// entities under "paper space") and count, and every approximation the caller should know
    /// about, by what it was and count.
    std::map<std::string, std::size_t> skipped;
    std::map<std::string, std::size_t> approximations;
};

/// Imports the contours of the model space of the DXF drawing (ASCII or binary) at `path`.
/// Lines, polylines with their bulges and closed flags, arcs, circles, ellipses, splines and
/// hatch boundaries become polylines within the chord tolerance, in world coordinates (object
/// coordinate systems applied, blocks placed by their INSERTs) seen from above; then repeated
/// points go, pieces join end to end and contours are tested for crossings as the polyline
/// reader does, in double precision. Every outcome is a result: a malformed number or structure,
/// a block that inserts itself and a drawing beyond `maxPoints` give 1 with `error` naming the
/// line (or byte) and the entity or block. The drawing is read in blocks, so memory grows with
/// what it gives, not with the file; a line (or a binary string) longer than 1 MiB is result 1.
/// Invalid options throw std::invalid_argument; beyond that, only exhausted memory is an
/// exception (std::bad_alloc).
VEXLOR_DXF_API ContourImport ImportContours(const std::wstring& path,
                                            const ContourOptions& options = {});
VEXLOR_DXF_API ContourImport ImportContours(const std::filesystem::path& path,
                                            const ContourOptions& options = {});
/// A literal such as L"part.dxf" converts to both kinds of path; it is the wide path.
inline ContourImport ImportContours(const wchar_t* path, const ContourOptions& options = {}) {
    return ImportContours(std::wstring(path), options);
}
/// The drawing read from `in` to its end (result 2 when the stream is not good to begin with).
VEXLOR_DXF_API ContourImport ImportContours(std::istream& in, const ContourOptions& options = {});
/// The drawing held in `text`.
VEXLOR_DXF_API ContourImport ImportContoursFromMemory(std::string_view text,
                                                      const ContourOptions& options = {});

}  // namespace Vexlor::Dxf
