// What the commands say on standard error when something goes wrong.
#pragma once

#include <string_view>

namespace dla::tools {

// Prints "<program>: <message>" as one line on standard error, with the
// message's non-printable bytes escaped (PrintableText): a value from the
// command line can neither break the line nor reach the terminal as a
// control sequence.
void PrintError(std::string_view program, std::string_view message);

// Flushes standard output; when that fails (a full disk, a closed pipe),
// says so with PrintError and returns false, so that the command exits 1
// rather than report success for output that was lost.
bool FlushStandardOutput(std::string_view program);

// The exit status of a command refused before its run, having said why in
// one line: 2 for bad input, or 128 + the signal when an interrupt came
// first (then the refusal was only its echo).
int RefusedBeforeTheRun(std::string_view program, std::string_view message);

}  // namespace dla::tools
