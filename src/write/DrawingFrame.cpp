// The frame of a written drawing: header, tables, blocks and objects, with their handles.
// SPDX-License-Identifier: MIT
#include "write/DrawingFrame.h"

#include <algorithm>  // std::lower_bound, std::min, std::max
#include <stdexcept>  // std::invalid_argument
#include <string>     // std::string, std::to_string

#include "VexlorDxfUnits.h"
#include "text/Utf8.h"

namespace Vexlor::Dxf {

namespace {

// Symbol table names may hold none of these; CAD programs refuse them.
constexpr std::string_view kForbidden = "<>/\\\":;?*|=`";
// The longest symbol table name of R2000.
constexpr std::size_t kMaxNameCharacters = 255;

// The key of an encoded name, with the case of its letters folded as readers fold it: ASCII and
// the letters of code page 1252 from U+00C0 to U+00DE (but the multiplication sign), which the
// encoded name holds as single bytes. Escaped letters keep their case.
std::string Lower(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
            c = static_cast<char>(byte + 0x20);
        }
    }
    return key;
}

// The handles the frame of an R2000 drawing takes besides one per layer: the tables (9), their
// fixed entries (3 line types, a text style, an application, 2 block records), the two blocks'
// BLOCK and ENDBLK, and two dictionaries.
constexpr std::uint64_t kFrameHandles2000 = 9 + 7 + 4 + 2;

}  // namespace

void CheckUnits(int units, const char* writer) {
    if (units != 0 && !FindUnit(units)) {
        throw std::invalid_argument(std::string(writer) +
                                    ": units must be 0 or an $INSUNITS code from 1 to 21, not " +
                                    std::to_string(units));
    }
}

std::string LayerNameProblem(const std::string& name) {
    if (name.empty()) return "the layer name is empty";
    std::size_t characters = 0;
    for (std::size_t at = 0; at < name.size(); ++characters) {
        const std::size_t length = Utf8SequenceLength(name, at);
        if (length == 0) return "the layer name is not UTF-8";
        const char32_t c = Utf8Value(name, at, length);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            return "the layer name holds a control character";
        }
        if (c < 0x80 && kForbidden.find(static_cast<char>(c)) != std::string_view::npos) {
            return std::string("the layer name holds '") + static_cast<char>(c) +
                   "', which DXF names may not hold";
        }
        if (c > 0xFFFF) return "the layer name holds a character beyond U+FFFF";
        at += length;
    }
    if (characters > kMaxNameCharacters) return "the layer name is longer than 255 characters";
    if (name.front() == ' ' || name.back() == ' ') {
        return "the layer name starts or ends with a blank, which readers drop";
    }
    return "";
}

std::string EncodedLayerName(std::string_view name) {
    std::string encoded;
    encoded.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = Utf8SequenceLength(name, at);
        if (length <= 1) {
            encoded += name[at++];
            continue;
        }
        static const char kHex[] = "0123456789ABCDEF";
        const char32_t c = Utf8Value(name, at, length);
        at += length;
        if (c >= 0xA0 && c <= 0xFF) {
            // Code page 1252 holds U+00A0 to U+00FF as the bytes of the same value.
            encoded += static_cast<char>(c);
            continue;
        }
        encoded += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4) encoded += kHex[(c >> shift) & 0xF];
    }
    return encoded;
}

LayerTable::LayerTable() { Add("0"); }

std::string LayerTable::Add(std::string_view name) {
    std::string encoded = EncodedLayerName(name);
    // Escapes are upper-case: one character has one key.
    std::string key = Lower(encoded);
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), key);
    if (at == m_keys.end() || *at != key) {
        m_keys.insert(at, std::move(key));
        m_names.push_back(encoded);
    }
    return encoded;
}

void Extent::Add(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        minimum[i] = empty ? p[i] : std::min(minimum[i], p[i]);
        maximum[i] = empty ? p[i] : std::max(maximum[i], p[i]);
    }
    empty = false;
}

DrawingFrame::DrawingFrame(GroupWriter& out, EDxfVersion version, int units, const Extent& extent,
                           const LayerTable& layers, std::uint64_t entityHandles)
    : m_out(out), m_version(version), m_units(units), m_extent(extent), m_layers(layers) {
    const std::uint64_t frame = R2000() ? kFrameHandles2000 + layers.Names().size() : 0;
    m_seed = 1 + frame + entityHandles;
}

