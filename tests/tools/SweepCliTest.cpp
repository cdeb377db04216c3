// dla-batch sweep run as a program.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <thread>

#include "TestNames.h"
#include "ToolProcess.h"

namespace dla::tools::test {
namespace {

// A small sweep: 20 x 20 cells, runs of a few dozen steps.
const TArgs Small{"--size", "60x60", "--agents", "60,100", "--threshold", "2..4",
                  "--runs", "4", "--seed", "4294967294", "--steps", "400"};

const char* const Header =
    "agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents,aggregates,largest,mean_size,"
    "gyration,dimension,r2";

TArgs Plus(TArgs args, const TArgs& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TToolResult Sweep(const TArgs& args) { return RunTool(Plus({"sweep"}, args)); }

// The words of a line of the summary table.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  for (const std::string& word : Split(line, ' ')) {
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

struct TBadSweep {
  TArgs Args;
  const char* Message;
};

void PrintTo(const TBadSweep& c, std::ostream* os) {
  for (const std::string& arg : c.Args) *os << arg << ' ';
}

class SweepCliBad : public ::testing::TestWithParam<TBadSweep> {};

TEST_P(SweepCliBad, ExitsWithStatus2BeforeAnyRun) {
  ExpectRefused(Plus({"sweep"}, GetParam().Args), "dla-batch sweep: ", GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SweepCliBad,
    ::testing::Values(
        TBadSweep{{"--threshold", "8..3"}, "reversed"},
        TBadSweep{{"--threshold", "3.."}, "end missing"},
        TBadSweep{{"--agents", ""}, "the list is empty"},
        TBadSweep{{"--agents", "100..200:0"}, "step 0"},
        TBadSweep{{"--threshold", "3,six"}, "'six'"},
        TBadSweep{{"--shard", "3/2", "--seed", "1"}, "1 <= I <= N"},
        TBadSweep{{"--shard", "0/4", "--seed", "1"}, "1 <= I <= N"},
        TBadSweep{{"--shard", "1/4"}, "--shard requires --seed"}, TBadSweep{{"--jobs", "0"}, "--jobs"},
        TBadSweep{{"--series", "@/missing/s.csv"}, "--series: cannot write"},
        // The series file was fine; the plot's path is not: neither is left.
        TBadSweep{{"--series", "@/s.csv", "--plot", "@/missing/p.png"}, "--plot: cannot write"},
        TBadSweep{{"--series", "@/same", "--plot", "@/./same"}, "the same file"},
        TBadSweep{{"--plot-measure", "volume", "@/m.png"}, "expected one of aggregates,largest,"},
        TBadSweep{{"--plot", "@/same", "--plot-measure", "r2", "@/same"}, "the same file"}),
    TPrintedName());

TEST(SweepCli, PrintsOneSortedRowPerRunAndASummaryPerCombination) {
  const TToolResult result = Sweep(Plus(Small, {"--jobs", "2"}));
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const std::vector<std::string> lines = result.OutLines();
  ASSERT_EQ(lines.size(), 1u + 2 * 3 * 4);
  EXPECT_EQ(lines[0], Header);
  // Seeds 4294967294, 4294967295, 0, 1: sorted, the wrapped ones first.
  EXPECT_TRUE(StartsWith(lines[1], "60,2,0,"));
  EXPECT_TRUE(StartsWith(lines[2], "60,2,1,"));
  EXPECT_TRUE(StartsWith(lines[3], "60,2,4294967294,"));
  EXPECT_TRUE(StartsWith(lines[4], "60,2,4294967295,"));
  EXPECT_TRUE(StartsWith(lines[24], "100,4,4294967295,"));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i] + ",", ',');
    ASSERT_EQ(fields.size(), 13u);
    // Every run here ends well within 400 steps, all its agents stuck.
    EXPECT_EQ(fields[4], "1") << lines[i];
    EXPECT_EQ(fields[6], fields[0]) << lines[i];
    // The aggregates partition the aggregated cells.
    const int cells = std::stoi(fields[5]), aggregates = std::stoi(fields[7]),
              largest = std::stoi(fields[8]);
    EXPECT_TRUE(aggregates >= 1 && largest >= 1 && largest <= cells) << lines[i];
    EXPECT_NEAR(aggregates * std::stod(fields[9]), cells, cells * 1e-5) << lines[i];
  }

