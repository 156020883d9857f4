// The accurate import: groups with their line numbers, the model space's entities as curves in
// world coordinates, flattened within the chord tolerance, then the contour engine.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::max, std::min, std::remove_if
#include <charconv>   // std::from_chars
#include <cmath>      // std::isfinite, std::fabs
#include <cstdint>    // std::uint8_t
#include <fstream>    // std::ifstream
#include <memory>     // std::unique_ptr, std::make_unique
#include <optional>   // std::optional
#include <unordered_map>  // std::unordered_map
#include <sstream>    // std::ostringstream
#include <stdexcept>  // std::invalid_argument
#include <utility>    // std::move

#include "VexlorDxfContours.h"
#include "WideFileStream.h"
#include "accurate/Curves.h"
#include "accurate/Ocs.h"
#include "contours/Crossing.h"
#include "contours/Linking.h"
#include "contours/Reduction.h"

namespace Vexlor::Dxf {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

// A malformed number or structure: the import ends with result 1 and this text.
struct ReadError {
    std::string message;
};

// One group: its code, its value line as written (line end removed) and the line of the code.
struct Group {
    int code;
    std::string_view value;
    std::size_t line;
};

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// The groups of a text, two lines each; LF, CR LF and a lone CR end a line.
class GroupSource {
public:
    explicit GroupSource(std::string_view text) : m_text(text) {}

    // The next group, or none at the end of the text.
    std::optional<Group> Next() {
        if (m_at >= m_text.size()) return std::nullopt;
        const std::size_t line = m_line;
        const std::string_view codeText = Trim(ReadLine());
        int code = 0;
        const auto [end, error] =
            std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (error != std::errc() || end != codeText.data() + codeText.size()) {
            throw ReadError{"line " + std::to_string(line) + ": the group code \"" +
                            std::string(codeText) + "\" is not a whole number"};
        }
        if (m_at >= m_text.size()) {
            throw ReadError{"line " + std::to_string(line) + ": group " + std::to_string(code) +
                            " has no value line"};
        }
        return Group{code, ReadLine(), line};
    }

private:
    std::string_view ReadLine() {
        const std::size_t start = m_at;
        std::size_t end = start;
        while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r') ++end;
        m_at = end;
        if (m_at < m_text.size() && m_text[m_at++] == '\r' && m_at < m_text.size() &&
            m_text[m_at] == '\n') {
            ++m_at;
        }
        ++m_line;
        return m_text.substr(start, end - start);
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::size_t m_line = 1;
};

// Where a contour's first piece came from: its entity kind and layer as indices into the
// import's names (a drawing has few of them, and many pieces), and its handle.
struct Source {
    std::uint32_t entity = 0;
    std::uint32_t layer = 0;
    std::string handle;
};

// Text that is not UTF-8 keeps its valid sequences; every other byte becomes U+FFFD.
std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        std::size_t length = byte < 0x80       ? 1
                             : byte >> 5 == 6  ? 2
                             : byte >> 4 == 14 ? 3
                             : byte >> 3 == 30 ? 4
                                               : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<std::uint8_t>(text[i + k]) & 0xC0) == 0x80;
        }
        if (valid && length > 1) {
            // Overlong forms, surrogates and values past U+10FFFF are no UTF-8 either.
            const auto second = static_cast<std::uint8_t>(text[i + 1]);
            valid = !(byte == 0xC0 || byte == 0xC1 || (byte == 0xE0 && second < 0xA0) ||
                      (byte == 0xED && second >= 0xA0) || (byte == 0xF0 && second < 0x90) ||
                      byte > 0xF4 || (byte == 0xF4 && second >= 0x90));
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

// The groups of one entity, from its group 0 to the next.
class Entity {
public:
    Entity(std::string type, std::size_t line) : m_type(std::move(type)), m_line(line) {}

    // The next entity in this one's place, keeping the room its groups took.
    void Reset(std::string_view type, std::size_t line) {
        m_type.assign(type);
        m_line = line;
        m_groups.clear();
    }

    const std::string& Type() const { return m_type; }
    std::vector<Group>& Groups() { return m_groups; }
    const std::vector<Group>& Groups() const { return m_groups; }

    double Number(const Group& group) const {
        std::string_view text = Trim(group.value);
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
            Fail(group, "group " + std::to_string(group.code) + " is not a number: \"" +
                            std::string(group.value) + "\"");
        }
        return value;
    }
    long long Integer(const Group& group) const {
        const std::string_view text = Trim(group.value);
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size()) {
            Fail(group, "group " + std::to_string(group.code) + " is not a whole number: \"" +
                            std::string(group.value) + "\"");
        }
        return value;
    }
    [[noreturn]] void Fail(const Group& group, const std::string& what) const {
        throw ReadError{"line " + std::to_string(group.line) + ": " + m_type + ": " + what};
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw ReadError{"line " + std::to_string(m_line) + ": " + m_type + ": " + what};
    }

    // The value of the first group `code`, or `fallback`.
    double NumberOr(int code, double fallback) const {
        for (const Group& group : m_groups) {
            if (group.code == code) return Number(group);
        }
        return fallback;
    }
    long long IntegerOr(int code, long long fallback) const {
        for (const Group& group : m_groups) {
            if (group.code == code) return Integer(group);
        }
        return fallback;
    }
    std::string TextOr(int code, const std::string& fallback) const {
        for (const Group& group : m_groups) {
            if (group.code == code) return ValidUtf8(Trim(group.value));
        }
        return fallback;
    }
    Point3d Extrusion() const { return {NumberOr(210, 0), NumberOr(220, 0), NumberOr(230, 1)}; }

