// What reading a drawing gives the accurate import: its header values, layer table, block
// definitions and model space, and the pieces of contour made so far.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>        // std::size_t
#include <cstdint>        // std::uint32_t
#include <map>            // std::map
#include <memory>         // std::unique_ptr
#include <string>         // std::string
#include <string_view>    // std::string_view
#include <unordered_map>  // std::unordered_map
#include <utility>        // std::pair
#include <vector>         // std::vector

#include "accurate/curves/Shapes.h"
#include "accurate/text/TextEncoding.h"
#include "contours/LargeArrayAllocator.h"
#include "contours/PieceTable.h"
#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// Names (layers, entity kinds) as indices: a drawing has few names and many pieces. The last
/// name looked up is remembered, since entities come in runs of one kind and layer.
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

/// Entities' handles, one after another in one text: a drawing can hold millions, most of a few
/// bytes. Index 0 is the empty handle of an entity without one.
class Handles {
public:
    /// The index of `handle`, added.
    std::uint32_t Add(const std::string& handle);
    /// Room for `count` handles of a common length, asked for ahead as the pieces' is: filled
    /// as the entities come, it is touched once rather than copied into fresh pages as it grows.
    void Reserve(std::size_t count) {
        m_ends.reserve(count + 1);
        m_text.reserve(count * kCommonLength);
    }
    std::string_view operator[](std::uint32_t index) const {
        if (index == 0) return {};
        return std::string_view(m_text).substr(m_ends[index - 1],
                                               m_ends[index] - m_ends[index - 1]);
    }

private:
    // Drawings of many entities number them in five to eight hexadecimal digits.
    static constexpr std::size_t kCommonLength = 8;
    std::string m_text;
    std::vector<std::size_t> m_ends{0};  // where each handle ends in m_text; the first is none
};

/// DXF names of layers and blocks compare without regard to case: the key of a name.
std::string NameKey(std::string_view name);

/// One INSERT (or MINSERT): a block placed, in rows and columns.
struct Insert {
    std::string block;  // as written
    std::size_t position = 0;
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

/// Shapes in their order, in runs of kRun: the model space holds many, which neither move as it
/// grows nor take an allocation each. The first run grows as it fills, since most blocks hold
/// few; every later run takes room for kRun at once.
class ShapeList {
public:
    void push_back(Shape&& shape) {
        if (m_runs.empty() || m_runs.back().size() == kRun) {
            m_runs.emplace_back();
            if (m_runs.size() > 1) m_runs.back().reserve(kRun);
        }
        m_runs.back().push_back(std::move(shape));
        ++m_size;
    }
    std::size_t size() const { return m_size; }
    const Shape& operator[](std::size_t i) const { return m_runs[i / kRun][i % kRun]; }

    class const_iterator {
    public:
        const_iterator(const ShapeList& list, std::size_t i) : m_list(&list), m_i(i) {}
        const Shape& operator*() const { return (*m_list)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return m_i != other.m_i; }

    private:
        const ShapeList* m_list;
        std::size_t m_i;
    };
    const_iterator begin() const { return {*this, 0}; }
    const_iterator end() const { return {*this, m_size}; }

    /// Calls `visit(shape, i)` for every shape in order, freeing each run once visited: what
    /// is made from the shapes can take their room. The list is empty after, also when `visit`
    /// throws.
    template <typename Visit>
    void Drain(Visit&& visit) {
        std::vector<std::vector<Shape>> runs = std::move(m_runs);
        m_runs.clear();
        m_size = 0;
        std::size_t i = 0;
        for (std::vector<Shape>& run : runs) {
            for (const Shape& shape : run) visit(shape, i++);
            std::vector<Shape>().swap(run);
        }
    }

private:
    static constexpr std::size_t kRun = 64;
    std::vector<std::vector<Shape>> m_runs;  // all full but the last
    std::size_t m_size = 0;
};

/// A block definition, or the model space: its curves, the blocks it places, and what it holds
/// that gives no contour.
struct Block {
    std::string name;  // UTF-8
    Point3d base{0, 0, 0};
    ShapeList shapes;
    std::vector<Insert> inserts;
    std::map<std::string, std::size_t> skipped;
    bool placing = false;  // on the chain of blocks being placed now: a cycle if met again
};

/// A layer as the LAYER table gives it.
struct LayerState {
    bool frozen = false;
    bool off = false;
};

/// The pieces of contour in the drawing's order, with where each came from. `table` lists
/// them: an open piece of two points is held flat there, without a polyline, until finishing;
/// the others are the polylines of `polylines`, in their order. A curve's piece stays empty until
/// the tolerance is known.
struct Pieces {
    std::vector<Polyline2d> polylines;
    std::vector<Source> sources;
    PieceTable table;
    /// By layer, the box of the points of the pieces read from the drawing (the reading keeps
    /// it, through LayerBox): taken as they come, while they are at hand, rather than in a pass
    /// over all of them. Pieces placed later are not in it.
    std::vector<Box2d> layerBoxes;

