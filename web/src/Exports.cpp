// The functions the page calls: plain C exports over the page's one run
// (TRun, as every front end holds it), so the page needs no binding library
// and writes no rule of its own. Strings go in through dla_text_buffer
// (UTF-8 bytes and a length) and come out as NUL-terminated UTF-8; no
// exception crosses into JavaScript: a failed call leaves its message for
// dla_error().
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DrawingSize.h"
#include "MeasuresCsv.h"
#include "Render.h"
#include "RunDefaults.h"
#include "SeriesCsv.h"
#include "UsageError.h"
#include "TPageSetup.h"
#include "TRun.h"

namespace {

std::optional<dla::TRun> run;
dla::StepResult last;
std::optional<dla::web::TPageSetup> setup;
std::vector<std::uint32_t> pixels;
std::string error;
std::string text;
std::string out;
std::vector<double> outlineX, outlineY;

// Runs the call; an exception ends it, its message kept for dla_error().
template <typename Call>
bool Guarded(Call&& call) noexcept {
  error.clear();
  try {
    call();
    return true;
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown error";
  }
  return false;
}

std::string_view Text(std::int32_t length) {
  return std::string_view(text).substr(0, static_cast<std::size_t>(length < 0 ? 0 : length));
}

const char* Out(std::string value) {
  out = std::move(value);
  return out.c_str();
}

}  // namespace

extern "C" {

// A buffer of at least `bytes` bytes for the text of the next call.
EMSCRIPTEN_KEEPALIVE char* dla_text_buffer(std::int32_t bytes) {
  text.resize(static_cast<std::size_t>(bytes < 1 ? 1 : bytes));
  return text.data();
}

// The message of the last failed call; empty after a call that succeeded.
EMSCRIPTEN_KEEPALIVE const char* dla_error() { return error.c_str(); }

// The defaults the page starts from, the same as every front end's:
// agents, the agents' spin range and step, the threshold's spin range, the
// drawing area; and the threshold's text.
EMSCRIPTEN_KEEPALIVE const std::int32_t* dla_defaults() {
  static const std::int32_t values[] = {
      dla::RunDefaults.Agents,           dla::RunDefaults.WindowAgentsMin,    dla::RunDefaults.WindowAgentsMax,
      dla::RunDefaults.WindowAgentsStep, dla::RunDefaults.WindowThresholdMin, dla::RunDefaults.WindowThresholdMax,
      dla::RunDefaults.DrawingWidth,     dla::RunDefaults.DrawingHeight};
  return values;
}
EMSCRIPTEN_KEEPALIVE const char* dla_default_threshold() { return dla::RunDefaults.ThresholdText; }

// Reads the page's address query (the text in dla_text_buffer): 0, the
// setup then at dla_setup_*, or -1 with dla_error().
EMSCRIPTEN_KEEPALIVE int dla_read_setup(std::int32_t length) {
  setup.reset();
  return Guarded([&] { setup = dla::web::TPageSetup::FromQuery(Text(length)); }) ? 0 : -1;
}
EMSCRIPTEN_KEEPALIVE int dla_setup_has_seed() { return setup && setup->Seed ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE std::uint32_t dla_setup_seed() { return setup && setup->Seed ? *setup->Seed : 0; }
// -1 when the address gives none.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_setup_agents() { return setup && setup->Agents ? *setup->Agents : -1; }
// Null when the address gives none.
EMSCRIPTEN_KEEPALIVE const char* dla_setup_threshold() {
  return setup && setup->Threshold ? setup->Threshold->c_str() : nullptr;
}

// 0 when the address gives none.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_setup_width() { return setup && setup->Size ? setup->Size->Width : 0; }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_setup_height() { return setup && setup->Size ? setup->Size->Height : 0; }
// -1 when the address gives none.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_setup_step() { return setup && setup->Step ? *setup->Step : -1; }

// Reads the text in dla_text_buffer as a lattice size (dla-batch's --size):
// 0, the size then at dla_size_width() and dla_size_height(), or -1 with
// dla_error() ("size: expected WIDTHxHEIGHT in pixels, got 'x'").
namespace {
dla::tools::TDrawingSize checkedSize;
}
EMSCRIPTEN_KEEPALIVE int dla_check_size(std::int32_t length) {
  return Guarded([&] {
    try {
      checkedSize = dla::tools::DrawingSizeFromText(Text(length), "size");
    } catch (const dla::tools::EUsageError& e) {
      throw std::invalid_argument(e.Message());
    }
  }) ? 0 : -1;
}
EMSCRIPTEN_KEEPALIVE std::int32_t dla_size_width() { return checkedSize.Width; }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_size_height() { return checkedSize.Height; }

// The window's creation: a world over a drawing area of width x height
// pixels and its first setup of `agents` agents; hasSeed 0 seeds every
// setup from the clock. Returns 0, or -1 with dla_error().
EMSCRIPTEN_KEEPALIVE int dla_create(std::int32_t width, std::int32_t height, int hasSeed, std::uint32_t seed,
                                    std::int32_t agents) {
  return Guarded([&] {
    run.reset();
    dla::TRun::TSettings settings;
    settings.DrawingWidth = width;
    settings.DrawingHeight = height;
    settings.Agents = agents;
    if (hasSeed) settings.Seed = seed;
    settings.OutlineBuckets = dla::RunDefaults.OutlineBuckets;
    // For the measures chart and the measures CSV.
    settings.KeepMeasures = true;
    run.emplace(settings);
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    last = {};
  }) ? 0 : -1;
}

EMSCRIPTEN_KEEPALIVE int dla_new_setup(std::int32_t agents) {
  return Guarded([&] { run->NewSetup(agents); }) ? 0 : -1;
}

// Up to `steps` ticks, each reading the threshold from the text in
// dla_text_buffer; stops after a step in which no agent was free (the run
// has ended). Returns the steps made; a failed tick ends the call with
// dla_error() set and changes nothing.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_run(std::int32_t length, std::int32_t steps) {
  std::int32_t made = 0;
  Guarded([&] {
    const std::string_view threshold = Text(length);
    while (made < steps) {
      last = run->Step(threshold);
      ++made;
      if (!last.AnyFree) break;
    }
  });
  return made;
}

// Of the last step made (0 before the first).
EMSCRIPTEN_KEEPALIVE std::int32_t dla_last_free() { return last.FreeAgents; }
EMSCRIPTEN_KEEPALIVE int dla_last_any_free() { return last.AnyFree ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE std::int32_t dla_step_count() { return run->Steps(); }
EMSCRIPTEN_KEEPALIVE std::uint32_t dla_placement_seed() { return run->Seed(); }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_width() { return run->World().DrawingWidth(); }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_height() { return run->World().DrawingHeight(); }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_agent_count() { return static_cast<std::int32_t>(run->World().AgentCount()); }
// The threshold's text as the last step read it; valid until the next text
// returned.
EMSCRIPTEN_KEEPALIVE const char* dla_threshold_text() { return Out(run->ThresholdText()); }

// Draws the picture and returns its RGBA bytes (what a canvas' ImageData
// holds): DrawingHeight rows of DrawingWidth pixels, no gap between rows.
// Valid until the next call.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* dla_render() {
  dla::Render(run->World(), pixels.data(), run->World().DrawingWidth(), dla::PixelOrder::Rgba8888);
  return pixels.data();
}

// The series as dla-batch prints it; valid until the next text returned.
EMSCRIPTEN_KEEPALIVE const char* dla_csv() { return Out(dla::tools::TSeriesCsv::Text(run->Series())); }

// The measures at every step as dla-batch --measures-series writes them.
EMSCRIPTEN_KEEPALIVE const char* dla_measures_csv() {
  return Out(dla::tools::TMeasuresCsv::Text(run->MeasuresSeries()));
}

// The name a file of the run is offered under: what 0 the picture, 1 the
// series' CSV, 2 the chart's picture, 3 the measures' CSV. Valid until the
// next text returned.
EMSCRIPTEN_KEEPALIVE const char* dla_suggested_name(int what) {
  const char* suffixes[] = {dla::RunDefaults.PictureSuffix, dla::RunDefaults.SeriesSuffix,
                            dla::RunDefaults.ChartSuffix, dla::RunDefaults.MeasuresSuffix};
  return Out(run->SuggestedName(suffixes[what >= 0 && what < 4 ? what : 0]));
}

EMSCRIPTEN_KEEPALIVE std::int32_t dla_series_count() { return static_cast<std::int32_t>(run->Series().Count()); }

// The series' outline for the chart: returns its point count; the points are
// at dla_outline_x() and dla_outline_y() until the next call.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_outline() {
  outlineX.clear();
  outlineY.clear();
  run->Series().ForEachOutlinePoint([](std::int32_t step, std::int32_t free) {
    outlineX.push_back(step);
    outlineY.push_back(free);
  });
  return static_cast<std::int32_t>(outlineX.size());
}
EMSCRIPTEN_KEEPALIVE const double* dla_outline_x() { return outlineX.data(); }

