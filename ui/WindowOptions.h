// The program's command line: the setup the window starts on.
//
//   dla-model [--seed S] [--agents N] [--threshold T]
//
// so that a run seen in the window can be repeated with dla-batch and the
// other way round. Read before the application object exists, so that a bad
// value ends the program before it needs a display.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stdexcept>

class TWindowOptions {
 public:
  // A command line that cannot be used; what() is one line naming the
  // option and the text.
  class EBadOption : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  // --seed: 0 to 4294967295, plain decimal digits. Every setup of the
  // window, the first and each "new Setup", places its agents from this
  // seed; without it each setup seeds from the clock.
  std::optional<std::uint32_t> Seed;
  // --agents: 1 to 10000 (the spin control's range), plain decimal digits;
  // the first setup's population, written into the agents edit.
  std::optional<int> Agents;
  // --threshold: any text the threshold edit accepts at a step (leading
  // blanks, a sign, decimal or $/x/0x hexadecimal), put into the edit as it
  // is.
  std::optional<QString> Threshold;
  bool Help = false;

  // The arguments after the program's name, each option followed by its
  // value as a separate argument or joined with "=". Arguments that do not
  // start with "--" are left to Qt (-platform, -style and their values).
  // Throws EBadOption for an unknown "--" option, a missing value, a bad
  // value or an option given twice.
  static TWindowOptions Parse(const QStringList& arguments);

  static QString Usage();
};
