// The standard streams: a process started with one of them closed (`>&-`),
// and standard output written past stdio.
#pragma once

#include "CsvWriter.h"

namespace dla::tools {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens later takes their number and receives what was
// meant for standard output or error. Call first thing in main(). Returns
// false if one of them could not be opened (the program should then stop).
bool OpenClosedStandardStreams() noexcept;

// A sink that writes to standard output, and gives up when an interrupt
// (TInterruptGuard) comes, even in a write blocked on a full pipe; throws
// std::runtime_error with the system's reason.
TCsvWriter::Sink StandardOutputSink();

}  // namespace dla::tools