private:
    std::string m_type;
    std::size_t m_line;
    std::vector<Group> m_groups;
};

// What a spline adds to a shape.
struct SplineData {
    NurbsCurve nurbs;
    std::optional<Point2d> startTangent;
    std::optional<Point2d> endTangent;
};

// A curve of the drawing, held until the tolerance is known, with the place of its piece.
struct Shape {
    std::size_t slot = 0;
    enum class Kind { Polyline, Conic, Nurbs, FitSpline } kind = Kind::Polyline;
    bool closed = false;
    // A polyline: its vertices and the bulge from each to the next (none: all straight), in the
    // object coordinate system of `extrusion` at `elevation`. The defining points of a spline.
    std::vector<Point2d> points;
    std::vector<double> bulges;
    Point3d extrusion{0, 0, 1};
    double elevation = 0;
    // A circle, arc or ellipse seen from above: centre + cos(t) axisU + sin(t) axisV.
    Point2d center{0, 0};
    Point2d axisU{0, 0};
    Point2d axisV{0, 0};
    double start = 0;
    double end = 2 * kPi;
    std::unique_ptr<SplineData> spline;
};

// Names (layers, entity kinds) as indices: a drawing has few names and many pieces. The last
// name looked up is remembered, since entities come in runs of one kind and layer.
class Names {
public:
    std::uint32_t Of(std::string_view text) {
        if (m_last && text == m_last->first) return m_last->second;
        auto [at, added] = m_index.try_emplace(std::string(text), 0);
        if (added) {
            at->second = static_cast<std::uint32_t>(m_names.size());
            m_names.push_back(ValidUtf8(text));
        }
        m_last = &*at;
        return at->second;
    }
    const std::string& operator[](std::uint32_t index) const { return m_names[index]; }

private:
    std::unordered_map<std::string, std::uint32_t> m_index;
    std::vector<std::string> m_names;
    const std::pair<const std::string, std::uint32_t>* m_last = nullptr;
};

bool WorldAxes(const Point3d& extrusion) {
    return extrusion.x == 0 && extrusion.y == 0 && extrusion.z > 0;
}

Point2d Xy(const Point3d& p) { return {p.x, p.y}; }

class Importer {
public:
    explicit Importer(const ContourOptions& options) : m_options(options) {}

