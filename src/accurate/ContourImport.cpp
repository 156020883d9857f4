// The accurate import: groups with their line numbers; the layer table, the block definitions
// and the model space's entities as curves, blocks placed where the drawing places them,
// flattened within the chord tolerance; then the contour engine.
// SPDX-License-Identifier: MIT
#include <algorithm>      // std::max, std::min, std::remove_if
#include <charconv>       // std::from_chars
#include <cmath>          // std::isfinite, std::fabs
#include <cstdint>        // std::uint8_t
#include <fstream>        // std::ifstream
#include <memory>         // std::unique_ptr, std::make_unique
#include <optional>       // std::optional
#include <sstream>        // std::ostringstream
#include <stdexcept>      // std::invalid_argument
#include <unordered_map>  // std::unordered_map
#include <utility>        // std::move

#include "VexlorDxfContours.h"
#include "VexlorDxfUnits.h"
#include "WideFileStream.h"
#include "accurate/BinaryDxf.h"
#include "accurate/Curves.h"
#include "accurate/Groups.h"
#include "accurate/Ocs.h"
#include "accurate/Shapes.h"
#include "accurate/TextEncoding.h"
#include "contours/Crossing.h"
#include "contours/Linking.h"
#include "contours/Reduction.h"

namespace Vexlor::Dxf {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

// Blocks placed inside blocks deeper than this end the import: no drawing needs it, and the
// placing recurses once per level.
constexpr int kMaxNesting = 128;

// Names (layers, entity kinds) as indices: a drawing has few names and many pieces. The last
// name looked up is remembered, since entities come in runs of one kind and layer.
class Names {
public:
    template <typename Decode>
    std::uint32_t Of(std::string_view text, const Decode& decode) {
        if (m_last && text == m_last->first) return m_last->second;
        auto [at, added] = m_index.try_emplace(std::string(text), 0);
        if (added) {
            at->second = static_cast<std::uint32_t>(m_names.size());
            m_names.push_back(decode(text));
            m_raw.push_back(&at->first);
        }
        m_last = &*at;
        return at->second;
    }
    /// The name as UTF-8.
    const std::string& operator[](std::uint32_t index) const { return m_names[index]; }
    /// The name as the drawing writes it.
    const std::string& Raw(std::uint32_t index) const { return *m_raw[index]; }
    std::size_t Size() const { return m_names.size(); }

private:
    std::unordered_map<std::string, std::uint32_t> m_index;
    std::vector<std::string> m_names;
    std::vector<const std::string*> m_raw;
    const std::pair<const std::string, std::uint32_t>* m_last = nullptr;
};

// DXF names of layers and blocks compare without regard to case.
std::string NameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool WorldAxes(const Point3d& extrusion) {
    return extrusion.x == 0 && extrusion.y == 0 && extrusion.z > 0;
}

// One INSERT (or MINSERT): a block placed, in rows and columns.
struct Insert {
    std::string block;
    std::size_t line = 0;
    Source source;
    Point3d at{0, 0, 0};
    Point3d scale{1, 1, 1};
    double rotation = 0;  // radians
    Point3d extrusion{0, 0, 1};
    long long columns = 1;
    long long rows = 1;
    double columnSpacing = 0;
    double rowSpacing = 0;
};

// A block definition, or the model space: its curves, the blocks it places, and what it holds
// that gives no contour.
struct Block {
    std::string name;
    Point3d base{0, 0, 0};
    std::vector<Shape> shapes;
    std::vector<Insert> inserts;
    std::map<std::string, std::size_t> skipped;
    bool placing = false;  // on the chain of blocks being placed now: a cycle if met again
};

// A layer as the LAYER table gives it.
struct LayerState {
    bool frozen = false;
    bool off = false;
};

// A curve to flatten once the tolerance is known: a shape, where it goes, and its piece.
struct CurvePlacement {
    const Shape* shape;
    Affine3 placement;
    std::size_t slot;
};

// Millimetres per unit of an $INSUNITS code; 0 for unitless and unknown codes.
double Millimetres(int units) {
    const LengthUnit* unit = FindUnit(units);
    return unit ? unit->millimetres : 0;
}

class Importer {
public:
    explicit Importer(const ContourOptions& options) : m_options(options) {}

