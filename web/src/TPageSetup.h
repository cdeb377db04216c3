// The setup a page's address asks for:
// ?seed=S&agents=N&threshold=T&size=WxH&step=K, read
// as the browser's URLSearchParams reads a query ('&' between parameters,
// '+' a blank, %XX a byte) and checked by the rules the window's command
// line checks them by. Parameters of other names are left alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "DrawingSize.h"

namespace dla::web {

struct TPageSetup {
  // 0 to 2^32 - 1: every setup places its agents from it.
  std::optional<std::uint32_t> Seed;
  // The window's agent range: the first setup's population.
  std::optional<std::int32_t> Agents;
  // Any text the threshold edit takes, put into it as given.
  std::optional<std::string> Threshold;
  // The drawing area, as dla-batch's --size takes it.
  std::optional<tools::TDrawingSize> Size;
  // 0 to 2^31 - 1: the page opens at this step of the run, stopped (a link
  // to a run as it stood).
  std::optional<std::int32_t> Step;

  // The query (with or without its leading '?'). Throws
  // std::invalid_argument, one line: "seed: expected a whole number from 0
  // to 4294967295, got 'x'", "threshold: 'x' is not a valid integer value",
  // "size: expected WIDTHxHEIGHT in pixels, got 'x'", "seed given twice".
  static TPageSetup FromQuery(std::string_view query);
};

}  // namespace dla::web