    ContourImport Run(std::string_view text) {
        ContourImport import;
        // About one piece per hundred bytes or more (a LINE takes some ninety): few moves of
        // the pieces as they come; no more than a million asked for ahead, so that a huge file
        // asks for no more memory than its pieces take.
        const std::size_t expected = std::min<std::size_t>(text.size() / 128, std::size_t{1} << 20);
        m_pieces.reserve(expected);
        m_sources.reserve(expected);
        try {
            Read(text);
        } catch (const ReadError& error) {
            import.result = 1;
            import.error = error.message;
            return import;
        }
        import.units = m_units;
        import.skipped = std::move(m_skipped);
        import.tolerance = Tolerance();
        Flatten(import);
        return import;
    }

private:
    void Read(std::string_view text) {
        GroupSource source(text);
        bool ended = false;
        std::optional<Group> group = source.Next();
        while (group) {
            if (group->code == 999) {  // a comment
                group = source.Next();
                continue;
            }
            if (group->code != 0) {
                throw ReadError{"line " + std::to_string(group->line) + ": group " +
                                std::to_string(group->code) + " outside a section"};
            }
            const std::string_view word = Trim(group->value);
            if (word == "EOF") {
                ended = true;
                break;
            }
            if (word != "SECTION") {
                throw ReadError{"line " + std::to_string(group->line) + ": \"" + std::string(word) +
                                "\" where a SECTION should begin"};
            }
            const std::size_t sectionLine = group->line;
            group = source.Next();
            if (!group || group->code != 2) {
                throw ReadError{"line " + std::to_string(sectionLine) + ": SECTION without a name"};
            }
            const std::string name(Trim(group->value));
            group = Section(source, name, sectionLine);
        }
        if (!ended) throw ReadError{"the file ends before its EOF marker"};
    }

    // Reads one section to its ENDSEC; returns the group after it.
    std::optional<Group> Section(GroupSource& source, const std::string& name, std::size_t line) {
        // One entity object serves every entity in turn: its groups' room is made once.
        Entity current("", 0);
        bool open = false;
        Entity* const entity = &current;
        std::optional<Entity> polyline;  // a POLYLINE collects its VERTEX entities
        std::vector<Entity> vertices;
        const auto finish = [&]() {
            if (!open) return;
            open = false;
            if (entity->Type() == "VERTEX" && polyline) {
                vertices.push_back(std::move(*entity));
            } else if (entity->Type() == "SEQEND") {
                // It ends a POLYLINE's vertices, or an INSERT's attributes: no entity itself.
                if (polyline) Take(*polyline, vertices);
                polyline.reset();
                vertices.clear();
            } else if (entity->Type() == "POLYLINE") {
                if (polyline) Take(*polyline, vertices);  // one without its SEQEND
                polyline = std::move(*entity);
                vertices.clear();
            } else {
                if (polyline) {
                    Take(*polyline, vertices);
                    polyline.reset();
                    vertices.clear();
                }
                Take(*entity, vertices);
            }
        };
        for (std::optional<Group> group = source.Next(); group; group = source.Next()) {
            if (group->code == 999) continue;
            if (group->code == 0) {
                const std::string word(Trim(group->value));
                if (word == "ENDSEC") {
                    if (name == "ENTITIES") finish();
                    if (polyline) Take(*polyline, vertices);
                    return source.Next();
                }
                if (name == "ENTITIES") {
                    finish();
                    entity->Reset(word, group->line);
                    open = true;
                }
                continue;
            }
            if (name == "HEADER") {
                Header(*group, source);
            } else if (open) {
                entity->Groups().push_back(*group);
            }
        }
        throw ReadError{"line " + std::to_string(line) + ": section " + name + " has no ENDSEC"};
    }

    void Header(const Group& group, GroupSource& source) {
        if (group.code != 9 || Trim(group.value) != "$INSUNITS") return;
        const std::optional<Group> value = source.Next();
        if (!value) return;
        Entity variable("$INSUNITS", group.line);
        if (value->code == 70) m_units = static_cast<int>(variable.Integer(*value));
    }

    void Skip(const std::string& what) { ++m_skipped[what]; }

    // An entity of the model space, with the VERTEX entities of a POLYLINE.
    void Take(const Entity& entity, const std::vector<Entity>& vertices) {
        const std::string& type = entity.Type();
        if (type == "LINE") return Line(entity);
        if (entity.IntegerOr(67, 0) == 1) {
            Skip("paper space");
            return;
        }
        Shape shape;
        if (type == "LWPOLYLINE") {
            LightPolyline(entity, shape);
        } else if (type == "POLYLINE") {
            if (!Polyline(entity, vertices, shape)) return;
        } else if (type == "ARC" || type == "CIRCLE") {
            Circle(entity, type == "ARC", shape);
        } else if (type == "ELLIPSE") {
            Ellipse(entity, shape);
        } else if (type == "SPLINE") {
            if (!Spline(entity, shape)) return;
        } else {
            Skip(type);
            return;
        }
        Source source{m_kinds.Of(type), Layer(entity), entity.TextOr(5, "")};
        if (shape.kind == Shape::Kind::Polyline && shape.bulges.empty() &&
            WorldAxes(shape.extrusion)) {
            // Straight and in the world already: a piece as it stands, whatever the tolerance.
            AddPiece(std::move(shape.points), shape.closed, std::move(source));
            return;
        }
        shape.slot = AddPiece({}, shape.closed, std::move(source));
        m_curves.push_back(std::move(shape));
    }

