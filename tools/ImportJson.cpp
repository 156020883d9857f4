// Writing of the JSON record of one import, point by point, numbers in their fewest digits.
// SPDX-License-Identifier: MIT
#include "ImportJson.h"

#include <algorithm>          // std::find_if
#include <array>              // std::array
#include <charconv>           // std::to_chars
#include <cmath>              // std::isfinite
#include <cstddef>            // std::size_t
#include <cstring>            // std::memcpy
#include <ios>                // std::streamsize
#include <map>                // std::map
#include <nlohmann/json.hpp>  // nlohmann::json
#include <string>             // std::to_string
#include <string_view>        // std::string_view

#include "RegionsReport.h"

namespace Vexlor::DxfTool {

namespace {

using Point = Vexlor::Math::point<double, 2>;

// The record is written as it goes, never held whole: a polyline of millions of points costs
// no more memory than one of two. The text gathers in a fixed block handed to the stream when
// full, since a stream call per number would cost more than the number.
class CJsonStream {
public:
    explicit CJsonStream(std::ostream& out) : m_out(out) {}
    CJsonStream(const CJsonStream&) = delete;
    CJsonStream& operator=(const CJsonStream&) = delete;

    CJsonStream& operator<<(std::string_view text) {
        if (text.size() > m_block.size() - m_used) {
            Flush();
            if (text.size() > m_block.size()) {
                m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
                return *this;
            }
        }
        std::memcpy(m_block.data() + m_used, text.data(), text.size());
        m_used += text.size();
        return *this;
    }

    CJsonStream& operator<<(char c) { return *this << std::string_view(&c, 1); }

    CJsonStream& operator<<(int value) {
        char text[16];
        return *this << std::string_view(text, std::to_chars(text, text + 16, value).ptr - text);
    }

    // The fewest digits that read back to the same double, "1.0" for a whole number (so that
    // readers take it as a float), -0.0 signed. JSON holds no infinity or NaN: those become
    // null.
    CJsonStream& operator<<(double value) {
        if (!std::isfinite(value)) return *this << std::string_view("null");
        if (m_block.size() - m_used < kNumberRoom) Flush();
        char* const first = m_block.data() + m_used;
        char* last = std::to_chars(first, first + kNumberRoom, value).ptr;
        if (std::find_if(first, last, [](char c) { return c == '.' || c == 'e'; }) == last) {
            *last++ = '.';
            *last++ = '0';
        }
        m_used += static_cast<std::size_t>(last - first);
        return *this;
    }

    CJsonStream& operator<<(const Point& p) { return *this << '[' << p.x << ',' << p.y << ']'; }

    void Flush() {
        m_out.write(m_block.data(), static_cast<std::streamsize>(m_used));
        m_used = 0;
    }

private:
    // The longest number, such as -2.2250738585072014e-308, is 24 characters, and a whole
    // number gains ".0".
    static constexpr std::size_t kNumberRoom = 32;

    std::ostream& m_out;
    std::array<char, 16384> m_block{};
    std::size_t m_used = 0;
};

}  // namespace

namespace {

// {"kind": count, ...}, the names escaped.
void WriteCounts(CJsonStream& json, const std::map<std::string, std::size_t>& counts) {
    json << '{';
    const char* comma = "";
    for (const auto& [what, count] : counts) {
        json << comma << nlohmann::json(what).dump() << ':' << std::to_string(count);
        comma = ",";
    }
    json << '}';
}

}  // namespace

void WriteImportJson(std::ostream& out, const std::string& file, std::optional<int> result,
                     const std::string& error, const std::optional<Box>& box,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& polylines,
                     const Vexlor::Dxf::ContourImport* accurate) {
    CJsonStream json(out);
    // The name alone still goes through the library's serializer, which escapes it (and
    // refuses text that is not UTF-8) as before; it is one short string.
    // Crossing contours (result 4) are an import that succeeded, and a flag lets a reader tell
    // that without knowing the result codes.
    json << "{\"file\": " << nlohmann::json(file).dump()
         << ", \"result\": " << (result ? std::to_string(*result) : "null")
         << ", \"error\": " << (error.empty() ? "null" : nlohmann::json(error).dump())
         << ", \"crossing\": " << (result == 4 ? "true" : "false") << ", \"box\": ";
    if (box) {
        json << "{\"left_top\":" << box->leftTop << ",\"right_bottom\":" << box->rightBottom << '}';
    } else {
        json << "null";
    }
    if (accurate) {
        json << ", \"report\": {\"units\":" << accurate->units << ",\"scale\":" << accurate->scale
             << ",\"tolerance\":" << accurate->tolerance << ",\"skipped\":";
        WriteCounts(json, accurate->skipped);
        json << ",\"approximations\":";
        WriteCounts(json, accurate->approximations);
        // Their texts quote names escaped: valid UTF-8.
        json << ",\"recoveries\":" << nlohmann::json(accurate->recoveries).dump();
        json << '}';
        if (!accurate->nesting.empty()) json << ", \"analysis\": " << RegionsJson(*accurate);
    }
    // Each polyline on a line of its own, in the compact form nlohmann-json gave it.
    json << ", \"polylines\": [";
    const char* separator = "\n";
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const Vexlor::Math::polyline<double, 2>& polyline = polylines[i];
        json << separator << "{\"closed\":" << (polyline.closed ? "true" : "false");
        if (accurate) {
            const Vexlor::Dxf::Contour& source = accurate->contours[i];
            json << ",\"layer\":" << nlohmann::json(source.layer).dump()
                 << ",\"entity\":" << nlohmann::json(source.entity).dump()
                 << ",\"handle\":" << nlohmann::json(source.handle).dump();
        }
        json << ",\"points\":[";
        const char* comma = "";
        for (const Point& p : polyline.points) {
            json << comma << p;
            comma = ",";
        }
        json << "]}";
        separator = ",\n";
    }
    json << (polylines.empty() ? "]}\n" : "\n]}\n");
    json.Flush();
}

}  // namespace Vexlor::DxfTool
