// Cost of drawing a world's picture from its state (Render), on worlds
// stepped to a fixed step of a fixed seed: what a window pays per frame and
// a movie per picture, whatever the step costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Render.h"
#include "TWorld.h"

namespace {

void RenderPicture(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const auto steps = static_cast<std::int32_t>(state.range(2));
  dla::TWorld world(side, side, dla::FixedSeed(20261208u));
  world.CreateAgents(agents);
  while (world.StepCount() < steps && world.RunStep(6).AnyFree) {}
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
  for (auto _ : state) {
    dla::Render(world, pixels.data(), side, dla::PixelOrder::Argb32);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.counters["aggregated"] = world.AggregatedCells();
}

// Arguments: area side, agents, steps made before drawing.
BENCHMARK(RenderPicture)
    ->ArgNames({"side", "agents", "step"})
    ->Args({404, 2000, 1})
    ->Args({404, 2000, 500})
    ->Args({404, 10000, 10})
    ->Args({1500, 10000, 1})
    ->Args({1500, 10000, 10000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
