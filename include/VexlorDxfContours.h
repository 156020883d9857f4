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
    /// Open pieces whose end points are less than this apart are joined end to end, and a ring
    /// whose ends are this close is closed. With `linkWithinTolerance` (the default) the distance
    /// used is the larger of this and the chord tolerance (see ContourImport::linkingDistance).
    double linkingDistance = 1e-4;
    /// Whether ends within the chord tolerance join even when `linkingDistance` is smaller: the
    /// import places points no closer to the true curve than that tolerance, so ends that near
    /// are one point at the precision of the result. It closes outlines that CAD programs show
    /// closed although their ends miss by a little more than 1e-4 (docs/regions.md). False uses
    /// `linkingDistance` alone, as the polyline reader does.
    bool linkWithinTolerance = true;
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
    /// Whether to analyse the contours as regions (ContourImport::gaps, crossings, duplicates,
    /// nesting and regions); without it (the default) those stay empty and cost nothing. The
    /// analysis takes n log n time in the segments and, while it runs, up to about 200 bytes per
    /// segment beyond the budget of `maxPoints` (docs/regions.md).
    bool analyse = false;
    /// With `analyse`: open ends less than this apart that were not joined are reported as gaps;
    /// zero (the default) takes 100 times the linking distance used.
    double gapDistance = 0;
    /// With `analyse`: at most this many gaps, and crossing pairs of contours, are reported
    /// (ContourImport::crossingCount still counts the pairs found beyond).
    std::size_t maxReported = 1000;
    /// With `analyse`: outlines (even depth) turned counter-clockwise and holes (odd depth)
    /// clockwise, as seen with y up, by reversing their points after the first; the areas then
    /// carry the signs of their new turn.
    bool orient = false;
    /// With `analyse`: of contours drawn more than once (the same points, in either direction and,
    /// when closed, from any start) only the first is kept.
    bool dropDuplicates = false;
    /// Whether a drawing whose structure is broken is refused (result 1, `error` naming the line
    /// of the first break) rather than read on. By default (false) the import reads past the
    /// breaks whose meaning is clear and lists each under ContourImport::recoveries: groups
    /// outside a section, a SECTION without a name, a section that comes twice, a section
    /// without its ENDSEC, no section at all (docs/recovery.md has them all). Either way a value
    /// that is not a number is an error, and a missing EOF marker after complete sections is read
    /// past and listed.
    bool strictStructure = false;
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

/// The index that stands for no contour.
constexpr std::size_t kNoContour = static_cast<std::size_t>(-1);

/// Two open ends that lie less than ContourOptions::gapDistance apart but were not joined.
struct ContourGap {
    /// The contours of the two ends (first <= second; equal for a contour of more than two points
    /// whose own ends nearly meet), and for each whether the end is its last point (else its
    /// first).
    std::size_t first = 0;
    std::size_t second = 0;
    bool firstAtBack = false;
    bool secondAtBack = false;
    /// The two end points and their distance.
    Vexlor::Math::point<double, 2> from{0, 0};
    Vexlor::Math::point<double, 2> to{0, 0};
    double distance = 0;
};

/// Two contours that cross, or one that crosses itself (first == second), and one point where
/// they do.
struct ContourCrossing {
    std::size_t first = 0;  ///< first <= second
    std::size_t second = 0;
    /// Where two of their segments cross, as computed in double precision from the segments:
    /// within a few units of rounding of both.
    Vexlor::Math::point<double, 2> at{0, 0};
};

/// Where a closed contour lies among the others. Open contours have no parent, depth 0 and
/// area 0.
struct ContourNesting {
    /// The innermost closed contour that contains this one, or kNoContour.
    std::size_t parent = kNoContour;
    /// How many closed contours contain it: even for outlines, odd for holes.
    std::size_t depth = 0;
    /// The signed area (shoelace over the points as given): positive when the points turn
    /// counter-clockwise seen with y up.
    double area = 0;
};

/// A region: an outline (a closed contour of even depth) with its holes (its children).
struct ContourRegion {
    std::size_t outline = 0;
    std::vector<std::size_t> holes;
    /// The area covered: the outline's area less its holes', each taken without its sign.
    double area = 0;
    /// Whether the outline turns counter-clockwise seen with y up (its signed area is positive).
    bool counterClockwise = false;
};

