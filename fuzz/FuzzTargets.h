// The entry points of the fuzzing harnesses: each takes one input of
// arbitrary bytes, hands it to a reader of outside data exactly as the
// programs do, and checks what the reader promises. libFuzzer calls them
// from FuzzerMain.cpp; the ordinary test suite replays the committed corpus
// through the same functions, without libFuzzer.
//
// Each returns whether the reader accepted the input. A refusal of the
// documented kind (its exception type, one line) returns false; a broken
// promise throws EFuzzFinding, and any other exception is left to escape:
// both are findings. No entry point writes a file, reads one, or runs for
// long: the limits are stated at each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dla::fuzz {

// A reader broke a promise it makes (the message says which).
class EFuzzFinding : public std::logic_error {
 public:
  explicit EFuzzFinding(const std::string& what) : std::logic_error(what) {}
};

// A checkpoint file's bytes, read as TRun::Decode reads them (the path of
// --load-state, "Open world..." and dla.World.load). A file it accepts must
// save back to the same bytes, draw, measure, take up to four steps and
// save again to a file that reads back. Outside the fuzzing build, whose
// reader ignores the checksum, the checksum is written into a file whose
// length field is right first, so that a corpus file reaches the same
// fields in both builds.
bool FuzzCheckpoint(const std::uint8_t* data, std::size_t size);

// A threshold text, read by StrToInt and ThresholdFromText and set on a
// run (the window's edit, --threshold, the page's threshold=).
bool FuzzThresholdText(const std::uint8_t* data, std::size_t size);

// dla-batch's command line: the input split into arguments at every NUL or
// newline byte, parsed as TBatchOptions::Parse parses main's. Inputs over
// MaxCommandLineBytes are refused unread, which bounds what parsing can
// allocate (CLI11 and the value lists keep a few copies of the arguments).
// A command line it accepts is made, without any file, only while small:
// a single run without --load-state is stepped at most MaxFuzzSteps steps
// if it has at most MaxFuzzAgents agents on at most MaxFuzzPixels pixels;
// a sweep's plan is listed up to MaxListedRuns runs, and run through the
// sweep's runner (one thread, at most MaxFuzzSteps steps) only if it holds
// at most MaxFuzzSweepRuns runs within the same limits.
inline constexpr std::size_t MaxCommandLineBytes = 4096;
inline constexpr std::int32_t MaxFuzzSteps = 20;
inline constexpr std::int32_t MaxFuzzAgents = 300;
inline constexpr std::int64_t MaxFuzzPixels = 100 * 100;
inline constexpr std::uint64_t MaxListedRuns = 1000;
inline constexpr std::uint64_t MaxFuzzSweepRuns = 3;
bool FuzzBatchOptions(const std::uint8_t* data, std::size_t size);

// The sweep's value texts: the first byte picks the reader (its value
// modulo 5: --agents' list, --threshold's list, a list from 0 to 40, --size,
// --shard), the rest is the text.
bool FuzzSweepValues(const std::uint8_t* data, std::size_t size);

// The page's address query, read by TPageSetup::FromQuery.
bool FuzzPageQuery(const std::uint8_t* data, std::size_t size);

}  // namespace dla::fuzz
