#include <cstdio>
#include <string>

#include "FuzzChecks.h"
#include "IntegerText.h"
#include "RunDefaults.h"
#include "TPageSetup.h"

namespace dla::fuzz {
namespace {

// Every byte as %XX: what a page would put in its address for the value.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%%%02X", static_cast<unsigned char>(c));
    out += pair;
  }
  return out;
}

}  // namespace

bool FuzzPageQuery(const std::uint8_t* data, std::size_t size) {
  const std::string_view query = AsText(data, size);
  web::TPageSetup setup;
  try {
    setup = web::TPageSetup::FromQuery(query);
  } catch (const std::invalid_argument& refusal) {
    const std::string_view message = refusal.what();
    bool named = false;
    for (const std::string_view name : {"seed", "agents", "threshold", "size", "step"}) {
      named = named || (message.starts_with(name) && message.size() > name.size() &&
                        (message[name.size()] == ':' || message[name.size()] == ' '));
    }
    Expect(named, "a refusal that names no parameter: " + std::string(message));
    return false;
  }
  if (setup.Agents) Expect(WindowAgentsRange.Holds(*setup.Agents), "agents outside the window's range");
  if (setup.Threshold) ThresholdFromText(*setup.Threshold);
  // The setup, written back as a page would link to it, reads as itself.
  std::string again = "?";
  if (setup.Seed) again += "seed=" + std::to_string(*setup.Seed) + "&";
  if (setup.Agents) again += "agents=" + std::to_string(*setup.Agents) + "&";
  if (setup.Size) again += "size=" + std::to_string(setup.Size->Width) + "x" + std::to_string(setup.Size->Height) + "&";
  if (setup.Step) again += "step=" + std::to_string(*setup.Step) + "&";
  if (setup.Threshold) again += "threshold=" + Escaped(*setup.Threshold);
  const web::TPageSetup reread = web::TPageSetup::FromQuery(again);
  const auto sameSize = [](const std::optional<tools::TDrawingSize>& a, const std::optional<tools::TDrawingSize>& b) {
    return a.has_value() == b.has_value() && (!a || (a->Width == b->Width && a->Height == b->Height));
  };
  Expect(reread.Seed == setup.Seed && reread.Agents == setup.Agents && reread.Threshold == setup.Threshold &&
             sameSize(reread.Size, setup.Size) && reread.Step == setup.Step,
         "a setup written as a query reads back otherwise");
  return true;
}

}  // namespace dla::fuzz
