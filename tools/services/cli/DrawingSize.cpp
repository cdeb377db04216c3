#include "DrawingSize.h"

#include <algorithm>
#include <string>

#include "IntegerText.h"
#include "TWorld.h"
#include "UsageError.h"

namespace dla::tools {

TDrawingSize DrawingSizeFromText(std::string_view text, std::string_view name) {
  const auto bad = [&](const std::string& why) {
    return EUsageError(std::string(name) + ": " + why + ", got '" + std::string(text) + "'");
  };
  const std::size_t x = std::min(text.find_first_of("xX"), text.size());
  const auto width = DecimalValue(text.substr(0, x), 0, MaxDrawingPixels);
  const auto height = DecimalValue(text.substr(std::min(x + 1, text.size())), 0, MaxDrawingPixels);
  if (x == text.size() || !width || !height) throw bad("expected WIDTHxHEIGHT in pixels");
  if (const std::string fault = DrawingAreaFault(*width, *height); !fault.empty()) throw bad(fault);
  return {static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)};
}

}  // namespace dla::tools