    std::size_t AddPiece(std::vector<Point2d> points, bool closed, Source source) {
        m_pieces.push_back({std::move(points), closed});
        m_sources.push_back(std::move(source));
        return m_pieces.size() - 1;
    }

    // A LINE, the commonest entity, read in one pass over its groups (the first of each code
    // counts, as everywhere).
    void Line(const Entity& entity) {
        enum { kFromX, kFromY, kToX, kToY, kLayer, kHandle, kSpace, kCount };
        const Group* found[kCount] = {};
        for (const Group& group : entity.Groups()) {
            int slot = kCount;
            switch (group.code) {
                case 10: slot = kFromX; break;
                case 20: slot = kFromY; break;
                case 11: slot = kToX; break;
                case 21: slot = kToY; break;
                case 8: slot = kLayer; break;
                case 5: slot = kHandle; break;
                case 67: slot = kSpace; break;
                default: continue;
            }
            if (!found[slot]) found[slot] = &group;
        }
        if (found[kSpace] && entity.Integer(*found[kSpace]) == 1) return Skip("paper space");
        const auto number = [&](int slot) { return found[slot] ? entity.Number(*found[slot]) : 0.0; };
        std::vector<Point2d> points{{number(kFromX), number(kFromY)}, {number(kToX), number(kToY)}};
        const std::uint32_t layer = m_layers.Of(found[kLayer] ? Trim(found[kLayer]->value) : "0");
        AddPiece(std::move(points), false,
                 {m_kinds.Of(entity.Type()),  layer,
                  found[kHandle] ? ValidUtf8(Trim(found[kHandle]->value)) : std::string()});
    }

    std::uint32_t Layer(const Entity& entity) {
        for (const Group& group : entity.Groups()) {
            if (group.code == 8) return m_layers.Of(Trim(group.value));
        }
        return m_layers.Of("0");
    }

    // Bulges all zero say no more than none.
    static void DropStraightBulges(Shape& shape) {
        for (const double bulge : shape.bulges) {
            if (bulge != 0) return;
        }
        shape.bulges.clear();
    }

    void LightPolyline(const Entity& entity, Shape& shape) {
        shape.closed = (entity.IntegerOr(70, 0) & 1) != 0;
        shape.elevation = entity.NumberOr(38, 0);
        shape.extrusion = entity.Extrusion();
        for (const Group& group : entity.Groups()) {
            if (group.code == 10) {
                shape.points.push_back({entity.Number(group), 0});
                shape.bulges.push_back(0);
            } else if (group.code == 20 && !shape.points.empty()) {
                shape.points.back().y = entity.Number(group);
            } else if (group.code == 42 && !shape.bulges.empty()) {
                shape.bulges.back() = entity.Number(group);
            }
        }
        DropStraightBulges(shape);
    }

    bool Polyline(const Entity& entity, const std::vector<Entity>& vertices, Shape& shape) {
        const long long flags = entity.IntegerOr(70, 0);
        if (flags & 8) return Skip("3D POLYLINE"), false;
        if (flags & 16) return Skip("POLYGON MESH"), false;
        if (flags & 64) return Skip("POLYFACE MESH"), false;
        shape.closed = (flags & 1) != 0;
        shape.elevation = entity.NumberOr(30, 0);
        shape.extrusion = entity.Extrusion();
        for (const Entity& vertex : vertices) {
            // Frame control points of a spline-fit polyline are not on the curve.
            if (vertex.IntegerOr(70, 0) & 16) continue;
            shape.points.push_back({vertex.NumberOr(10, 0), vertex.NumberOr(20, 0)});
            shape.bulges.push_back(vertex.NumberOr(42, 0));
        }
        DropStraightBulges(shape);
        return true;
    }

