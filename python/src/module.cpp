// The native part of the vexlor_dxf Python package: the library's imports, with points handed
// to NumPy without a copy and the GIL released while the library works (the writers are in
// Writers.cpp).
// SPDX-License-Identifier: MIT
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>        // std::array
#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint64_t
#include <cstring>      // std::memcpy
#include <ios>          // std::ios_base::failure
#include <memory>       // std::shared_ptr
#include <optional>     // std::optional
#include <stdexcept>    // std::out_of_range
#include <streambuf>    // std::streambuf
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <type_traits>  // std::is_standard_layout_v
#include <utility>      // std::move
#include <vector>       // std::vector

#include "Bindings.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfInfo.h"
#include "VexlorDxfUnits.h"

namespace py = pybind11;

namespace {

using VexlorDxfPython::LibraryPath;
using VexlorDxfPython::Point2;
using VexlorDxfPython::Polyline;

// The points of `polyline` as a read-only (N, 2) float64 array over the polyline's storage, kept
// alive by `owner`, the Python object that holds the polyline. Read-only, so that the points stay
// those the import returned (its box, JSON and SVG describe them); .copy() gives a changeable one.
py::array PointsArray(const Polyline& polyline, const py::object& owner) {
    const auto count = static_cast<py::ssize_t>(polyline.points.size());
    const auto step = static_cast<py::ssize_t>(sizeof(Point2));
    const auto coordinate = static_cast<py::ssize_t>(sizeof(double));
    if (count == 0) return py::array_t<double>(std::vector<py::ssize_t>{0, 2});
    py::array array(py::dtype::of<double>(), {count, py::ssize_t{2}}, {step, coordinate},
                    &polyline.points.front().x, owner);
    py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return array;
}

// The whole outcome of one accurate import, owned by Python; the arrays of its contours' points
// point into it.
struct AccurateImport {
    Vexlor::Dxf::ContourImport import;

    const Vexlor::Dxf::Contour& At(std::size_t index) const {
        if (index >= import.contours.size()) throw py::index_error("no contour of that index");
        return import.contours[index];
    }
};

// The polyline reader's outcome, owned by Python alike.
struct ClassicImport {
    std::vector<Polyline> polylines;
    int result = CDXFReader::eOpenError;
    Point2 leftTop{0, 0};
    Point2 rightBottom{0, 0};

    const Polyline& At(std::size_t index) const {
        if (index >= polylines.size()) throw py::index_error("no polyline of that index");
        return polylines[index];
    }
};

// A binary Python file object as a stream the library reads: blocks are fetched with the GIL
// taken for the call only, so the import itself runs without it. An exception of `read` ends the
// stream and is raised again once the import returns.
class PythonFileBuffer : public std::streambuf {
public:
    explicit PythonFileBuffer(py::object read) : m_read(std::move(read)) {}

