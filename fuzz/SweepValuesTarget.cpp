#include <algorithm>
#include <string>

#include "DrawingSize.h"
#include "FuzzChecks.h"
#include "Options.h"
#include "RunDefaults.h"
#include "SweepPlan.h"
#include "TWorld.h"
#include "UsageError.h"
#include "ValueList.h"

namespace dla::fuzz {
namespace {

using tools::EUsageError;

bool List(std::string_view text, std::int64_t min, std::int64_t max, std::string_view name) {
  std::vector<std::int64_t> values;
  try {
    values = tools::TValueList::Parse(text, min, max, name).Values();
  } catch (const EUsageError& refusal) {
    Expect(refusal.Message().starts_with(name), "a list's refusal that does not name the option");
    return false;
  }
  Expect(!values.empty() && values.size() <= tools::TValueList::MaxValues, "a list of no values or too many");
  Expect(std::adjacent_find(values.begin(), values.end(), std::greater_equal<>()) == values.end(),
         "a list that is not ascending without repeats");
  Expect(values.front() >= min && values.back() <= max, "a list's value outside its range");
  const std::string text2 = tools::TValueList::Text(values);
  Expect(tools::TValueList::Parse(text2, min, max, name).Values() == values,
         "a list's text '" + text2 + "' reads back as other values");
  return true;
}

bool Size(std::string_view text) {
  tools::TDrawingSize size;
  try {
    size = tools::DrawingSizeFromText(text, "--size");
  } catch (const EUsageError& refusal) {
    Expect(refusal.Message().starts_with("--size: "), "a size's refusal that does not name the option");
    return false;
  }
  Expect(DrawingAreaFault(size.Width, size.Height).empty(), "a size that no world can have");
  const std::string again = std::to_string(size.Width) + "x" + std::to_string(size.Height);
  const tools::TDrawingSize reread = tools::DrawingSizeFromText(again, "--size");
  Expect(reread.Width == size.Width && reread.Height == size.Height, "a size's text reads back otherwise");
  return true;
}

bool Shard(std::string_view text) {
  std::pair<std::uint32_t, std::uint32_t> shard;
  try {
    shard = tools::TSweepPlan::ShardFromText(text, "--shard");
  } catch (const EUsageError& refusal) {
    Expect(refusal.Message().starts_with("--shard: "), "a share's refusal that does not name the option");
    return false;
  }
  Expect(shard.first >= 1 && shard.first <= shard.second, "a share outside 1 <= I <= N");
  return true;
}

}  // namespace

bool FuzzSweepValues(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return false;
  const std::string_view text = AsText(data + 1, size - 1);
  switch (data[0] % 5) {
    case 0:
      return List(text, AgentsRange.Min, AgentsRange.Max, "--agents");
    case 1:
      return List(text, ThresholdValueRange.Min, ThresholdValueRange.Max, "--threshold");
    case 2:
      return List(text, 0, 40, "--values");
    case 3:
      return Size(text);
    default:
      return Shard(text);
  }
}

}  // namespace dla::fuzz
