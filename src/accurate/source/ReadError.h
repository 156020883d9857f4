// The accurate import's one error type: a drawing that cannot be read, with where and why.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <limits>       // std::numeric_limits
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace Vexlor::Dxf {

/// The position of no group: an error about the drawing as a whole.
constexpr std::size_t kNoPosition = std::numeric_limits<std::size_t>::max();

/// A malformed number or structure, a block that inserts itself, a drawing beyond the budget:
/// thrown wherever it is found and caught once, where the import turns it into its result 1.
/// `position` is the group's: the line of its code in an ASCII drawing, the byte offset where it
/// begins in a binary one, or kNoPosition.
struct ReadError {
    std::size_t position;
    std::string message;
};

/// `value` as an error message may quote it: cut after 40 bytes ("..." says so), and with
/// control characters, backslashes, quotes and bytes that are not UTF-8 written as escapes
/// ("\n", "\\", "\"", "\x1B"), so that no message carries a drawing's bytes to a terminal.
std::string Excerpt(std::string_view value);

/// Excerpt(value) in double quotes.
inline std::string Quoted(std::string_view value) { return '"' + Excerpt(value) + '"'; }

}  // namespace Vexlor::Dxf
