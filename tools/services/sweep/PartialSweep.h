// The rows of a sweep that did not finish, kept in a file so that a later
// sweep can make only the runs that are missing: dla-batch sweep's
// --partial and --resume, the Python module's partial= and resume=.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "CsvWriter.h"
#include "DrawingSize.h"
#include "RunRecord.h"
#include "SweepPlan.h"

namespace dla::tools {

// The file, in text lines that end with '\n':
//
//   # partial sweep, K of N rows, check C: dla-batch sweep --agents A
//     --threshold T --runs R --seed S --steps M --size WxH --shard I/N
//   agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents,aggregates,...
//   K rows: runs 0 .. K-1 of the sweep (of its share), in its order
//
// The first line is one line (broken above to fit). It names the sweep, every
// value that decides its rows, in the form a command line takes: the lists as
// TValueList::Text records them, S the seed of each combination's first run
// (the clock's when none was given), I/N = 1/1 for a whole sweep. N is the
// number of runs (of the share). C is the 64-bit FNV-1a hash, as 16
// lowercase hexadecimal digits, of the bytes after "C: " up to the end of the
// file, so that an edited name or row is found. The rows are the rows of
// standard output, except that the measures that are not whole numbers are
// written in the shortest form that reads back as the same double: a resume
// gives the whole sweep's summary and plots to the last bit.
class TPartialSweep {
 public:
  // What a refusal calls the values of the first line, in its order:
  // dla-batch's options, or the Python module's arguments.
  using TNames = std::array<std::string_view, 7>;
  static constexpr TNames OptionNames{"--agents", "--threshold", "--runs", "--seed",
                                      "--steps",  "--size",      "--shard"};

  // Writes the partial file of the sweep of plan, maxSteps and size that
  // holds the rows of its first `rows` runs (at most plan.Count()), record(i)
  // being run i's. Goes over the records twice (the check comes first).
  // Throws what the sink throws.
  static void Write(const TCsvWriter::Sink& sink, const TSweepPlan& plan, std::int32_t maxSteps,
                    TDrawingSize size, std::uint64_t rows,
                    const std::function<TRunRecord(std::uint64_t)>& record);

  // Reads a partial file, which must be whole and intact, in bounded pieces
  // (never a line longer than a partial file can hold). Throws EUsageError,
  // "<name>: cannot read '<path>': <reason>", "<name>: '<path>' is not a
  // partial sweep file" or "<name>: '<path>' is damaged: <how>"; also when an
  // interrupt (TInterruptGuard) cuts the reading short.
  static TPartialSweep Read(const std::string& path, std::string_view name);

  // The seed of each combination's first run in the sweep that wrote it: a
  // resume given no seed takes this one.
  std::uint32_t Seed() const noexcept { return seed_; }
  std::uint64_t Rows() const noexcept { return records_.size(); }

  // Hands over the rows, runs 0 .. Rows() - 1 of plan, once it is sure that
  // the file was written by the sweep of plan, maxSteps and size. Throws
  // EUsageError, "<name>: '<path>' is the partial file of another sweep:
  // <names[i]> <value there> there, <value here> here" for the first value
  // that differs.
  std::vector<TRunRecord> TakeRecords(const TSweepPlan& plan, std::int32_t maxSteps,
                                      TDrawingSize size, const TNames& names);

 private:
  // The values of the first line as it writes them.
  using TValues = std::array<std::string, 7>;
  static TValues ValuesOf(const TSweepPlan& plan, std::int32_t maxSteps, TDrawingSize size);

  struct TRow {
    std::int32_t Agents = 0;
    std::uint16_t Threshold = 0;
  };

  std::string path_;
  std::string name_;
  TValues values_;
  std::uint32_t seed_ = 0;
  // The runs of the sweep it names, as its first line says.
  std::uint64_t total_ = 0;
  std::vector<TRow> rows_;
  std::vector<TRunRecord> records_;
};

}  // namespace dla::tools
