// dla-batch sweep run as a program.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <thread>

#include "MeasureText.h"
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
        TBadSweep{{"--plot", "@/same", "--plot-measure", "r2", "@/same"}, "the same file"},
        TBadSweep{{"--partial", "@/missing/p.csv"}, "--partial: cannot write"},
        TBadSweep{{"--series", "@/same", "--partial", "@/./same"}, "the same file as --series"},
        TBadSweep{{"--resume", "@/missing.csv"}, "--resume: cannot read"},
        TBadSweep{{"--resume", "/dev/zero"}, "is not a partial sweep file"},
        // A partial file holds no free agents per step.
        TBadSweep{{"--resume", "@/p.csv", "--series", "@/s.csv"}, "--resume: cannot go with --series"},
        TBadSweep{{"--resume", "@/p.csv", "--plot", "@/p.png"}, "--resume: cannot go with --plot"}),
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

// Whether the program came to hold a file in dir open within 10 s. Output
// files are opened after the interrupt handler is in place, just before the
// runs.
bool HoldsAFileIn(const TRunningTool& tool, const std::string& dir) {
  const std::filesystem::path fds = "/proc/" + std::to_string(tool.Pid()) + "/fd";
  for (int i = 0; i < 1000; ++i) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
      const auto target = std::filesystem::read_symlink(fd.path(), error);
      if (!error && StartsWith(target.string(), dir)) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The lines of standard error after the first (seed, jobs and time): the
// summary table.
std::vector<std::string> SummaryTable(const TToolResult& result) {
  std::vector<std::string> lines = result.ErrLines();
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

TEST(SweepCli, AnInterruptStopsPromptlyAndLeavesNoFile) {
  const std::string dir = ScratchDir();
  // Threshold 65535: runs that would go on for a million steps each.
  TRunningTool tool({"sweep", "--agents", "1000", "--threshold", "65535", "--runs", "4", "--seed",
                     "1", "--jobs", "2", "--series", dir + "/s.csv"});
  ASSERT_TRUE(HoldsAFileIn(tool, dir));
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

// Share 1 of 2 of this sweep is, in order: a run that ends within a few
// dozen steps (threshold 2), one that never ends (threshold 65535) and takes
// a second or two to reach --steps, another quick one and another slow one.
// The slow runs must outlast the interrupt at 300 ms on a fast machine too,
// yet the sweeps made whole here must end well within their time limit
// under ThreadSanitizer, which steps about a hundred times slower.
#if defined(__SANITIZE_THREAD__)
#define DLA_SLOW_STEPS "200000"
#else
#define DLA_SLOW_STEPS "4000000"
#endif
const TArgs QuickSlowQuickSlow{"--size", "60x60", "--agents", "60,100", "--threshold", "2,65535",
                               "--runs", "2", "--seed", "7", "--steps", DLA_SLOW_STEPS, "--shard", "1/2"};

TEST(SweepCli, AnInterruptKeepsTheRowsUpToTheFirstUnfinishedRunAndAResumeMakesTheRest) {
  const std::string dir = ScratchDir();
  const std::string partial = dir + "/partial.csv";
  // Three jobs: the third run ends while the second still runs.
  TRunningTool tool(Plus(Plus({"sweep"}, QuickSlowQuickSlow), {"--jobs", "3", "--partial", partial}));
  ASSERT_TRUE(HoldsAFileIn(tool, dir));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(tool.Pid(), SIGINT);
  const TToolResult interrupted = tool.Finish(std::chrono::seconds(10));
  EXPECT_EQ(interrupted.ExitCode, 128 + SIGINT);
  EXPECT_TRUE(interrupted.Out.empty());
  ASSERT_EQ(interrupted.ErrLines().size(), 1u) << interrupted.Err;
  EXPECT_TRUE(Contains(interrupted.Err, "interrupted after 1 of 4 runs; the rows of 1 run kept in '" +
                                            partial + "'"))
      << interrupted.Err;
  // The partial file alone, no temporary file beside it.
  EXPECT_EQ(Entries(dir), TArgs{"partial.csv"});

  const TToolResult whole = Sweep(Plus(QuickSlowQuickSlow, {"--jobs", "2"}));
  ASSERT_EQ(whole.ExitCode, 0) << whole.Err;
  const std::vector<std::string> rows = whole.OutLines();
  ASSERT_EQ(rows.size(), 5u);
  const std::string kept = ReadFile(partial);
  const std::vector<std::string> lines = Split(kept, '\n');
  ASSERT_EQ(lines.size(), 3u) << kept;
  EXPECT_TRUE(StartsWith(lines[0], "# partial sweep, 1 of 4 rows, check ")) << lines[0];
  EXPECT_TRUE(Contains(lines[0], ": dla-batch sweep --agents 60,100 --threshold 2,65535 --runs 2 "
                                 "--seed 7 --steps " DLA_SLOW_STEPS " --size 60x60 --shard 1/2"))
      << lines[0];
  EXPECT_EQ(lines[1], Header);
  // The first row, its measures to more digits than standard output's.
  const std::vector<std::string> keptFields = Split(lines[2] + ",", ','),
                                 printedFields = Split(rows[1] + ",", ',');
  ASSERT_EQ(keptFields.size(), 13u);
  ASSERT_EQ(printedFields.size(), 13u);
  EXPECT_EQ(TArgs(keptFields.begin(), keptFields.begin() + 9),
            TArgs(printedFields.begin(), printedFields.begin() + 9));
  for (std::size_t i = 9; i < 13; ++i) {
    EXPECT_EQ(MeasureNumber(std::stod(keptFields[i])), printedFields[i]) << lines[2];
  }
  EXPECT_GT(lines[2].size(), rows[1].size() + 10) << lines[2];

  // With one job now, keeping the rows in the same file again if need be.
  const TToolResult resumed =
      Sweep(Plus(QuickSlowQuickSlow, {"--jobs", "1", "--resume", partial, "--partial", partial}));
  ASSERT_EQ(resumed.ExitCode, 0) << resumed.Err;
  EXPECT_EQ(resumed.Out, whole.Out);
  EXPECT_EQ(SummaryTable(resumed), SummaryTable(whole));
  EXPECT_TRUE(StartsWith(resumed.Err, "seed=7 runs=4 (share 1 of 2, 8 runs in all) resumed=1 jobs=1 "))
      << resumed.Err;
  // A sweep that finishes leaves the file as it was.
  EXPECT_EQ(ReadFile(partial), kept);
}

// A quick sweep whose series cannot be written: it fails halfway, after
// the run whose free agents first fill the writer's buffer.
const TArgs Failing{"--size", "60x60", "--agents", "60,100", "--threshold", "3..9", "--runs", "3",
                    "--seed", "5", "--steps", "20000", "--series", "/dev/full"};

TArgs Without(TArgs args, const std::string& option) {
  const auto at = std::find(args.begin(), args.end(), option);
  if (at != args.end()) args.erase(at, at + 2);
  return args;
}

// The partial file that the failing sweep leaves at path.
void MakePartial(const std::string& path) {
  const TToolResult failed = Sweep(Plus(Failing, {"--partial", path}));
  EXPECT_EQ(failed.ExitCode, 1);
  EXPECT_TRUE(failed.Out.empty());
  ASSERT_EQ(failed.ErrLines().size(), 1u) << failed.Err;
  EXPECT_TRUE(Contains(failed.Err, "No space left on device; the rows of ")) << failed.Err;
}

TEST(SweepCli, AFailedSweepKeepsItsRowsTooAndAResumeTakesTheirSeed) {
  const std::string partial = ScratchDir() + "/partial.csv";
  MakePartial(partial);
  const std::vector<std::string> lines = Split(ReadFile(partial), '\n');
  ASSERT_GT(lines.size(), 3u);
  // Neither none nor all of the 42 runs.
  EXPECT_TRUE(StartsWith(lines[0], "# partial sweep, " + std::to_string(lines.size() - 2) + " of 42 rows, "))
      << lines[0];
  ASSERT_LT(lines.size(), 2u + 42);

  const TArgs sweep = Without(Failing, "--series");
  const TToolResult whole = Sweep(sweep);
  const TToolResult resumed = Sweep(Plus(Without(sweep, "--seed"), {"--resume", partial}));
  ASSERT_EQ(resumed.ExitCode, 0) << resumed.Err;
  EXPECT_EQ(resumed.Out, whole.Out);
  EXPECT_EQ(SummaryTable(resumed), SummaryTable(whole));
  EXPECT_TRUE(StartsWith(resumed.Err, "seed=5 runs=42 resumed=" + std::to_string(lines.size() - 2) + " "))
      << resumed.Err;
}

struct TForeignPartial {
  // Values given instead of the failing sweep's.
  TArgs Instead;
  // What becomes of the file; unchanged when null.
  std::string (*Spoil)(const std::string& text);
  const char* Message;
};

void PrintTo(const TForeignPartial& c, std::ostream* os) {
  for (const std::string& arg : c.Instead) *os << arg << ' ';
  *os << c.Message;
}

class SweepCliForeignPartial : public ::testing::TestWithParam<TForeignPartial> {};

TEST_P(SweepCliForeignPartial, IsRefusedBeforeAnyRun) {
  const std::string partial = ScratchDir() + "/partial.csv";
  MakePartial(partial);
  if (GetParam().Spoil) {
    const std::string spoilt = GetParam().Spoil(ReadFile(partial));
    std::ofstream(partial, std::ios::binary | std::ios::trunc) << spoilt;
  }
  const std::string before = ReadFile(partial);
  TArgs args = Without(Failing, "--series");
  for (std::size_t i = 0; i + 1 < GetParam().Instead.size(); i += 2) {
    args = Plus(Without(args, GetParam().Instead[i]), {GetParam().Instead[i], GetParam().Instead[i + 1]});
  }
  ExpectRefused(Plus(Plus({"sweep"}, args), {"--resume", partial, "--partial", "@/p.csv", "--plot-measure",
                                             "r2", "@/m.png"}),
                "dla-batch sweep: --resume: '" + partial + "' ", GetParam().Message);
  EXPECT_EQ(ReadFile(partial), before);
}

std::string ReplaceFirst(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SweepCliForeignPartial,
    ::testing::Values(
        TForeignPartial{{"--agents", "60"}, nullptr,
                        "is the partial file of another sweep: --agents 60,100 there, 60 here"},
        TForeignPartial{{"--threshold", "3..8"}, nullptr, "--threshold 3..9 there, 3..8 here"},
        TForeignPartial{{"--runs", "4"}, nullptr, "--runs 3 there, 4 here"},
        TForeignPartial{{"--seed", "6"}, nullptr, "--seed 5 there, 6 here"},
        TForeignPartial{{"--steps", "400"}, nullptr, "--steps 20000 there, 400 here"},
        TForeignPartial{{"--size", "90x60"}, nullptr, "--size 60x60 there, 90x60 here"},
        TForeignPartial{{"--shard", "1/2"}, nullptr, "--shard 1/1 there, 1/2 here"},
        // Rows of standard output are not a partial file.
        TForeignPartial{{}, [](const std::string&) { return std::string(Header) + "\n"; },
                        "is not a partial sweep file"},
        TForeignPartial{{},
                        [](const std::string& text) {
                          return text.substr(0, text.rfind('\n', text.size() - 2) + 1);
                        },
                        "rows, it holds"},
        TForeignPartial{{}, [](const std::string& text) { return text.substr(0, text.size() - 3); },
                        "is cut short"},
        // An edited row, or an edited sweep in the first line.
        TForeignPartial{{}, [](const std::string& text) { return ReplaceFirst(text, "\n60,3,5,", "\n60,3,5,1"); },
                        "its content does not match its check"},
        TForeignPartial{{"--steps", "20001"},
                        [](const std::string& text) { return ReplaceFirst(text, "--steps 20000", "--steps 20001"); },
                        "its content does not match its check"}),
    TPrintedName());

}  // namespace
}  // namespace dla::tools::test
