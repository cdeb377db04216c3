// What a run's memory comes to, said before any of it is taken: a world too
// big for the machine is refused with the bytes it needs, instead of being
// ended by the out-of-memory killer half-way through its setup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dla {

// Bytes that a run over a width x height drawing area (in pixels, at least
// 3x3) with `agents` agents may take at its peak, its picture (4 bytes a
// pixel, as every front end draws one) and its aggregates' measures kept
// cell by cell included: the sizes of its arrays with their growth room, a
// little more than a run is seen to take.
std::int64_t RunBytesNeeded(std::int64_t width, std::int64_t height, std::int64_t agents);

// Bytes this process may still take: the least of the machine's available
// memory, what its control group's limit leaves and what its address-space
// limit leaves; in a page, what the WebAssembly module's memory may still
// grow by. None where none of them can be read (off Linux).
std::optional<std::int64_t> AvailableBytes();

// Why a run that needs `needed` bytes cannot start where `available` are
// free ("a 16384x16384 drawing area with 100000000 agents needs about
// 11.4 GiB of memory (12291927616 bytes); 2.0 GiB is available"), or an
// empty text when it can (or when nothing is known of what is free).
std::string MemoryFault(std::int64_t width, std::int64_t height, std::int64_t agents,
                        std::optional<std::int64_t> available);

}  // namespace dla
