// The world that Python scripts step: one run (TRun), as every front end
// holds it, with the lock that lets one Python thread step it while others
// read it. Stepping releases the interpreter's lock, so other threads (a
// notebook's among them) go on meanwhile; every read copies under the
// world's own lock, so a read never sees memory that a step is changing.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "TRun.h"

namespace dla::python {

class TPyWorld {
 public:
  // A new run. The values are checked as dla-batch checks its options
  // (ranges from the defaults table, the threshold read as the window reads
  // it, the one rule for drawing areas); a refusal is a ValueError that
  // names the argument as Python calls it.
  // size: "WxH"; seed: an int or None (the clock at every setup); threads:
  // ThreadsRange (TRun::TSettings::Threads).
  TPyWorld(const pybind11::int_& agents, const std::string& thresholdText, const std::string& size,
           const pybind11::object& seed, const pybind11::int_& threads);
  // The run saved at path, its step shared among `threads`; a refusal is a
  // ValueError with the words of TRun::Load.
  static TPyWorld Load(const std::string& path, const pybind11::int_& threads);
  // A run from the state that Pickle gave.
  static TPyWorld Unpickle(const pybind11::tuple& state);
  TPyWorld(const TPyWorld& other);

  // Saves the run to path, whole or not at all; ValueError for a path that
  // cannot be written or a write that fails.
  void Save(const std::string& path) const;
  // (checkpoint bytes, the series' first step and values, the fixed seed or
  // None, the measures' first step, their count, the steps at which they
  // changed and the values from each): a whole copy of the run.
  pybind11::tuple Pickle() const;

  // Makes n more steps (n >= 0; past the run's end too, every agent then
  // stuck) with the interpreter's lock released. Returns the free agents
  // of the last step made; none before the first step. A Ctrl-C is looked
  // for at least every 20 ms or so and raised as KeyboardInterrupt, the
  // steps made so far kept.
  std::optional<std::int32_t> Step(std::int64_t n);
  // At most `steps` more steps (0 to 2^31 - 1, ValueError otherwise, in
  // the words of max_steps), ending with the run's end; returns whether it
  // has ended. Ctrl-C as for Step.
  bool Run(const pybind11::int_& steps);
  // For a thread of a live view: steps until the run ends or until Hold()
  // is called from any thread, with the interpreter's lock released the
  // whole time (a return to Python between stretches of steps would make
  // the steps wait for whichever thread holds it); readers still get the
  // world between stretches of about 20 ms. Returns whether the run has
  // ended. A Hold() made while nothing plays ends the next Play() at once.
  // No Ctrl-C is looked for: the caller's thread is not the main one.
  bool Play();
  void Hold();

  // The window's "new Setup": the series emptied, step 0, `agents` new
  // agents (checked as World's agents are), every cell open, placed from
  // the fixed seed or a new clock reading; the threshold and the drawing
  // area stay.
  void NewSetup(const pybind11::int_& agents);

  // Copies, read under the world's lock.
  std::int32_t StepCount() const;
  std::int32_t FreeAgents() const;
  std::int32_t AggregatedCells() const;
  bool Ended() const;
  std::uint32_t Seed() const;
  int Threads() const;
  std::string ThresholdText() const;
  // The threshold in effect, 0 to 65535.
  std::uint16_t Threshold() const;
  // A text read as the window reads its edit, or an int taken as its
  // decimal text; ValueError for a text that is no integer.
  void SetThreshold(const std::string& text);
  pybind11::tuple Size() const;
  // The free agents of every step of the run's series (from step 1, or the
  // step after the saved one): int32.
  pybind11::array_t<std::int32_t> Series() const;
  // (height, width, 3) RGB bytes: the pixels of dla-batch --picture.
  pybind11::array_t<std::uint8_t> Picture() const;
  // Read-only copies: Shades and States (rows, columns); Agents one record
  // per agent in list order, fields x, y, heading, moving (int32).
  pybind11::array Shades() const;
  pybind11::array States() const;
  pybind11::array Agents() const;
  // The --measure values: a dict of MeasureColumns' names (absent values
  // None, the gyration of a largest aggregate that wraps None) and "wraps".
  pybind11::dict Measure() const;
  // The --sizes rows as a pandas DataFrame with the columns SizeColumns.
  pybind11::object Sizes() const;
  // The --measures-series rows as a pandas DataFrame: step, then
  // MeasureColumns as float64 (NaN where the CSV is empty).
  pybind11::object MeasuresSeries() const;
  // What a live view shows, all of one moment between two steps: (step
  // count, free agents, aggregated cells, ended, the picture as the PNG
  // bytes of dla-batch --picture, the free agents' outline as (steps,
  // values) int32 arrays, the measures where they changed as (steps int32,
  // values float64 (changes, MeasureColumns))). The outline is the series'
  // bounded one (TFreeAgentsSeries::ForEachOutlinePoint, at most twice
  // RunDefaults.OutlineBuckets points), so a frame of any run costs the
  // same. The picture is encoded with the world unlocked, the interpreter's
  // lock released.
  pybind11::tuple Frame() const;

 private:
  explicit TPyWorld(TRun run);
  // fn(run) under the world's lock, taken with the interpreter's lock
  // released: a thread that holds one lock never waits for the other, so
  // a step and a read can never wait for each other for ever. fn must not
  // touch Python; what it returns comes back.
  template <typename Fn>
  auto Locked(Fn&& fn) const {
    pybind11::gil_scoped_release released;
    const std::unique_lock lock = ReaderLock();
    return fn(run_);
  }
  template <typename Fn>
  auto Locked(Fn&& fn) {
    pybind11::gil_scoped_release released;
    const std::unique_lock lock = ReaderLock();
    return fn(run_);
  }
  // The world's lock for one read. A mutex hands itself to whoever asks
  // first once it is free, and a stepping thread asks again at once, so a
  // reader that only waited could wait for the whole run: the reader says
  // that it waits, and stepping lets it in before its next stretch.
  std::unique_lock<std::mutex> ReaderLock() const;
  // At most `steps` steps (until the run's end too where untilEnd), in
  // stretches of about 20 ms with the interpreter's lock released, looking
  // for a Ctrl-C between them.
  void StepFor(std::int64_t steps, bool untilEnd);
  // One stretch of StepFor, the interpreter's lock released by the caller:
  // steps until `made` reaches `steps`, the run ends (where untilEnd) or
  // its last step, about 20 ms pass, or held (if given) is set. between:
  // steps between two looks at the clock, kept from stretch to stretch.
  // Returns whether the run can make no more steps.
  bool StepStretch(std::int64_t& made, std::int64_t steps, bool untilEnd, std::int64_t& between,
                   const std::atomic<bool>* held);

  mutable std::mutex mutex_;
  // Readers between asking for the world's lock and holding it.
  mutable std::atomic<int> readersWaiting_{0};
  // Set by Hold(), taken back by the Play() it ends.
  std::atomic<bool> held_{false};
  TRun run_;
};

}  // namespace dla::python
