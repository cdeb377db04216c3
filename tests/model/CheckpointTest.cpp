// Saved worlds: a world rebuilt from its state, and from the checkpoint
// file's bytes, carries on exactly as the original; broken files and
// impossible states are refused.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Render.h"
#include "TCheckpoint.h"
#include "TWorld.h"
#include "TWorldState.h"

namespace dla {
namespace {

bool SameAgents(const std::vector<TAgent>& a, const std::vector<TAgent>& b) {
  return std::ranges::equal(a, b, [](const TAgent& p, const TAgent& q) {
    return p.Moving == q.Moving && p.X == q.X && p.Y == q.Y && p.Radius == q.Radius &&
           p.Heading == q.Heading && p.DX == q.DX && p.DY == q.DY;
  });
}

// Everything a caller can see of a world, its picture included.
void ExpectSameWorld(const TWorld& a, const TWorld& b, const std::string& where) {
  const std::size_t cells = static_cast<std::size_t>(a.GridColumns()) * a.GridRows();
  ASSERT_EQ(a.DrawingWidth(), b.DrawingWidth()) << where;
  ASSERT_EQ(a.DrawingHeight(), b.DrawingHeight()) << where;
  EXPECT_EQ(a.StepCount(), b.StepCount()) << where;
  EXPECT_EQ(a.Seed(), b.Seed()) << where;
  EXPECT_EQ(a.PlacementSeed(), b.PlacementSeed()) << where;
  EXPECT_EQ(a.LastChange(), b.LastChange()) << where;
  EXPECT_EQ(a.AggregatedCells(), b.AggregatedCells()) << where;
  EXPECT_EQ(a.StuckAgents(), b.StuckAgents()) << where;
  EXPECT_TRUE(SameAgents(a.CopyAgents(), b.CopyAgents())) << where;
  EXPECT_EQ(a.CopyStates(), b.CopyStates()) << where;
  EXPECT_TRUE(std::equal(a.Shades(), a.Shades() + cells, b.Shades())) << where;
  EXPECT_EQ(a.NewAggregates(), b.NewAggregates()) << where;
  TCanvas pa(a.DrawingWidth(), a.DrawingHeight()), pb(b.DrawingWidth(), b.DrawingHeight());
  Render(a, pa);
  Render(b, pb);
  EXPECT_TRUE(std::equal(pa.Bits(), pa.Bits() + pa.Stride() * pa.Height(), pb.Bits())) << where;
}

// After a step an open cell counts the agents that stand in it, whatever
// stood there before.
testing::AssertionResult OpenCellsCountTheirAgents(const TWorld& world) {
  std::vector<std::int32_t> agents(static_cast<std::size_t>(world.GridColumns()) * world.GridRows());
  for (const TAgent& a : world.CopyAgents()) ++agents[(a.Y - 1) / 3 * world.GridColumns() + (a.X - 1) / 3];
  const std::vector<std::int32_t> states = world.CopyStates();
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (world.Shades()[i] == 0 && states[i] != agents[i]) return testing::AssertionFailure() << "cell " << i;
  }
  return testing::AssertionSuccess();
}

// A world brought somewhere by `prepare`, saved there, and its rebuilt copy
// stepped alongside it to the end of the run (or `more` steps).
struct TSplitCase {
  const char* Name;
  std::int32_t Width, Height, Agents;
  std::uint16_t Threshold;
  std::uint32_t Seed;
  std::function<void(TWorld&)> Prepare;
  std::int32_t More = 5000;
};

void PrintTo(const TSplitCase& c, std::ostream* os) { *os << c.Name; }

class CheckpointSplit : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(CheckpointSplit, TheRebuiltWorldCarriesOnExactly) {
  const TSplitCase& c = GetParam();
  TWorld original(c.Width, c.Height, FixedSeed(c.Seed));
  original.CreateAgents(c.Agents);
  c.Prepare(original);

  TCheckpoint saved;
  saved.World = original.State();
  saved.ThresholdText = " -0x1";
  const std::string bytes = saved.Encode();
  const TCheckpoint loaded = TCheckpoint::Decode(bytes);
  EXPECT_EQ(loaded.ThresholdText, " -0x1");
  // Seeding after a load (a new setup) reads the clock it is given.
  TWorld rebuilt(loaded.World, FixedSeed(4));
  ExpectSameWorld(original, rebuilt, "after loading");
  EXPECT_EQ(rebuilt.State().Agents.size(), saved.World.Agents.size());
  EXPECT_EQ((TCheckpoint{rebuilt.State(), " -0x1"}.Encode()), bytes) << "saving again";

  for (std::int32_t i = 0; i < c.More; ++i) {
    const StepResult a = original.RunStep(c.Threshold);
    const StepResult b = rebuilt.RunStep(c.Threshold);
    ASSERT_TRUE(a.FreeAgents == b.FreeAgents && a.StepNumber == b.StepNumber) << a.StepNumber;
    if (i < 3 || !a.AnyFree) ExpectSameWorld(original, rebuilt, "step " + std::to_string(a.StepNumber));
    EXPECT_TRUE(i > 0 || OpenCellsCountTheirAgents(original)) << c.Name;
    if (!a.AnyFree) break;
  }
  ExpectSameWorld(original, rebuilt, "at the end");
  rebuilt.NewSetup(10);
  EXPECT_EQ(rebuilt.PlacementSeed(), 4u);
}

const auto Steps = [](std::int32_t n, std::uint16_t threshold) {
  return [n, threshold](TWorld& world) {
    for (std::int32_t i = 0; i < n; ++i) world.RunStep(threshold);
  };
};

INSTANTIATE_TEST_SUITE_P(
    Moments, CheckpointSplit,
    ::testing::Values(
        TSplitCase{"JustPlaced", 404, 404, 2000, 6, 12345, [](TWorld&) {}},
        TSplitCase{"EarlyInTheRun", 404, 404, 2000, 6, 12345, Steps(37, 6)},
        TSplitCase{"LateInTheRun", 121, 121, 150, 4, 1, Steps(250, 4)},
        TSplitCase{"OddSidesThresholdTwo", 403, 406, 800, 2, 99, Steps(11, 2)},
        TSplitCase{"AfterTheLastStep", 61, 61, 300, 6, 7, Steps(9, 6)},
        TSplitCase{"NoAgents", 30, 30, 0, 6, 3, Steps(1, 6)},
        // Cells are not reopened under stuck agents, which would then stand
        // in open cells; the run carries on as it was.
        TSplitCase{"CellsNotReopenedUnderStuckAgents", 60, 60, 400, 0, 9,
                   [](TWorld& world) {
                     Steps(5, 0)(world);
                     EXPECT_THROW(world.ResetCells(), std::logic_error);
                     world.RunStep(65535);
                   },
                   20},
        // Placed again after steps, the cells not reset: the open cells the
        // agents left still hold counts, which the next step must clear.
        TSplitCase{"PlacedAgainAfterSteps", 90, 90, 200, 5, 21,
                   [](TWorld& world) {
                     Steps(30, 5)(world);
                     world.PlaceAgents();
                   }},
        // Agents moved by hand after a step: the open cells they left still
        // hold counts, which the next step must clear.
        TSplitCase{"AgentsMovedByHand", 90, 90, 200, 5, 21,
                   [](TWorld& world) {
                     Steps(3, 5)(world);
                     std::vector<TAgent> agents = world.CopyAgents();
                     for (TAgent& a : agents) {
                       if (a.Moving == 1) a.SetX(a.X <= 3 * 29 ? a.X + 3 : 2);
                     }
                     agents[3].SetRadius(3);
                     world.SetAgents(agents);
                   }}),
    [](const ::testing::TestParamInfo<TSplitCase>& info) { return std::string(info.param.Name); });

TEST(Checkpoint, ChecksumIsCrc32) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32("6789", Crc32("12345")), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

std::string Saved() {
  TWorld world(60, 45, FixedSeed(8));
  world.CreateAgents(100);
  for (int i = 0; i < 12; ++i) world.RunStep(3);
  return TCheckpoint{world.State(), "3"}.Encode();
}

// The bytes with a little-endian value of `width` bytes replaced at `at`,
// the checksum made good again, so that only what the value means is wrong.
std::string Patched(std::string bytes, std::size_t at, std::uint32_t value, int width = 4) {
  for (int b = 0; b < width; ++b) bytes[at + b] = static_cast<char>(value >> (8 * b));
  const std::size_t body = bytes.size() - 4;
  const std::uint32_t crc = Crc32(std::string_view(bytes).substr(0, body));
  for (int b = 0; b < 4; ++b) bytes[body + b] = static_cast<char>(crc >> (8 * b));
  return bytes;
}

TEST(Checkpoint, RefusesWhatIsNotAWholeIntactFileOfAKnownVersion) {
  const std::string good = Saved();
  ASSERT_NO_THROW(TCheckpoint::Decode(good));
  std::string flipped = good;
  flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x10);
  std::string longer = good;
  longer.push_back('\0');
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"empty", "", "is empty"},
      {"a header cut short", good.substr(0, 11), "is truncated"},
      {"cut at the agents", good.substr(0, 60), "is truncated (60 of "},
      {"one byte short", good.substr(0, good.size() - 1), "is truncated"},
      {"one byte more", longer, "is corrupted: its length field says"},
      {"a bit flipped", flipped, "is corrupted: checksum mismatch"},
      {"a PNG", "\x89PNG\r\n\x1a\n" + good.substr(8), "is not a saved world"},
      {"text", "step,free_agents\n1,2000\n", "is not a saved world"},
      {"a newer version", Patched(good, 8, 2), "format version 2; this program reads versions up to 1"},
      {"version 0", Patched(good, 8, 0), "is corrupted: format version 0"},
      {"a size no world has", Patched(good, 16, 2), "no world has the drawing area 2x45"},
      {"a threshold text past the end", Patched(good, 24, 5000), "the threshold run past its end"},
      {"more agents than bytes", Patched(good, 29, 100000), "the agents run past its end"},
      {"a last change of no kind", Patched(good, 45, 3, 1), "last change of unknown kind 3"},
      {"an agent neither free nor stuck", Patched(good, 46 + 14, 2, 1), "values out of range"},
  };
  for (const auto& c : cases) {
    try {
      TCheckpoint::Decode(c.bytes);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.name << ": " << error.what();
    }
  }
}

TEST(Checkpoint, LoadNamesTheFile) {
  try {
    TCheckpoint::Load("/no/such/world.dla");
    ADD_FAILURE() << "accepted";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot read '/no/such/world.dla': No such file or directory");
  }
}

TEST(Checkpoint, EncodeRefusesWhatTheFormatCannotHold) {
  TWorld world(30, 30, FixedSeed(2));
  world.CreateAgents(3);
  const std::vector<std::function<void(TCheckpoint&)>> breaks = {
      [](TCheckpoint& c) { c.ThresholdText = "six"; },
      [](TCheckpoint& c) { c.ThresholdText = std::string(1025, '1'); },
      [](TCheckpoint& c) { c.World.Agents[1].Moving = 2; },
      [](TCheckpoint& c) { c.World.Agents[1].DX = 2; },
      [](TCheckpoint& c) { c.World.Agents[1].Radius = 65536; },
      [](TCheckpoint& c) { c.World.Agents[1].Radius = -1; },
      [](TCheckpoint& c) { c.World.States.pop_back(); },
  };
  for (std::size_t i = 0; i < breaks.size(); ++i) {
    TCheckpoint checkpoint{world.State(), "6"};
    breaks[i](checkpoint);
    EXPECT_THROW(checkpoint.Encode(), std::invalid_argument) << i;
  }
  // Any threshold text the edit takes is kept, however long.
  TCheckpoint widest{world.State(), std::string(5000, ' ') + "6"};
  widest.World.Agents[1].Radius = 65535;
  const TCheckpoint read = TCheckpoint::Decode(widest.Encode());
  EXPECT_EQ(read.World.Agents[1].Radius, 65535);
  EXPECT_EQ(read.ThresholdText, widest.ThresholdText);
}

TEST(WorldState, StatesNoWorldCanBeInAreRefused) {
  TWorld world(60, 45, FixedSeed(8));
  world.CreateAgents(100);
  for (int i = 0; i < 30 && world.NewAggregates().empty(); ++i) world.RunStep(3);
  ASSERT_FALSE(world.NewAggregates().empty());
  const TWorldState good = world.State();
  std::uint32_t open = 0;
  while (good.Shades[open] != 0) ++open;
  const struct {
    const char* message;
    std::function<void(TWorldState&)> change;
  } cases[] = {
      {"at least 3x3", [](TWorldState& s) { s.DrawingWidth = 2; }},
      {"counts and", [](TWorldState& s) { s.States.pop_back(); }},
      {"counts and", [](TWorldState& s) { s.Shades.push_back(0); }},
      {"has shade 7", [](TWorldState& s) { s.Shades[5] = 7; }},
      {"negative count", [](TWorldState& s) { s.States[5] = -1; }},
      {"step count is negative", [](TWorldState& s) { s.StepCount = -1; }},
      {"no known kind", [](TWorldState& s) { s.LastChange = static_cast<TWorld::TChange>(7); }},
      {"stands off the lattice", [](TWorldState& s) { s.Agents[9].X = 0; }},
      {"neither free nor stuck", [](TWorldState& s) { s.Agents[9].Moving = 2; }},
      {"stuck in an open cell", [open](TWorldState& s) {
         s.Agents[9] = {.Moving = 0, .X = 3 * static_cast<std::int32_t>(open % 20) + 2,
                        .Y = 3 * static_cast<std::int32_t>(open / 20) + 2, .Radius = 1};
       }},
      {"not a distinct aggregated cell", [open](TWorldState& s) { s.NewAggregates.push_back(open); }},
      {"not a distinct aggregated cell", [](TWorldState& s) { s.NewAggregates.push_back(s.NewAggregates[0]); }},
      {"not a distinct aggregated cell", [](TWorldState& s) { s.NewAggregates.push_back(20 * 15); }},
      {"without a step", [](TWorldState& s) { s.LastChange = TWorld::TChange::AgentsPlaced; }},
  };
  for (const auto& c : cases) {
    TWorldState state = good;
    c.change(state);
    try {
      TWorld rebuilt(state);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace dla
