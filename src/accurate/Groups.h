// The groups of an ASCII DXF text with their line numbers, and one entity's groups with the
// number parsing and errors that name the line and the entity.
// SPDX-License-Identifier: MIT
#pragma once

#include <charconv>     // std::from_chars
#include <cmath>        // std::isfinite
#include <cstddef>      // std::size_t
#include <optional>     // std::optional
#include <string>       // std::string, std::to_string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "accurate/Ocs.h"
#include "accurate/TextEncoding.h"

namespace Vexlor::Dxf {

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

inline std::string_view Trim(std::string_view text) {
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
    std::size_t Line() const { return m_line; }
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

}  // namespace Vexlor::Dxf
