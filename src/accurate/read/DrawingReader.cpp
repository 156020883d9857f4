// The sections of a drawing, its header values, layer table and block definitions, and the
// gathering of a POLYLINE's vertices; each entity goes to its reader.
// SPDX-License-Identifier: MIT
#include "accurate/read/DrawingReader.h"

#include <algorithm>  // std::minmax_element, std::min, std::max
#include <cstring>    // std::memcmp
#include <iterator>   // std::size
#include <optional>   // std::optional
#include <utility>    // std::move

#include "accurate/read/EntityReaders.h"

namespace Vexlor::Dxf {

namespace {

// The sections a drawing can hold, by name: a group 2 outside a section that names one begins
// it, and each is noted when it comes again. -1 for another name.
int SectionIndex(std::string_view name) {
    static constexpr std::string_view kSections[] = {"HEADER",         "CLASSES",  "TABLES",
                                                     "BLOCKS",         "ENTITIES", "OBJECTS",
                                                     "THUMBNAILIMAGE", "ACDSDATA"};
    for (std::size_t i = 0; i < std::size(kSections); ++i) {
        if (name == kSections[i]) return static_cast<int>(i);
    }
    return -1;
}

// Whether an entity's type is LINE: four bytes compared at once, as the commonest type is asked
// for at every entity.
bool IsLine(std::string_view type) {
    return type.size() == 4 && std::memcmp(type.data(), "LINE", 4) == 0;
}

bool IsCircle(std::string_view type) { return type == "ARC" || type == "CIRCLE"; }

// A section as messages name it.
std::string Called(const std::string& name) {
    return name.empty() ? std::string("the SECTION without a name") : "section " + Excerpt(name);
}

}  // namespace

void DrawingReader::Unread(const Group& group) {
    m_held = group;
    m_holding = true;
}

void DrawingReader::Note(std::size_t position, std::string what) {
    m_budget.Spend(kRecoveryCharge);
    m_drawing.recoveries.emplace_back(position, std::move(what));
}

void DrawingReader::Recover(std::size_t position, std::string what, std::size_t errorPosition,
                            const std::string& error) {
    if (m_strict) throw ReadError{errorPosition, error};
    Note(position, std::move(what));
}

void DrawingReader::Read(GroupSource& source) {
    bool ended = false;
    bool read[8] = {};  // which of the sections of SectionIndex have been read
    // The recovery that notes the first repeat of each, and how many repeats followed: some
    // writers begin a section anew for every few entities.
    std::size_t repeat[8] = {};
    std::size_t repeats[8] = {};
    std::size_t sections = 0;
    Group group;
    bool more = Next(source, group);
    while (more) {
        const std::size_t at = group.position;
        if (group.code == 999) {  // a comment
            more = Next(source, group);
            continue;
        }
        if (group.code == 9) {
            // Some writers put header variables after the header's ENDSEC.
            Recover(at,
                    sections ? "header variables after ENDSEC, read as header"
                             : "header variables before any SECTION, read as header",
                    "group 9 outside a section");
            more = StrayHeader(source, group);
            continue;
        }
        const std::string_view word = Trim(group.value);
        std::string name;
        if (group.code == 2 && SectionIndex(word) >= 0) {
            // A section's name whose 0/SECTION is missing.
            name = std::string(word);
            Recover(at, "section name " + name + " without SECTION, read as section " + name,
                    "group 2 outside a section");
        } else if (group.code != 0) {
            Recover(at, "groups outside a section, left aside",
                    "group " + std::to_string(group.code) + " outside a section");
            more = SkipToGroupZero(source, group);
            continue;
        } else if (word == "EOF") {
            ended = true;
            break;
        } else if (word == "ENDSEC") {
            Recover(at, "ENDSEC outside a section, ignored",
                    Quoted(word) + " where a SECTION should begin");
            more = Next(source, group);
            continue;
        } else if (word != "SECTION") {
            throw ReadError{at, Quoted(word) + " where a SECTION should begin"};
        } else if (!Next(source, group)) {
            Recover(at, "SECTION without a name at the end of the file, ignored",
                    "SECTION without a name");
            break;
        } else if (group.code == 0) {
            Recover(at, "SECTION without a name, ignored", "SECTION without a name");
            continue;  // the group 0 after it is read as it comes
        } else if (group.code != 2) {
            Recover(at, "SECTION without a name, its groups left aside", "SECTION without a name");
            Unread(group);  // the section's first group
        } else {
            name = std::string(Trim(group.value));
        }
        const int known = SectionIndex(name);
        if (known >= 0 && read[known] && repeats[known]++ == 0) {
            Recover(at, "second " + name + " section, read as more of the first",
                    "a second " + name + " section");
            repeat[known] = m_drawing.recoveries.size() - 1;
        }
        if (known >= 0) read[known] = true;
        more = Section(source, name, at, group);
        ++sections;
    }
    for (std::size_t i = 0; i < std::size(repeat); ++i) {
        if (repeats[i] > 1) {
            m_drawing.recoveries[repeat[i]].second +=
                "; " + std::to_string(repeats[i] - 1) + " more after it, read the same";
        }
    }
    if (ended) return;
    // A drawing whose last section is complete lacks only its end marker: all of it was read
    // (many writers leave the marker out).
    if (sections) return Note(m_last, "the file ends after this group, without its EOF marker");
    Recover(kNoPosition, "no SECTION and no EOF marker, read as an empty drawing",
            "the file ends before its EOF marker");
}

bool DrawingReader::StrayHeader(GroupSource& source, Group& group) {
    do {
        if (group.code == 0) return true;
        if (group.code == 9) Header(group, source);
    } while (Next(source, group));
    return false;
}

bool DrawingReader::SkipToGroupZero(GroupSource& source, Group& group) {
    while (Next(source, group)) {
        if (group.code == 0) return true;
    }
    return false;
}

bool DrawingReader::Section(GroupSource& source, const std::string& name, std::size_t position,
                            Group& group) {
    m_part = name == "HEADER"     ? Part::Header
             : name == "TABLES"   ? Part::Tables
             : name == "BLOCKS"   ? Part::Blocks
             : name == "ENTITIES" ? Part::Entities
                                  : Part::Other;
    const bool collect =
        m_part == Part::Tables || m_part == Part::Blocks || m_part == Part::Entities;
    m_block = m_part == Part::Entities ? &m_drawing.model : nullptr;
    // One entity object serves every entity in turn: its groups' room is made once.
    Entity entity;
    bool open = false;
    std::optional<Entity> polyline;  // a POLYLINE gathers its VERTEX entities
    std::vector<Entity> vertices;
    const auto flushPolyline = [&]() {
        if (polyline) Take(*polyline, vertices);
        polyline.reset();
        vertices.clear();
    };
    // A LINE, CIRCLE or ARC of the model space read at once is taken when its entity would be
    // (see ReadLine and ReadCircle).
    bool lineRead = false;
    bool circleRead = false;
    const auto finish = [&]() {
        if (open) {
            open = false;
            if (lineRead) {
                lineRead = false;
                flushPolyline();
                return TakeLine(m_line);
            }
            if (circleRead) {
                circleRead = false;
                flushPolyline();
                return TakeCircle(entity);
            }
            if (entity.Type() == "VERTEX" && polyline) {
                vertices.push_back(std::move(entity));
                entity = Entity();  // a moved-from entity is not used again
                return;
            }
            if (entity.Type() == "SEQEND") {
                // It ends a POLYLINE's vertices, or an INSERT's attributes: no entity itself.
                flushPolyline();
                return;
            }
            if (entity.Type() == "POLYLINE") {
                flushPolyline();  // one without its SEQEND
                polyline = std::move(entity);
                entity = Entity();
                return;
            }
            flushPolyline();
            Take(entity, vertices);
        }
    };
    const auto end = [&]() {
        finish();
        flushPolyline();
        m_block = nullptr;
    };
    const std::string noEnd = Called(name) + " has no ENDSEC";
    bool pending = false;  // the group 0 at which a LINE read at once stopped, in `group`
    while (pending || Next(source, group)) {
        pending = false;
        if (group.code == 999) continue;
        if (group.code == 0) {
            const std::string_view word = Trim(group.value);
            if (word == "ENDSEC") {
                end();
                return Next(source, group);
            }
            if (word == "EOF" || word == "SECTION") {
                // No entity or table is named so: the section's ENDSEC is missing.
                Recover(group.position,
                        std::string(word) + " before the ENDSEC of " + Called(name) +
                            ", which ends there",
                        position, noEnd);
                end();
                return true;  // the group is read again outside the section
            }
            if (collect) {
                finish();
                entity.Reset(word, group.position);
                open = true;
                // The commonest entity by far: read straight from the source, without its
                // groups held, when nothing waits to be taken before it.
                if (m_part == Part::Entities && IsLine(word) && !polyline) {
                    lineRead = true;
                    if (!ReadLine(source, entity, group)) break;
                    pending = true;  // the next entity's group 0
                } else if (m_part == Part::Entities && IsCircle(word) && !polyline) {
                    circleRead = true;
                    if (!ReadCircle(source, entity, group)) break;
                    pending = true;
                }
            }
            continue;
        }
        if (m_part == Part::Header) {
            Header(group, source);
        } else if (open) {
            entity.Add(group);
            // Most of a lightweight polyline is its vertices: read on at once while they are
            // plain. Nothing is held back then, so the source is where reading stands.
            if (group.code == 10 && !m_holding) entity.AddPlainVertices(source, m_last);
        }
    }
    Recover(position, Called(name) + " has no ENDSEC, read to the end of the file", position,
            noEnd);
    end();
    return false;
}

void DrawingReader::Header(const Group& group, GroupSource& source) {
    if (group.code != 9) return;
    // The name is kept: the value's group takes the place of its text.
    const std::string variable(Trim(group.value));
    if (variable != "$INSUNITS" && variable != "$ACADVER" && variable != "$DWGCODEPAGE") return;
    Group value;
    if (!Next(source, value)) return;
    if (value.code == 0 || value.code == 9) {
        // A variable without its value: the group is the next item.
        Unread(value);
        return;
    }
    Entity owner;
    owner.Reset(variable, group.position);
    if (variable == "$INSUNITS" && value.code == 70) {
        m_drawing.units = static_cast<int>(owner.Integer(value));
    } else if (variable == "$ACADVER" && value.code == 1) {
        m_drawing.version = std::string(Trim(value.value));
    } else if (variable == "$DWGCODEPAGE" && value.code == 3) {
        m_drawing.codePage = std::string(Trim(value.value));
    }
}

void DrawingReader::Skip(const std::string& what) {
    // What a block holds is counted as often as the block is placed.
    ++(m_block && m_block != &m_drawing.model ? m_block->skipped : m_drawing.skipped)[what];
}

Source DrawingReader::SourceOf(const Entity& entity) {
    const Group* layer = entity.Find(8);
    return {m_drawing.KindIndex(entity.Type()),
            m_drawing.LayerIndex(layer ? Trim(layer->value) : "0"),
            m_drawing.HandleIndex(entity.RawText(5))};
}

void DrawingReader::Take(Entity& entity, const std::vector<Entity>& vertices) {
    const std::string_view type = entity.Type();
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
        if (!m_block) return Skip(std::string(type) + " outside a block definition");
    }
    if (type == "LINE") return Line(entity);
    if (entity.IntegerOr(67, 0) == 1) return Skip("paper space");
    if (type == "INSERT") {
        Insert insert = ReadInsert(entity);
        insert.source = SourceOf(entity);
        m_block->inserts.push_back(std::move(insert));
        return;
    }
    if (type == "HATCH") return Hatch(entity);
    const ShapeReader reader = ShapeReaderOf(type);
    if (!reader) return Skip(std::string(type));
    Shape shape;
    if (const char* why = reader(entity, vertices, shape)) return Skip(why);
    if (type == "POLYLINE" && !shape.Heights().empty()) NoteHeights(shape.Heights());
    shape.source = SourceOf(entity);
    AddShape(std::move(shape));
}

