// The command-line options of dla-batch, its sweep and dla-model: CLI11
// apps that share one set of rules, so that the three programs read, refuse
// and document their options alike.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DrawingSize.h"
#include "IntegerText.h"
#include "RunDefaults.h"

namespace dla::tools {

// Gives app the shared rules; call before declaring its options and
// subcommands (which inherit them). "--help" (no "-h") asks for the help,
// generated from the declarations: the usage, the app's description, each
// option with its type name and description, the subcommands, the footer.
// "--version" (the app itself, not its subcommands) asks for one line,
// "NAME VERSION" with the app's name and dla::Version.
void ConfigureOptions(CLI::App& app);

using dla::DecimalValue;

// The run's ranges (RunDefaults.h), which every front end checks alike.
using dla::AgentsRange;
using dla::JobsRange;
using dla::RunsRange;
using dla::SeedRange;
using dla::StepsRange;
using dla::ThresholdValueRange;
using dla::TWholeRange;

// A whole number from min to max in plain decimal digits (DecimalValue):
// no sign, blank, "0x" or exponent, all of which CLI11's own conversion
// would take (it also reads "010" as octal). Use with transform(): it hands
// CLI11 the number's decimal form. Refuses with "expected a whole number
// from MIN to MAX, got 'TEXT'".
CLI::Validator WholeNumber(std::int64_t min, std::int64_t max);
inline CLI::Validator WholeNumber(TWholeRange range) { return WholeNumber(range.Min, range.Max); }

// A text that the window's threshold edit accepts (ThresholdFromText).
// With transform() the option receives the threshold's value, 0 to 65535;
// with check() the text as it is.
CLI::Validator ThresholdText();

// Parses args (those after the program's name) into the options bound on
// app and its subcommands. CLI11 refuses unknown options, stray arguments,
// a second copy of an option and bad values; these rules are added, so
// that a slip in a script is refused rather than read some other way:
// - the values of "--name" are the arguments after it, and none of them
//   may start with "--" (a forgotten value) unless given as
//   "--name=--value"; single-dash values such as "-1" are values;
// - "--name=VALUE" only for an option of one value; "--name=" is an empty
//   value; a flag takes no value, not even "=true";
// - "--" ends nothing (it is refused), and a subcommand comes first.
// An app that allows extras (dla-model leaves them to Qt) still refuses an
// unknown "--" option. Returns the text to print instead of running: the
// help when --help was given (of the subcommand it was given to), the
// version line when --version was; else an empty string. Throws
// EUsageError, a one-line message that names the option.
std::string ParseOptions(CLI::App& app, const std::vector<std::string>& args);

}  // namespace dla::tools
