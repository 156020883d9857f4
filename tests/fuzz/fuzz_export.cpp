// Fuzz harness: the record exporter and the mesh exporter, given the same triangles and transform
// (the internal unit being 1), give the same result and write the same file, of one face per
// triangle up to a cancel.
// SPDX-License-Identifier: MIT
#undef NDEBUG  // the checks are asserts, in every build type
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>  // memfd_create

#include <algorithm>   // std::max
#include <cassert>     // assert
#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ifstream, std::ofstream
#include <iterator>    // std::istreambuf_iterator
#include <memory>      // std::make_shared
#include <regex>       // std::regex, std::regex_replace
#include <string>      // std::string, std::to_string
#include <vector>      // std::vector

#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "MExportToDxf.h"
#include "MStlBase.h"

// A file in memory that the library opens by name; it goes with the process.
static const std::filesystem::path file = "/proc/self/fd/" + std::to_string(memfd_create("out", 0));
static std::size_t stopAt;

// Asks to stop from its `stopAt`-th question on (0: never).
struct Stopper : Vexlor::Common::IProgressDelegate {
    void OnProgress(const std::string&, std::size_t, std::size_t) override {}
    bool IsCancelRequested() override { return stopAt != 0 && ++asked >= stopAt; }
    std::size_t asked = 0;
};

using Bytes = std::istreambuf_iterator<char>;
static std::string Read() { return {Bytes(std::ifstream(file).rdbuf()), {}}; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);
    stopAt = fdp.ConsumeIntegralInRange<std::size_t>(0, 25);
    std::vector<MStlVertex> corners(fdp.ConsumeIntegralInRange<std::size_t>(0, 11));
    ExportToDxf::PartData part;
    for (MStlVertex& v : corners) {
        v = {fdp.ConsumeIntegral<int>(), fdp.ConsumeIntegral<int>(), fdp.ConsumeIntegral<int>()};
        part.vertices.push_back({double(v.x), double(v.y), double(v.z)});
    }
    for (auto& m : part.transform.m) m = fdp.ConsumeBool() ? m : fdp.ConsumeFloatingPoint<double>();
    // Now and then an index one past the last vertex, which the record must not hold: a record of
    // no triangles or of such an index is refused before the file is touched.
    part.triangles.resize(fdp.ConsumeIntegralInRange<std::size_t>(0, 24));
    bool valid = !part.triangles.empty();
    MStlBase mesh;
    for (auto& t : part.triangles) {
        for (std::size_t& i : t) i = fdp.ConsumeIntegralInRange<std::size_t>(0, corners.size());
        valid = valid && std::max({t[0], t[1], t[2]}) < corners.size();
        if (valid) mesh.AddTriangle(MStlTriangle(corners[t[0]], corners[t[1]], corners[t[2]]));
    }
    std::ofstream(file) << "before";
    const int result = ExportToDxf::Operate(file.wstring(), part, std::make_shared<Stopper>());
    assert(valid || (result == ExportToDxf::eWriteError && Read() == "before"));
    if (!valid) return 0;
    const bool cancelled = stopAt != 0 && stopAt <= part.triangles.size();
    assert(result == (cancelled ? ExportToDxf::eCancelled : ExportToDxf::eOk));
    const std::string out = Read();
    // Each face holds the marker once: removing the markers takes 8 characters per face.
    const auto gone = out.size() - std::regex_replace(out, std::regex("\n3DFACE\n"), "").size();
    assert(gone == 8 * (cancelled ? stopAt : part.triangles.size()));
    assert((out.rfind("\nEOF\n") == out.size() - 5) != cancelled);  // the closing lines
    MExportToDxf exporter;
    exporter.SetExportFileName(file.wstring());
    exporter.SetExportStl(&mesh, part.transform);
    assert(exporter.Operate(std::make_shared<Stopper>()) == result && Read() == out);
    return 0;
}
