// Google Benchmark programs for contours as regions: nesting, crossings located and gaps over
// grids of outlines with holes and islands, at growing sizes up to 100,000 closed contours.
// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>

#include <cmath>    // std::cos, std::sin
#include <cstdint>  // std::int64_t
#include <vector>   // std::vector

#include "contours/Crossing.h"
#include "contours/Gaps.h"
#include "contours/Regions.h"

namespace {

using Polyline = Vexlor::Math::polyline<double, 2>;
using Polylines = std::vector<Polyline>;

// A ring of `corners` points around (x, y), counter-clockwise or not.
Polyline Ring(double x, double y, double r, int corners, bool counterClockwise) {
    Polyline ring;
    for (int k = 0; k < corners; ++k) {
        const double a = (counterClockwise ? 1 : -1) * 6.283185307179586 * k / corners + 0.3;
        ring.points.push_back({x + r * std::cos(a), y + r * std::sin(a)});
    }
    return ring;
}

// `count` closed contours in a square grid of cells, each an outline with a hole and an
// island in that (three contours a cell, the last cell filled as far as the count goes); the
// cells' rows a little skewed, so that no two contours share an x.
Polylines Nested(std::int64_t count, int corners) {
    Polylines contours;
    contours.reserve(static_cast<std::size_t>(count));
    const auto cells = static_cast<std::int64_t>(std::sqrt(static_cast<double>(count) / 3)) + 1;
    for (std::int64_t k = 0; static_cast<std::int64_t>(contours.size()) < count; ++k) {
        const double x =
            static_cast<double>(k % cells) * 10 + 0.01 * static_cast<double>(k / cells);
        const double y = static_cast<double>(k / cells) * 10;
        for (int level = 0; level < 3 && static_cast<std::int64_t>(contours.size()) < count;
             ++level) {
            contours.push_back(Ring(x, y, 4.5 - 1.5 * level, corners, level % 2 == 0));
        }
    }
    return contours;
}

void NestClosedContours(benchmark::State& state) {
    const Polylines contours = Nested(state.range(0), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vexlor::Dxf::NestContours(contours).data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(NestClosedContours)
    ->ArgsProduct({{1000, 10000, 100000}, {4, 32}})
    ->ArgNames({"contours", "corners"})
    ->Unit(benchmark::kMillisecond);

void RegionsOfNestedContours(benchmark::State& state) {
    const Polylines contours = Nested(state.range(0), 4);
    const auto nesting = Vexlor::Dxf::NestContours(contours);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vexlor::Dxf::RegionsOf(contours, nesting).data());
        benchmark::DoNotOptimize(Vexlor::Dxf::FindDuplicates(contours).data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RegionsOfNestedContours)->Arg(100000)->ArgName("contours")->Unit(benchmark::kMillisecond);

// Crossings located where none are, and where each outline crosses its neighbour.
void LocateCrossings(benchmark::State& state) {
    Polylines contours = Nested(state.range(0), 16);
    if (state.range(1)) {
        for (std::size_t k = 0; k < contours.size(); k += 3) {
            for (auto& p : contours[k].points) p.x *= 1.2;
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vexlor::Dxf::LocateCrossings(contours, 1000).count);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(LocateCrossings)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->ArgNames({"contours", "crossing"})
    ->Unit(benchmark::kMillisecond);

// Open pieces of the outlines, each ring cut into two with a gap between them.
void FindGaps(benchmark::State& state) {
    Polylines pieces;
    for (Polyline& ring : Nested(state.range(0), 8)) {
        Polyline a{{ring.points.begin(), ring.points.begin() + 4}, false};
        Polyline b{{ring.points.begin() + 4, ring.points.end()}, false};
        b.points.front().x += 1e-3;
        pieces.push_back(a);
        pieces.push_back(b);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Vexlor::Dxf::FindGaps(pieces, 1e-2, 1000).gaps.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FindGaps)->Arg(100000)->ArgName("contours")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