/// A contour drawn again: the same points, in either direction (and from any start when closed).
struct ContourDuplicate {
    /// The first contour with these points.
    std::size_t original = 0;
    /// The later ones; empty with ContourOptions::dropDuplicates, which removed them.
    std::vector<std::size_t> copies;
    /// How many copies dropDuplicates removed.
    std::size_t dropped = 0;
};

/// What ImportContours gives back.
struct ContourImport {
    EContourResult result = EContourResult::eOpenError;
    /// For eReadError: what is wrong, with the line number (for a binary DXF, the byte offset)
    /// and the entity, such as
    /// "line 120: LWPOLYLINE: group 20 is not a number: \"1.5.2\"". A value is quoted with its
    /// control characters, backslashes, quotes and bytes that are not UTF-8 escaped, and cut
    /// after 40 bytes. For eOpenError from a path: why, as the system says it, such as
    /// "cannot be opened: No such file or directory".
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
    /// What was not turned into contours, by entity kind and why ("TEXT", "DIMENSION", "ARC of
    /// zero radius", "LINE of zero length", "SPLINE that flattens to one point", ...; paper-space
    /// entities under "paper space") and count, and every approximation the caller should know
    /// about, by what it was and count (such as 3D polylines whose z varies, seen from above).
    std::map<std::string, std::size_t> skipped;
    std::map<std::string, std::size_t> approximations;
    /// Where the drawing's structure was broken and the import read on, in the drawing's order:
    /// the line (for a binary DXF, the byte offset) and what was done, such as
    /// "line 17: header variables after ENDSEC, read as header". A break that concerns the
    /// drawing as a whole has no line. Given with result 1 too, up to the error.
    std::vector<std::string> recoveries;
    /// The linking distance that was used, in the units of the result.
    double linkingDistance = 0;

    /// The analysis of ContourOptions::analyse (docs/regions.md); all indices are into
    /// `contours`. Gaps, nearest first, at most ContourOptions::maxReported (when there are
    /// more, those found first in the search).
    std::vector<ContourGap> gaps;
    /// Whether every gap was reported (false when the cap was reached).
    bool gapsComplete = true;
    /// Crossing pairs of contours, each once with one point, self-crossings among them, in the
    /// order found, at most ContourOptions::maxReported; `crossingCount` counts every pair
    /// found. The search turns at no more than 4 crossings of segments per segment plus 16 per
    /// pair reported, so it costs n log n plus the pairs reported; `crossingsComplete` is false
    /// when it stopped there (or met coordinates too far apart for its exact arithmetic) and
    /// the count is a lower bound. It finds where segments cross exactly; result 4 is decided
    /// as before, by the rounded test, which may also see ends within rounding of a segment.
    std::vector<ContourCrossing> crossings;
    std::size_t crossingCount = 0;
    bool crossingsComplete = true;
    /// One per contour: its parent, depth and signed area.
    std::vector<ContourNesting> nesting;
    /// The regions, in the order of their outlines.
    std::vector<ContourRegion> regions;
    /// The open contours, which belong to no region.
    std::vector<std::size_t> openContours;
    /// Whether the nesting follows containment: false when contours cross (each other or
    /// themselves), where the nesting follows the rule of docs/regions.md instead.
    bool nestingWellDefined = true;
    std::vector<ContourDuplicate> duplicates;
};

/// Imports the contours of the model space of the DXF drawing (ASCII or binary) at `path`.
/// Lines, polylines (3D ones too) with their bulges and closed flags, arcs, circles, ellipses,
/// splines and hatch boundaries become polylines within the chord tolerance, in world coordinates
/// (object coordinate systems applied, blocks placed by their INSERTs) seen from above; then
/// repeated points go, pieces join end to end and contours are tested for crossings as the
/// polyline reader does, in double precision. What gives no contour is counted under `skipped`
/// (by kind, and why: "TEXT", "ARC of zero radius", "LINE of zero length", ...). A structure
/// broken in a way whose meaning is clear is read on and listed under `recoveries` (unless
/// `strictStructure`). Every outcome is a result: a malformed number, a structure that cannot be
/// read, a block that inserts itself and a drawing beyond `maxPoints` give 1 with `error` naming
/// the line (or byte) and the entity or block. The drawing is read in blocks, so memory grows with
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
