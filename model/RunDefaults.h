// What a run starts from unless told otherwise, in one table: the window's
// layout, dla-batch's options and their help, the page and the Python module
// all read their defaults and ranges here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dla {

struct TRunDefaults {
  // Agents of a setup.
  std::int32_t Agents = 2000;
  // The threshold edit's text, converted as the window converts it.
  const char* ThresholdText = "6";
  // The drawing area in pixels (the window's drawing panel).
  std::int32_t DrawingWidth = 404;
  std::int32_t DrawingHeight = 404;
  // The most steps of a run on a command line, or in Python's run().
  std::int32_t MaxSteps = 1'000'000;
  // The most agents a run may ask for. The model could take up to 2^31 - 1,
  // but beyond this a run needs several GiB; refusing it up front is kinder
  // than running out of memory half-way.
  std::int64_t MaxAgents = 100'000'000;
  // The window's spin controls: agents from WindowAgentsMin to
  // WindowAgentsMax in steps of WindowAgentsStep, the threshold's arrows
  // from WindowThresholdMin to WindowThresholdMax.
  std::int32_t WindowAgentsMin = 1;
  std::int32_t WindowAgentsMax = 10000;
  std::int32_t WindowAgentsStep = 100;
  // Threads a world's step is shared among (TWorld::SetThreads): one, so
  // that nobody's run takes more cores than asked for; 0 asks for all.
  std::int32_t Threads = 1;
  std::int32_t MaxThreads = 256;
  std::int32_t WindowThresholdMin = 2;
  std::int32_t WindowThresholdMax = 10;
  // Buckets of a chart's outline (TFreeAgentsSeries): enough for a plot
  // area up to 1024 device pixels wide to get two buckets or more per pixel
  // column.
  std::size_t OutlineBuckets = 2048;
  // What a file saved from a run is called unless the user says otherwise:
  // "dla-seed<seed>-step<step>" (TRun::SuggestedName) and one of these.
  const char* PictureSuffix = ".png";
  const char* SeriesSuffix = "-free-agents.csv";
  const char* MeasuresSuffix = "-measures.csv";
  const char* ChartSuffix = "-chart.png";
  const char* WorldSuffix = ".dla";
  const char* MovieSuffix = ".mp4";
};

inline constexpr TRunDefaults RunDefaults{};

// The ranges of the run's whole-number settings, which the command lines,
// the Python module and the page check alike.
struct TWholeRange {
  std::int64_t Min;
  std::int64_t Max;
  constexpr bool Holds(std::int64_t value) const noexcept { return value >= Min && value <= Max; }
};
inline constexpr TWholeRange AgentsRange{0, RunDefaults.MaxAgents};
inline constexpr TWholeRange WindowAgentsRange{RunDefaults.WindowAgentsMin, RunDefaults.WindowAgentsMax};
inline constexpr TWholeRange SeedRange{0, 4294967295};
inline constexpr TWholeRange StepsRange{0, 2147483647};
inline constexpr TWholeRange ThreadsRange{0, RunDefaults.MaxThreads};
// The sweep's: runs per combination (seeds never repeat within one),
// thresholds as plain numbers (the value a window's text converts to),
// threads.
inline constexpr TWholeRange RunsRange{1, std::int64_t{1} << 32};
inline constexpr TWholeRange ThresholdValueRange{0, 65535};
inline constexpr TWholeRange JobsRange{1, 1024};

}  // namespace dla