    // Raises what `read` raised, if anything; called with the GIL held.
    void RaiseIfFailed() {
        if (m_error) {
            py::error_already_set error = std::move(*m_error);
            m_error.reset();
            throw error;
        }
        if (!m_typeError.empty()) throw py::type_error(m_typeError);
    }

protected:
    int_type underflow() override {
        if (m_ended) return traits_type::eof();
        const py::gil_scoped_acquire gil;
        try {
            const py::object chunk = m_read(kBlock);
            if (!PyBytes_Check(chunk.ptr()) && !PyByteArray_Check(chunk.ptr())) {
                m_typeError =
                    "the file object's read() gave no bytes: open the drawing in binary mode "
                    "('rb')";
                return End();
            }
            const py::buffer_info data = py::reinterpret_borrow<py::buffer>(chunk).request();
            const auto size = static_cast<std::size_t>(data.size);
            if (size == 0) return End();
            m_block.assign(static_cast<const char*>(data.ptr),
                           static_cast<const char*>(data.ptr) + size);
        } catch (py::error_already_set& error) {
            m_error.emplace(std::move(error));
            return End();
        }
        setg(m_block.data(), m_block.data(), m_block.data() + m_block.size());
        return traits_type::to_int_type(m_block.front());
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    int_type End() {
        m_ended = true;
        return traits_type::eof();
    }

    py::object m_read;
    std::vector<char> m_block;
    bool m_ended = false;
    std::optional<py::error_already_set> m_error;
    std::string m_typeError;
};

Vexlor::Dxf::ContourImport ImportFromPath(const py::bytes& path,
                                          const Vexlor::Dxf::ContourOptions& options) {
    const std::wstring wide = LibraryPath(path);
    const py::gil_scoped_release release;
    return Vexlor::Dxf::ImportContours(wide, options);
}

Vexlor::Dxf::ContourImport ImportFromBuffer(const py::buffer& data,
                                            const Vexlor::Dxf::ContourOptions& options) {
    // The buffer stays exported (a bytearray cannot be resized) until the request is released.
    const py::buffer_info info = data.request();
    const std::string_view text(static_cast<const char*>(info.ptr),
                                static_cast<std::size_t>(info.size * info.itemsize));
    const py::gil_scoped_release release;
    return Vexlor::Dxf::ImportContoursFromMemory(text, options);
}

Vexlor::Dxf::ContourImport ImportFromFile(const py::object& file,
                                          const Vexlor::Dxf::ContourOptions& options) {
    PythonFileBuffer buffer(file.attr("read"));
    Vexlor::Dxf::ContourImport import;
    {
        std::istream stream(&buffer);
        const py::gil_scoped_release release;
        import = Vexlor::Dxf::ImportContours(stream, options);
    }
    buffer.RaiseIfFailed();
    return import;
}

// The polyline reader on `path`. Its conversion exceptions are ValueError: the drawing holds a
// value that is no number, or one out of range (IndexError would say the caller's index was).
std::shared_ptr<ClassicImport> ImportClassic(const py::bytes& path) {
    const std::wstring wide = LibraryPath(path);
    auto classic = std::make_shared<ClassicImport>();
    const py::gil_scoped_release release;
    MStlBaseOperatorDXFPolylineReader reader(classic->polylines);
    try {
        classic->result = reader.Import(wide);
    } catch (const std::out_of_range& e) {
        throw py::value_error(std::string("a number out of range: ") + e.what());
    } catch (const std::invalid_argument& e) {
        throw py::value_error(std::string("a value that is not a number: ") + e.what());
    }
    classic->leftTop = reader.GetLeftTopPoint();
    classic->rightBottom = reader.GetRightBottomPoint();
    return classic;
}

py::tuple PairOf(const Point2& p) { return py::make_tuple(p.x, p.y); }

// The analysis of ContourOptions::analyse, as small read-only records.
void BindAnalysis(py::module_& m) {
    using namespace Vexlor::Dxf;
    py::class_<ContourGap>(m, "ContourGap")
        .def_readonly("first", &ContourGap::first)
        .def_readonly("second", &ContourGap::second)
        .def_readonly("first_at_back", &ContourGap::firstAtBack)
        .def_readonly("second_at_back", &ContourGap::secondAtBack)
        .def_property_readonly("start", [](const ContourGap& g) { return PairOf(g.from); })
        .def_property_readonly("end", [](const ContourGap& g) { return PairOf(g.to); })
        .def_readonly("distance", &ContourGap::distance);
    py::class_<ContourCrossing>(m, "ContourCrossing")
        .def_readonly("first", &ContourCrossing::first)
        .def_readonly("second", &ContourCrossing::second)
        .def_property_readonly("at", [](const ContourCrossing& c) { return PairOf(c.at); });
    py::class_<ContourNesting>(m, "ContourNesting")
        .def_property_readonly("parent",
                               [](const ContourNesting& n) -> py::object {
                                   if (n.parent == kNoContour) return py::none();
                                   return py::int_(n.parent);
                               })
        .def_readonly("depth", &ContourNesting::depth)
        .def_readonly("area", &ContourNesting::area);
    py::class_<ContourRegion>(m, "ContourRegion")
        .def_readonly("outline", &ContourRegion::outline)
        .def_readonly("holes", &ContourRegion::holes)
        .def_readonly("area", &ContourRegion::area)
        .def_readonly("counter_clockwise", &ContourRegion::counterClockwise);
    py::class_<ContourDuplicate>(m, "ContourDuplicate")
        .def_readonly("original", &ContourDuplicate::original)
        .def_readonly("copies", &ContourDuplicate::copies)
        .def_readonly("dropped", &ContourDuplicate::dropped);
}

// What a drawing holds, as the tool's info command tells it; read with the GIL released.
void BindInfo(py::module_& m) {
    using namespace Vexlor::Dxf;
    py::class_<LayerInfo>(m, "LayerInfo")
        .def_readonly("name", &LayerInfo::name)
        .def_readonly("listed", &LayerInfo::listed)
        .def_readonly("frozen", &LayerInfo::frozen)
        .def_readonly("off", &LayerInfo::off)
        .def_readonly("locked", &LayerInfo::locked)
        .def_readonly("entities", &LayerInfo::entities);
    py::class_<BlockInfo>(m, "BlockInfo")
        .def_readonly("name", &BlockInfo::name)
        .def_readonly("entities", &BlockInfo::entities)
        .def_readonly("inserts", &BlockInfo::inserts);
    const auto triple = [](const double(&v)[3]) { return py::make_tuple(v[0], v[1], v[2]); };
    py::class_<DrawingInfo>(m, "DrawingInfo")
        .def_property_readonly("result",
                               [](const DrawingInfo& i) { return static_cast<int>(i.result); })
        .def_readonly("error", &DrawingInfo::error)
        .def_readonly("binary", &DrawingInfo::binary)
        .def_readonly("version", &DrawingInfo::version)
        .def_readonly("release", &DrawingInfo::release)
        .def_readonly("code_page", &DrawingInfo::codePage)
        .def_readonly("units", &DrawingInfo::units)
        .def_property_readonly("extent",
                               [triple](const DrawingInfo& i) -> py::object {
                                   if (!i.hasExtent) return py::none();
                                   return py::make_tuple(triple(i.extentMinimum),
                                                         triple(i.extentMaximum));
                               })
        .def_readonly("layers", &DrawingInfo::layers)
        .def_readonly("entities", &DrawingInfo::entities)
        .def_readonly("paper_space_entities", &DrawingInfo::paperSpaceEntities)
        .def_readonly("blocks", &DrawingInfo::blocks);
    m.def("info_path", [](const py::bytes& path) {
        const std::wstring wide = LibraryPath(path);
        const py::gil_scoped_release release;
        return ReadDrawingInfo(wide);
    });
    m.def("info_buffer", [](const py::buffer& data) {
        const py::buffer_info info = data.request();
        const std::string_view text(static_cast<const char*>(info.ptr),
                                    static_cast<std::size_t>(info.size * info.itemsize));
        const py::gil_scoped_release release;
        return ReadDrawingInfoFromMemory(text);
    });
    m.def("info_file", [](const py::object& file) {
        PythonFileBuffer buffer(file.attr("read"));
        DrawingInfo info;
        {
            std::istream stream(&buffer);
            const py::gil_scoped_release release;
            info = ReadDrawingInfo(stream);
        }
        buffer.RaiseIfFailed();
        return info;
    });
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The native part of vexlor_dxf; use the vexlor_dxf package, not this module.";

    // A stream that fails on a file that opened (a directory, an I/O error) is the operating
    // system's failure.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const std::ios_base::failure& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        }
    });

