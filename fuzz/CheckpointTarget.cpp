#include <bit>
#include <optional>
#include <string>

#include "AggregateMeasures.h"

#include "FuzzChecks.h"
#include "Render.h"
#include "TCanvas.h"
#include "TCheckpoint.h"
#include "TRun.h"

namespace dla::fuzz {
namespace {

// The file with the checksum its body has, where its length field is right
// (elsewhere the reader refuses it before the checksum); the fuzzing
// build's reader ignores the checksum.
std::string WithChecksum(std::string bytes) {
#ifndef DLA_FUZZ_SKIP_CHECKSUM
  const auto Get32 = [](const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t b = 4; b-- > 0;) v = v << 8 | static_cast<unsigned char>(bytes[at + b]);
    return v;
  };
  if (bytes.size() >= 20 && Get32(bytes, 12) == bytes.size()) {
    const std::uint32_t crc = Crc32(std::string_view(bytes).substr(0, bytes.size() - 4));
    for (std::size_t b = 0; b < 4; ++b) bytes[bytes.size() - 4 + b] = static_cast<char>(crc >> (8 * b));
  }
#endif
  return bytes;
}

// The same file but perhaps for its checksum.
bool SameBody(std::string_view a, std::string_view b) {
  return a.size() == b.size() && a.size() >= 4 && a.substr(0, a.size() - 4) == b.substr(0, b.size() - 4);
}

bool Same(const std::optional<double>& a, const std::optional<double>& b) {
  return a.has_value() == b.has_value() &&
         (!a || std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b));
}

// Draws the run's picture, and checks its measures: those a run keeps as
// cells aggregate are those worked out from the lattice, to the last bit.
void DrawAndMeasure(const TRun& run) {
  const TWorld& world = run.World();
  TCanvas canvas(world.DrawingWidth(), world.DrawingHeight());
  Render(world, canvas);
  const AggregateMeasures kept = run.Measures();
  const AggregateMeasures counted = MeasureAggregates(world);
  Expect(kept.Aggregates == counted.Aggregates && kept.Largest == counted.Largest &&
             kept.Sizes == counted.Sizes && kept.LargestWraps == counted.LargestWraps &&
             Same(kept.MeanSize, counted.MeanSize) && Same(kept.Gyration, counted.Gyration) &&
             Same(kept.Dimension, counted.Dimension) && Same(kept.DimensionR2, counted.DimensionR2),
         "the measures kept differ from those of the lattice");
  Expect(kept.Aggregates <= world.AggregatedCells(), "more aggregates than aggregated cells");
}

}  // namespace

bool FuzzCheckpoint(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = WithChecksum(std::string(AsText(data, size)));
  TRun::TSettings settings;
  settings.Seed = 1;
  settings.OutlineBuckets = 8;
  // Both ways of keeping the measures, chosen by the file itself, since the
  // file has no room for a choice of the harness.
  settings.KeepMeasures = size % 2 == 1;
  std::optional<TRun> run;
  try {
    run.emplace(TRun::Decode(bytes, settings));
  } catch (const std::runtime_error& refusal) {
    ExpectOneLine(refusal.what(), "checkpoint");
    Expect(std::string_view(refusal.what()).starts_with("the saved run "),
           "a checkpoint refusal that does not name the run: " + std::string(refusal.what()));
    return false;
  }
  // The format has one way to write each world: an accepted file is the
  // file of the world it holds.
  Expect(SameBody(run->Save(), bytes), "an accepted checkpoint saves back to other bytes");
  DrawAndMeasure(*run);
  run->RunFor(4, [](const StepResult&) {});
  DrawAndMeasure(*run);
  const std::string again = run->Save();
  try {
    const TRun reread = TRun::Decode(again, settings);
    Expect(reread.Save() == again, "a stepped run's save reads back as another run");
  } catch (const std::runtime_error& refusal) {
    throw EFuzzFinding(std::string("a stepped run's own save is refused: ") + refusal.what());
  }
  return true;
}

}  // namespace dla::fuzz