    ContourImport Run(std::string_view data) {
        // A binary DXF is read as the text it stands for; its errors then name byte offsets.
        std::string converted;
        std::vector<std::size_t> offsets;
        const bool binary = IsBinaryDxf(data);
        if (binary) {
            try {
                converted = BinaryDxfToText(data, offsets);
            } catch (const BinaryDxfError& error) {
                ContourImport failed;
                failed.result = EContourResult::eReadError;
                failed.error = std::string("binary DXF: ") + error.what();
                return failed;
            }
        }
        const std::string_view text = binary ? std::string_view(converted) : data;
        ContourImport import;
        import.binary = binary;
        // About one piece per hundred bytes or more (a LINE takes some ninety): few moves of
        // the pieces as they come; no more than a million asked for ahead, so that a huge file
        // asks for no more memory than its pieces take.
        const std::size_t expected = std::min<std::size_t>(text.size() / 128, std::size_t{1} << 20);
        m_pieces.reserve(expected);
        m_sources.reserve(expected);
        try {
            Read(text);
            import.units = m_units;
            Units(import);
            PlaceModelSpace();
            import.tolerance = Tolerance();
            Flatten(import);
        } catch (const ReadError& error) {
            ContourImport failed;
            failed.result = EContourResult::eReadError;
            failed.error = binary ? AtByte(error.message, offsets) : error.message;
            failed.units = m_units;
            failed.binary = binary;
            return failed;
        }
        return import;
    }

private:
    // An error of a binary DXF's text, "line N: ...", as "byte X: ..." of its data.
    static std::string AtByte(const std::string& message, const std::vector<std::size_t>& offsets) {
        if (message.rfind("line ", 0) != 0) return "binary DXF: " + message;
        std::size_t line = 0;
        const auto [end, error] =
            std::from_chars(message.data() + 5, message.data() + message.size(), line);
        if (error != std::errc() || line == 0 || (line - 1) / 2 >= offsets.size()) {
            return "binary DXF: " + message;
        }
        return "binary DXF: byte " + std::to_string(offsets[(line - 1) / 2]) +
               message.substr(static_cast<std::size_t>(end - message.data()));
    }

    // ---- Reading: sections, tables, blocks and entities ----

    void Read(std::string_view text) {
        GroupSource source(text);
        bool ended = false;
        int sections = 0;
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
            ++sections;
        }
        // A drawing whose last section is complete lacks only its end marker: all of it was
        // read (many writers leave the marker out).
        if (!ended && !sections) throw ReadError{"the file ends before its EOF marker"};
        if (!ended) Approximate("no EOF marker after the last section");
    }

    enum class Part { Header, Tables, Blocks, Entities, Other };

    // Reads one section to its ENDSEC; returns the group after it.
    std::optional<Group> Section(GroupSource& source, const std::string& name, std::size_t line) {
        m_part = name == "HEADER"     ? Part::Header
                 : name == "TABLES"   ? Part::Tables
                 : name == "BLOCKS"   ? Part::Blocks
                 : name == "ENTITIES" ? Part::Entities
                                      : Part::Other;
        const bool collect =
            m_part == Part::Tables || m_part == Part::Blocks || m_part == Part::Entities;
        m_block = m_part == Part::Entities ? &m_model : nullptr;
        // One entity object serves every entity in turn: its groups' room is made once.
        Entity current("", 0);
        bool open = false;
        Entity* const entity = &current;
        std::optional<Entity> polyline;  // a POLYLINE collects its VERTEX entities
        std::vector<Entity> vertices;
        const auto flushPolyline = [&]() {
            if (polyline) Take(*polyline, vertices);
            polyline.reset();
            vertices.clear();
        };
        const auto finish = [&]() {
            if (!open) return;
            open = false;
            if (entity->Type() == "VERTEX" && polyline) {
                vertices.push_back(std::move(*entity));
            } else if (entity->Type() == "SEQEND") {
                // It ends a POLYLINE's vertices, or an INSERT's attributes: no entity itself.
                flushPolyline();
            } else if (entity->Type() == "POLYLINE") {
                flushPolyline();  // one without its SEQEND
                polyline = std::move(*entity);
            } else {
                flushPolyline();
                Take(*entity, vertices);
            }
        };
        for (std::optional<Group> group = source.Next(); group; group = source.Next()) {
            if (group->code == 999) continue;
            if (group->code == 0) {
                const std::string word(Trim(group->value));
                if (word == "ENDSEC") {
                    finish();
                    flushPolyline();
                    m_block = nullptr;
                    return source.Next();
                }
                if (collect) {
                    finish();
                    entity->Reset(word, group->line);
                    open = true;
                }
                continue;
            }
            if (m_part == Part::Header) {
                Header(*group, source);
            } else if (open) {
                entity->Groups().push_back(*group);
            }
        }
        throw ReadError{"line " + std::to_string(line) + ": section " + name + " has no ENDSEC"};
    }

    void Header(const Group& group, GroupSource& source) {
        if (group.code != 9) return;
        const std::string_view variable = Trim(group.value);
        if (variable != "$INSUNITS" && variable != "$ACADVER" && variable != "$DWGCODEPAGE") {
            return;
        }
        const std::optional<Group> value = source.Next();
        if (!value) return;
        Entity owner(std::string(variable), group.line);
        if (variable == "$INSUNITS" && value->code == 70) {
            m_units = static_cast<int>(owner.Integer(*value));
        } else if (variable == "$ACADVER" && value->code == 1) {
            m_version = std::string(Trim(value->value));
        } else if (variable == "$DWGCODEPAGE" && value->code == 3) {
            m_codePage = std::string(Trim(value->value));
        }
    }