void DrawingFrame::Begin() {
    Header();
    if (R2000()) {
        // No application classes; the section stands as R2000 readers expect it.
        m_out.Text(0, "SECTION");
        m_out.Text(2, "CLASSES");
        m_out.Text(0, "ENDSEC");
        Tables2000();
    } else {
        Tables12();
    }
    m_out.Text(0, "SECTION");
    m_out.Text(2, "ENTITIES");
}

void DrawingFrame::End() {
    m_out.Text(0, "ENDSEC");
    if (R2000()) {
        // The root dictionary and the group dictionary that every R2000 drawing owns; readers
        // make the rest (layouts, styles) when they miss it.
        const std::uint64_t root = Next();
        const std::uint64_t groups = Next();
        m_out.Text(0, "SECTION");
        m_out.Text(2, "OBJECTS");
        m_out.Text(0, "DICTIONARY");
        m_out.Handle(5, root);
        m_out.Handle(330, 0);
        m_out.Text(100, "AcDbDictionary");
        m_out.Integer(281, 1);
        m_out.Text(3, "ACAD_GROUP");
        m_out.Handle(350, groups);
        m_out.Text(0, "DICTIONARY");
        m_out.Handle(5, groups);
        m_out.Handle(330, root);
        m_out.Text(100, "AcDbDictionary");
        m_out.Integer(281, 1);
        m_out.Text(0, "ENDSEC");
    }
    m_out.Text(0, "EOF");
}

std::uint64_t DrawingFrame::StartEntity(std::string_view type, std::string_view layer,
                                        std::uint64_t owner) {
    const std::uint64_t handle = Next();
    m_out.Text(0, type);
    m_out.Handle(5, handle);
    if (R2000()) {
        m_out.Handle(330, owner != 0 ? owner : m_modelSpace);
        m_out.Text(100, "AcDbEntity");
    }
    m_out.Text(8, layer);
    return handle;
}

void DrawingFrame::Header() {
    m_out.Text(0, "SECTION");
    m_out.Text(2, "HEADER");
    m_out.Text(9, "$ACADVER");
    m_out.Text(1, R2000() ? "AC1015" : "AC1009");
    // Names are plain ASCII with escapes for the rest, which decode the same in any code page.
    m_out.Text(9, "$DWGCODEPAGE");
    m_out.Text(3, "ANSI_1252");
    m_out.Text(9, "$INSBASE");
    m_out.Point3(10, 0, 0, 0);
    m_out.Text(9, "$EXTMIN");
    m_out.Point3(10, m_extent.minimum[0], m_extent.minimum[1], m_extent.minimum[2]);
    m_out.Text(9, "$EXTMAX");
    m_out.Point3(10, m_extent.maximum[0], m_extent.maximum[1], m_extent.maximum[2]);
    // R12 had no $INSUNITS; its readers pass over a variable they do not know.
    m_out.Text(9, "$INSUNITS");
    m_out.Integer(70, m_units);
    if (!R2000()) {
        // R12 writes handles only when the drawing says so.
        m_out.Text(9, "$HANDLING");
        m_out.Integer(70, 1);
    }
    m_out.Text(9, "$HANDSEED");
    m_out.Handle(5, m_seed);
    m_out.Text(0, "ENDSEC");
}

std::uint64_t DrawingFrame::OpenTable(std::string_view name, std::size_t entries) {
    m_out.Text(0, "TABLE");
    m_out.Text(2, name);
    std::uint64_t handle = 0;
    if (R2000()) {
        handle = Next();
        m_out.Handle(5, handle);
        m_out.Handle(330, 0);
        m_out.Text(100, "AcDbSymbolTable");
    }
    m_out.Integer(70, static_cast<long long>(entries));
    return handle;
}

void DrawingFrame::Record(std::string_view type, std::uint64_t table, std::string_view subclass,
                          std::string_view name) {
    m_out.Text(0, type);
    if (R2000()) {
        m_out.Handle(5, Next());
        m_out.Handle(330, table);
        m_out.Text(100, "AcDbSymbolTableRecord");
        m_out.Text(100, subclass);
    }
    m_out.Text(2, name);
    m_out.Integer(70, 0);
}