    using Vexlor::Dxf::ContourOptions;
    py::class_<ContourOptions> optionsClass(m, "ContourOptions",
                                            "The library's ContourOptions, field by field.");
    optionsClass.def(py::init<>())
        .def_readwrite("tolerance", &ContourOptions::tolerance)
        .def_readwrite("relative_tolerance", &ContourOptions::relativeTolerance)
        .def_readwrite("y_down", &ContourOptions::yDown)
        .def_readwrite("linking_distance", &ContourOptions::linkingDistance)
        .def_readwrite("link", &ContourOptions::link)
        .def_readwrite("layers", &ContourOptions::layers)
        .def_readwrite("hidden_layers", &ContourOptions::hiddenLayers)
        .def_readwrite("units", &ContourOptions::units)
        .def_readwrite("max_points", &ContourOptions::maxPoints)
        .def_readwrite("link_within_tolerance", &ContourOptions::linkWithinTolerance)
        .def_readwrite("analyse", &ContourOptions::analyse)
        .def_readwrite("gap_distance", &ContourOptions::gapDistance)
        .def_readwrite("max_reported", &ContourOptions::maxReported)
        .def_readwrite("orient", &ContourOptions::orient)
        .def_readwrite("drop_duplicates", &ContourOptions::dropDuplicates)
        .def_readwrite("strict_structure", &ContourOptions::strictStructure);
    BindAnalysis(m);
    BindInfo(m);
    VexlorDxfPython::BindWriters(m);

