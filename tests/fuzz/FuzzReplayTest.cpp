// Every committed fuzzing input, seeds and regressions, through its
// harness's entry point: none may break a reader's promise or crash it, and
// each seed corpus still holds inputs that the reader accepts, so that the
// fuzzer starts past the refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "FuzzTargets.h"

namespace {

namespace fs = std::filesystem;

struct THarness {
  const char* Name;
  bool (*Entry)(const std::uint8_t*, std::size_t);
};

const THarness Harnesses[] = {
    {"checkpoint", dla::fuzz::FuzzCheckpoint},     {"threshold", dla::fuzz::FuzzThresholdText},
    {"batch_options", dla::fuzz::FuzzBatchOptions}, {"sweep_values", dla::fuzz::FuzzSweepValues},
    {"page_query", dla::fuzz::FuzzPageQuery},
};

void PrintTo(const THarness& harness, std::ostream* out) { *out << harness.Name; }

std::vector<fs::path> Inputs(const std::string& folder) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(DLA_FUZZ_DIR) / folder;
  if (fs::exists(dir)) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && entry.path().filename() != ".keep") files.push_back(entry.path());
    }
  }
  return files;
}

// Whether the entry accepted the input; a finding fails the test.
bool Replay(const THarness& harness, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    return harness.Entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  } catch (const std::exception& error) {
    ADD_FAILURE() << harness.Name << ": " << file.filename().string() << ": " << error.what();
    return false;
  }
}

class FuzzReplay : public ::testing::TestWithParam<THarness> {};

TEST_P(FuzzReplay, EveryCommittedInputKeepsTheReadersPromises) {
  const THarness& harness = GetParam();
  const std::vector<fs::path> seeds = Inputs(std::string("corpus/") + harness.Name);
  ASSERT_FALSE(seeds.empty()) << harness.Name;
  int accepted = 0;
  for (const fs::path& file : seeds) accepted += Replay(harness, file);
  EXPECT_GT(accepted, 0) << harness.Name << ": the reader refuses every seed";
  EXPECT_LT(accepted, static_cast<int>(seeds.size())) << harness.Name << ": no seed is refused";
  for (const fs::path& file : Inputs(std::string("regressions/") + harness.Name)) Replay(harness, file);
}

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzReplay, ::testing::ValuesIn(Harnesses),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
