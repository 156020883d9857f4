// What the parts of the vexlor_dxf native module share.
// SPDX-License-Identifier: MIT
#pragma once

#include <pybind11/pybind11.h>

#include <string>       // std::string, std::wstring
#include <type_traits>  // std::is_standard_layout_v

#include "VexlorDxfPath.h"
#include "point.h"
#include "polyline.h"

namespace VexlorDxfPython {

namespace py = pybind11;

using Point2 = Vexlor::Math::point<double, 2>;
using Polyline = Vexlor::Math::polyline<double, 2>;

// Points go to and from NumPy as (N, 2) arrays over a polyline's own storage.
static_assert(sizeof(Point2) == 2 * sizeof(double) && std::is_standard_layout_v<Point2>,
              "a 2D point must be two doubles in a row");

// A path from Python (os.fsencode of a str or os.PathLike) as the library's wide path.
inline std::wstring LibraryPath(const py::bytes& path) {
    return Vexlor::Dxf::WidePath(static_cast<std::string>(path));
}

/// Defines the module's mesh export and writers: export_mesh, write_mesh, write_contours.
void BindWriters(py::module_& m);

}  // namespace VexlorDxfPython
