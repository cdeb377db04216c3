// Saving and loading a world: the checkpoint's bytes from a world (State,
// Encode) and a world from them (Decode, the restoring constructor), for the
// default setup (404 x 404, 2,000 agents, threshold 6) early in its run and
// at its end. File input and output are not timed here: a whole dla-batch
// run with --save-state or --load-state is, in bench/movie-checkpoint.sh.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "TCheckpoint.h"
#include "TWorld.h"

namespace {

// The default world after `steps` steps (or at the end of its run).
dla::TWorld DefaultWorld(std::int32_t steps) {
  dla::TWorld world(404, 404, dla::FixedSeed(12345));
  world.CreateAgents(2000);
  while (world.StepCount() < steps && world.RunStep(6).AnyFree) {
  }
  return world;
}

void SaveWorld(benchmark::State& state) {
  const dla::TWorld world = DefaultWorld(static_cast<std::int32_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string file = dla::TCheckpoint{world.State(), "6"}.Encode();
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
}

void LoadWorld(benchmark::State& state) {
  const std::string file =
      dla::TCheckpoint{DefaultWorld(static_cast<std::int32_t>(state.range(0))).State(), "6"}.Encode();
  for (auto _ : state) {
    const dla::TCheckpoint checkpoint = dla::TCheckpoint::Decode(file);
    const dla::TWorld world(checkpoint.World);
    benchmark::DoNotOptimize(world.Shades());
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

// Step 50: nearly every agent free; 1,000,000: the end of the run.
BENCHMARK(SaveWorld)->Arg(50)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadWorld)->Arg(50)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace
