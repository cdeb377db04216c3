// The two commands' option reading, in-process. The executable's handling
// of bad input (exit status, output) is in the CLI tests.
#include <gtest/gtest.h>

#include "TestNames.h"

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "BatchOptions.h"
#include "IntegerText.h"
#include "UsageError.h"
#include "Version.h"

namespace dla::tools {
namespace {

std::vector<std::string> Args(const std::vector<const char*>& args) {
  return {args.begin(), args.end()};
}

// The options of `dla-batch sweep ARGS`.
struct TSweep {
  static TSweepOptions Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "sweep");
    return TBatchOptions::Parse(args).Sweep.value();
  }
};

TEST(BatchOptions, ReadsEveryOptionInBothSpellingsAtTheEndsOfItsRange) {
  const TBatchOptions options = TBatchOptions::Parse(
      Args({"--agents", "0", "--threshold= $A", "--seed", "4294967295", "--steps=2147483647",
            "--size", "3X1000", "--picture", "out.png", "--measure", "--measure-every=2147483647",
            "--measures", "m.csv", "--sizes", "s.csv"}));
  EXPECT_EQ(options.Run.Agents, 0);
  // Read as the window reads its edit: blanks, "$" hexadecimal.
  EXPECT_EQ(ThresholdFromText(options.Run.ThresholdText), 10);
  EXPECT_EQ(options.Run.Seed, 4294967295u);
  EXPECT_EQ(options.MaxSteps, 2147483647);
  EXPECT_EQ(options.Run.DrawingWidth, 3);
  EXPECT_EQ(options.Run.DrawingHeight, 1000);
  EXPECT_EQ(options.PicturePath, "out.png");
  EXPECT_TRUE(options.Measure);
  EXPECT_EQ(options.MeasureEvery, 2147483647);
  EXPECT_EQ(options.MeasuresPath, "m.csv");
  EXPECT_EQ(options.SizesPath, "s.csv");
  // The low 16 bits count. Values that start with a single dash are values,
  // not options.
  EXPECT_EQ(ThresholdFromText(TBatchOptions::Parse(Args({"--threshold", "-1"})).Run.ThresholdText), 65535);
  EXPECT_EQ(ThresholdFromText(TBatchOptions::Parse(Args({"--threshold", "-x1F"})).Run.ThresholdText), 65505);
  EXPECT_EQ(TBatchOptions::Parse(Args({"--picture", "-"})).PicturePath, "-");
  EXPECT_EQ(TBatchOptions::Parse(Args({"--picture=--p.png"})).PicturePath, "--p.png");
}

TEST(Options, HelpDocumentsEveryOption) {
  const std::string batch = TBatchOptions::Parse(Args({"--help"})).Help;
  const std::string sweep = TBatchOptions::Parse(Args({"sweep", "--help"})).Help;
  EXPECT_EQ(batch.rfind("Usage: dla-batch [OPTIONS]", 0), 0u) << batch;
  EXPECT_EQ(sweep.rfind("Usage: dla-batch sweep [OPTIONS]", 0), 0u) << sweep;
  // Every option (and the subcommand) is listed with a description from
  // column 22 on, or on the next line after a long name.
  const auto documented = [](const std::string& help) {
    std::vector<std::string> lines, names;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line.rfind("  --", 0) != 0 && line.rfind("  sweep ", 0) != 0) continue;
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
      const bool sameLine = line.size() > 22 && line[21] == ' ' && line[22] != ' ';
      const bool nextLine = i + 1 < lines.size() && lines[i + 1].find_first_not_of(' ') == 22;
      EXPECT_TRUE(sameLine || nextLine) << line;
    }
    return names;
  };
  EXPECT_EQ(documented(batch),
            (std::vector<std::string>{"--help", "--version", "--agents", "--threshold", "--seed",
                                      "--threads", "--steps", "--size", "--picture", "--measure", "--measure-every",
                                      "--measures", "--measures-series", "--sizes", "--movie", "--movie-every",
                                      "--fps", "--save-state", "--save-state-every",
                                      "--load-state", "sweep"}));
  EXPECT_EQ(documented(sweep),
            (std::vector<std::string>{"--help", "--agents", "--threshold", "--runs", "--seed",
                                      "--steps", "--size", "--jobs", "--shard", "--series",
                                      "--plot", "--plot-measure", "--partial", "--resume"}));
}

