// A process started with standard input, output or error closed (`>&-`).
#pragma once

namespace dla::tools {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens later takes their number and receives what was
// meant for standard output or error. Call first thing in main(). Returns
// false if one of them could not be opened (the program should then stop).
bool OpenClosedStandardStreams() noexcept;

}  // namespace dla::tools
