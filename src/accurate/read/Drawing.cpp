// What reading a drawing keeps besides its shapes: names compared without regard to case, text
// in the drawing's code page, and the entities' handles.
// SPDX-License-Identifier: MIT
#include "accurate/read/Drawing.h"

#include <limits>  // std::numeric_limits
#include <memory>  // std::make_unique
#include <string>  // std::string

#include "accurate/source/ReadError.h"

namespace Vexlor::Dxf {

std::string NameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

std::string Drawing::Decode(std::string_view text) {
    if (!decoder) {
        const bool utf8 = version >= "AC1021" || (version.empty() && codePage.empty());
        decoder = std::make_unique<TextDecoder>(
            codePage.empty() ? std::string_view("ANSI_1252") : codePage, utf8);
    }
    return decoder->Decode(text);
}

std::uint32_t Handles::Add(const std::string& handle) {
    // Four thousand million entities would take a file of tens of gigabytes, far past the budget.
    if (m_ends.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw ReadError{kNoPosition, "more entity handles than can be counted"};
    }
    m_text += handle;
    m_ends.push_back(m_text.size());
    return static_cast<std::uint32_t>(m_ends.size() - 1);
}

}  // namespace Vexlor::Dxf
