// The program's command line: the setup the window starts on.
//
//   dla-model [--seed S] [--agents N] [--threshold T] [--size WxH]
//
// so that a run seen in the window can be repeated with dla-batch and the
// other way round. Read before the application object exists, so that a bad
// value ends the program before it needs a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TWindowOptions {
  // --seed: 0 to 4294967295, plain decimal digits. Every setup of the
  // window, the first and each "new Setup", places its agents from this
  // seed; without it each setup seeds from the clock.
  std::optional<std::uint32_t> Seed;
  // --agents: 1 to 10000 (the spin control's range), plain decimal digits;
  // the first setup's population, written into the agents edit.
  std::optional<int> Agents;
  // --threshold: any text the threshold edit accepts at a step (leading
  // blanks, a sign, decimal or $/x/0x hexadecimal), put into the edit as it
  // is (local 8-bit text, as the command line gives it).
  std::optional<std::string> Threshold;
  // --size: the drawing area of every setup, in pixels, as dla-batch --size
  // takes it (default: the drawing panel's laid-out 404 x 404). A larger one
  // is shown fitted into the panel.
  std::optional<std::pair<int, int>> Size;
  // The help text when --help was given, the version line for --version:
  // printed instead of opening the window.
  std::string Help;

  // The arguments after the program's name, read by dla-batch's rules
  // (ParseOptions), except that arguments that are not "--" options are
  // left to Qt (-platform, -style and their values). Throws
  // dla::tools::EUsageError.
  static TWindowOptions Parse(const std::vector<std::string>& arguments);
};
