// The native module's mesh export and writers: meshes and contours from NumPy arrays written by
// the library with the GIL released, progress and Ctrl-C through a Python callable.
// SPDX-License-Identifier: MIT
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>   // std::size_t
#include <cstdint>   // std::uint64_t
#include <cstring>   // std::memcpy
#include <memory>    // std::shared_ptr, std::make_shared
#include <optional>  // std::optional
#include <string>    // std::string, std::to_string
#include <utility>   // std::move
#include <vector>    // std::vector

#include "Bindings.h"
#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "VexlorDxfWriter.h"

namespace VexlorDxfPython {

namespace {

// The progress delegate of an export: reports go to the Python callable with the GIL taken; the
// export is cancelled when the callable returns False or raises, or when Ctrl-C (a pending
// signal) arrives. The exception is kept and raised once the export has returned.
class PythonProgress : public Vexlor::Common::IProgressDelegate {
public:
    explicit PythonProgress(py::object callback) : m_callback(std::move(callback)) {}

    void OnProgress(const std::string&, std::size_t value, std::size_t maxValue) override {
        if (m_cancelled) return;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            m_error.emplace();
            m_cancelled = true;
            return;
        }
        if (m_callback.is_none()) return;
        const double fraction =
            maxValue == 0 ? 1.0 : static_cast<double>(value) / static_cast<double>(maxValue);
        try {
            const py::object answer = m_callback(fraction);
            m_cancelled = answer.is(py::bool_(false));
        } catch (py::error_already_set& error) {
            m_error.emplace(std::move(error));
            m_cancelled = true;
        }
    }

    bool IsCancelRequested() override { return m_cancelled; }

