// What a drawing holds, read in one pass over its groups: the header's values, the LAYER table,
// the block definitions and the entities counted by kind, layer and block.
// SPDX-License-Identifier: MIT
#include <cerrno>         // errno
#include <fstream>        // std::ifstream
#include <string>         // std::string, std::to_string
#include <system_error>   // std::generic_category
#include <unordered_map>  // std::unordered_map

#include "VexlorDxfInfo.h"
#include "WideFileStream.h"
#include "accurate/read/Drawing.h"
#include "accurate/read/Entity.h"
#include "accurate/source/GroupSource.h"
#include "accurate/source/ReadError.h"
#include "accurate/source/Text.h"
#include "accurate/text/TextEncoding.h"

namespace Vexlor::Dxf {

namespace {

// The bytes of a stream read a block at a time, as the import reads them.
constexpr std::size_t kBlock = std::size_t{1} << 18;

bool StartsWithName(std::string_view key, std::string_view prefix) {
    return key.substr(0, prefix.size()) == prefix;
}

class InfoReader {
public:
    explicit InfoReader(DrawingInfo& info) : m_info(info) {}

    void Read(GroupSource& source) {
        bool ended = false;
        int sections = 0;
        Group group;
        bool more = source.Next(group);
        if (!more) throw ReadError{kNoPosition, "the file is empty"};
        while (more) {
            if (group.code == 999) {  // a comment
                more = source.Next(group);
                continue;
            }
            if (group.code != 0) {
                throw ReadError{group.position,
                                "group " + std::to_string(group.code) + " outside a section"};
            }
            const std::string_view word = Trim(group.value);
            if (word == "EOF") {
                ended = true;
                break;
            }
            if (word != "SECTION") {
                throw ReadError{group.position, Quoted(word) + " where a SECTION should begin"};
            }
            const std::size_t sectionAt = group.position;
            if (!source.Next(group) || group.code != 2) {
                throw ReadError{sectionAt, "SECTION without a name"};
            }
            const std::string name(Trim(group.value));
            more = Section(source, name, sectionAt, group);
            ++sections;
        }
        // As the import: a drawing whose last section is complete lacks only its end marker.
        if (!ended && !sections)
            throw ReadError{kNoPosition, "the file ends before its EOF marker"};
    }

    // What was counted, into the info: the names of kinds made valid UTF-8, the INSERTs given to
    // the blocks they name.
    void Finish() {
        for (const auto& [kind, count] : m_kinds) m_info.entities[ValidUtf8(kind)] += count;
        for (BlockInfo& block : m_info.blocks) block.inserts = 0;
        for (const auto& [key, count] : m_inserts) {
            const auto at = m_blockIndex.find(key);
            if (at != m_blockIndex.end() && at->second != kNotABlock) {
                m_info.blocks[at->second].inserts += count;
            }
        }
    }

    // The header's extent, when it gives one that is not empty.
    void Extent() {
        if (!m_hasMinimum || !m_hasMaximum) return;
        for (int k = 0; k < 3; ++k) {
            if (!(m_extentMinimum[k] <= m_extentMaximum[k])) return;
        }
        m_info.hasExtent = true;
        for (int k = 0; k < 3; ++k) {
            m_info.extentMinimum[k] = m_extentMinimum[k];
            m_info.extentMaximum[k] = m_extentMaximum[k];
        }
    }

private:
    enum class Part { Header, Tables, Blocks, Entities, Other };
    // Where the entities of the block being read go.
    static constexpr std::size_t kNotABlock = static_cast<std::size_t>(-1);  // a layout's record
    static constexpr std::size_t kNoBlock = static_cast<std::size_t>(-2);    // outside any

    bool Section(GroupSource& source, const std::string& name, std::size_t position, Group& group) {
        m_part = name == "HEADER"     ? Part::Header
                 : name == "TABLES"   ? Part::Tables
                 : name == "BLOCKS"   ? Part::Blocks
                 : name == "ENTITIES" ? Part::Entities
                                      : Part::Other;
        m_block = kNoBlock;
        m_open = false;
        while (source.Next(group)) {
            if (group.code == 999) continue;
            if (group.code == 0) {
                if (m_open) Take();
                const std::string_view word = Trim(group.value);
                if (word == "ENDSEC") return source.Next(group);
                m_open = m_part != Part::Header && m_part != Part::Other;
                if (m_open) Begin(word, group.position);
                continue;
            }
            if (m_part == Part::Header) {
                HeaderValue(group);
            } else if (m_open) {
                Add(group);
            }
        }
        if (m_open) Take();  // what was read of the last entity counts
        throw ReadError{position, "section " + Excerpt(name) + " has no ENDSEC"};
    }

