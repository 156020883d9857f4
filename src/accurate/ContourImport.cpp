// The accurate import: the drawing read into its blocks and model space, blocks placed where the
// drawing places them, curves flattened within the chord tolerance, then the contours finished.
// SPDX-License-Identifier: MIT
#include <algorithm>     // std::max
#include <cerrno>        // errno
#include <cmath>         // std::isfinite
#include <cstdint>       // std::uint32_t
#include <cstdio>        // std::snprintf
#include <fstream>       // std::ifstream
#include <stdexcept>     // std::invalid_argument
#include <string>        // std::string
#include <system_error>  // std::generic_category
#include <utility>       // std::move

#include "VexlorDxfContours.h"
#include "VexlorDxfUnits.h"
#include "WideFileStream.h"
#include "accurate/place/Budget.h"
#include "accurate/place/Layers.h"
#include "accurate/place/Placement.h"
#include "accurate/read/DrawingReader.h"
#include "contours/Analysis.h"
#include "contours/Crossing.h"
#include "contours/Finishing.h"
#include "contours/LargeArrayAllocator.h"

namespace Vexlor::Dxf {

namespace {

// Millimetres per unit of an $INSUNITS code; 0 for unitless and unknown codes.
double Millimetres(int units) {
    const LengthUnit* unit = FindUnit(units);
    return unit ? unit->millimetres : 0;
}

// Why finishing drops a piece: it has no point, or its points are one.
// A z value for the report: six significant digits.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The bytes of a stream read a block at a time.
constexpr std::size_t kBlock = std::size_t{1} << 18;

class Importer {
public:
    explicit Importer(const ContourOptions& options)
        : m_options(options), m_layers(m_drawing, options), m_budget(options.maxPoints) {}

    ContourImport Run(ByteStream& bytes, std::size_t size) {
        ContourImport import;
        bool binary = false;
        try {
            const std::unique_ptr<GroupSource> source = OpenGroups(bytes);
            binary = source->Binary();
            import.binary = binary;
            // Room for a piece per 64 bytes: an entity drawn directly takes more (the barest
            // LINE some ninety), so the pieces seldom move as they come, unless blocks placed
            // many times make them. Room not filled is asked for but never touched, and no more
            // than a million pieces' worth is asked ahead.
            const std::size_t expected = std::min<std::size_t>(size / 64, std::size_t{1} << 20);
            m_drawing.pieces.Reserve(expected);
            m_drawing.handles.Reserve(expected);
            DrawingReader(m_drawing, m_budget, m_options.strictStructure).Read(*source);
            import.units = m_drawing.units;
            Placer placer(m_drawing, m_layers, m_budget, Units(import));
            import.tolerance = Tolerance(placer);
            placer.Place(import.tolerance);
            // Every shape is in its pieces now: their definitions make room for finishing.
            m_drawing.model = Block();
            m_drawing.blocks.clear();
            Finish(import);
        } catch (const ReadError& error) {
            ContourImport failed;
            failed.result = EContourResult::eReadError;
            const std::string at = error.position == kNoPosition ? ""
                                   : binary ? "byte " + std::to_string(error.position) + ": "
                                            : "line " + std::to_string(error.position) + ": ";
            failed.error = (binary ? "binary DXF: " : "") + at + error.message;
            failed.units = m_drawing.units;
            failed.binary = binary;
            failed.recoveries = Recoveries(binary);
            return failed;
        }
        import.recoveries = Recoveries(binary);
        return import;
    }

private:
    // The drawing's recoveries, each after the line (or byte) where it was made.
    std::vector<std::string> Recoveries(bool binary) const {
        std::vector<std::string> lines;
        lines.reserve(m_drawing.recoveries.size());
        for (const auto& [position, what] : m_drawing.recoveries) {
            lines.push_back(position == kNoPosition ? what
                                                    : (binary ? "byte " : "line ") +
                                                          std::to_string(position) + ": " + what);
        }
        return lines;
    }

