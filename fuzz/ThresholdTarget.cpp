#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "FuzzChecks.h"
#include "IntegerText.h"
#include "TRun.h"

namespace dla::fuzz {

bool FuzzThresholdText(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = AsText(data, size);
  TRun::TSettings settings;
  settings.DrawingWidth = 9;
  settings.DrawingHeight = 9;
  settings.Agents = 3;
  settings.Seed = 7;
  TRun run(settings);
  std::optional<std::int32_t> value;
  try {
    value = StrToInt(text);
  } catch (const EConvertError& refusal) {
    // The message holds the text whole, as the window's dialog shows it.
    Expect(refusal.Message() == "'" + std::string(text) + "' is not a valid integer value",
           "a refusal that does not quote the text whole");
  }
  // The plain digits that every other whole number is typed in mean the
  // same here.
  if (const auto decimal = DecimalValue(text, 0, std::numeric_limits<std::int32_t>::max())) {
    Expect(value && *value == *decimal, "plain digits read otherwise than as a decimal number");
  }
  bool threwOnSet = false;
  try {
    run.SetThresholdText(std::string(text));
  } catch (const EConvertError&) {
    threwOnSet = true;
  }
  Expect(threwOnSet == !value, "the run and StrToInt disagree on whether the text is a threshold");
  if (!value) {
    Expect(run.ThresholdText() == "6" && run.Threshold() == std::uint16_t{6},
           "a refused threshold changed the run");
    return false;
  }
  const auto low16 = static_cast<std::uint16_t>(static_cast<std::uint32_t>(*value) & 0xFFFFu);
  Expect(ThresholdFromText(text) == low16, "the threshold is not the value's low 16 bits");
  Expect(run.ThresholdText() == text && run.Threshold() == low16, "the run does not hold the threshold set");
  // Its decimal form reads back as the same value (a minus sign, then the
  // magnitude, for the most negative one too).
  Expect(StrToInt(std::to_string(*value)) == *value, "the value's decimal form reads back otherwise");
  run.Step();
  return true;
}

}  // namespace dla::fuzz