void DrawingFrame::Tables2000() {
    m_out.Text(0, "SECTION");
    m_out.Text(2, "TABLES");
    OpenTable("VPORT", 0);
    m_out.Text(0, "ENDTAB");

    // The line types every drawing has; layers are drawn Continuous.
    const std::uint64_t lineTypes = OpenTable("LTYPE", 3);
    const std::string_view kLineTypes[][2] = {
        {"ByBlock", ""}, {"ByLayer", ""}, {"Continuous", "Solid line"}};
    for (const auto& lineType : kLineTypes) {
        Record("LTYPE", lineTypes, "AcDbLinetypeTableRecord", lineType[0]);
        m_out.Text(3, lineType[1]);
        m_out.Integer(72, 65);  // the alignment code, always 'A'
        m_out.Integer(73, 0);   // no dashes
        m_out.Number(40, 0);    // of no length
    }
    m_out.Text(0, "ENDTAB");

    const std::uint64_t layers = OpenTable("LAYER", m_layers.Names().size());
    for (const std::string& name : m_layers.Names()) {
        Record("LAYER", layers, "AcDbLayerTableRecord", name);
        m_out.Integer(62, 7);  // white on black, black on white; positive: the layer is on
        m_out.Text(6, "Continuous");
    }
    m_out.Text(0, "ENDTAB");

    const std::uint64_t styles = OpenTable("STYLE", 1);
    Record("STYLE", styles, "AcDbTextStyleTableRecord", "Standard");
    m_out.Number(40, 0);    // no fixed height
    m_out.Number(41, 1);    // width factor
    m_out.Number(50, 0);    // oblique angle
    m_out.Integer(71, 0);   // generation flags
    m_out.Number(42, 2.5);  // last height used
    m_out.Text(3, "txt");   // font file
    m_out.Text(4, "");      // no big font
    m_out.Text(0, "ENDTAB");

    OpenTable("VIEW", 0);
    m_out.Text(0, "ENDTAB");
    OpenTable("UCS", 0);
    m_out.Text(0, "ENDTAB");

    const std::uint64_t applications = OpenTable("APPID", 1);
    Record("APPID", applications, "AcDbRegAppTableRecord", "ACAD");
    m_out.Text(0, "ENDTAB");

    OpenTable("DIMSTYLE", 0);
    m_out.Text(0, "ENDTAB");

    const std::uint64_t records = OpenTable("BLOCK_RECORD", 2);
    const std::string_view kSpaces[] = {"*Model_Space", "*Paper_Space"};
    std::uint64_t spaces[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        m_out.Text(0, "BLOCK_RECORD");
        spaces[i] = Next();
        m_out.Handle(5, spaces[i]);
        m_out.Handle(330, records);
        m_out.Text(100, "AcDbSymbolTableRecord");
        m_out.Text(100, "AcDbBlockTableRecord");
        m_out.Text(2, kSpaces[i]);
    }
    m_out.Text(0, "ENDTAB");
    m_out.Text(0, "ENDSEC");
    m_modelSpace = spaces[0];

    // The two spaces' blocks, empty: the model space's entities stand in ENTITIES.
    m_out.Text(0, "SECTION");
    m_out.Text(2, "BLOCKS");
    for (int i = 0; i < 2; ++i) {
        m_out.Text(0, "BLOCK");
        m_out.Handle(5, Next());
        m_out.Handle(330, spaces[i]);
        m_out.Text(100, "AcDbEntity");
        if (i == 1) m_out.Integer(67, 1);
        m_out.Text(8, "0");
        m_out.Text(100, "AcDbBlockBegin");
        m_out.Text(2, kSpaces[i]);
        m_out.Integer(70, 0);
        m_out.Point3(10, 0, 0, 0);
        m_out.Text(3, kSpaces[i]);
        m_out.Text(1, "");
        m_out.Text(0, "ENDBLK");
        m_out.Handle(5, Next());
        m_out.Handle(330, spaces[i]);
        m_out.Text(100, "AcDbEntity");
        if (i == 1) m_out.Integer(67, 1);
        m_out.Text(8, "0");
        m_out.Text(100, "AcDbBlockEnd");
    }
    m_out.Text(0, "ENDSEC");
}

void DrawingFrame::Tables12() {
    m_out.Text(0, "SECTION");
    m_out.Text(2, "TABLES");
    OpenTable("LTYPE", 1);
    Record("LTYPE", 0, "", "CONTINUOUS");
    m_out.Text(3, "Solid line");
    m_out.Integer(72, 65);
    m_out.Integer(73, 0);
    m_out.Number(40, 0);
    m_out.Text(0, "ENDTAB");
    OpenTable("LAYER", m_layers.Names().size());
    for (const std::string& name : m_layers.Names()) {
        Record("LAYER", 0, "", name);
        m_out.Integer(62, 7);
        m_out.Text(6, "CONTINUOUS");
    }
    m_out.Text(0, "ENDTAB");
    m_out.Text(0, "ENDSEC");
}

}  // namespace Vexlor::Dxf