    // The map from drawing units to the units asked for; the pieces made so far converted.
    Affine3 Units(ContourImport& import) {
        if (m_options.units == 0) return {};
        const double from = Millimetres(m_drawing.units);
        const double to = Millimetres(m_options.units);
        if (from == 0) {
            m_drawing.Approximate("drawing without units ($INSUNITS 0): coordinates not converted");
            return {};
        }
        const double scale = from / to;
        import.scale = scale;
        if (scale != 1) {
            const auto scaled = [scale](Point2d& p) { p = {p.x * scale, p.y * scale}; };
            for (Polyline2d& piece : m_drawing.pieces.polylines) {
                for (Point2d& p : piece.points) scaled(p);
            }
            m_drawing.pieces.table.ForEachPoint(scaled);
            // Scaling by a positive factor keeps the order of coordinates, so the least and
            // greatest stay so.
            for (Box2d& box : m_drawing.pieces.layerBoxes) {
                if (!box.empty) scaled(box.minimum), scaled(box.maximum);
            }
        }
        return Affine3::Scaling(scale, scale, scale);
    }

    // The chord tolerance: the caller's, or relative to the extent of the points that define
    // the shapes given, in world coordinates.
    double Tolerance(Placer& placer) {
        if (m_options.tolerance > 0) return m_options.tolerance;
        const double tolerance = m_options.relativeTolerance * placer.Extent().Extent();
        return tolerance > 0 && std::isfinite(tolerance) ? tolerance : m_options.relativeTolerance;
    }

    // The pieces of hidden layers left out, the rest finished into contours.
    void Finish(ContourImport& import) {
        Pieces& pieces = m_drawing.pieces;
        // Most drawings show every layer they use: then no piece needs to be asked.
        bool anyHidden = false;
        for (std::uint32_t layer = 0; layer < m_drawing.layers.Size(); ++layer) {
            anyHidden = anyHidden || !m_layers.Visible(layer);
        }
        for (std::size_t i = 0; anyHidden && i < pieces.Size(); ++i) {
            if (const char* why = m_layers.Hidden(pieces.sources[i].layer)) {
                ++m_drawing.skipped[why];
                if (pieces.table.HasPolyline(i)) pieces.PolylineOf(i).points.clear();
                pieces.table.Empty(i);
            }
        }
        FinishOptions finish;
        // Ends within the chord tolerance are one point at the precision of the result.
        import.linkingDistance = m_options.linkWithinTolerance
                                     ? std::max(m_options.linkingDistance, import.tolerance)
                                     : m_options.linkingDistance;
        finish.meet = MeetDistance::Of(import.linkingDistance);
        finish.link = m_options.link;
        finish.closeRings = true;
        finish.negateY = m_options.yDown;
        std::vector<std::size_t> origins;
        std::vector<Polyline2d>& polylines = pieces.polylines;
        std::vector<DroppedPiece> dropped;
        FinishContours(polylines, finish, &origins, &pieces.table, &dropped);
        ReportDropped(dropped);
        if (m_drawing.tiltedPolylines) {
            m_drawing
                .approximations["3D POLYLINE whose z varies (from " + Number(m_drawing.lowestZ) +
                                " to " + Number(m_drawing.highestZ) + "): seen from above"] +=
                m_drawing.tiltedPolylines;
        }
        // The crossing test reads every point: the box is taken on the way, unless the
        // analysis changes the contours in between.
        const bool crossingTested = m_options.link && polylines.size() > 1;
        Box2d box;
        const bool crossing =
            crossingTested && AnyPolylinesCross(polylines, m_options.analyse ? nullptr : &box);
        if (m_options.analyse) {
            AnalysisOptions analysis;
            analysis.gapDistance =
                m_options.gapDistance > 0 ? m_options.gapDistance : 100 * import.linkingDistance;
            analysis.maxReported = m_options.maxReported;
            analysis.orient = m_options.orient;
            analysis.dropDuplicates = m_options.dropDuplicates;
            AnalyseContours(polylines, origins, analysis, import);
        }
        if (!crossingTested || m_options.analyse) box = BoxOf(polylines);
        import.minimum = box.minimum;
        import.maximum = box.maximum;
        import.contours.reserve(polylines.size());
        // Filled all over at once: a fault per 2 MiB rather than per 4 KiB where it is large.
        AdviseHugePages(import.contours.data(), import.contours.capacity() * sizeof(Contour));
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            const Source& source = pieces.sources[origins[i]];
            // Copies of a placed block share their handle: each contour gets its own copy.
            import.contours.push_back({std::move(polylines[i]), m_drawing.layers[source.layer],
                                       m_drawing.kinds[source.entity],
                                       std::string(m_drawing.handles[source.handle])});
        }
        import.skipped = std::move(m_drawing.skipped);
        import.approximations = std::move(m_drawing.approximations);
        import.result = import.contours.empty() ? EContourResult::eEmpty
                        : crossing              ? EContourResult::eIntersecting
                                                : EContourResult::eOk;
    }