    py::class_<AccurateImport, std::shared_ptr<AccurateImport>> accurate(m, "AccurateImport");
    accurate
        .def_property_readonly(
            "result", [](const AccurateImport& s) { return static_cast<int>(s.import.result); })
        .def_property_readonly("error", [](const AccurateImport& s) { return s.import.error; })
        .def_property_readonly("minimum",
                               [](const AccurateImport& s) {
                                   return py::make_tuple(s.import.minimum.x, s.import.minimum.y);
                               })
        .def_property_readonly("maximum",
                               [](const AccurateImport& s) {
                                   return py::make_tuple(s.import.maximum.x, s.import.maximum.y);
                               })
        .def_property_readonly("units", [](const AccurateImport& s) { return s.import.units; })
        .def_property_readonly("tolerance",
                               [](const AccurateImport& s) { return s.import.tolerance; })
        .def_property_readonly("scale", [](const AccurateImport& s) { return s.import.scale; })
        .def_property_readonly("binary", [](const AccurateImport& s) { return s.import.binary; })
        .def_property_readonly("skipped", [](const AccurateImport& s) { return s.import.skipped; })
        .def_property_readonly("approximations",
                               [](const AccurateImport& s) { return s.import.approximations; })
        .def("__len__", [](const AccurateImport& s) { return s.import.contours.size(); })
        .def("points",
             [](const py::object& self, std::size_t i) {
                 return PointsArray(self.cast<const AccurateImport&>().At(i).polyline, self);
             })
        .def("closed",
             [](const AccurateImport& s, std::size_t i) { return s.At(i).polyline.closed; })
        .def("layer", [](const AccurateImport& s, std::size_t i) { return s.At(i).layer; })
        .def("entity", [](const AccurateImport& s, std::size_t i) { return s.At(i).entity; })
        .def("handle", [](const AccurateImport& s, std::size_t i) { return s.At(i).handle; })
        .def("counts", [](const AccurateImport& s) {
            std::size_t closed = 0;
            std::size_t points = 0;
            for (const Vexlor::Dxf::Contour& contour : s.import.contours) {
                closed += contour.polyline.closed ? 1 : 0;
                points += contour.polyline.points.size();
            }
            return py::make_tuple(closed, points);
        });
    const auto field = [&accurate](const char* name, auto member) {
        accurate.def_property_readonly(
            name, [member](const AccurateImport& s) { return s.import.*member; });
    };
    using Vexlor::Dxf::ContourImport;
    field("linking_distance", &ContourImport::linkingDistance);
    field("gaps", &ContourImport::gaps);
    field("gaps_complete", &ContourImport::gapsComplete);
    field("crossings", &ContourImport::crossings);
    field("crossing_count", &ContourImport::crossingCount);
    field("crossings_complete", &ContourImport::crossingsComplete);
    field("nesting", &ContourImport::nesting);
    field("regions", &ContourImport::regions);
    field("open_contours", &ContourImport::openContours);
    field("nesting_well_defined", &ContourImport::nestingWellDefined);
    field("duplicates", &ContourImport::duplicates);
    field("recoveries", &ContourImport::recoveries);

    py::class_<ClassicImport, std::shared_ptr<ClassicImport>>(m, "ClassicImport")
        .def_readonly("result", &ClassicImport::result)
        .def_property_readonly(
            "left_top",
            [](const ClassicImport& s) { return py::make_tuple(s.leftTop.x, s.leftTop.y); })
        .def_property_readonly(
            "right_bottom",
            [](const ClassicImport& s) { return py::make_tuple(s.rightBottom.x, s.rightBottom.y); })
        .def("__len__", [](const ClassicImport& s) { return s.polylines.size(); })
        .def("points",
             [](const py::object& self, std::size_t i) {
                 return PointsArray(self.cast<const ClassicImport&>().At(i), self);
             })
        .def("closed", [](const ClassicImport& s, std::size_t i) { return s.At(i).closed; });

    m.def(
        "import_path",
        [](const py::bytes& path, const ContourOptions& options) {
            return std::make_shared<AccurateImport>(AccurateImport{ImportFromPath(path, options)});
        },
        py::arg("path"), py::arg("options"));
    m.def(
        "import_buffer",
        [](const py::buffer& data, const ContourOptions& options) {
            return std::make_shared<AccurateImport>(
                AccurateImport{ImportFromBuffer(data, options)});
        },
        py::arg("data"), py::arg("options"));
    m.def(
        "import_file",
        [](const py::object& file, const ContourOptions& options) {
            return std::make_shared<AccurateImport>(AccurateImport{ImportFromFile(file, options)});
        },
        py::arg("file"), py::arg("options"));
    m.def("import_classic", &ImportClassic, py::arg("path"));
    m.def(
        "unit_code",
        [](const std::string& symbol) {
            const Vexlor::Dxf::LengthUnit* unit = Vexlor::Dxf::FindUnitBySymbol(symbol);
            return unit == nullptr ? 0 : unit->code;
        },
        py::arg("symbol"));
    m.def(
        "unit_words",
        [](int code) -> py::object {
            const Vexlor::Dxf::LengthUnit* unit = Vexlor::Dxf::FindUnit(code);
            if (unit == nullptr) return py::none();
            return py::str(unit->words);
        },
        py::arg("code"));
}