    // Raises the kept exception, if any; called with the GIL held.
    void RaiseIfFailed() {
        if (!m_error) return;
        py::error_already_set error = std::move(*m_error);
        m_error.reset();
        throw error;
    }

private:
    py::object m_callback;
    bool m_cancelled = false;
    std::optional<py::error_already_set> m_error;
};

// A mesh from Python as the library's part record; the shapes are checked here, the indices by
// the writers.
ExportToDxf::PartData PartOf(const py::array_t<double, py::array::c_style>& vertices,
                             const py::array_t<std::uint64_t, py::array::c_style>& faces,
                             const py::array_t<double, py::array::c_style>& transform) {
    if (vertices.ndim() != 2 || vertices.shape(1) != 3 || faces.ndim() != 2 ||
        faces.shape(1) != 3 || transform.size() != 16) {
        throw py::value_error("vertices must be (N, 3), faces (M, 3) and the transform 4x4");
    }
    ExportToDxf::PartData part;
    const auto vertexCount = static_cast<std::size_t>(vertices.shape(0));
    const auto faceCount = static_cast<std::size_t>(faces.shape(0));
    part.vertices.resize(vertexCount);
    part.triangles.resize(faceCount);
    std::memcpy(part.transform.m, transform.data(), sizeof(part.transform.m));
    const py::gil_scoped_release release;
    const double* v = vertices.data();
    for (std::size_t i = 0; i < vertexCount; ++i, v += 3) part.vertices[i] = {v[0], v[1], v[2]};
    const std::uint64_t* f = faces.data();
    for (std::size_t i = 0; i < faceCount; ++i, f += 3) {
        for (std::size_t k = 0; k < 3; ++k) part.triangles[i][k] = static_cast<std::size_t>(f[k]);
    }
    return part;
}

// Writes the mesh with the library's part-record export. The Python side has checked the shapes
// and indices; the library checks the indices again and refuses the record without a file.
int ExportMesh(const py::array_t<double, py::array::c_style>& vertices,
               const py::array_t<std::uint64_t, py::array::c_style>& faces,
               const py::array_t<double, py::array::c_style>& transform, const py::bytes& path,
               const py::object& progress) {
    const std::wstring wide = LibraryPath(path);
    const ExportToDxf::PartData part = PartOf(vertices, faces, transform);
    auto delegate = std::make_shared<PythonProgress>(progress);
    ExportToDxf::ReturnCode result = ExportToDxf::eWriteError;
    {
        const py::gil_scoped_release release;
        result = ExportToDxf::Operate(wide, part, delegate);
    }
    delegate->RaiseIfFailed();
    return static_cast<int>(result);
}

// What a writer gave back, as (result code, error text) for the Python side to raise or return.
py::tuple Outcome(const Vexlor::Dxf::WriteResult& written) {
    return py::make_tuple(static_cast<int>(written.result), written.error);
}

// Writes the mesh with the library's mesh writer, which replaces the file through a temporary
// file of its own.
py::tuple WriteMesh(const py::array_t<double, py::array::c_style>& vertices,
                    const py::array_t<std::uint64_t, py::array::c_style>& faces,
                    const py::array_t<double, py::array::c_style>& transform, const py::bytes& path,
                    const py::object& progress, int version, bool polyface, const py::bytes& layer,
                    int units) {
    const std::wstring wide = LibraryPath(path);
    const ExportToDxf::PartData part = PartOf(vertices, faces, transform);
    Vexlor::Dxf::MeshWriteOptions options;
    options.version = static_cast<Vexlor::Dxf::EDxfVersion>(version);
    options.entity =
        polyface ? Vexlor::Dxf::EMeshEntity::ePolyface : Vexlor::Dxf::EMeshEntity::e3DFace;
    options.layer = static_cast<std::string>(layer);
    options.units = units;
    auto delegate = std::make_shared<PythonProgress>(progress);
    Vexlor::Dxf::WriteResult written;
    {
        const py::gil_scoped_release release;
        written = Vexlor::Dxf::WriteMesh(wide, part, options, delegate);
    }
    delegate->RaiseIfFailed();
    return Outcome(written);
}

// Writes contours given as (points, closed, layer) triples: points a C-contiguous (N, 2)
// float64 array, layer the name's UTF-8 bytes (which the writer checks). The points are copied
// with the GIL held, since the arrays are Python's; the writing runs without it.
py::tuple WriteContours(const py::list& items, const py::bytes& path, int version, int units,
                        bool yDown, const py::object& progress) {
    const std::wstring wide = LibraryPath(path);
    std::vector<Vexlor::Dxf::Contour> contours(items.size());
    for (std::size_t i = 0; i < contours.size(); ++i) {
        const auto item = items[i].cast<py::tuple>();
        const auto points = item[0].cast<py::array_t<double, py::array::c_style>>();
        if (points.ndim() != 2 || points.shape(1) != 2) {
            throw py::value_error("contour " + std::to_string(i) + ": points must be (N, 2)");
        }
        Vexlor::Dxf::Contour& contour = contours[i];
        contour.polyline.points.resize(static_cast<std::size_t>(points.shape(0)));
        if (!contour.polyline.points.empty()) {
            std::memcpy(&contour.polyline.points.front().x, points.data(),
                        contour.polyline.points.size() * sizeof(Point2));
        }
        contour.polyline.closed = item[1].cast<bool>();
        contour.layer = static_cast<std::string>(item[2].cast<py::bytes>());
    }
    Vexlor::Dxf::ContourWriteOptions options;
    options.version = static_cast<Vexlor::Dxf::EDxfVersion>(version);
    options.units = units;
    options.yDown = yDown;
    auto delegate = std::make_shared<PythonProgress>(progress);
    Vexlor::Dxf::WriteResult written;
    {
        const py::gil_scoped_release release;
        written = Vexlor::Dxf::WriteContours(wide, contours, options, delegate);
    }
    delegate->RaiseIfFailed();
    return Outcome(written);
}

}  // namespace

void BindWriters(py::module_& m) {
    m.def("export_mesh", &ExportMesh, py::arg("vertices"), py::arg("faces"), py::arg("transform"),
          py::arg("path"), py::arg("progress"));
    m.def("write_mesh", &WriteMesh, py::arg("vertices"), py::arg("faces"), py::arg("transform"),
          py::arg("path"), py::arg("progress"), py::arg("version"), py::arg("polyface"),
          py::arg("layer"), py::arg("units"));
    m.def("write_contours", &WriteContours, py::arg("contours"), py::arg("path"),
          py::arg("version"), py::arg("units"), py::arg("y_down"), py::arg("progress"));
}

}  // namespace VexlorDxfPython
