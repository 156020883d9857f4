// Binary DXF read as the equivalent ASCII DXF text, so that the accurate import's one text reader
// and entity logic serve drawings saved in either form.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <stdexcept>    // std::runtime_error
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace Vexlor::Dxf {

/// A binary DXF that cannot be read: its message names the byte offset in the data.
struct BinaryDxfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Whether `data` begins with the binary DXF sentinel: "AutoCAD Binary DXF" CR LF SUB NUL (22
/// bytes).
bool IsBinaryDxf(std::string_view data);

/// The groups of a binary DXF (sentinel included in `data`) as ASCII DXF text: for each group, its
/// code on one line and its value on the next, lines ended by "\n". `groupOffsets` receives, for
/// the k-th group written (k from 0), the byte offset in `data` where its code begins, so that an
/// error found on text line L (1-based; group k = (L - 1) / 2) can name the byte offset instead.
///
/// Both code widths are read: 2 bytes (R13 and later) and 1 byte (R12 and earlier, where the byte
/// 255 announces a 2-byte code). The conversion ends after the group 0 "EOF"; what follows is
/// ignored, and data that ends between groups without it converts as far as it goes.
///
/// Doubles are written in the shortest form that reads back to the same double; a NaN or an
/// infinity becomes "nan" or "inf", which the import rejects as a malformed number. A line break
/// in a string, which no line of the text can hold, becomes a space.
///
/// Throws BinaryDxfError, with a message naming the byte offset, when `data` lacks the sentinel,
/// ends inside a group, or has a string without its NUL.
std::string BinaryDxfToText(std::string_view data, std::vector<std::size_t>& groupOffsets);

}  // namespace Vexlor::Dxf
