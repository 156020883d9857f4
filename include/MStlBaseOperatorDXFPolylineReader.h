// The DXF reader that turns a drawing's 2D entities into linked polylines of the caller's vector.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>   // std::size_t
#include <istream>   // std::istream
#include <map>       // std::map
#include <optional>  // std::optional
#include <string>    // std::wstring
#include <vector>    // std::vector

#include "CDXFReader.h"
#include "VexlorDxfExport.h"
#include "point.h"
#include "polyline.h"

/// Reads the lines, polylines, splines, arcs, circles and ellipses of a drawing's ENTITIES and
/// BLOCKS sections (and hatch boundaries inside block definitions) into polylines appended to
/// the caller's vector, then links open pieces end to end and tests whether two results cross.
///
/// Usage: construct on a vector the caller owns, call `Import`, then read the vector and the
/// box. The vector is appended to, never cleared; a second `Import` appends again, and the box
/// and the insert table carry over.
///
/// Output coordinates: x as read, y negated (the output frame has y pointing down); every
/// value has single precision, widened to double. z values, thicknesses and extrusion
/// directions are never read. Blocks are not instanced: a block definition's entities reach
/// the output once, in the definition's own coordinates.
///
/// `Import` lets `std::invalid_argument` and `std::out_of_range` through when a coordinate or
/// count is not a number or out of range; the polylines added before it stay in the vector.
class VEXLOR_DXF_API MStlBaseOperatorDXFPolylineReader : public CDXFReader {
public:
    using Point = Vexlor::Math::point<double, 2>;
    using Polyline = Vexlor::Math::polyline<double, 2>;

    /// Binds the reader to `polylines`, which it appends to and never clears; the vector is not
    /// touched here and must outlive the reader.
    explicit MStlBaseOperatorDXFPolylineReader(std::vector<Polyline>& polylines);
    /// A copy writes into the same caller vector as `other` and copies its box, current
    /// polyline, insert table and block name.
    MStlBaseOperatorDXFPolylineReader(const MStlBaseOperatorDXFPolylineReader& other);
    /// Leaves the caller's vector and its polylines as they are.
    ~MStlBaseOperatorDXFPolylineReader() override;

    /// (minimum x, minimum y) of every point read; (2147483647, 2147483647) before any.
    Point GetLeftTopPoint() const;
    /// (maximum x, maximum y) of every point read; (-2147483647, -2147483647) before any.
    Point GetRightBottomPoint() const;

protected:
    /// Links the pieces, then returns 3 when no polyline remains, 4 when two polylines cross,
    /// and 0 otherwise.
    EReturnCode _PostProcess() override;
    /// Reads one entity of a block definition: the block header, the geometric entities, INSERT
    /// (recorded in the insert table) and HATCH (shifted by its block's insert); skips others.
    short _ReadBlockSection(std::istream& stream, unsigned short& code,
                            std::wstring& value) override;
    /// Reads one entity of the ENTITIES section by its exact type name; skips unknown types
    /// and HATCH; reads INSERT without recording it.
    short _ReadEntitySection(std::istream& stream, unsigned short& code,
                             std::wstring& value) override;

    /// Appends an empty polyline (`closed` true) and makes it current.
    void _AddPolyline();
    /// Widens the box by `p` and appends it to the current polyline, starting one if none is
    /// current. No tolerance, no transformation: the point is stored as given.
    void _AddPoint(const Point& p);

    // Entity readers. Each is entered with `code` 0 and `value` the entity's type name, consumes
    // the entity's groups, and returns with the next group of code 0 in `code` and `value`.
    // Result: -1 when a code line could not be read or the file ended inside a group before
    // that one; otherwise the result of the last group read (0 when its value line ended the
    // file).

    /// LINE: one open two-point polyline (10/20 start, 11/21 end, both (0, 0) by default).
    short _ReadLine(std::istream& stream, unsigned short& code, std::wstring& value);
    /// LWPOLYLINE: one polyline, a point per pair of 10/20 groups; closed exactly when the
    /// first point and the last coordinates are less than 0.0001 apart. Flags and bulges are
    /// not read.
    short _ReadLwPolyline(std::istream& stream, unsigned short& code, std::wstring& value);
    /// POLYLINE header: starts an empty, closed polyline for the VERTEX entities that follow.
    short _ReadPolyline(std::istream& stream, unsigned short& code, std::wstring& value);
    /// VERTEX: appends (10, 20) to the current polyline, or is dropped when none is current.
    short _ReadVertex(std::istream& stream, unsigned short& code, std::wstring& value);
    /// SPLINE: its control polygon, closed as for LWPOLYLINE; knots, weights and fit points
    /// are not read.
    short _ReadSpline(std::istream& stream, unsigned short& code, std::wstring& value);
    /// ARC: 31 or 32 points counter-clockwise from the start to the end angle (degrees).
    short _ReadArc(std::istream& stream, unsigned short& code, std::wstring& value);
    /// CIRCLE: 30 points, the first straight below the centre; closed.
    short _ReadCircle(std::istream& stream, unsigned short& code, std::wstring& value);
    /// ELLIPSE: 30 points of the whole ellipse (start and end parameters are not read); closed.
    short _ReadEllipse(std::istream& stream, unsigned short& code, std::wstring& value);
    /// BLOCK header: notes the block name (groups 2 and 3, the later one wins).
    short _ReadBlock(std::istream& stream, unsigned short& code, std::wstring& value);
    /// INSERT: reads the block name and insertion point; with `record` true, offers them to
    /// the insert table, where the first insert of a name stays.
    short _ReadInsert(std::istream& stream, unsigned short& code, std::wstring& value, bool record);
    /// HATCH: boundary points, shifted by `insert` (null: no shift) before the y negation; the
    /// last polyline is emptied when it ends with fewer than three points. Returns -1 when a
    /// group 72 is not a number.
    short _ReadHatch(std::istream& stream, unsigned short& code, std::wstring& value,
                     CDXFReader::EntityInsert* insert);

private:
    /// Hands an item of the entities section, or of a block definition when `inBlock`, to the
    /// reader of its type, or skips it.
    short _ReadEntity(std::istream& stream, unsigned short& code, std::wstring& value,
                      bool inBlock);
    void _LinkPolylines();
    bool _PolylinesIntersecting() const;
    /// The current polyline, or null when none is current or its index no longer names a
    /// polyline of the vector.
    Polyline* _CurrentPolyline();
    /// Widens the box by `p` (the box half of `_AddPoint`).
    void _ExtendBox(const Point& p);
    /// The LWPOLYLINE and SPLINE readers: a point from every second coordinate group.
    short _ReadPairedPoints(std::istream& stream, unsigned short& code, std::wstring& value);

    Point m_leftTop;
    Point m_rightBottom;
    std::vector<Polyline>& m_polylines;
    std::optional<std::size_t> m_currentPolyline;
    std::map<std::wstring, CDXFReader::EntityInsert> m_inserts;
    std::wstring m_blockName;
};