    /// Adds a piece; its index.
    std::size_t Add(std::vector<Point2d> points, bool closed, Source source) {
        table.AddPolyline();
        polylines.push_back({std::move(points), closed});
        sources.push_back(std::move(source));
        return sources.size() - 1;
    }
    void AddSegment(const Point2d& from, const Point2d& to, Source source) {
        table.Add(from, to);
        sources.push_back(std::move(source));
    }
    /// The polyline of piece `piece`, one that Add made.
    Polyline2d& PolylineOf(std::size_t piece) { return polylines[table.PolylineOf(piece)]; }
    std::size_t Size() const { return sources.size(); }
    Box2d& LayerBox(std::uint32_t layer) {
        if (layer >= layerBoxes.size()) layerBoxes.resize(std::size_t{layer} + 1);
        return layerBoxes[layer];
    }
    void Reserve(std::size_t count) {
        polylines.reserve(count);
        sources.reserve(count);
        table.Reserve(count);
        // Filled piece by piece as the drawing is read: a fault per 2 MiB rather than per 4 KiB
        // where they grow large. Their first pages stay small, so that a drawing of few pieces
        // takes no huge page for them.
        AdviseHugePages(polylines.data(), polylines.capacity() * sizeof(Polyline2d));
        AdviseHugePages(sources.data(), sources.capacity() * sizeof(Source));
    }
};

struct Drawing {
    /// $INSUNITS, $ACADVER and $DWGCODEPAGE.
    int units = 0;
    std::string version;
    std::string codePage;
    /// Made when the first name is decoded, after the header.
    std::unique_ptr<TextDecoder> decoder;
    Names kinds;
    Names layers;
    /// The entities' handles as UTF-8, by Source::handle.
    Handles handles;
    std::unordered_map<std::string, LayerState> layerTable;  // by NameKey of the name as written
    std::unordered_map<std::string, Block> blocks;           // by NameKey of the name as written
    /// The model space's curves and inserts; its straight pieces in world coordinates go to
    /// `pieces` as they are read. `modelSlots` holds the piece of each of its curves.
    Block model;
    std::vector<std::size_t> modelSlots;
    Pieces pieces;
    std::map<std::string, std::size_t> skipped;
    std::map<std::string, std::size_t> approximations;
    /// Where the structure was broken and reading went on: the group's position (kNoPosition
    /// for the drawing as a whole) and what was done, in the drawing's order.
    std::vector<std::pair<std::size_t, std::string>> recoveries;
    /// The 3D polylines whose z is not constant, and the least and greatest z of their vertices
    /// as written.
    std::size_t tiltedPolylines = 0;
    double lowestZ = 0;
    double highestZ = 0;

    /// A layer's or block's name as UTF-8: drawings of R2007 (AC1021) and later are UTF-8;
    /// older ones use their $DWGCODEPAGE, or ANSI_1252 when they name none; a drawing without
    /// either (no header) is read as UTF-8 where it is valid.
    std::string Decode(std::string_view text);
    std::uint32_t LayerIndex(std::string_view name) {
        return layers.Of(name, [this](std::string_view t) { return Decode(t); });
    }
    std::uint32_t KindIndex(std::string_view name) {
        return kinds.Of(name, [](std::string_view t) { return ValidUtf8(t); });
    }
    /// The index of a handle as written (blanks around it left out), 0 for none.
    std::uint32_t HandleIndex(std::string_view written) {
        return written.empty() ? 0 : handles.Add(ValidUtf8(written));
    }
    void Approximate(const std::string& what) { ++approximations[what]; }
};

}  // namespace Vexlor::Dxf
