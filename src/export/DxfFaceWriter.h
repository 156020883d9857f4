// The DXF face file both exporters write: header, one 3DFACE per triangle, closing lines.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <memory>   // std::shared_ptr
#include <ostream>  // std::ostream

#include "IProgressDelegate.h"
#include "IncrementalProgressReporter.h"
#include "matrix4x4.h"
#include "point.h"

namespace Vexlor::DxfExport {

/// Size of the output file streams' buffers.
constexpr std::size_t kFileBufferSize = 1 << 18;

/// Writes the header section, which declares nothing but the drawing version AC1009, and the
/// opening of the entities section: 14 lines.
void WritePreamble(std::ostream& stream);

/// Writes one 3DFACE entity on layer "0": 28 lines. Its fourth corner repeats `c`, which is how
/// a triangle is written as a face. Each coordinate is written in fixed notation with six
/// decimals and a decimal point, as a stream in the "C" locale writes it, whatever locale the
/// stream or the process has: a DXF file always uses a point. The stream's fail state is left
/// for the caller.
void WriteFace(std::ostream& stream, const Vexlor::Math::point<double, 3>& a,
               const Vexlor::Math::point<double, 3>& b, const Vexlor::Math::point<double, 3>& c);

/// Closes the entities section and ends the file with "EOF": 4 lines.
void WriteClosing(std::ostream& stream);

/// Places `vertex` with `transform`: x' = m0 x + m4 y + m8 z + m12, and likewise with m1, m5,
/// m9, m13 for y' and m2, m6, m10, m14 for z'. m3, m7, m11 and m15 are ignored: there is no
/// projective division.
Vexlor::Math::point<double, 3> TransformCorner(const Vexlor::Math::matrix4x4<double>& transform,
                                               const Vexlor::Math::point<double, 3>& vertex);

/// The progress reporter of one export: `faceCount` steps, and the start is reported at once.
Vexlor::Common::IncrementalProgressReporter CreateFaceProgress(
    const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate, std::size_t faceCount);

}  // namespace Vexlor::DxfExport