    void Circle(const Entity& entity, bool arc, Shape& shape) {
        shape.kind = Shape::Kind::Conic;
        const double radius = entity.NumberOr(40, 0);
        if (radius < 0) entity.Fail("negative radius");
        const OcsAxes axes = ArbitraryAxes(entity.Extrusion());
        const Point3d center = OcsToWorld(
            axes, {entity.NumberOr(10, 0), entity.NumberOr(20, 0), entity.NumberOr(30, 0)});
        shape.center = Xy(center);
        shape.axisU = {radius * axes.xAxis.x, radius * axes.xAxis.y};
        shape.axisV = {radius * axes.yAxis.x, radius * axes.yAxis.y};
        shape.closed = !arc;
        if (arc) {
            shape.start = entity.NumberOr(50, 0) * kDegree;
            shape.end = entity.NumberOr(51, 360) * kDegree;
        }
    }

    void Ellipse(const Entity& entity, Shape& shape) {
        shape.kind = Shape::Kind::Conic;
        const double ratio = entity.NumberOr(40, 1);
        if (!(ratio > 0)) entity.Fail("the axis ratio is not positive");
        const Point3d major{entity.NumberOr(11, 0), entity.NumberOr(21, 0), entity.NumberOr(31, 0)};
        shape.center = {entity.NumberOr(10, 0), entity.NumberOr(20, 0)};
        shape.axisU = Xy(major);
        shape.axisV = Xy(EllipseMinorAxis(entity.Extrusion(), major, ratio));
        shape.start = entity.NumberOr(41, 0);
        shape.end = entity.NumberOr(42, 2 * kPi);
        shape.closed = ArcSpan(shape.start, shape.end) >= 2 * kPi;
    }

    bool Spline(const Entity& entity, Shape& shape) {
        const long long flags = entity.IntegerOr(70, 0);
        shape.spline = std::make_unique<SplineData>();
        NurbsCurve& nurbs = shape.spline->nurbs;
        nurbs.degree = static_cast<int>(entity.IntegerOr(71, 3));
        std::vector<Point2d> fit;
        for (const Group& group : entity.Groups()) {
            switch (group.code) {
                case 40:
                    nurbs.knots.push_back(entity.Number(group));
                    break;
                case 41:
                    nurbs.weights.push_back(entity.Number(group));
                    break;
                case 10:
                    nurbs.controlPoints.push_back({entity.Number(group), 0});
                    break;
                case 20:
                    if (!nurbs.controlPoints.empty()) {
                        nurbs.controlPoints.back().y = entity.Number(group);
                    }
                    break;
                case 11:
                    fit.push_back({entity.Number(group), 0});
                    break;
                case 21:
                    if (!fit.empty()) fit.back().y = entity.Number(group);
                    break;
                default:
                    break;
            }
        }
        if (!(flags & 4)) {
            // Weights of a spline that is not rational are all 1, whatever is written.
            nurbs.weights.clear();
        }
        if (!nurbs.controlPoints.empty()) {
            shape.kind = Shape::Kind::Nurbs;
            shape.points = nurbs.controlPoints;  // for the extent
        } else if (!fit.empty()) {
            shape.kind = Shape::Kind::FitSpline;
            shape.points = fit;
            const auto tangent = [&](int x, int y) -> std::optional<Point2d> {
                bool given = false;
                for (const Group& group : entity.Groups()) given = given || group.code == x;
                if (!given) return std::nullopt;
                return Point2d{entity.NumberOr(x, 0), entity.NumberOr(y, 0)};
            };
            shape.spline->startTangent = tangent(12, 22);
            shape.spline->endTangent = tangent(13, 23);
        } else {
            Skip("SPLINE without points");
            return false;
        }
        shape.closed = (flags & 1) != 0;
        return true;
    }

    // The box of the points that define the shapes, in world coordinates.
    double Extent() const {
        bool any = false;
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        const auto note = [&](const Point2d& p) {
            if (!any) {
                minX = maxX = p.x;
                minY = maxY = p.y;
                any = true;
            }
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        };
        for (const Polyline2d& piece : m_pieces) {
            for (const Point2d& p : piece.points) note(p);
        }
        for (const Shape& shape : m_curves) {
            if (shape.kind == Shape::Kind::Conic) {
                const double reach = std::fabs(shape.axisU.x) + std::fabs(shape.axisU.y) +
                                     std::fabs(shape.axisV.x) + std::fabs(shape.axisV.y);
                note({shape.center.x - reach, shape.center.y - reach});
                note({shape.center.x + reach, shape.center.y + reach});
            } else if (shape.kind == Shape::Kind::Polyline && !WorldAxes(shape.extrusion)) {
                const OcsAxes axes = ArbitraryAxes(shape.extrusion);
                for (const Point2d& p : shape.points) {
                    note(Xy(OcsToWorld(axes, {p.x, p.y, shape.elevation})));
                }
            } else {
                for (const Point2d& p : shape.points) note(p);
            }
        }
        return std::max(maxX - minX, maxY - minY);
    }

