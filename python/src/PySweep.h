// The sweep for Python: dla-batch sweep's options in, its rows out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dla::python {

struct TSweepRows {
  // The seed of each combination's first run: --seed, or the clock's.
  std::uint32_t Seed = 0;
  // Runs in this share (the whole sweep without --shard).
  std::uint64_t Runs = 0;
  // The rows exactly as dla-batch sweep prints them, header first; empty
  // from CheckSweep.
  std::string Text;
};

// Reads dla-batch sweep's options (for example "--agents=1000,2000",
// "--threshold=3..8", "--runs=10", "--seed=1", "--jobs=2", "--shard=1/4")
// with the same code, so a value it refuses throws tools::EUsageError with
// its words; the output files (--series, the plots) are not for this.
// Returns the base seed (the clock's when none is given) and the number of
// runs, running none.
TSweepRows CheckSweep(const std::vector<std::string>& options);

// Runs the sweep on --jobs threads (default: every usable core), as
// dla-batch sweep runs it. Called with the interpreter's lock held; it is
// released while the runs go on and taken about every 100 ms to look for a
// Ctrl-C, which stops the runs and is raised as KeyboardInterrupt.
TSweepRows SweepRows(const std::vector<std::string>& options);

}  // namespace dla::python
