// Google Benchmark programs: whole imports of the workloads beside the tokenizer floor, the
// group reader, linking and crossing at growing sizes, and export of triangles.
// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>  // mallopt
#endif

#include <cstdio>      // std::remove
#include <cstdlib>     // std::getenv
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream
#include <limits>      // std::numeric_limits
#include <sstream>     // std::istringstream
#include <string>      // std::string, std::wstring

#include "CDXFReader.h"
#include "ExportToDxf.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "contours/Crossing.h"
#include "contours/Linking.h"
#include "contours/Reduction.h"
#include "workloads.h"

namespace {

using Polylines = std::vector<Vexlor::Math::polyline<double, 2>>;

std::wstring Wide(const std::filesystem::path& path) {
    const std::string narrow = path.string();
    return std::wstring(narrow.begin(), narrow.end());
}

void ImportFile(benchmark::State& state, const std::filesystem::path& path) {
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        Polylines polylines;
        MStlBaseOperatorDXFPolylineReader reader(polylines);
        benchmark::DoNotOptimize(reader.Import(Wide(path)));
        benchmark::DoNotOptimize(polylines.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// The floor: read the file and tokenize it, nothing more.
void TokenizeFile(benchmark::State& state, const std::filesystem::path& path) {
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        const std::string text = VexlorDxfBench::ReadFile(path.string());
        benchmark::DoNotOptimize(VexlorDxfBench::TokenizeFloor(text));
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

struct GroupProbe : CDXFReader {
    using CDXFReader::_ReadGroup;
    EReturnCode _PostProcess() override { return eOk; }
};

void BM_GroupReader(benchmark::State& state) {
    const std::string text = VexlorDxfBench::LinesDrawing(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::istringstream stream(text);
        GroupProbe probe;
        unsigned short code = 0;
        std::wstring value;
        std::size_t groups = 0;
        while (probe._ReadGroup(stream, code, value) > 0) ++groups;
        benchmark::DoNotOptimize(groups);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_GroupReader)->Arg(100000)->Unit(benchmark::kMillisecond);

// Whole imports of drawings of n LINE pieces: the scaling of reading plus linking.
void BM_ImportLines(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("vexlor_dxf_bench_lines_" + std::to_string(count) + ".dxf");
    {
        std::ofstream out(path, std::ios::binary);
        out << VexlorDxfBench::LinesDrawing(count);
    }
    for (auto _ : state) {
        Polylines polylines;
        MStlBaseOperatorDXFPolylineReader reader(polylines);
        benchmark::DoNotOptimize(reader.Import(Wide(path)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ImportLines)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LinkPieces(benchmark::State& state) {
    const Polylines pieces =
        VexlorDxfBench::ShuffledContourPieces(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        Polylines work = pieces;
        state.ResumeTiming();
        Vexlor::Dxf::LinkOpenPolylines(work);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LinkPieces)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_CrossingTest(benchmark::State& state) {
    Polylines contours =
        VexlorDxfBench::ShuffledContourPieces(static_cast<std::size_t>(state.range(0)));
    Vexlor::Dxf::LinkOpenPolylines(contours);
    contours = Vexlor::Dxf::RemoveEmptyPolylines(std::move(contours));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vexlor::Dxf::AnyPolylinesCross(contours));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CrossingTest)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ExportTriangles(benchmark::State& state) {
    const ExportToDxf::PartData part =
        VexlorDxfBench::GridMesh(static_cast<std::size_t>(state.range(0)));
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "vexlor_dxf_bench_export.dxf";
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportToDxf::Operate(Wide(path), part, nullptr));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportTriangles)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The generated workloads, when VEXLOR_DXF_BENCH_DATA names their folder.
void RegisterWorkloads() {
    const char* folder = std::getenv("VEXLOR_DXF_BENCH_DATA");
    if (!folder || !std::filesystem::is_directory(folder)) return;
    for (const char* name : {"lines_100k.dxf", "mixed_50mb.dxf", "lwpoly_big.dxf", "lines_10k.dxf",
                             "mixed_5mb.dxf", "lwpoly_100k.dxf"}) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        if (!std::filesystem::exists(path)) continue;
        benchmark::RegisterBenchmark(("BM_Import/" + std::string(name)).c_str(), ImportFile, path)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_TokenizerFloor/" + std::string(name)).c_str(),
                                     TokenizeFile, path)
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Every iteration after the first then runs on memory the process already has, at every
    // size: otherwise the allocator keeps what small runs free but hands what large runs free
    // back to the system, and the large sizes alone would pay for fresh pages on each run.
    // The fresh-process times of bench/run.sh show the other side.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
#endif
    RegisterWorkloads();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
