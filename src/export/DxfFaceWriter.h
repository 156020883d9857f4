// The DXF face file both exporters write: header, one 3DFACE per triangle, closing lines.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>     // std::array
#include <cstddef>   // std::size_t
#include <fstream>   // std::ofstream
#include <memory>    // std::shared_ptr
#include <optional>  // std::optional
#include <string>    // std::wstring
#include <vector>    // std::vector

#include "IProgressDelegate.h"
#include "IncrementalProgressReporter.h"
#include "matrix4x4.h"
#include "point.h"

namespace Vexlor::DxfExport {

/// Places `vertex` with `transform`: x' = m0 x + m4 y + m8 z + m12, and likewise with m1, m5,
/// m9, m13 for y' and m2, m6, m10, m14 for z'. m3, m7, m11 and m15 are ignored: there is no
/// projective division.
Vexlor::Math::point<double, 3> TransformCorner(const Vexlor::Math::matrix4x4<double>& transform,
                                               const Vexlor::Math::point<double, 3>& vertex);

/// How writing a face file ended; each exporter tells its caller in its own result codes.
enum class FaceFileOutcome { kWritten, kOpenFailed, kWriteFailed, kCancelled };

/// The exporter result `Result` (either exporter's enumeration) that stands for `outcome`.
template <typename Result>
Result ResultOf(FaceFileOutcome outcome) {
    return outcome == FaceFileOutcome::kWritten      ? Result::eOk
           : outcome == FaceFileOutcome::kOpenFailed ? Result::eOpenError
           : outcome == FaceFileOutcome::kCancelled  ? Result::eCancelled
                                                     : Result::eWriteError;
}

/// The three corners of one face, as they are written.
using Corners = std::array<Vexlor::Math::point<double, 3>, 3>;

/// The output file of one export and the progress of writing it.
class FaceFile {
public:
    /// Opens `fileName` for writing, replacing what it held; if that worked, writes the header
    /// and reports the start of `faceCount` steps to `delegate` (null allowed).
    FaceFile(const std::wstring& fileName,
             const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate,
             std::size_t faceCount);
    bool IsOpen() const { return m_stream.is_open(); }
    /// Writes one 3DFACE entity and counts the step. kWritten lets the export go on; otherwise
    /// it stops with this outcome, the file kept as far as it was written.
    FaceFileOutcome AddFace(const Corners& corners);
    /// Writes the closing lines, reports the end and closes the file.
    FaceFileOutcome Finish();

private:
    // In this order, so that the reporter goes before the stream is closed, and the stream
    // before the buffer it uses.
    std::vector<char> m_buffer;
    std::ofstream m_stream;
    std::optional<Vexlor::Common::IncrementalProgressReporter> m_reporter;
};

/// Writes the file `fileName`: header, one face for each call of `nextFace(corners)` that fills
/// `corners` and returns true, closing lines. Progress goes to `delegate`, one step of
/// `faceCount` per face. The stream is tested after every face and once more after the file is
/// closed, which writes out the buffer: a full disk is seen however small the file.
template <typename NextFace>
FaceFileOutcome WriteFaceFile(const std::wstring& fileName, std::size_t faceCount,
                              std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate,
                              NextFace&& nextFace) {
    FaceFile file(fileName, delegate, faceCount);
    if (!file.IsOpen()) return FaceFileOutcome::kOpenFailed;
    for (Corners corners{}; nextFace(corners);) {
        const FaceFileOutcome outcome = file.AddFace(corners);
        if (outcome != FaceFileOutcome::kWritten) return outcome;
    }
    return file.Finish();
}

}  // namespace Vexlor::DxfExport
