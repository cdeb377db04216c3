// The sweep for Python: dla-batch sweep's runs, from Python's values checked
// by the rules dla-batch checks its options by, and its rows as columns of
// full-precision numbers.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace dla::python {

struct TSweepArguments {
  // Lists as dla-batch takes them ("1000,2000", "3..8").
  std::string Agents;
  std::string Thresholds;
  pybind11::int_ Runs;
  // An int, or None for the clock's.
  pybind11::object Seed;
  pybind11::int_ Steps;
  // "WxH".
  std::string Size;
  // An int, or None for every usable core.
  pybind11::object Jobs;
  // "I/N", or None for the whole sweep.
  pybind11::object Shard;
  // Paths, or None: where an interrupted sweep keeps its rows, and the
  // partial file it resumes (TPartialSweep).
  pybind11::object Partial;
  pybind11::object Resume;
};

// Checks every value (a ValueError in Python's words for one that dla-batch
// sweep refuses) and returns (the base seed, the number of runs in this
// share), running none.
pybind11::tuple CheckSweep(const TSweepArguments& arguments);

// Runs the sweep on Jobs threads, as dla-batch sweep runs it, with the
// interpreter's lock released; a Ctrl-C is looked for about every 100 ms,
// stops the runs and is raised as KeyboardInterrupt. Returns (the base
// seed, a dict of columns named as dla-batch sweep's header: int64 arrays,
// then the measures as float64, NaN where absent). With Resume, only the
// runs after the partial file's rows are made (its seed when Seed is None);
// with Partial, a sweep that is interrupted or fails first writes the rows
// of its finished runs there, as dla-batch sweep --partial does (a ValueError
// from the KeyboardInterrupt when that cannot be written).
pybind11::tuple Sweep(const TSweepArguments& arguments);

}  // namespace dla::python
