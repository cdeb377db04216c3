// dla-batch --save-state / --load-state as a program: a run split in two
// is the run made in one go, byte for byte; saved worlds that cannot be
// carried on are refused before anything is written.
#include <gtest/gtest.h>
#include <unistd.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <thread>

#include "TestNames.h"
#include "ToolProcess.h"

namespace dla::tools::test {
namespace {

struct TSplit {
  const char* Name;
  // Starting with --agents N.
  TArgs Settings;
  // The step after which the first part stops and saves; past the run's
  // end it runs to the end; negative: that many steps before the end
  // (-1: at the last step).
  int At;
  // --steps of the run made in one go; 0: to the end.
  int Steps = 0;
};

void PrintTo(const TSplit& c, std::ostream* os) { *os << c.Name; }

class CheckpointCliSplit : public ::testing::TestWithParam<TSplit> {};

// Every output of a run: the series, standard error (summary and measures)
// and the files.
struct TOutputs {
  TToolResult Result;
  std::string Picture, Measures, MeasuresSeries, Sizes;
};

// The lines of a CSV text after its header.
std::string Body(const std::string& csv) { return csv.substr(csv.find('\n') + 1); }

TOutputs RunWithOutputs(TArgs args) {
  const std::string dir = ScratchDir();
  args.insert(args.end(), {"--picture", dir + "/p.png", "--measure", "--measure-every", "3", "--measures",
                           dir + "/m.csv", "--measures-series", dir + "/ms.csv", "--sizes", dir + "/s.csv"});
  TOutputs outputs{RunTool(args), "", "", "", ""};
  EXPECT_EQ(outputs.Result.ExitCode, 0) << outputs.Result.Err;
  outputs.Picture = ReadFile(dir + "/p.png");
  outputs.Measures = ReadFile(dir + "/m.csv");
  outputs.MeasuresSeries = ReadFile(dir + "/ms.csv");
  outputs.Sizes = ReadFile(dir + "/s.csv");
  // Every step's row; those of every third step are --measures' rows.
  std::string third = outputs.MeasuresSeries.substr(0, outputs.MeasuresSeries.find('\n') + 1);
  const std::string body = Body(outputs.MeasuresSeries);
  for (std::size_t at = 0; at < body.size();) {
    const std::size_t end = body.find('\n', at) + 1;
    if (std::stoi(body.substr(at)) % 3 == 0) third += body.substr(at, end - at);
    at = end;
  }
  EXPECT_EQ(third, outputs.Measures);
  return outputs;
}

TEST_P(CheckpointCliSplit, GivesTheRunMadeInOneGo) {
  const TSplit& c = GetParam();
  TArgs whole = c.Settings;
  if (c.Steps > 0) whole.insert(whole.end(), {"--steps", std::to_string(c.Steps)});
  const TOutputs one = RunWithOutputs(whole);
  const int steps = static_cast<int>(one.Result.OutLines().size()) - 1;
  const int at = c.At < 0 ? steps + 1 + c.At : c.At;

  const std::string state = ScratchDir() + "/world.dla";
  TArgs first = c.Settings;
  first.insert(first.end(), {"--steps", std::to_string(at), "--save-state", state});
  const TOutputs part = RunWithOutputs(first);
  // The second part takes its settings from the file; those given agree.
  TArgs second{"--load-state", state, "--agents", c.Settings[1]};
  if (c.Steps > 0) second.insert(second.end(), {"--steps", std::to_string(std::max(0, c.Steps - at))});
  const TOutputs rest = RunWithOutputs(second);

  EXPECT_EQ(part.Result.Out + Body(rest.Result.Out), one.Result.Out);
  EXPECT_EQ(part.Measures + Body(rest.Measures), one.Measures);
  EXPECT_EQ(part.MeasuresSeries + Body(rest.MeasuresSeries), one.MeasuresSeries);
  EXPECT_EQ(rest.Result.Err, one.Result.Err);
  EXPECT_EQ(rest.Picture, one.Picture);
  EXPECT_EQ(rest.Sizes, one.Sizes);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CheckpointCliSplit,
    ::testing::Values(
        TSplit{"DefaultAreaMidRun", {"--agents", "2000", "--seed", "12345"}, 700},
        TSplit{"AtStepZero", {"--agents", "300", "--threshold", "4", "--seed", "11", "--size", "120x90"}, 0},
        TSplit{"AfterTheEnd", {"--agents", "300", "--threshold", "4", "--seed", "11", "--size", "120x90"}, 100000},
        TSplit{"AtTheLastStep", {"--agents", "100", "--threshold", "3", "--seed", "7", "--size", "60x60"}, -1},
        TSplit{"OneStepBeforeTheEnd", {"--agents", "100", "--threshold", "3", "--seed", "7", "--size", "60x60"}, -2},
        TSplit{"OddSidesThresholdText", {"--agents", "400", "--threshold", " +0x5", "--seed", "99", "--size", "131x97"}, 41},
        TSplit{"UnderAStepLimit", {"--agents", "50", "--threshold", "-1", "--seed", "3", "--size", "60x60"}, 17, 40},
        TSplit{"NoAgents", {"--agents", "0", "--seed", "5", "--size", "30x30"}, 0}),
    TPrintedName());

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
}

TEST(CheckpointCli, RefusesWorldsItCannotCarryOn) {
  const std::string dir = ScratchDir();
  const std::string good = dir + "/good.dla";
  ASSERT_EQ(RunTool({"--agents", "100", "--seed", "4", "--size", "60x60", "--steps", "5",
                     "--save-state", good})
                .ExitCode,
            0);
  const std::string bytes = ReadFile(good);
  std::string flipped = bytes, newer = bytes;
  flipped[bytes.size() / 2] = static_cast<char>(flipped[bytes.size() / 2] ^ 1);
  newer[8] = 2;
  WriteFile(dir + "/short.dla", bytes.substr(0, bytes.size() / 2));
  WriteFile(dir + "/flipped.dla", flipped);
  WriteFile(dir + "/newer.dla", newer);
  WriteFile(dir + "/text.dla", "step,free_agents\n1,100\n");
  // A good beginning in a 3 GB file: refused by its header, not read.
  WriteFile(dir + "/sparse.dla", bytes);
  ASSERT_EQ(::truncate((dir + "/sparse.dla").c_str(), off_t{3} << 30), 0);
  const struct {
    TArgs args;
    const char* message;
  } cases[] = {
      {{"--load-state", dir + "/short.dla"}, "short.dla' is truncated ("},
      {{"--load-state", dir + "/flipped.dla"}, "flipped.dla' is corrupted: checksum mismatch"},
      {{"--load-state", dir + "/newer.dla"}, "was written in format version 2; this program reads versions up to 1"},
      {{"--load-state", dir + "/text.dla"}, "text.dla' is not a saved world"},
      {{"--load-state", dir + "/none.dla"}, "--load-state: cannot read"},
      {{"--load-state", dir}, "it is a directory"},
      {{"--load-state", good, "--size", "63x60"}, "--size 63x60 contradicts the saved world (size 60x60)"},
      {{"--load-state", good, "--agents", "101"}, "--agents 101 contradicts the saved world (100 agents)"},
      {{"--load-state", "/dev/zero"}, "'/dev/zero' is not a saved world"},
      {{"--load-state", dir + "/sparse.dla"}, "sparse.dla' is corrupted: its length field says"},
      {{"--load-state", good, "--seed", "5"}, "--seed 5 contradicts the saved world (seed 4)"},
  };
  for (const auto& c : cases) {
    TArgs args = c.args;
    args.insert(args.end(), {"--picture", "@/p.png", "--save-state", "@/w.dla"});
    ExpectRefused(args, "dla-batch: --", c.message);
  }
  EXPECT_EQ(ReadFile(good), bytes);
}

TEST(CheckpointCli, AnInterruptedRunLeavesItsLastPeriodicSave) {
  const std::string dir = ScratchDir();
  const std::string state = dir + "/world.dla";
  const TArgs settings{"--agents", "200", "--size", "90x90", "--threshold", "-1", "--seed", "8"};
  TArgs args = settings;
  args.insert(args.end(), {"--save-state-every", "1000", "--save-state", state});
  // The series fills the pipe, which nobody reads, after a few thousand
  // steps; the run then waits there to be stopped.
  TRunningTool tool(args);
  ASSERT_TRUE(tool.WaitForOutput(std::chrono::seconds(10)));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ::kill(tool.Pid(), SIGTERM);
  const TToolResult stopped = tool.Finish(std::chrono::seconds(10));
  EXPECT_EQ(stopped.ExitCode, 128 + SIGTERM);
  int at = 0;
  const std::size_t where = stopped.Err.find("only the world saved after step ");
  ASSERT_NE(where, std::string::npos) << stopped.Err;
  at = std::stoi(stopped.Err.substr(where + 32));
  EXPECT_GT(at, 0);
  EXPECT_EQ(at % 1000, 0);
  // Nothing else is left: no temporary file of the final save.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 1u);

  // Carried on in place, it is the run made in one go.
  const TToolResult rest = RunTool({"--load-state", state, "--steps", "30", "--save-state", state});
  ASSERT_EQ(rest.ExitCode, 0) << rest.Err;
  TArgs whole = settings;
  whole.insert(whole.end(), {"--steps", std::to_string(at + 30)});
  const std::vector<std::string> one = RunTool(whole).OutLines();
  const std::vector<std::string> lines = rest.OutLines();
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines[1], std::to_string(at + 1) + ",200");
  EXPECT_TRUE(std::equal(lines.begin() + 1, lines.end(), one.end() - 30));
  const TToolResult after = RunTool({"--load-state", state, "--steps", "0"});
  EXPECT_TRUE(StartsWith(after.Err, "seed=8 steps=" + std::to_string(at + 30) + " ")) << after.Err;
}

}  // namespace
}  // namespace dla::tools::test