    double Tolerance() const {
        if (m_options.tolerance > 0) return m_options.tolerance;
        const double extent = Extent();
        const double tolerance = m_options.relativeTolerance * extent;
        return tolerance > 0 && std::isfinite(tolerance) ? tolerance : m_options.relativeTolerance;
    }

    // The points of one shape; false when its curve could not be evaluated.
    bool Points(const Shape& shape, double tolerance, std::vector<Point2d>& out) {
        switch (shape.kind) {
            case Shape::Kind::Conic:
                return AppendConjugateArc(shape.center, shape.axisU, shape.axisV, shape.start,
                                          shape.end, tolerance, out);
            case Shape::Kind::Nurbs:
                return AppendNurbs(shape.spline->nurbs, tolerance, out);
            case Shape::Kind::FitSpline:
                return AppendFitPointSpline(shape.points, shape.spline->startTangent,
                                            shape.spline->endTangent, tolerance, out);
            case Shape::Kind::Polyline:
                break;
        }
        const std::size_t count = shape.points.size();
        if (count == 0) return true;
        out.push_back(shape.points[0]);
        const std::size_t segments = shape.closed ? count : count - 1;
        for (std::size_t i = 0; i < segments; ++i) {
            const Point2d& to = shape.points[(i + 1) % count];
            const double bulge = shape.bulges.empty() ? 0 : shape.bulges[i];
            if (bulge == 0) {
                out.push_back(to);
                continue;
            }
            if (!AppendBulgeArc(shape.points[i], to, bulge, tolerance, out, CurveStart::Skip)) {
                out.push_back(to);
                Approximate("bulge that could not be drawn: straight segment");
            }
        }
        if (!WorldAxes(shape.extrusion) || shape.elevation != 0) {
            MapOcsToWorldXy(ArbitraryAxes(shape.extrusion), shape.elevation, out);
        }
        return true;
    }

    void Approximate(const std::string& what) { ++m_approximations[what]; }

    void Flatten(ContourImport& import) {
        const double tolerance = import.tolerance;
        const MeetDistance meet = MeetDistance::Of(m_options.linkingDistance);
        for (Shape& shape : m_curves) {
            std::vector<Point2d>& points = m_pieces[shape.slot].points;
            if (!Points(shape, tolerance, points)) {
                // Refused definitions (decreasing knots, a wrong number of weights) keep the
                // points that define them, as a polyline.
                points = std::move(shape.points);
                Approximate(m_kinds[m_sources[shape.slot].entity] +
                            " that could not be evaluated: its points");
            }
        }
        m_curves.clear();
        std::vector<Polyline2d>& polylines = m_pieces;
        std::vector<Source>& sources = m_sources;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            Polyline2d& polyline = polylines[i];
            // A closed shape ends where it starts (a full turn, a closed spline): once, and
            // its first point stays first.
            while (polyline.closed && polyline.points.size() > 1 &&
                   Meet(polyline.points.front(), polyline.points.back(), meet.squared)) {
                polyline.points.pop_back();
            }
            CollapseRepeatedPoints(polyline);
            if (polyline.points.size() < 2) continue;
            if (kept != i) {  // a vector moved onto itself would lose its points
                polylines[kept] = std::move(polyline);
                sources[kept] = std::move(sources[i]);
            }
            ++kept;
        }
        polylines.resize(kept);
        sources.resize(kept);
        if (m_options.link) {
            LinkOpenPolylines(polylines, meet);
            for (Polyline2d& polyline : polylines) {
                // A contour whose ends meet is a ring.
                auto& points = polyline.points;
                if (!polyline.closed && points.size() > 2 &&
                    Meet(points.front(), points.back(), meet.squared)) {
                    points.pop_back();
                    polyline.closed = true;
                }
            }
        }
        if (m_options.yDown) {
            for (Polyline2d& polyline : polylines) {
                for (Point2d& p : polyline.points) p.y = -p.y;
            }
        }
        // Pieces joined into another were left empty.
        kept = 0;
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            if (polylines[i].points.empty()) continue;
            if (kept != i) {  // a vector moved onto itself would lose its points
                polylines[kept] = std::move(polylines[i]);
                sources[kept] = std::move(sources[i]);
            }
            ++kept;
        }
        polylines.resize(kept);
        const bool crossing = m_options.link && kept > 1 && AnyPolylinesCross(polylines);
        import.contours.reserve(kept);
        for (std::size_t i = 0; i < kept; ++i) {
            import.contours.push_back({std::move(polylines[i]), m_layers[sources[i].layer],
                                       m_kinds[sources[i].entity], std::move(sources[i].handle)});
        }
        import.approximations = std::move(m_approximations);
        bool first = true;
        for (const Contour& contour : import.contours) {
            for (const Point2d& p : contour.polyline.points) {
                if (first) {
                    import.minimum = import.maximum = p;
                    first = false;
                }
                import.minimum = {std::min(import.minimum.x, p.x), std::min(import.minimum.y, p.y)};
                import.maximum = {std::max(import.maximum.x, p.x), std::max(import.maximum.y, p.y)};
            }
        }
        if (import.contours.empty()) {
            import.result = 3;
        } else if (crossing) {
            import.result = 4;
        } else {
            import.result = 0;
        }
    }

    const ContourOptions& m_options;
    int m_units = 0;
    // The pieces in the drawing's order, with where each came from; a curve's piece is empty
    // until the tolerance is known and `m_curves` holds it.
    std::vector<Polyline2d> m_pieces;
    std::vector<Source> m_sources;
    std::vector<Shape> m_curves;
    Names m_kinds;
    Names m_layers;
    std::map<std::string, std::size_t> m_skipped;
    std::map<std::string, std::size_t> m_approximations;
};

