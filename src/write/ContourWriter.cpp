// Contours written as a DXF drawing of LWPOLYLINEs (R2000) or POLYLINEs (R12).
// SPDX-License-Identifier: MIT
#include <cmath>     // std::isfinite
#include <optional>  // std::optional
#include <string>    // std::string, std::to_string
#include <utility>   // std::move

#include "IncrementalProgressReporter.h"
#include "VexlorDxfWriter.h"
#include "write/DrawingFrame.h"
#include "write/FileReplacement.h"
#include "write/GroupWriter.h"

namespace Vexlor::Dxf {

namespace {

WriteResult Refused(const std::string& why) { return {EWriteResult::eInvalidInput, why}; }

// The contours checked, their layers gathered and their box measured, before a byte is written.
struct Plan {
    LayerTable table;
    std::vector<std::string> layers;  // each contour's, encoded
    Extent extent;
    std::size_t points = 0;
};

std::optional<WriteResult> Prepare(const std::vector<Contour>& contours,
                                   const ContourWriteOptions& options, Plan& plan) {
    CheckUnits(options.units, "WriteContours");
    const double ySign = options.yDown ? -1 : 1;
    plan.layers.reserve(contours.size());
    for (std::size_t i = 0; i < contours.size(); ++i) {
        const Contour& contour = contours[i];
        const std::string at = "contour " + std::to_string(i) + ": ";
        const auto& points = contour.polyline.points;
        if (points.size() < 2) {
            return Refused(at + "it has " + std::to_string(points.size()) +
                           " points; a contour needs 2 at least");
        }
        for (std::size_t k = 0; k < points.size(); ++k) {
            if (!std::isfinite(points[k].x) || !std::isfinite(points[k].y)) {
                return Refused(at + "point " + std::to_string(k) + " is not finite");
            }
            plan.extent.Add(points[k].x, ySign * points[k].y, 0);
        }
        const std::string& layer = contour.layer.empty() ? std::string("0") : contour.layer;
        const std::string problem = LayerNameProblem(layer);
        if (!problem.empty()) return Refused(at + problem);
        plan.layers.push_back(plan.table.Add(layer));
        plan.points += points.size();
    }
    return std::nullopt;
}

WriteResult Emit(std::ostream& stream, const std::vector<Contour>& contours,
                 const ContourWriteOptions& options, const Plan& plan,
                 const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate) {
    const bool r2000 = options.version == EDxfVersion::eR2000;
    const double ySign = options.yDown ? -1 : 1;
    // R2000 takes one handle per LWPOLYLINE; R12 one per POLYLINE, VERTEX and SEQEND.
    const std::uint64_t handles = r2000 ? contours.size() : 2 * contours.size() + plan.points;
    GroupWriter out(stream);
    DrawingFrame frame(out, options.version, options.units, plan.extent, plan.table, handles);
    frame.Begin();
    Vexlor::Common::IncrementalProgressReporter progress(delegate, "DXF contour export",
                                                         plan.points, true);
    std::size_t done = 0;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        const auto& polyline = contours[i].polyline;
        const std::string& layer = plan.layers[i];
        if (r2000) {
            frame.StartEntity("LWPOLYLINE", layer);
            out.Text(100, "AcDbPolyline");
            out.Integer(90, static_cast<long long>(polyline.points.size()));
            out.Integer(70, polyline.closed ? 1 : 0);
            for (const auto& p : polyline.points) {
                out.Point2(10, p.x, ySign * p.y);
                if (!out.Spill()) return {EWriteResult::eWriteError, "the file cannot be written"};
            }
        } else {
            frame.StartEntity("POLYLINE", layer);
            out.Integer(66, 1);  // vertices follow
            out.Point3(10, 0, 0, 0);
            out.Integer(70, polyline.closed ? 1 : 0);
            for (const auto& p : polyline.points) {
                frame.StartEntity("VERTEX", layer);
                out.Point3(10, p.x, ySign * p.y, 0);
                if (!out.Spill()) return {EWriteResult::eWriteError, "the file cannot be written"};
            }
            frame.StartEntity("SEQEND", layer);
        }
        done += polyline.points.size();
        progress = done;
        if (progress.IsCancelled()) return {EWriteResult::eCancelled, ""};
    }
    frame.End();
    if (!out.Flush()) return {EWriteResult::eWriteError, "the file cannot be written"};
    return {};
}

}  // namespace

WriteResult WriteContours(std::ostream& out, const std::vector<Contour>& contours,
                          const ContourWriteOptions& options,
                          std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    Plan plan;
    if (std::optional<WriteResult> refused = Prepare(contours, options, plan)) return *refused;
    WriteResult result = Emit(out, contours, options, plan, delegate);
    if (result.result == EWriteResult::eOk) out.flush();
    if (result.result == EWriteResult::eOk && out.fail()) {
        result = {EWriteResult::eWriteError, "the stream failed"};
    }
    return result;
}

WriteResult WriteContours(const std::filesystem::path& path, const std::vector<Contour>& contours,
                          const ContourWriteOptions& options,
                          std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    Plan plan;
    if (std::optional<WriteResult> refused = Prepare(contours, options, plan)) return *refused;
    return WriteReplacing(
        path, [&](std::ostream& out) { return Emit(out, contours, options, plan, delegate); });
}

WriteResult WriteContours(const std::wstring& path, const std::vector<Contour>& contours,
                          const ContourWriteOptions& options,
                          std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    const std::optional<std::filesystem::path> file = FilePathOf(path);
    if (!file) {
        Plan plan;
        if (std::optional<WriteResult> refused = Prepare(contours, options, plan)) return *refused;
        return {EWriteResult::eOpenError, "the path names no file"};
    }
    return WriteContours(*file, contours, options, std::move(delegate));
}

}  // namespace Vexlor::Dxf