  const std::vector<std::string> err = result.ErrLines();
  ASSERT_EQ(err.size(), 2u + 6) << result.Err;
  EXPECT_TRUE(StartsWith(err[0], "seed=4294967294 runs=24 jobs=2"));
  EXPECT_EQ(Words(err[1]),
            Words("agents threshold runs mean_steps sd_steps min_steps max_steps ended "
                  "mean_aggregates sd_aggregates mean_largest sd_largest mean_dimension "
                  "sd_dimension"));
  const std::vector<std::string> first = Words(err[2]);
  ASSERT_EQ(first.size(), 14u);
  EXPECT_EQ(TArgs(first.begin(), first.begin() + 3), (TArgs{"60", "2", "4"}));
  const std::vector<std::string> last = Words(err[7]);
  ASSERT_EQ(last.size(), 14u);
  EXPECT_EQ(TArgs(last.begin(), last.begin() + 3), (TArgs{"100", "4", "4"}));
  // Every run ended; every run has a dimension on this 20 x 20 lattice.
  EXPECT_EQ(last[7], "4");
  EXPECT_NE(last[12], "none");
}

TEST(SweepCli, RunsThatReachStepsAreNotEnded) {
  const TToolResult result =
      Sweep({"--size", "60x60", "--agents", "50", "--threshold", "65535", "--runs", "2",
             "--seed", "5", "--steps", "30"});
  ASSERT_EQ(result.ExitCode, 0);
  // No aggregate: no mean size, gyration or dimension, left empty.
  EXPECT_EQ(result.Out,
            std::string(Header) + "\n50,65535,5,30,0,0,0,0,0,,,,\n50,65535,6,30,0,0,0,0,0,,,,\n");
}

TEST(SweepCli, OutputIsTheSameForOneJobAndForTwo) {
  const std::string dir = ScratchDir();
  const TToolResult one = Sweep(Plus(Small, {"--jobs", "1", "--series", dir + "/one.csv"}));
  const TToolResult two = Sweep(Plus(Small, {"--jobs", "2", "--series", dir + "/two.csv"}));
  ASSERT_EQ(one.ExitCode, 0);
  ASSERT_EQ(two.ExitCode, 0);
  EXPECT_EQ(one.Out, two.Out);
  const std::string series = ReadFile(dir + "/one.csv");
  EXPECT_GT(std::count(series.begin(), series.end(), '\n'), 24 * 5);
  EXPECT_EQ(series, ReadFile(dir + "/two.csv"));
  // The summary table too (the first line differs in jobs and time).
  std::vector<std::string> oneErr = one.ErrLines(), twoErr = two.ErrLines();
  ASSERT_FALSE(oneErr.empty());
  ASSERT_FALSE(twoErr.empty());
  oneErr.erase(oneErr.begin());
  twoErr.erase(twoErr.begin());
  EXPECT_EQ(oneErr, twoErr);
}

// The union of the shares is the whole sweep: shard_scripts_test.sh runs
// the shares through the job-array and merge scripts.

TEST(SweepCli, ARunOfTheSweepRepeatedAloneGivesTheSameSeries) {
  const std::string path = ScratchDir() + "/series.csv";
  const TToolResult sweep = Sweep(Plus(Small, {"--series", path}));
  ASSERT_EQ(sweep.ExitCode, 0);
  std::vector<std::string> series = Split(ReadFile(path), '\n');
  ASSERT_FALSE(series.empty());
  EXPECT_EQ(series.front(), "agents,threshold,seed,step,free_agents");
  // Two runs, one with a wrapped seed.
  for (const std::string key : {"100,3,1,", "60,4,4294967295,"}) {
    std::string expected = "step,free_agents\n";
    for (const std::string& line : series) {
      if (StartsWith(line, key)) expected += line.substr(key.size()) + "\n";
    }
    const std::vector<std::string> fields = Split(key, ',');
    const TToolResult alone = RunTool({"--size", "60x60", "--steps", "400", "--agents", fields[0],
                                       "--threshold", fields[1], "--seed", fields[2]});
    ASSERT_EQ(alone.ExitCode, 0);
    EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 3);
    EXPECT_EQ(alone.Out, expected) << key;
  }
}

TEST(SweepCli, AMissingPlottingProgramIsReportedBeforeAnyRun) {
  const std::string dir = ScratchDir();
  const TToolResult result = RunTool(
      Plus({"sweep"}, Plus(Small, {"--series", dir + "/s.csv", "--plot", dir + "/p.png"})),
      {"DLA_PLOT=" + dir + "/no-such-program"});
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_TRUE(result.Out.empty());
  ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
  EXPECT_TRUE(Contains(result.Err, "no plotting program at")) << result.Err;
  EXPECT_TRUE(IsEmptyDir(dir));
}

TEST(SweepCli, AnInterruptStopsPromptlyAndLeavesNoFile) {
  const std::string dir = ScratchDir();
  // Threshold 65535: runs that would go on for a million steps each.
  TRunningTool tool({"sweep", "--agents", "1000", "--threshold", "65535", "--runs", "4", "--seed",
                     "1", "--jobs", "2", "--series", dir + "/s.csv"});
  // The output file is opened after the interrupt handler is in place:
  // wait until the process holds it.
  const std::filesystem::path fds = "/proc/" + std::to_string(tool.Pid()) + "/fd";
  bool open = false;
  for (int i = 0; i < 1000 && !open; ++i) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
      const auto target = std::filesystem::read_symlink(fd.path(), error);
      open |= !error && StartsWith(target.string(), dir);
    }
    if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(open);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  ::kill(tool.Pid(), SIGINT);
  const TToolResult result = tool.Finish(std::chrono::seconds(10));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(result.Exited);
  EXPECT_EQ(result.ExitCode, 128 + SIGINT);
  EXPECT_TRUE(result.Out.empty());
  EXPECT_TRUE(Contains(result.Err, "interrupted"));
  EXPECT_TRUE(IsEmptyDir(dir));
}

}  // namespace
}  // namespace dla::tools::test
