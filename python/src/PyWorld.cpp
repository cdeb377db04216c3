#include "PyWorld.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>
#include <type_traits>

#include "AggregateMeasures.h"
#include "BatchOptions.h"
#include "IntegerText.h"
#include "MeasureText.h"
#include "OutputFile.h"
#include "Render.h"
#include "StateFile.h"
#include "TextColumns.h"

namespace py = pybind11;

namespace dla::python {
namespace {

tools::TBatchOptions ParseBatchOptions(const std::vector<std::string>& options) {
  return tools::TBatchOptions::Parse(options);
}

// How often a long stretch of steps looks for a Ctrl-C: rarely enough to
// cost nothing, often enough to answer within a few milliseconds.
constexpr std::int64_t InterruptPoll = 4096;

void RaiseIfInterrupted() {
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

// A read-only array over memory that `owner` keeps.
py::array ReadOnly(py::array array) {
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

}  // namespace

TPyWorld::TPyWorld(const std::vector<std::string>& options) {
  const tools::TBatchOptions parsed = ParseBatchOptions(options);
  run_ = std::make_unique<tools::TBatchRun>(parsed.Run);
  threshold_ = parsed.Run.Threshold;
  thresholdText_ = parsed.ThresholdText;
}

TPyWorld::TPyWorld(std::unique_ptr<tools::TBatchRun> run, std::uint16_t threshold,
                   std::string thresholdText)
    : run_(std::move(run)), threshold_(threshold), thresholdText_(std::move(thresholdText)) {}

std::unique_ptr<TPyWorld> TPyWorld::Load(const std::string& path) {
  const TCheckpoint saved = tools::LoadStateFile(path);
  tools::TRunSettings settings;
  // Decode has taken the text, so it converts.
  settings.Threshold = ThresholdFromText(saved.ThresholdText);
  settings.MaxSteps = std::numeric_limits<std::int32_t>::max();
  return std::unique_ptr<TPyWorld>(new TPyWorld(tools::ResumedRun(settings, saved, path),
                                                settings.Threshold, saved.ThresholdText));
}

void TPyWorld::Save(const std::string& path) const {
  tools::TOutputFile file(path, "save-state");
  file.Write(TCheckpoint{run_->World().State(), thresholdText_}.Encode());
  file.Commit();
}

std::int32_t TPyWorld::StepOnce() {
  const StepResult result = run_->Step();
  series_.push_back(result.FreeAgents);
  return result.FreeAgents;
}

void TPyWorld::KeepViewsCurrent() const {
  if (!viewsOut_) return;
  run_->World().Agents();
  run_->World().States();
}

namespace {

// Calls KeepViewsCurrent when a stepping call ends, also by an exception.
struct TViewsKept {
  const TPyWorld& world;
  ~TViewsKept() { world.KeepViewsCurrent(); }
};

}  // namespace

std::optional<std::int32_t> TPyWorld::Step(std::int64_t n) {
  if (n < 0) throw py::value_error("step: n must be 0 or more, got " + std::to_string(n));
  const TViewsKept kept{*this};
  for (std::int64_t i = 0; i < n; ++i) {
    if (i > 0 && i % InterruptPoll == 0) RaiseIfInterrupted();
    StepOnce();
  }
  if (series_.empty()) return std::nullopt;
  return series_.back();
}

bool TPyWorld::RunTo(const std::string& stepsText) {
  const std::int32_t maxSteps = ParseBatchOptions({"--steps=" + stepsText}).Run.MaxSteps;
  std::int64_t made = 0;
  std::atomic<bool> stop{false};
  const TViewsKept kept{*this};
  run_->RunTo(
      maxSteps,
      [&](const StepResult& result) {
        series_.push_back(result.FreeAgents);
        // Leaves the KeyboardInterrupt set for the raise below.
        if (++made % InterruptPoll == 0 && PyErr_CheckSignals() != 0) stop = true;
      },
      &stop);
  if (stop) throw py::error_already_set();
  return run_->Ended();
}

py::array_t<std::int32_t> TPyWorld::Series() const {
  return py::array_t<std::int32_t>(static_cast<py::ssize_t>(series_.size()), series_.data());
}

py::array_t<std::uint8_t> TPyWorld::Picture() {
  const TWorld& world = run_->World();
  const std::size_t width = static_cast<std::size_t>(world.DrawingWidth());
  const std::size_t height = static_cast<std::size_t>(world.DrawingHeight());
  pixels_.resize(width * height);
  Render(world, pixels_.data(), static_cast<std::ptrdiff_t>(width), PixelOrder::Rgba8888);
  py::array_t<std::uint8_t> picture({height, width, std::size_t{3}});
  std::uint8_t* out = picture.mutable_data();
  for (const std::uint32_t pixel : pixels_) {
    // 0xFFBBGGRR
    out[0] = static_cast<std::uint8_t>(pixel);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel >> 16);
    out += 3;
  }
  return picture;
}

py::array TPyWorld::Shades(const py::object& owner) const {
  const TWorld& world = run_->World();
  return ReadOnly(py::array_t<std::uint8_t>({world.GridRows(), world.GridColumns()},
                                            world.Shades(), owner));
}

py::array TPyWorld::States(const py::object& owner) const {
  viewsOut_ = true;
  const TWorld& world = run_->World();
  return ReadOnly(py::array_t<std::int32_t>({world.GridRows(), world.GridColumns()},
                                            world.States(), owner));
}

py::array TPyWorld::Agents(const py::object& owner) const {
  static_assert(std::is_standard_layout_v<TAgent>);
  py::dict layout;
  layout["names"] = py::make_tuple("x", "y", "heading", "moving");
  layout["formats"] = py::make_tuple("<i4", "<i4", "<i4", "<i4");
  layout["offsets"] = py::make_tuple(offsetof(TAgent, X), offsetof(TAgent, Y),
                                   offsetof(TAgent, Heading), offsetof(TAgent, Moving));
  layout["itemsize"] = sizeof(TAgent);
  viewsOut_ = true;
  const std::vector<TAgent>& agents = run_->World().Agents();
  return ReadOnly(py::array(py::dtype::from_args(layout),
                            {static_cast<py::ssize_t>(agents.size())},
                            {static_cast<py::ssize_t>(sizeof(TAgent))}, agents.data(), owner));
}

py::dict TPyWorld::Measure() const {
  const AggregateMeasures measures = MeasureAggregates(run_->World());
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

py::object TPyWorld::Sizes() const {
  const AggregateMeasures measures = MeasureAggregates(run_->World());
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