// The measure in column `column` of the measures (TMeasureValues' order)
// over the steps, for the chart: each change held level to the next, absent
// values left out; of more than dla::RunDefaults.OutlineBuckets points, the
// lowest and the highest of each run, in order. Returns the point count;
// the points are at dla_outline_x() and dla_outline_y() until the next call.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_measures_outline(std::int32_t column) {
  std::vector<double> x, y;
  const auto c = static_cast<std::size_t>(column < 0 || column > 5 ? 0 : column);
  run->MeasuresSeries().ForEachChange([&](std::int32_t step, const dla::TMeasureValues& values) {
    if (values[c] != values[c]) return;
    if (!y.empty()) {
      x.push_back(step);
      y.push_back(y.back());
    }
    x.push_back(step);
    y.push_back(values[c]);
  });
  outlineX.clear();
  outlineY.clear();
  const std::size_t buckets = dla::RunDefaults.OutlineBuckets;
  const std::size_t width = std::max<std::size_t>(1, (x.size() + buckets - 1) / buckets);
  for (std::size_t first = 0; first < x.size(); first += width) {
    const std::size_t end = std::min(x.size(), first + width);
    std::size_t least = first, most = first;
    for (std::size_t i = first; i < end; ++i) {
      if (y[i] < y[least]) least = i;
      if (y[i] > y[most]) most = i;
    }
    outlineX.push_back(x[std::min(least, most)]);
    outlineY.push_back(y[std::min(least, most)]);
    if (least != most) {
      outlineX.push_back(x[std::max(least, most)]);
      outlineY.push_back(y[std::max(least, most)]);
    }
  }
  return static_cast<std::int32_t>(outlineX.size());
}
EMSCRIPTEN_KEEPALIVE const double* dla_outline_y() { return outlineY.data(); }

}  // extern "C"
