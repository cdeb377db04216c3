// libFuzzer's entry, one harness per build of this file: DLA_FUZZ_TARGET
// names the entry point of FuzzTargets.h. A finding is reported, then the
// process aborts, which libFuzzer records as a crash with its input.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    dla::fuzz::DLA_FUZZ_TARGET(data, size);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "finding: %s\n", error.what());
    std::abort();
  }
  return 0;
}