    // The pieces that finishing dropped as no curve, counted under skipped by their kind and
    // why; those of hidden layers are counted already.
    void ReportDropped(const std::vector<DroppedPiece>& dropped) {
        const Pieces& pieces = m_drawing.pieces;
        for (const DroppedPiece& piece : dropped) {
            const Source& source = pieces.sources[piece.index];
            if (m_layers.Hidden(source.layer)) continue;
            const std::string& kind = m_drawing.kinds[source.entity];
            ++m_drawing.skipped[!piece.hadPoints ? kind + " without points"
                                : kind == "LINE" ? std::string("LINE of zero length")
                                                 : kind + " that flattens to one point"];
        }
    }

    const ContourOptions& m_options;
    Drawing m_drawing;
    LayerFilter m_layers;
    Budget m_budget;
};

// Result 2, with the system's reason (errno after the failed open; 0 when it gave none).
ContourImport CannotOpen(int error) {
    ContourImport failed;
    failed.error = "cannot be opened: " + (error != 0 ? std::generic_category().message(error)
                                                      : std::string("not readable"));
    return failed;
}

void CheckOptions(const ContourOptions& options) {
    const auto usable = [](double v) { return v >= 0 && std::isfinite(v); };
    if (!usable(options.tolerance) || !usable(options.relativeTolerance) ||
        !(options.relativeTolerance > 0) || !(options.linkingDistance > 0) ||
        !std::isfinite(options.linkingDistance) || !usable(options.gapDistance)) {
        throw std::invalid_argument(
            "ImportContours: tolerances and the linking and gap distances must be finite, not "
            "negative, "
            "and the relative tolerance and linking distance above zero");
    }
    if (options.units != 0 && Millimetres(options.units) == 0) {
        throw std::invalid_argument(
            "ImportContours: units must be 0 or an $INSUNITS code from 1 "
            "to 21, not " +
            std::to_string(options.units));
    }
}

}  // namespace

ContourImport ImportContoursFromMemory(std::string_view text, const ContourOptions& options) {
    CheckOptions(options);
    ByteStream bytes(text);
    return Importer(options).Run(bytes, text.size());
}

ContourImport ImportContours(std::istream& in, const ContourOptions& options) {
    CheckOptions(options);
    if (!in.good()) return ContourImport{};  // result 2
    // A file says its size, which sizes the room for pieces.
    std::size_t size = 0;
    const std::istream::pos_type start = in.tellg();
    if (start != std::istream::pos_type(-1) && in.seekg(0, std::ios_base::end)) {
        const std::istream::pos_type end = in.tellg();
        if (end != std::istream::pos_type(-1) && end >= start) {
            size = static_cast<std::size_t>(end - start);
        }
        in.seekg(start);
    }
    in.clear(in.rdstate() & ~std::ios_base::failbit);
    ByteStream bytes(in, kBlock);
    return Importer(options).Run(bytes, size);
}

ContourImport ImportContours(const std::wstring& path, const ContourOptions& options) {
    CheckOptions(options);
    std::ifstream stream;
    errno = 0;
    // Binary: the line ends are read as they are, on every system.
    Vexlor::Platform::OpenByWidePath(stream, path, std::ios_base::in | std::ios_base::binary);
    if (!stream.is_open()) return CannotOpen(errno);  // result 2
    return ImportContours(stream, options);
}

ContourImport ImportContours(const std::filesystem::path& path, const ContourOptions& options) {
    errno = 0;
    std::ifstream stream(path, std::ios_base::in | std::ios_base::binary);
    const int error = errno;
    CheckOptions(options);
    if (!stream.is_open()) return CannotOpen(error);
    return ImportContours(stream, options);
}

}  // namespace Vexlor::Dxf