    // A layer's or block's name as UTF-8: drawings of R2007 (AC1021) and later are UTF-8; older
    // ones use their $DWGCODEPAGE, or ANSI_1252 when they name none; a drawing without either
    // (no header) is read as UTF-8 where it is valid.
    std::string Decode(std::string_view text) {
        if (!m_decoder) {
            const bool utf8 = m_version >= "AC1021" || (m_version.empty() && m_codePage.empty());
            m_decoder = std::make_unique<TextDecoder>(
                m_codePage.empty() ? std::string_view("ANSI_1252") : m_codePage, utf8);
        }
        return m_decoder->Decode(text);
    }

    std::uint32_t LayerIndex(std::string_view name) {
        return m_layers.Of(name, [this](std::string_view t) { return Decode(t); });
    }
    std::uint32_t KindIndex(std::string_view name) {
        return m_kinds.Of(name, [](std::string_view t) { return ValidUtf8(t); });
    }

    void Skip(const std::string& what) {
        // What a block holds is counted as often as the block is placed.
        ++(m_block && m_block != &m_model ? m_block->skipped : m_skipped)[what];
    }

    // An entity of a table, a block or the model space, with the VERTEX entities of a POLYLINE.
    void Take(const Entity& entity, const std::vector<Entity>& vertices) {
        const std::string& type = entity.Type();
        if (m_part == Part::Tables) {
            if (type == "LAYER") LayerEntry(entity);
            return;
        }
        if (m_part == Part::Blocks) {
            if (type == "BLOCK") return BeginBlock(entity);
            if (type == "ENDBLK") {
                m_block = nullptr;
                return;
            }
            if (!m_block) return;  // outside a block definition
        }
        if (type == "LINE") return Line(entity);
        if (entity.IntegerOr(67, 0) == 1) {
            Skip("paper space");
            return;
        }
        if (type == "INSERT") return InsertEntity(entity);
        if (type == "HATCH") return Hatch(entity);
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
        shape.source = {KindIndex(type), Layer(entity), entity.TextOr(5, "")};
        AddShape(std::move(shape));
    }

    // A shape of the current block; in the model space, a straight one in world coordinates
    // becomes a piece as it stands, whatever the tolerance.
    void AddShape(Shape shape) {
        if (m_block != &m_model) {
            m_block->shapes.push_back(std::move(shape));
            return;
        }
        if (shape.Straight() && !shape.ocs && shape.heights.empty()) {
            AddPiece(std::move(shape.points), shape.closed, std::move(shape.source));
            return;
        }
        m_modelSlots.push_back(AddPiece({}, shape.closed, std::move(shape.source)));
        m_model.shapes.push_back(std::move(shape));
    }

    std::size_t AddPiece(std::vector<Point2d> points, bool closed, Source source) {
        m_pieces.push_back({std::move(points), closed});
        m_sources.push_back(std::move(source));
        return m_pieces.size() - 1;
    }

    void LayerEntry(const Entity& entity) {
        LayerState state;
        state.frozen = (entity.IntegerOr(70, 0) & 1) != 0;
        state.off = entity.IntegerOr(62, 7) < 0;
        // Keyed by the name as written, as entities name their layers.
        m_layerTable.try_emplace(NameKey(RawText(entity, 2)), state);
    }

    // The first group `code` as written, or nothing.
    static std::string_view RawText(const Entity& entity, int code) {
        for (const Group& group : entity.Groups()) {
            if (group.code == code) return Trim(group.value);
        }
        return {};
    }

    void BeginBlock(const Entity& entity) {
        const std::string_view name = RawText(entity, 2);
        auto [at, added] = m_blocks.try_emplace(NameKey(name));
        // A second definition of a name is read and left aside: the first one stands.
        m_block = added ? &at->second : &m_discarded;
        if (!added) m_discarded = Block{};
        m_block->name = Decode(name);
        m_block->base = {entity.NumberOr(10, 0), entity.NumberOr(20, 0), entity.NumberOr(30, 0)};
    }

    void InsertEntity(const Entity& entity) {
        Insert insert;
        insert.block = std::string(RawText(entity, 2));
        insert.line = entity.Line();
        insert.source = {KindIndex(entity.Type()), Layer(entity), entity.TextOr(5, "")};
        insert.at = {entity.NumberOr(10, 0), entity.NumberOr(20, 0), entity.NumberOr(30, 0)};
        insert.scale = {entity.NumberOr(41, 1), entity.NumberOr(42, 1), entity.NumberOr(43, 1)};
        insert.rotation = entity.NumberOr(50, 0) * kDegree;
        insert.extrusion = entity.Extrusion();
        insert.columns = std::max<long long>(1, entity.IntegerOr(70, 1));
        insert.rows = std::max<long long>(1, entity.IntegerOr(71, 1));
        insert.columnSpacing = entity.NumberOr(44, 0);
        insert.rowSpacing = entity.NumberOr(45, 0);
        m_block->inserts.push_back(std::move(insert));
    }

