// Small helpers for the text of groups.
// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>  // std::string_view

namespace Vexlor::Dxf {

/// `text` without the blanks and tabs around it.
inline std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace Vexlor::Dxf