void DrawingReader::NoteHeights(const std::vector<double>& heights) {
    const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
    if (*low == *high) return;
    const bool first = m_drawing.tiltedPolylines++ == 0;
    m_drawing.lowestZ = first ? *low : std::min(m_drawing.lowestZ, *low);
    m_drawing.highestZ = first ? *high : std::max(m_drawing.highestZ, *high);
}

void DrawingReader::AddShape(Shape shape) {
    if (m_block != &m_drawing.model) {
        m_block->shapes.push_back(std::move(shape));
        return;
    }
    // In the model space, a straight shape in world coordinates is a piece as it stands,
    // whatever the tolerance: seen from above, its heights change nothing.
    if (shape.kind == Shape::Kind::Polyline && !shape.ocs) shape.Bends().heights.clear();
    Pieces& pieces = m_drawing.pieces;
    if (shape.Straight() && !shape.ocs && shape.Heights().empty()) {
        m_budget.SpendPiece(shape.points.size());
        pieces.LayerBox(shape.source.layer).Extend(shape.points);
        pieces.Add(std::move(shape.points), shape.closed, std::move(shape.source));
        return;
    }
    m_budget.SpendPiece(0);  // its points are charged once they are known
    m_drawing.modelSlots.push_back(pieces.Add({}, shape.closed, std::move(shape.source)));
    m_drawing.model.shapes.push_back(std::move(shape));
}