void CheckOptions(const ContourOptions& options) {
    const auto usable = [](double v) { return v >= 0 && std::isfinite(v); };
    if (!usable(options.tolerance) || !usable(options.relativeTolerance) ||
        !(options.relativeTolerance > 0) || !(options.linkingDistance > 0) ||
        !std::isfinite(options.linkingDistance)) {
        throw std::invalid_argument(
            "ImportContours: tolerances and the linking distance must be finite, not negative, "
            "and the relative tolerance and linking distance above zero");
    }
}

}  // namespace

ContourImport ImportContoursFromMemory(std::string_view text, const ContourOptions& options) {
    CheckOptions(options);
    return Importer(options).Run(text);
}

ContourImport ImportContours(std::istream& in, const ContourOptions& options) {
    CheckOptions(options);
    ContourImport import;
    if (!in.good()) return import;  // result 2
    // Read in large blocks: character by character costs more than all the parsing. A file
    // says its size, which is read at once.
    std::string text;
    const std::istream::pos_type start = in.tellg();
    if (start != std::istream::pos_type(-1) && in.seekg(0, std::ios_base::end)) {
        const std::istream::pos_type end = in.tellg();
        in.seekg(start);
        if (end != std::istream::pos_type(-1) && end >= start) {
            text.reserve(static_cast<std::size_t>(end - start) + 1);
        }
    }
    in.clear(in.rdstate() & ~std::ios_base::failbit);
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    for (;;) {
        const std::size_t had = text.size();
        text.resize(had + kBlock);
        in.read(text.data() + had, static_cast<std::streamsize>(kBlock));
        text.resize(had + static_cast<std::size_t>(in.gcount()));
        if (!in) break;
    }
    if (in.bad()) {
        import.result = 1;
        import.error = "the stream could not be read to its end";
        return import;
    }
    return Importer(options).Run(text);
}

ContourImport ImportContours(const std::wstring& path, const ContourOptions& options) {
    CheckOptions(options);
    std::ifstream stream;
    // Binary: the line ends are read as they are, on every system.
    Vexlor::Platform::OpenByWidePath(stream, path, std::ios_base::in | std::ios_base::binary);
    if (!stream.is_open()) return ContourImport{};  // result 2
    return ImportContours(stream, options);
}

ContourImport ImportContours(const std::filesystem::path& path, const ContourOptions& options) {
    std::ifstream stream(path, std::ios_base::in | std::ios_base::binary);
    CheckOptions(options);
    if (!stream.is_open()) return ContourImport{};
    return ImportContours(stream, options);
}

}  // namespace Vexlor::Dxf