    // A LINE, the commonest entity, read in one pass over its groups (the first of each code
    // counts, as everywhere).
    void Line(const Entity& entity) {
        enum { kFromX, kFromY, kFromZ, kToX, kToY, kToZ, kLayer, kHandle, kSpace, kCount };
        const Group* found[kCount] = {};
        for (const Group& group : entity.Groups()) {
            int slot = kCount;
            switch (group.code) {
                case 10:
                    slot = kFromX;
                    break;
                case 20:
                    slot = kFromY;
                    break;
                case 30:
                    slot = kFromZ;
                    break;
                case 11:
                    slot = kToX;
                    break;
                case 21:
                    slot = kToY;
                    break;
                case 31:
                    slot = kToZ;
                    break;
                case 8:
                    slot = kLayer;
                    break;
                case 5:
                    slot = kHandle;
                    break;
                case 67:
                    slot = kSpace;
                    break;
                default:
                    continue;
            }
            if (!found[slot]) found[slot] = &group;
        }
        if (found[kSpace] && entity.Integer(*found[kSpace]) == 1) return Skip("paper space");
        const auto number = [&](int slot) {
            return found[slot] ? entity.Number(*found[slot]) : 0.0;
        };
        Shape shape;
        shape.points = {{number(kFromX), number(kFromY)}, {number(kToX), number(kToY)}};
        shape.source = {KindIndex(entity.Type()),
                        LayerIndex(found[kLayer] ? Trim(found[kLayer]->value) : "0"),
                        found[kHandle] ? ValidUtf8(Trim(found[kHandle]->value)) : std::string()};
        if (m_block == &m_model) {
            // Seen from above in the world, the heights change nothing.
            AddPiece(std::move(shape.points), false, std::move(shape.source));
            return;
        }
        // In a block, heights count when the block is placed tilted.
        const double fromZ = number(kFromZ), toZ = number(kToZ);
        if (fromZ != 0 || toZ != 0) shape.heights = {fromZ, toZ};
        m_block->shapes.push_back(std::move(shape));
    }

    std::uint32_t Layer(const Entity& entity) {
        for (const Group& group : entity.Groups()) {
            if (group.code == 8) return LayerIndex(Trim(group.value));
        }
        return LayerIndex("0");
    }

    // Bulges all zero say no more than none.
    static void DropStraightBulges(Shape& shape) {
        for (const double bulge : shape.bulges) {
            if (bulge != 0) return;
        }
        shape.bulges.clear();
    }

    static void SetFrame(Shape& shape, const Point3d& extrusion) {
        shape.ocs = !WorldAxes(extrusion);
        if (shape.ocs) shape.axes = ArbitraryAxes(extrusion);
    }

    void LightPolyline(const Entity& entity, Shape& shape) {
        shape.closed = (entity.IntegerOr(70, 0) & 1) != 0;
        shape.elevation = entity.NumberOr(38, 0);
        SetFrame(shape, entity.Extrusion());
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
        SetFrame(shape, entity.Extrusion());
        for (const Entity& vertex : vertices) {
            // Frame control points of a spline-fit polyline are not on the curve.
            if (vertex.IntegerOr(70, 0) & 16) continue;
            shape.points.push_back({vertex.NumberOr(10, 0), vertex.NumberOr(20, 0)});
            shape.bulges.push_back(vertex.NumberOr(42, 0));
        }
        DropStraightBulges(shape);
        return true;
    }

    // A circle or arc in its object coordinate system: center (10, 20, 30), radius, angles.
    static void CircleShape(Shape& shape, const Point3d& center, double radius, double start,
                            double end, bool arc) {
        shape.kind = Shape::Kind::Conic;
        shape.center = center;
        shape.axisU = {radius, 0, 0};
        shape.axisV = {0, radius, 0};
        shape.closed = !arc;
        shape.start = arc ? start : 0;
        shape.end = arc ? end : 2 * kPi;
    }

    void Circle(const Entity& entity, bool arc, Shape& shape) {
        const double radius = entity.NumberOr(40, 0);
        if (radius < 0) entity.Fail("negative radius");
        SetFrame(shape, entity.Extrusion());
        CircleShape(shape, {entity.NumberOr(10, 0), entity.NumberOr(20, 0), entity.NumberOr(30, 0)},
                    radius, arc ? entity.NumberOr(50, 0) * kDegree : 0,
                    arc ? entity.NumberOr(51, 360) * kDegree : 0, arc);
    }

