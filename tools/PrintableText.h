// Text from a drawing or a mesh file made safe to show: on a terminal, in the summary table and in
// the SVG picture.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

namespace Vexlor::DxfTool {

/// `text` with every byte that could drive a terminal or is not text written as an escape, as the
/// accurate import's error messages write the values they quote: line feed, carriage return and
/// tab as \n, \r and \t; the other C0 controls, DEL, the C1 controls (U+0080 to U+009F), U+FFFE
/// and U+FFFF (which XML cannot hold) and each byte of no well-formed UTF-8 sequence as \xHH per
/// byte ("\x1B"). Other UTF-8 is kept. Backslashes are kept too, so that text escaped once, such
/// as those error messages, comes back unchanged.
std::string Printable(std::string_view text);

}  // namespace Vexlor::DxfTool