void DrawingReader::LayerEntry(const Entity& entity) {
    LayerState state;
    state.frozen = (entity.IntegerOr(70, 0) & 1) != 0;
    state.off = entity.IntegerOr(62, 7) < 0;
    // Keyed by the name as written, as entities name their layers.
    m_drawing.layerTable.try_emplace(NameKey(entity.RawText(2)), state);
}

void DrawingReader::BeginBlock(const Entity& entity) {
    const std::string_view name = entity.RawText(2);
    auto [at, added] = m_drawing.blocks.try_emplace(NameKey(name));
    // A second definition of a name is read and left aside: the first one stands.
    m_block = added ? &at->second : &m_discarded;
    if (!added) {
        m_discarded = Block{};
        ++m_drawing.skipped["BLOCK defined again (the first definition stands)"];
    }
    m_block->name = m_drawing.Decode(name);
    m_block->base = entity.PointOr(10, {0, 0, 0});
}

void DrawingReader::Hatch(const Entity& entity) {
    const Source source = SourceOf(entity);
    const Point3d extrusion = entity.Extrusion();
    const double elevation = entity.NumberOr(30, 0);
    std::vector<Shape> shapes = ReadHatchBoundaries(entity);
    const auto place = [&](Shape& shape) {
        SetFrame(shape, extrusion);
        shape.elevation = elevation;
        if (shape.kind == Shape::Kind::Conic) shape.Conic().center.z = elevation;
    };
    for (Shape& shape : shapes) {
        place(shape);
        if (shape.kind == Shape::Kind::Path) {
            for (Shape& part : shape.Parts()) place(part);
        }
        shape.source = source;
        AddShape(std::move(shape));
    }
}

}  // namespace Vexlor::Dxf