    void Ellipse(const Entity& entity, Shape& shape) {
        shape.kind = Shape::Kind::Conic;
        const double ratio = entity.NumberOr(40, 1);
        if (!(ratio > 0)) entity.Fail("the axis ratio is not positive");
        // In world coordinates: the frame is the world's.
        shape.axisU = {entity.NumberOr(11, 0), entity.NumberOr(21, 0), entity.NumberOr(31, 0)};
        shape.center = {entity.NumberOr(10, 0), entity.NumberOr(20, 0), entity.NumberOr(30, 0)};
        shape.axisV = EllipseMinorAxis(entity.Extrusion(), shape.axisU, ratio);
        shape.start = entity.NumberOr(41, 0);
        shape.end = entity.NumberOr(42, 2 * kPi);
        shape.closed = ArcSpan(shape.start, shape.end) >= 2 * kPi;
    }

    bool Spline(const Entity& entity, Shape& shape) {
        const long long flags = entity.IntegerOr(70, 0);
        shape.spline = std::make_unique<SplineData>();
        NurbsCurve& nurbs = shape.spline->nurbs;
        std::vector<double>& heights = shape.spline->heights;
        nurbs.degree = static_cast<int>(entity.IntegerOr(71, 3));
        std::vector<Point2d> fit;
        bool raised = false;
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
                    heights.push_back(0);
                    break;
                case 20:
                    if (!nurbs.controlPoints.empty()) {
                        nurbs.controlPoints.back().y = entity.Number(group);
                    }
                    break;
                case 30:
                    if (!heights.empty()) {
                        heights.back() = entity.Number(group);
                        raised = raised || heights.back() != 0;
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
        if (!raised) heights.clear();
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

    // The boundary paths of a HATCH, each edge a shape in the hatch's object coordinate system;
    // fills and patterns add no lines.
    void Hatch(const Entity& entity) {
        const Source source{KindIndex(entity.Type()), Layer(entity), entity.TextOr(5, "")};
        const Point3d extrusion = entity.Extrusion();
        const double elevation = entity.NumberOr(30, 0);
        HatchReader reader(entity);
        std::vector<Shape> shapes = reader.Boundaries();
        const auto place = [&](Shape& shape) {
            SetFrame(shape, extrusion);
            shape.elevation = elevation;
            if (shape.kind == Shape::Kind::Conic) shape.center.z = elevation;
        };
        for (Shape& shape : shapes) {
            place(shape);
            for (Shape& part : shape.parts) place(part);
            shape.source = source;
            AddShape(std::move(shape));
        }
    }

    // Reads a HATCH's groups in their order: counts say how many of each follow.
    class HatchReader {
    public:
        explicit HatchReader(const Entity& entity) : m_entity(entity), m_groups(entity.Groups()) {}

        std::vector<Shape> Boundaries() {
            std::vector<Shape> shapes;
            while (m_at < m_groups.size() && m_groups[m_at].code != 91) ++m_at;
            if (m_at == m_groups.size()) return shapes;
            const long long paths = Count(91);
            for (long long p = 0; p < paths; ++p) {
                const long long flags = Integer(92);
                if (flags & 2) {
                    PolylinePath(shapes);
                } else {
                    // The edges of a path run end to end round one loop: one closed shape.
                    Shape path;
                    path.kind = Shape::Kind::Path;
                    path.closed = true;
                    const long long edges = Count(93);
                    for (long long e = 0; e < edges; ++e) Edge(path.parts);
                    if (!path.parts.empty()) shapes.push_back(std::move(path));
                }
                // The boundary objects it came from: handles, no geometry.
                if (At(97)) {
                    const long long objects = Count(97);
                    for (long long k = 0; k < objects && At(330); ++k) ++m_at;
                }
            }
            return shapes;
        }

    private:
        bool At(int code) const { return m_at < m_groups.size() && m_groups[m_at].code == code; }
        const Group& Expect(int code) {
            if (!At(code)) {
                if (m_at < m_groups.size()) {
                    m_entity.Fail(m_groups[m_at], "group " + std::to_string(code) +
                                                      " expected in a boundary path, not " +
                                                      std::to_string(m_groups[m_at].code));
                }
                m_entity.Fail("the boundary paths end early: group " + std::to_string(code) +
                              " expected");
            }
            return m_groups[m_at++];
        }
        double Number(int code) { return m_entity.Number(Expect(code)); }
        double NumberOr(int code, double fallback) { return At(code) ? Number(code) : fallback; }
        long long Integer(int code) { return m_entity.Integer(Expect(code)); }
        // A count of what follows: each takes a group at least, so no count beyond the groups
        // that are left is believed.
        long long Count(int code) {
            const Group& group = Expect(code);
            const long long count = m_entity.Integer(group);
            if (count < 0 || static_cast<unsigned long long>(count) > m_groups.size() - m_at) {
                m_entity.Fail(group, "group " + std::to_string(code) + " counts " +
                                         std::to_string(count) + ", more than follow");
            }
            return count;
        }
        Point2d Point(int x, int y) {
            const double px = Number(x);
            return {px, Number(y)};
        }

        void PolylinePath(std::vector<Shape>& shapes) {
            const bool bulged = Integer(72) != 0;
            Integer(73);  // closed or not: a boundary is a loop either way
            const long long vertices = Count(93);
            Shape shape;
            shape.closed = true;
            for (long long v = 0; v < vertices; ++v) {
                shape.points.push_back(Point(10, 20));
                shape.bulges.push_back(bulged ? NumberOr(42, 0) : 0);
            }
            DropStraightBulges(shape);
            shapes.push_back(std::move(shape));
        }

        void Edge(std::vector<Shape>& shapes) {
            const long long type = Integer(72);
            Shape shape;
            if (type == 1) {
                const Point2d from = Point(10, 20);
                shape.points = {from, Point(11, 21)};
            } else if (type == 2) {
                const Point2d center = Point(10, 20);
                const double radius = Number(40);
                const double start = Number(50) * kDegree;
                const double end = Number(51) * kDegree;
                const bool counterClockwise = Integer(73) != 0;
                CircleShape(shape, {center.x, center.y, 0}, radius, start, end, true);
                // A clockwise edge gives its angles as seen mirrored in x: it runs from -start
                // clockwise to -end.
                if (!counterClockwise) shape.axisV = {0, -radius, 0};
                shape.closed = false;
            } else if (type == 3) {
                const Point2d center = Point(10, 20);
                const Point2d major = Point(11, 21);
                const double ratio = Number(40);
                shape.kind = Shape::Kind::Conic;
                shape.center = {center.x, center.y, 0};
                shape.axisU = {major.x, major.y, 0};
                shape.axisV = {-major.y * ratio, major.x * ratio, 0};
                // The edge gives angles, in degrees, seen from the center: the parameter of
                // angle a has the direction (cos a, sin a / ratio). A sweep of a whole turn or
                // more is the whole ellipse.
                const double start = Number(50);
                const double end = Number(51);
                const auto parameter = [ratio](double degrees) {
                    const double a = degrees * kDegree;
                    return std::atan2(std::sin(a) / ratio, std::cos(a));
                };
                shape.start = parameter(start);
                shape.end = std::fabs(end - start) >= 360 ? shape.start + 2 * kPi : parameter(end);
                if (Integer(73) == 0) shape.axisV = {-shape.axisV.x, -shape.axisV.y, 0};
            } else if (type == 4) {
                SplineEdge(shape);
            } else {
                m_entity.Fail(m_groups[m_at - 1],
                              "boundary edge of unknown type " + std::to_string(type));
            }
            shapes.push_back(std::move(shape));
        }

        void SplineEdge(Shape& shape) {
            shape.spline = std::make_unique<SplineData>();
            NurbsCurve& nurbs = shape.spline->nurbs;
            nurbs.degree = static_cast<int>(Integer(94));
            const bool rational = Integer(73) != 0;
            Integer(74);  // periodic: the knots and control points carry it
            const long long knots = Count(95);
            const long long controls = Count(96);
            for (long long k = 0; k < knots; ++k) nurbs.knots.push_back(Number(40));
            for (long long c = 0; c < controls; ++c) {
                nurbs.controlPoints.push_back(Point(10, 20));
                if (At(42)) {
                    const double weight = Number(42);
                    if (rational) nurbs.weights.push_back(weight);
                }
            }
            std::vector<Point2d> fit;
            if (At(97)) {
                const long long fits = Count(97);
                for (long long f = 0; f < fits; ++f) fit.push_back(Point(11, 21));
                if (At(12)) shape.spline->startTangent = Point(12, 22);
                if (At(13)) shape.spline->endTangent = Point(13, 23);
            }
            if (!nurbs.controlPoints.empty()) {
                shape.kind = Shape::Kind::Nurbs;
                shape.points = nurbs.controlPoints;
            } else {
                shape.kind = Shape::Kind::FitSpline;
                shape.points = std::move(fit);
            }
        }

        const Entity& m_entity;
        const std::vector<Group>& m_groups;
        std::size_t m_at = 0;
    };

    // ---- Placing: units, layers and blocks ----

    void Units(ContourImport& import) {
        if (m_options.units == 0) return;
        const double from = Millimetres(m_units);
        const double to = Millimetres(m_options.units);
        if (from == 0) {
            Approximate("drawing without units ($INSUNITS 0): coordinates not converted");
            return;
        }
        m_scale = from / to;
        import.scale = m_scale;
        m_top = Affine3::Scaling(m_scale, m_scale, m_scale);
        if (m_scale == 1) return;
        for (Polyline2d& piece : m_pieces) {
            for (Point2d& p : piece.points) p = {p.x * m_scale, p.y * m_scale};
        }
    }

    // Whether a layer's entities are imported: not hidden (unless asked), and chosen.
    bool Visible(std::uint32_t layer) {
        if (m_visible.size() < m_layers.Size()) m_visible.resize(m_layers.Size(), -1);
        signed char& known = m_visible[layer];
        if (known < 0) {
            const std::string key = NameKey(m_layers.Raw(layer));
            bool visible = true;
            if (!m_options.hiddenLayers) {
                const auto at = m_layerTable.find(key);
                visible = at == m_layerTable.end() || !(at->second.frozen || at->second.off);
            }
            known = visible ? 1 : 0;
            if (visible && !m_options.layers.empty()) {
                // The caller names layers in UTF-8, as the contours name them.
                known = 2;  // hidden by the choice of layers, unless chosen
                const std::string chosen = NameKey(m_layers[layer]);
                for (const std::string& name : m_options.layers) {
                    if (NameKey(name) == chosen) known = 1;
                }
            }
        }
        return known == 1;
    }

    // Why a layer's entities are left out.
    const char* Hidden(std::uint32_t layer) {
        return Visible(layer)          ? nullptr
               : m_visible[layer] == 0 ? "frozen or off layer"
                                       : "layer not chosen";
    }

    void Spend(std::size_t points) {
        m_spent += points;
        if (m_spent > m_options.maxPoints) {
            throw ReadError{"the drawing gives more than " + std::to_string(m_options.maxPoints) +
                            " points (ContourOptions::maxPoints)"};
        }
    }

    void PlaceModelSpace() {
        for (const Polyline2d& piece : m_pieces) Spend(piece.points.size());
        for (std::size_t i = 0; i < m_model.shapes.size(); ++i) {
            m_curves.push_back({&m_model.shapes[i], m_top, m_modelSlots[i]});
            Spend(std::max<std::size_t>(1, m_model.shapes[i].points.size()));
        }
        const std::uint32_t layer0 = LayerIndex("0");
        for (const Insert& insert : m_model.inserts) Place(insert, m_top, layer0, 1);
    }

    // The transform of one block placed by `insert` in its column `column` and row `row`.
    static Affine3 Placement(const Insert& insert, const Block& block, long long column,
                             long long row) {
        const Point3d offset{static_cast<double>(column) * insert.columnSpacing,
                             static_cast<double>(row) * insert.rowSpacing, 0};
        Affine3 local = Affine3::Translation(insert.at) * Affine3::Rotation(insert.rotation) *
                        Affine3::Translation(offset) *
                        Affine3::Scaling(insert.scale.x, insert.scale.y, insert.scale.z) *
                        Affine3::Translation({-block.base.x, -block.base.y, -block.base.z});
        if (!WorldAxes(insert.extrusion))
            local = Affine3::Axes(ArbitraryAxes(insert.extrusion)) * local;
        return local;
    }

    // Places the block of `insert` by `outer`; `inherited` is the layer that entities on
    // layer "0" take (the INSERT's own, or its placer's when it is on "0" as well).
    void Place(const Insert& insert, const Affine3& outer, std::uint32_t inherited, int depth) {
        Spend(1);
        const auto found = m_blocks.find(NameKey(insert.block));
        if (found == m_blocks.end()) {
            ++m_skipped["INSERT of a missing block"];
            return;
        }
        Block& block = found->second;
        const std::uint32_t layer0 = LayerIndex("0");
        const std::uint32_t own = insert.source.layer == layer0 ? inherited : insert.source.layer;
        if (const char* why = Hidden(own); why && m_visible[own] == 0 && Frozen(own)) {
            ++m_skipped[why];  // a frozen INSERT hides all it places
            return;
        }
        if (block.placing) {
            throw ReadError{"line " + std::to_string(insert.line) + ": block \"" + block.name +
                            "\" inserts itself"};
        }
        if (depth > kMaxNesting) {
            throw ReadError{"line " + std::to_string(insert.line) + ": blocks nested more than " +
                            std::to_string(kMaxNesting) + " deep at block \"" + block.name + "\""};
        }
        block.placing = true;
        for (long long row = 0; row < insert.rows; ++row) {
            for (long long column = 0; column < insert.columns; ++column) {
                Spend(1);  // every copy costs, even of an empty block
                const Affine3 placement = outer * Placement(insert, block, column, row);
                for (const auto& [what, count] : block.skipped) m_skipped[what] += count;
                for (const Shape& shape : block.shapes) {
                    Spend(std::max<std::size_t>(1, shape.points.size()));
                    Source source = shape.source;
                    if (source.layer == layer0) source.layer = own;
                    if (shape.Straight()) {
                        std::vector<Point2d> points;
                        points.reserve(shape.points.size());
                        FlattenShape(shape, placement, 1, points, &NoteApproximation, this);
                        AddPiece(std::move(points), shape.closed, std::move(source));
                    } else {
                        m_curves.push_back(
                            {&shape, placement, AddPiece({}, shape.closed, std::move(source))});
                    }
                }
                for (const Insert& nested : block.inserts) Place(nested, placement, own, depth + 1);
            }
        }
        block.placing = false;
    }

    bool Frozen(std::uint32_t layer) const {
        const auto at = m_layerTable.find(NameKey(m_layers.Raw(layer)));
        return at != m_layerTable.end() && at->second.frozen;
    }

    // ---- Flattening and the contour engine ----

    // The box of the points that define the shapes, in world coordinates.
    double Extent() {
        bool any = false;
        Point2d minimum{0, 0}, maximum{0, 0};
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            if (!Visible(m_sources[i].layer)) continue;
            for (const Point2d& p : m_pieces[i].points) {
                if (!any) {
                    minimum = maximum = p;
                    any = true;
                }
                minimum = {std::min(minimum.x, p.x), std::min(minimum.y, p.y)};
                maximum = {std::max(maximum.x, p.x), std::max(maximum.y, p.y)};
            }
        }
        for (const CurvePlacement& curve : m_curves) {
            if (!Visible(m_sources[curve.slot].layer)) continue;
            NoteExtent(*curve.shape, curve.placement, any, minimum, maximum);
        }
        return std::max(maximum.x - minimum.x, maximum.y - minimum.y);
    }

    double Tolerance() {
        if (m_options.tolerance > 0) return m_options.tolerance;
        const double extent = Extent();
        const double tolerance = m_options.relativeTolerance * extent;
        return tolerance > 0 && std::isfinite(tolerance) ? tolerance : m_options.relativeTolerance;
    }

    static void NoteApproximation(void* importer, const std::string& what) {
        static_cast<Importer*>(importer)->Approximate(what);
    }
    void Approximate(const std::string& what) { ++m_approximations[what]; }

    void Flatten(ContourImport& import) {
        const double tolerance = import.tolerance;
        const MeetDistance meet = MeetDistance::Of(m_options.linkingDistance);
        for (const CurvePlacement& curve : m_curves) {
            if (!Visible(m_sources[curve.slot].layer)) continue;
            std::vector<Point2d>& points = m_pieces[curve.slot].points;
            if (!FlattenShape(*curve.shape, curve.placement, tolerance, points, &NoteApproximation,
                              this)) {
                // Refused definitions (decreasing knots, a wrong number of weights) keep the
                // points that define them, as a polyline.
                points.clear();
                Shape straight;
                straight.points = curve.shape->points;
                straight.elevation = curve.shape->elevation;
                straight.ocs = curve.shape->ocs;
                straight.axes = curve.shape->axes;
                FlattenShape(straight, curve.placement, tolerance, points, &NoteApproximation,
                             this);
                Approximate(m_kinds[m_sources[curve.slot].entity] +
                            " that could not be evaluated: its points");
            }
            Spend(points.size());
        }
        m_curves.clear();
        std::vector<Polyline2d>& polylines = m_pieces;
        std::vector<Source>& sources = m_sources;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            Polyline2d& polyline = polylines[i];
            if (const char* why = Hidden(sources[i].layer)) {
                ++m_skipped[why];
                continue;
            }
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
        import.skipped = std::move(m_skipped);
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
            import.result = EContourResult::eEmpty;
        } else if (crossing) {
            import.result = EContourResult::eIntersecting;
        } else {
            import.result = EContourResult::eOk;
        }
    }

    const ContourOptions& m_options;
    int m_units = 0;
    std::string m_version;
    std::string m_codePage;
    std::unique_ptr<TextDecoder> m_decoder;  // made when the first name is read, after the header
    Part m_part = Part::Other;
    // The model space's curves and inserts (its straight pieces go to m_pieces at once), with
    // the piece of each curve; the block definitions by name; where entities go now.
    Block m_model;
    std::vector<std::size_t> m_modelSlots;
    std::unordered_map<std::string, Block> m_blocks;
    Block m_discarded;
    Block* m_block = nullptr;
    std::unordered_map<std::string, LayerState> m_layerTable;
    std::vector<signed char>
        m_visible;  // by layer index: -1 unknown, 0 hidden, 1 shown, 2 not chosen
    // Drawing units to the units asked for, and the transform of the model space.
    double m_scale = 1;
    Affine3 m_top;
    std::size_t m_spent = 0;
    // The pieces in the drawing's order, with where each came from; a curve's piece is empty
    // until the tolerance is known and `m_curves` holds it.
    std::vector<Polyline2d> m_pieces;
    std::vector<Source> m_sources;
    std::vector<CurvePlacement> m_curves;
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
        import.result = EContourResult::eReadError;
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
