// The world that Python scripts step: one batch run, made exactly as
// dla-batch makes it, stepped a few steps at a time, with the free agents of
// every step kept. All its methods run with the interpreter's lock held, so
// two Python threads never step or read one world at the same time.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BatchRun.h"

namespace dla::python {

class TPyWorld {
 public:
  // options: dla-batch's own (for example "--agents=2000", "--threshold=6",
  // "--size=404x404", "--seed=1"), read by the same code. Throws
  // tools::EUsageError with dla-batch's words for a value it refuses.
  explicit TPyWorld(const std::vector<std::string>& options);
  // The world saved at path (a checkpoint file, docs/checkpoints.md, as
  // dla-batch --save-state and the window write it), carrying on exactly
  // as the saved one would have, with its saved threshold; its series
  // starts after the saved step. Throws tools::EUsageError with the words
  // of dla-batch --load-state for a file it refuses.
  static std::unique_ptr<TPyWorld> Load(const std::string& path);

  // Saves the world as it is now, with the threshold as given, to path,
  // whole or not at all, as dla-batch --save-state does. Throws
  // tools::EUsageError with its words for a path that cannot be written,
  // std::runtime_error for a write that fails.
  void Save(const std::string& path) const;

  // Makes n more steps (n >= 0; past the run's end too, every agent then
  // stuck). Returns the free agents of the last step made; none before the
  // first step. A Ctrl-C is looked for every 4096 steps and raised as
  // KeyboardInterrupt, the steps made so far kept.
  std::optional<std::int32_t> Step(std::int64_t n);
  // Steps until the run has ended or StepCount reaches the --steps value in
  // stepsText (read as dla-batch reads it); returns whether it has ended.
  // Ctrl-C as for Step.
  bool RunTo(const std::string& stepsText);

  std::int32_t StepCount() const noexcept { return run_->Steps(); }
  std::int32_t FreeAgents() const noexcept { return run_->FreeAgents(); }
  bool Ended() const noexcept { return run_->Ended(); }
  std::uint32_t Seed() const noexcept { return run_->Seed(); }
  std::uint16_t Threshold() const noexcept { return threshold_; }
  const TWorld& World() const noexcept { return run_->World(); }

  // The free agents of every step from step 1 (from the step after the
  // saved one for a loaded world): a copy.
  pybind11::array_t<std::int32_t> Series() const;
  // (height, width, 3) RGB bytes: the pixels of dla-batch --picture.
  pybind11::array_t<std::uint8_t> Picture();
  // Read-only views of the world's memory that follow its steps; `owner`
  // is the Python object holding this world, kept alive by every view.
  // Shades and States: (rows, columns). Agents: one record per agent in
  // list order, fields x, y, heading, moving (int32).
  pybind11::array Shades(const pybind11::object& owner) const;
  pybind11::array States(const pybind11::object& owner) const;
  pybind11::array Agents(const pybind11::object& owner) const;
  // The --measure values: a dict of MeasureColumns' names (absent values
  // None, the gyration of a largest aggregate that wraps None) and "wraps".
  pybind11::dict Measure() const;
  // The --sizes rows as a pandas DataFrame with the columns SizeColumns.
  pybind11::object Sizes() const;

  // The world brings its agents and States up to date only when they are
  // read; once a view of them is out, they are read after every call that
  // steps, so that the views show the world as it is.
  void KeepViewsCurrent() const;

 private:
  TPyWorld(std::unique_ptr<tools::TBatchRun> run, std::uint16_t threshold,
           std::string thresholdText);
  // Runs one step and keeps its free agents.
  std::int32_t StepOnce();

  std::unique_ptr<tools::TBatchRun> run_;
  std::uint16_t threshold_;
  // The threshold as given, which a saved world keeps.
  std::string thresholdText_;
  std::vector<std::int32_t> series_;
  // Render's pixels, kept between pictures.
  std::vector<std::uint32_t> pixels_;
  mutable bool viewsOut_ = false;
};

}  // namespace dla::python