// The line that help2man and the packages' check read: the name, one
// blank, a version of three numbers.
TEST(Options, VersionIsOneLineOfTheNameAndTheProjectsVersion) {
  const std::string version = TBatchOptions::Parse(Args({"--version"})).Help;
  EXPECT_EQ(version, std::string("dla-batch ") + Version + "\n");
  // Three numbers joined by dots.
  std::size_t numbers = 0, digits = 0;
  for (const char c : std::string_view(Version)) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      EXPECT_EQ(c, '.') << version;
      EXPECT_GT(digits, 0u) << version;
      ++numbers, digits = 0;
    }
  }
  EXPECT_GT(digits, 0u) << version;
  EXPECT_EQ(numbers + 1, 3u) << version;
  // The version comes first, whatever the values after it.
  EXPECT_EQ(TBatchOptions::Parse(Args({"--version", "--agents", "x"})).Help, version);
}

struct TBadOptions {
  std::vector<const char*> Args;
  const char* Message;
};

void PrintTo(const TBadOptions& c, std::ostream* os) {
  for (const char* arg : c.Args) *os << '"' << arg << "\" ";
}

template <typename Options>
void ExpectRefused(const TBadOptions& c) {
  try {
    Options::Parse(Args(c.Args));
    ADD_FAILURE() << "accepted";
  } catch (const EUsageError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(c.Message), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

class BatchOptionsBad : public ::testing::TestWithParam<TBadOptions> {};

TEST_P(BatchOptionsBad, AreRefusedWithOneLine) { ExpectRefused<TBatchOptions>(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BatchOptionsBad,
    ::testing::Values(
        TBadOptions{{"--agents", "-1"}, "--agents: expected a whole number from 0 to 100000000"},
        TBadOptions{{"--agents", "1e3"}, "got '1e3'"},
        TBadOptions{{"--agents", " 5"}, "got ' 5'"},
        TBadOptions{{"--threshold", "6 "}, "'6 ' is not a valid integer value"},
        TBadOptions{{"--seed", "4294967296"}, "--seed: expected a whole number from 0 to"},
        TBadOptions{{"--steps", "2147483648"}, "--steps"},
        TBadOptions{{"--size", "404x2"}, "at least 3x3"},
        TBadOptions{{"--size", "404x404x4"}, "WIDTHxHEIGHT"},
        TBadOptions{{"--size", "16385x16384"}, "at most 268435456 pixels"},
        TBadOptions{{"--agents", "--seed", "1"}, "'--agents' needs a value"},
        TBadOptions{{"--agents", "1", "--agents", "2"}, "more than once"},
        TBadOptions{{"--measure", "--measure"}, "more than once"},
        TBadOptions{{"--seed=1", "--seed", "1"}, "more than once"},
        TBadOptions{{"--agents", "5", "6"}, "unexpected argument '6'"},
        TBadOptions{{"--picture"}, "'--picture' needs a value"},
        TBadOptions{{"--picture", "--measure"}, "'--picture' needs a value"},
        TBadOptions{{"--bogus=3"}, "unknown option '--bogus'"},
        TBadOptions{{"--", "--agents", "5"}, "unexpected argument '--'"},
        TBadOptions{{"-h"}, "unexpected argument '-h'"},
        TBadOptions{{"--measure=false"}, "takes no value"},
        TBadOptions{{"--version=1"}, "takes no value"},
        TBadOptions{{"--version", "--bogus"}, "unknown option '--bogus'"},
        TBadOptions{{"--version", "--version"}, "more than once"},
        TBadOptions{{"sweep", "--version"}, "unknown option '--version'"},
        TBadOptions{{"--measure="}, "takes no value"},
        TBadOptions{{"--agents=", "5"}, "unexpected argument '5'"},
        TBadOptions{{"--measure=true"}, "takes no value"},
        TBadOptions{{"--seed", "1", "sweep"}, "unexpected argument 'sweep'"},
        TBadOptions{{"--agents", "010", "--agents", "8"}, "more than once"},
        TBadOptions{{"--jobs", "2"}, "unknown option '--jobs'"},
        TBadOptions{{"--measure-every", "0", "--measures", "m.csv"},
                    "--measure-every: expected a whole number from 1"},
        TBadOptions{{"--measure-every", "5"}, "--measure-every requires --measures"},
        TBadOptions{{"--measures", "m.csv"}, "--measures requires --measure-every"},
        TBadOptions{{"--measure=yes"}, "takes no value"},
        TBadOptions{{"-agents", "5"}, "unexpected argument '-agents'"}),
    test::TPrintedName());

TEST(SweepOptions, ReadsListsAndShares) {
  const TSweepOptions options = TSweep::Parse(
      Args({"--agents", "2000,1000", "--threshold", "3..8:2", "--runs", "1000", "--seed", "9",
            "--jobs", "3", "--shard", "2/5", "--plot-measure", "mean_size", "m.png"}));
  EXPECT_EQ(options.Agents, (std::vector<std::int32_t>{1000, 2000}));
  EXPECT_EQ(options.Thresholds, (std::vector<std::uint16_t>{3, 5, 7}));
  EXPECT_EQ(options.Runs, 1000u);
  EXPECT_EQ(options.Jobs, 3u);
  EXPECT_EQ(options.ShardIndex, 2u);
  EXPECT_EQ(options.ShardCount, 5u);
  EXPECT_EQ(options.PlotMeasure, "mean_size");
  EXPECT_EQ(options.PlotMeasurePath, "m.png");
}

TEST(SweepOptions, ASharedOutSweepMayExceedWhatOneShareMayHold) {
  // Every seed once: 2^32 runs, in 43 shares of at most 10^8.
  EXPECT_EQ(TSweep::Parse(Args({"--runs", "4294967296", "--seed", "0", "--shard", "43/43"}))
                .Runs,
            std::uint64_t{1} << 32);
  ExpectRefused<TSweep>(
      {{"--runs", "4294967296", "--seed", "0", "--shard", "1/42"}, "at most 100000000 per share"});
}

class SweepOptionsBad : public ::testing::TestWithParam<TBadOptions> {};

TEST_P(SweepOptionsBad, AreRefusedWithOneLine) { ExpectRefused<TSweep>(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Mistakes, SweepOptionsBad,
    ::testing::Values(
        TBadOptions{{"--shard", "1/0", "--seed", "1"}, "1 <= I <= N"},
        TBadOptions{{"--shard", "1-4", "--seed", "1"}, "expected I/N"},
        TBadOptions{{"--threshold", "65536"}, "from 0 to 65535"},
        TBadOptions{{"--threshold", "$A"}, "'$A'"},
        TBadOptions{{"--jobs", "1025"}, "from 1 to 1024"},
        TBadOptions{{"sweep"}, "unexpected argument 'sweep'"},
        TBadOptions{{"--picture", "x.png"}, "unknown option '--picture'"},
        TBadOptions{{"--plot-measure", "dimension"}, "'--plot-measure' needs 2 values"},
        TBadOptions{{"--plot-measure", "dimension", "--plot", "p.png"}, "needs 2 values"},
        TBadOptions{{"--plot-measure=r2", "p.png"}, "needs 2 values"},
        TBadOptions{{"--plot-measure", "r2", "a.png", "--plot-measure", "r2", "b.png"},
                    "more than once"},
        TBadOptions{{"--plot-measure", "Dimension", "d.png"}, "got 'Dimension'"}),
    test::TPrintedName());

}  // namespace
}  // namespace dla::tools