    // A header variable's name (group 9) or one of its values.
    void HeaderValue(const Group& group) {
        if (group.code == 9) {
            m_variable = std::string(Trim(group.value));
            m_owner.Reset(m_variable, group.position);
            return;
        }
        if (m_variable == "$ACADVER" && group.code == 1) {
            m_info.version = std::string(Trim(group.value));
            m_names.version = m_info.version;
        } else if (m_variable == "$DWGCODEPAGE" && group.code == 3) {
            m_info.codePage = std::string(Trim(group.value));
            m_names.codePage = m_info.codePage;
        } else if (m_variable == "$INSUNITS" && group.code == 70) {
            m_info.units = static_cast<int>(m_owner.Integer(group));
        } else if ((m_variable == "$EXTMIN" || m_variable == "$EXTMAX") &&
                   (group.code == 10 || group.code == 20 || group.code == 30)) {
            const bool minimum = m_variable == "$EXTMIN";
            (minimum ? m_extentMinimum : m_extentMaximum)[group.code / 10 - 1] =
                m_owner.Number(group);
            (minimum ? m_hasMinimum : m_hasMaximum) = true;
        }
    }

    void Begin(std::string_view type, std::size_t position) {
        m_type.assign(type.data(), type.size());
        m_entity.Reset(type, position);
        m_layer.clear();
        m_name.clear();
        m_hasLayer = m_hasName = m_paper = false;
        m_flags = 0;
        m_colour = 7;
        m_hasFlags = m_hasColour = m_hasSpace = false;
    }

    // One group of the open entity: the first of each code counts, as in the import.
    void Add(const Group& group) {
        switch (group.code) {
            case 8:
                if (!m_hasLayer) m_layer.assign(Trim(group.value));
                m_hasLayer = true;
                break;
            case 2:
                if (!m_hasName) m_name.assign(Trim(group.value));
                m_hasName = true;
                break;
            case 67:
                if (!m_hasSpace) m_paper = m_entity.Integer(group) == 1;
                m_hasSpace = true;
                break;
            case 70:
                if (m_type == "LAYER" && !m_hasFlags) m_flags = m_entity.Integer(group);
                m_hasFlags = true;
                break;
            case 62:
                if (m_type == "LAYER" && !m_hasColour) m_colour = m_entity.Integer(group);
                m_hasColour = true;
                break;
            default:
                break;
        }
    }

    // The open entity, complete.
    void Take() {
        m_open = false;
        if (m_part == Part::Tables) {
            if (m_type == "LAYER") LayerEntry();
            return;
        }
        if (m_type == "VERTEX" || m_type == "SEQEND" || m_type == "ATTRIB") return;
        if (m_part == Part::Blocks) {
            if (m_type == "BLOCK") return BeginBlock();
            if (m_type == "ENDBLK") {
                m_block = kNoBlock;
                return;
            }
            if (m_block == kNoBlock) return;
            if (m_type == "INSERT" || m_type == "MINSERT") ++m_inserts[NameKey(m_name)];
            if (m_block == kNotABlock) {
                m_info.paperSpaceEntities += m_paperBlock ? 1 : 0;
            } else {
                ++m_info.blocks[m_block].entities;
            }
            return;
        }
        // The model space, or the paper space's entities that the ENTITIES section holds.
        if (m_paper) {
            ++m_info.paperSpaceEntities;
            return;
        }
        if (m_type == "INSERT" || m_type == "MINSERT") ++m_inserts[NameKey(m_name)];
        ++m_kinds[m_type];
        ++m_info.layers[LayerIndex(m_hasLayer ? m_layer : std::string("0"))].entities;
    }

    void LayerEntry() {
        const auto [at, added] = m_layerIndex.try_emplace(NameKey(m_name), m_info.layers.size());
        if (!added) return;  // the first entry of a name stands, as in the import
        LayerInfo layer;
        layer.name = m_names.Decode(m_name);
        layer.listed = true;
        layer.frozen = (m_flags & 1) != 0;
        layer.locked = (m_flags & 4) != 0;
        layer.off = m_colour < 0;
        m_info.layers.push_back(std::move(layer));
    }

    // The index of the layer an entity names, added when the table does not list it. Entities
    // come in runs of one layer: the last one is remembered.
    std::size_t LayerIndex(const std::string& raw) {
        if (m_lastLayer != kNoBlock && raw == m_lastLayerName) return m_lastLayer;
        const auto [at, added] = m_layerIndex.try_emplace(NameKey(raw), m_info.layers.size());
        if (added) {
            LayerInfo layer;
            layer.name = m_names.Decode(raw);
            m_info.layers.push_back(std::move(layer));
        }
        m_lastLayerName = raw;
        m_lastLayer = at->second;
        return m_lastLayer;
    }

