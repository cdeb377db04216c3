#include "PyWorld.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <thread>
#include <type_traits>
#include <vector>

#include "AggregateMeasures.h"
#include "Arguments.h"
#include "MeasureText.h"
#include "OutputFile.h"
#include "PngWriter.h"
#include "Render.h"
#include "RunDefaults.h"
#include "TextColumns.h"
#include "TWorldState.h"
#include "UsageError.h"

namespace py = pybind11;

namespace dla::python {
namespace {

using Clock = std::chrono::steady_clock;

// How long the interpreter's lock stays released while stepping: short
// enough that a Ctrl-C answers at once and a reader waits little, long
// enough that taking the lock back costs nothing.
constexpr auto Stretch = std::chrono::milliseconds(20);

// What every run of the module keeps: the series of free agents and of the
// measures, which World.series and World.measures_series hand out.
TRun::TSettings Settings(std::optional<std::uint32_t> seed) {
  TRun::TSettings settings;
  settings.Seed = seed;
  settings.KeepMeasures = true;
  // A live view's chart reads the bounded outline, kept as the steps come,
  // never the whole series: a run played for hours costs the same a frame.
  settings.OutlineBuckets = RunDefaults.OutlineBuckets;
  return settings;
}

py::array ReadOnly(py::array array) {
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

}  // namespace

TPyWorld::TPyWorld(TRun run) : run_(std::move(run)) {}

TPyWorld::TPyWorld(const py::int_& agents, const std::string& thresholdText, const std::string& size,
                   const py::object& seed, const py::int_& threads)
    : run_([&] {
        TRun::TSettings settings = Settings(std::nullopt);
        settings.Threads = static_cast<std::int32_t>(WholeArgument("threads", threads, ThreadsRange));
        settings.Agents = static_cast<std::int32_t>(WholeArgument("agents", agents, tools::AgentsRange));
        settings.ThresholdText = ThresholdArgument(thresholdText);
        const tools::TDrawingSize area = SizeArgument(size);
        settings.DrawingWidth = area.Width;
        settings.DrawingHeight = area.Height;
        if (!seed.is_none()) {
          settings.Seed = static_cast<std::uint32_t>(WholeArgument("seed", seed, tools::SeedRange));
        }
        return TRun(settings);
      }()) {}

TPyWorld::TPyWorld(const TPyWorld& other) : run_(other.Locked([](const TRun& run) { return run; })) {}

TPyWorld TPyWorld::Load(const std::string& path, const py::int_& threads) {
  TRun::TSettings settings = Settings(std::nullopt);
  settings.Threads = static_cast<std::int32_t>(WholeArgument("threads", threads, ThreadsRange));
  try {
    return TPyWorld(TRun::Load(path, settings));
  } catch (const std::runtime_error& error) {
    Refuse(error.what());
  }
}

void TPyWorld::Save(const std::string& path) const {
  const std::string bytes = Locked([](const TRun& run) { return run.Save(); });
  try {
    tools::TOutputFile file(path, "save");
    file.Write(bytes);
    file.Commit();
  } catch (const std::runtime_error& error) {
    Refuse(MessageOf(error));
  }
}

py::tuple TPyWorld::Pickle() const {
  struct TState {
    std::string Bytes;
    std::int32_t FirstStep;
    std::vector<std::int32_t> Free;
    std::int32_t MeasuresFirst;
    std::int64_t MeasuresCount;
    std::vector<std::int32_t> ChangeSteps;
    std::vector<double> ChangeValues;
    std::optional<std::uint32_t> Seed;
  };
  TState state = Locked([](const TRun& run) {
    TState kept{run.Save(),
                run.Series().FirstStep(),
                run.Series().Values(),
                run.MeasuresSeries().FirstStep(),
                static_cast<std::int64_t>(run.MeasuresSeries().Count()),
                {},
                {},
                run.SeedsFromClock() ? std::nullopt : std::optional<std::uint32_t>(run.Seed())};
    run.MeasuresSeries().ForEachChange([&kept](std::int32_t step, const TMeasureValues& values) {
      kept.ChangeSteps.push_back(step);
      kept.ChangeValues.insert(kept.ChangeValues.end(), values.begin(), values.end());
    });
    return kept;
  });
  const auto array = [](const auto& values) {
    using Value = typename std::decay_t<decltype(values)>::value_type;
    return py::array_t<Value>(static_cast<py::ssize_t>(values.size()), values.data());
  };
  return py::make_tuple(py::bytes(state.Bytes), state.FirstStep, array(state.Free),
                        state.Seed ? py::object(py::int_(*state.Seed)) : py::object(py::none()),
                        state.MeasuresFirst, state.MeasuresCount, array(state.ChangeSteps),
                        array(state.ChangeValues));
}

TPyWorld TPyWorld::Unpickle(const py::tuple& state) {
  if (state.size() != 8) Refuse("not the state of a dla.World");
  try {
    const auto seed = state[3].is_none() ? std::optional<std::uint32_t>() : state[3].cast<std::uint32_t>();
    TRun run = TRun::Decode(state[0].cast<std::string>(), Settings(seed));
    TFreeAgentsSeries free;
    const auto firstStep = state[1].cast<std::int32_t>();
    const auto values = state[2].cast<std::vector<std::int32_t>>();
    for (std::size_t k = 0; k < values.size(); ++k) free.Add(firstStep + static_cast<std::int32_t>(k), values[k]);
    // The measures at every step, from the steps at which they changed.
    TMeasuresSeries measures;
    const auto measuresFirst = state[4].cast<std::int32_t>();
    const auto measuresCount = state[5].cast<std::int64_t>();
    const auto changeSteps = state[6].cast<std::vector<std::int32_t>>();
    const auto changeValues = state[7].cast<std::vector<double>>();
    if (changeValues.size() != TMeasureValues().size() * changeSteps.size()) Refuse("not the state of a dla.World");
    std::size_t change = 0;
    TMeasureValues now{};
    for (std::int64_t k = 0; k < measuresCount; ++k) {
      const auto step = static_cast<std::int32_t>(measuresFirst + k);
      for (; change < changeSteps.size() && changeSteps[change] <= step; ++change) {
        std::copy_n(changeValues.begin() + static_cast<std::ptrdiff_t>(change * now.size()), now.size(), now.begin());
      }
      measures.Add(step, now);
    }
    run.RestoreSeries(free, measures);
    return TPyWorld(std::move(run));
  } catch (const py::value_error&) {
    throw;
  } catch (const std::exception& error) {
    Refuse(MessageOf(error));
  }
}

std::unique_lock<std::mutex> TPyWorld::ReaderLock() const {
  ++readersWaiting_;
  std::unique_lock lock(mutex_);
  --readersWaiting_;
  return lock;
}

bool TPyWorld::StepStretch(std::int64_t& made, std::int64_t steps, bool untilEnd, std::int64_t& between,
                           const std::atomic<bool>* held) {
  while (readersWaiting_.load() > 0) std::this_thread::yield();
  const std::lock_guard lock(mutex_);
  const Clock::time_point end = Clock::now() + Stretch;
  for (;;) {
    const Clock::time_point start = Clock::now();
    for (std::int64_t k = 0; k < between && made < steps; ++k, ++made) {
      if ((untilEnd && run_.Ended()) || run_.Steps() == TRun::LastStep) return true;
      run_.Step();
    }
    const Clock::time_point now = Clock::now();
    if (made == steps || now >= end || (held != nullptr && held->load())) return false;
    // Steps between two looks at the clock: doubled while a stretch of
    // them is quick, so that a small world does not pay for the clock at
    // every step and a big one looks after every step.
    if (now - start < std::chrono::microseconds(500)) between = std::min<std::int64_t>(2 * between, 1 << 20);
  }
}

void TPyWorld::StepFor(std::int64_t steps, bool untilEnd) {
  std::int64_t between = 1;
  for (std::int64_t made = 0; made < steps;) {
    bool done = false;
    {
      py::gil_scoped_release released;
      done = StepStretch(made, steps, untilEnd, between, nullptr);
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    if (done) return;
  }
}

bool TPyWorld::Play() {
  {
    py::gil_scoped_release released;
    std::int64_t made = 0, between = 1;
    const std::int64_t steps = std::numeric_limits<std::int64_t>::max();
    while (!held_.exchange(false) && !StepStretch(made, steps, true, between, &held_)) {
    }
  }
  return Ended();
}

void TPyWorld::Hold() { held_.store(true); }

std::optional<std::int32_t> TPyWorld::Step(std::int64_t n) {
  if (n < 0) Refuse("n must be 0 or more, got " + std::to_string(n));
  StepFor(n, false);
  return Locked([](const TRun& run) {
    return run.Series().Empty() ? std::nullopt : std::optional<std::int32_t>(run.Series().Last());
  });
}

bool TPyWorld::Run(const py::int_& steps) {
  StepFor(WholeArgument("max_steps", steps, tools::StepsRange), true);
  return Locked([](const TRun& run) { return run.Ended(); });
}

void TPyWorld::NewSetup(const py::int_& agents) {
  const auto count = static_cast<std::int32_t>(WholeArgument("agents", agents, tools::AgentsRange));
  Locked([count](TRun& run) { run.NewSetup(count); });
}

std::int32_t TPyWorld::StepCount() const {
  return Locked([](const TRun& run) { return run.Steps(); });
}

std::int32_t TPyWorld::FreeAgents() const {
  return Locked([](const TRun& run) { return run.FreeAgents(); });
}

std::int32_t TPyWorld::AggregatedCells() const {
  return Locked([](const TRun& run) { return run.World().AggregatedCells(); });
}

bool TPyWorld::Ended() const {
  return Locked([](const TRun& run) { return run.Ended(); });
}

int TPyWorld::Threads() const {
  return Locked([](const TRun& run) { return run.Threads(); });
}

std::uint32_t TPyWorld::Seed() const {
  return Locked([](const TRun& run) { return run.Seed(); });
}

std::string TPyWorld::ThresholdText() const {
  return Locked([](const TRun& run) { return run.ThresholdText(); });
}

std::uint16_t TPyWorld::Threshold() const {
  // Every text the run holds converts: checked when it was given.
  return Locked([](const TRun& run) { return run.Threshold().value_or(0); });
}

void TPyWorld::SetThreshold(const std::string& text) {
  ThresholdArgument(text);
  Locked([&text](TRun& run) { run.SetThresholdText(text); });
}

py::tuple TPyWorld::Size() const {
  const auto [width, height] = Locked([](const TRun& run) {
    return std::pair(run.World().DrawingWidth(), run.World().DrawingHeight());
  });
  return py::make_tuple(width, height);
}

py::array_t<std::int32_t> TPyWorld::Series() const {
  const std::vector<std::int32_t> values = Locked([](const TRun& run) { return run.Series().Values(); });
  return py::array_t<std::int32_t>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::array_t<std::uint8_t> TPyWorld::Picture() const {
  std::size_t width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = Locked([&](const TRun& run) {
    const TWorld& world = run.World();
    width = static_cast<std::size_t>(world.DrawingWidth());
    height = static_cast<std::size_t>(world.DrawingHeight());
    std::vector<std::uint32_t> drawn(width * height);
    Render(world, drawn.data(), static_cast<std::ptrdiff_t>(width), PixelOrder::Rgba8888);
    return drawn;
  });
  py::array_t<std::uint8_t> picture({height, width, std::size_t{3}});
  std::uint8_t* out = picture.mutable_data();
  for (const std::uint32_t pixel : pixels) {
    // 0xFFBBGGRR
    out[0] = static_cast<std::uint8_t>(pixel);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel >> 16);
    out += 3;
  }
  return picture;
}

py::array TPyWorld::Shades() const {
  std::int32_t rows = 0, columns = 0;
  const std::vector<std::uint8_t> shades = Locked([&](const TRun& run) {
    const TWorld& world = run.World();
    rows = world.GridRows();
    columns = world.GridColumns();
    return std::vector<std::uint8_t>(world.Shades(), world.Shades() + std::size_t(rows) * std::size_t(columns));
  });
  return ReadOnly(py::array_t<std::uint8_t>({rows, columns}, shades.data()));
}

py::array TPyWorld::States() const {
  std::int32_t rows = 0, columns = 0;
  const std::vector<std::int32_t> states = Locked([&](const TRun& run) {
    const TWorld& world = run.World();
    rows = world.GridRows();
    columns = world.GridColumns();
    return world.CopyStates();
  });
  return ReadOnly(py::array_t<std::int32_t>({rows, columns}, states.data()));
}

py::array TPyWorld::Agents() const {
  static_assert(std::is_standard_layout_v<TAgent>);
  py::dict layout;
  layout["names"] = py::make_tuple("x", "y", "heading", "moving");
  layout["formats"] = py::make_tuple("<i4", "<i4", "<i4", "<i4");
  layout["offsets"] = py::make_tuple(offsetof(TAgent, X), offsetof(TAgent, Y),
                                     offsetof(TAgent, Heading), offsetof(TAgent, Moving));
  layout["itemsize"] = sizeof(TAgent);
  const std::vector<TAgent> agents = Locked([](const TRun& run) { return run.World().CopyAgents(); });
  // A copy: the array's own memory.
  py::array array(py::dtype::from_args(layout), {static_cast<py::ssize_t>(agents.size())},
                  {static_cast<py::ssize_t>(sizeof(TAgent))});
  if (!agents.empty()) std::memcpy(array.mutable_data(), agents.data(), agents.size() * sizeof(TAgent));
  return ReadOnly(array);
}

py::dict TPyWorld::Measure() const {
  const AggregateMeasures measures = Locked([](const TRun& run) { return run.Measures(); });
  const tools::TMeasureValues values = tools::MeasureValues(measures);
  const std::vector<std::string> names = TextColumns(tools::MeasureColumns);
  py::dict out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    out[py::str(names[i])] = std::isnan(values[i]) ? py::object(py::none())
                                                    : py::object(py::float_(values[i]));
  }
  // Counts, which are never absent, as whole numbers.
  out["aggregates"] = measures.Aggregates;
  out["largest"] = measures.Largest;
  out["wraps"] = measures.LargestWraps;
  return out;
}

py::object TPyWorld::MeasuresSeries() const {
  struct TColumns {
    std::vector<std::int32_t> Steps;
    std::vector<std::vector<double>> Values;
  };
  const TColumns columns = Locked([](const TRun& run) {
    TColumns kept{{}, std::vector<std::vector<double>>(TMeasureValues().size())};
    run.MeasuresSeries().ForEach([&kept](std::int32_t step, const TMeasureValues& values) {
      kept.Steps.push_back(step);
      for (std::size_t c = 0; c < values.size(); ++c) kept.Values[c].push_back(values[c]);
    });
    return kept;
  });
  const auto rows = static_cast<py::ssize_t>(columns.Steps.size());
  py::dict frame;
  frame["step"] = py::array_t<std::int32_t>(rows, columns.Steps.data());
  const std::vector<std::string> names = TextColumns(tools::MeasureColumns);
  for (std::size_t c = 0; c < names.size(); ++c) {
    frame[py::str(names[c])] = py::array_t<double>(rows, columns.Values[c].data());
  }
  return py::module_::import("pandas").attr("DataFrame")(frame);
}

py::tuple TPyWorld::Frame() const {
  struct TFrame {
    std::int32_t Steps, Free, Aggregated;
    bool Ended;
    TCanvas Picture;
    std::vector<std::int32_t> OutlineSteps, OutlineValues, ChangeSteps;
    std::vector<double> ChangeValues;
  };
  TFrame frame = Locked([](const TRun& run) {
    const TWorld& world = run.World();
    TFrame kept{run.Steps(), run.FreeAgents(), world.AggregatedCells(), run.Ended(),
                TCanvas(world.DrawingWidth(), world.DrawingHeight()), {}, {}, {}, {}};
    Render(world, kept.Picture);
    run.Series().ForEachOutlinePoint([&kept](std::int32_t step, std::int32_t value) {
      kept.OutlineSteps.push_back(step);
      kept.OutlineValues.push_back(value);
    });
    run.MeasuresSeries().ForEachChange([&kept](std::int32_t step, const TMeasureValues& values) {
      kept.ChangeSteps.push_back(step);
      kept.ChangeValues.insert(kept.ChangeValues.end(), values.begin(), values.end());
    });
    return kept;
  });
  std::string png;
  {
    py::gil_scoped_release released;
    png = tools::CanvasPng(frame.Picture);
  }
  const auto array = [](const auto& values) {
    using Value = typename std::decay_t<decltype(values)>::value_type;
    return py::array_t<Value>(static_cast<py::ssize_t>(values.size()), values.data());
  };
  const auto columns = static_cast<py::ssize_t>(TMeasureValues().size());
  const py::array_t<double> changeValues({static_cast<py::ssize_t>(frame.ChangeSteps.size()), columns},
                                         frame.ChangeValues.data());
  return py::make_tuple(frame.Steps, frame.Free, frame.Aggregated, frame.Ended, py::bytes(png),
                        py::make_tuple(array(frame.OutlineSteps), array(frame.OutlineValues)),
                        py::make_tuple(array(frame.ChangeSteps), changeValues));
}

py::object TPyWorld::Sizes() const {
  const AggregateMeasures measures = Locked([](const TRun& run) { return run.Measures(); });
  const auto rows = static_cast<py::ssize_t>(measures.Sizes.size());
  py::array_t<std::int32_t> size(rows);
  py::array_t<std::int32_t> count(rows);
  for (py::ssize_t i = 0; i < rows; ++i) {
    size.mutable_at(i) = measures.Sizes[static_cast<std::size_t>(i)].Size;
    count.mutable_at(i) = measures.Sizes[static_cast<std::size_t>(i)].Count;
  }
  const std::vector<std::string> names = TextColumns(tools::SizeColumns);
  py::dict columns;
  columns[py::str(names.at(0))] = size;
  columns[py::str(names.at(1))] = count;
  return py::module_::import("pandas").attr("DataFrame")(columns);
}

}  // namespace dla::python