    void BeginBlock() {
        const std::string key = NameKey(m_name);
        // A layout's record holds what the layout shows, not a block to place.
        const bool paper = StartsWithName(key, "*PAPER_SPACE");
        if (paper || StartsWithName(key, "*MODEL_SPACE")) {
            m_block = kNotABlock;
            m_paperBlock = paper;
            return;
        }
        const auto [at, added] = m_blockIndex.try_emplace(key, m_info.blocks.size());
        if (added) m_info.blocks.push_back({m_names.Decode(m_name), 0, 0});
        m_block = at->second;
    }

    DrawingInfo& m_info;
    Drawing m_names;  // the header's version and code page, which decode names
    Part m_part = Part::Other;
    // The header variable being read, and its values.
    std::string m_variable;
    Entity m_owner;
    double m_extentMinimum[3] = {0, 0, 0};
    double m_extentMaximum[3] = {0, 0, 0};
    bool m_hasMinimum = false, m_hasMaximum = false;
    // The entity being read: its kind and the first of each group that counts.
    bool m_open = false;
    std::string m_type;
    Entity m_entity;  // names the entity in errors; holds no groups
    std::string m_layer;
    std::string m_name;
    bool m_hasLayer = false, m_hasName = false, m_hasSpace = false, m_paper = false;
    long long m_flags = 0, m_colour = 7;
    bool m_hasFlags = false, m_hasColour = false;
    // The block being read.
    std::size_t m_block = kNoBlock;
    bool m_paperBlock = false;
    // Indices and counts by name key, and by kind as written.
    std::unordered_map<std::string, std::size_t> m_layerIndex;
    std::unordered_map<std::string, std::size_t> m_blockIndex;
    std::unordered_map<std::string, std::size_t> m_inserts;
    std::unordered_map<std::string, std::size_t> m_kinds;
    std::string m_lastLayerName;
    std::size_t m_lastLayer = kNoBlock;
};

DrawingInfo ReadFrom(ByteStream& bytes) {
    DrawingInfo info;
    InfoReader reader(info);
    bool binary = false;
    info.result = EInfoResult::eOk;
    try {
        const std::unique_ptr<GroupSource> source = OpenGroups(bytes);
        binary = source->Binary();
        info.binary = binary;
        reader.Read(*source);
    } catch (const ReadError& error) {
        info.result = EInfoResult::eReadError;
        const std::string at = error.position == kNoPosition ? ""
                               : binary ? "byte " + std::to_string(error.position) + ": "
                                        : "line " + std::to_string(error.position) + ": ";
        info.error = (binary ? "binary DXF: " : "") + at + error.message;
    }
    reader.Finish();
    reader.Extent();
    if (const char* release = ReleaseOf(info.version)) info.release = release;
    return info;
}

DrawingInfo CannotOpen(int error) {
    DrawingInfo info;
    info.error = "cannot be opened: " + (error != 0 ? std::generic_category().message(error)
                                                    : std::string("not readable"));
    return info;
}

}  // namespace

const char* ReleaseOf(std::string_view version) {
    static const std::pair<const char*, const char*> kReleases[] = {
        {"AC1006", "R10"},   {"AC1009", "R11/R12"}, {"AC1012", "R13"},   {"AC1014", "R14"},
        {"AC1015", "R2000"}, {"AC1018", "R2004"},   {"AC1021", "R2007"}, {"AC1024", "R2010"},
        {"AC1027", "R2013"}, {"AC1032", "R2018"}};
    for (const auto& [code, release] : kReleases) {
        if (version == code) return release;
    }
    return nullptr;
}

DrawingInfo ReadDrawingInfoFromMemory(std::string_view text) {
    ByteStream bytes(text);
    return ReadFrom(bytes);
}

DrawingInfo ReadDrawingInfo(std::istream& in) {
    if (!in.good()) return CannotOpen(0);
    ByteStream bytes(in, kBlock);
    return ReadFrom(bytes);
}

DrawingInfo ReadDrawingInfo(const std::wstring& path) {
    std::ifstream stream;
    errno = 0;
    // Binary: the line ends are read as they are, on every system.
    Vexlor::Platform::OpenByWidePath(stream, path, std::ios_base::in | std::ios_base::binary);
    if (!stream.is_open()) return CannotOpen(errno);
    return ReadDrawingInfo(stream);
}

DrawingInfo ReadDrawingInfo(const std::filesystem::path& path) {
    errno = 0;
    std::ifstream stream(path, std::ios_base::in | std::ios_base::binary);
    if (!stream.is_open()) return CannotOpen(errno);
    return ReadDrawingInfo(stream);
}

}  // namespace Vexlor::Dxf
