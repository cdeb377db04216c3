// The functions the page calls: plain C exports over the page's one run, so
// the page needs no binding library. Strings go in through dla_text_buffer
// (UTF-8 bytes and a length) and come out as NUL-terminated UTF-8; no
// exception crosses into JavaScript: a failed call leaves its message for
// dla_error().
#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IntegerText.h"
#include "TWebRun.h"

namespace {

std::optional<dla::web::TWebRun> run;
dla::StepResult last;
std::string error;
std::string text;
std::string csv;
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

}  // namespace

extern "C" {

// A buffer of at least `bytes` bytes for the text of the next call.
EMSCRIPTEN_KEEPALIVE char* dla_text_buffer(std::int32_t bytes) {
  text.resize(static_cast<std::size_t>(bytes < 1 ? 1 : bytes));
  return text.data();
}

// The message of the last failed call; empty after a call that succeeded.
EMSCRIPTEN_KEEPALIVE const char* dla_error() { return error.c_str(); }

// The window's creation (TWebRun); hasSeed 0 seeds every setup from the
// clock. Returns 0, or -1 with dla_error().
EMSCRIPTEN_KEEPALIVE int dla_create(std::int32_t width, std::int32_t height, int hasSeed,
                                    std::uint32_t seed, std::int32_t agents) {
  return Guarded([&] {
    run.reset();
    run.emplace(width, height, hasSeed ? std::optional<std::uint32_t>(seed) : std::nullopt, agents);
  }) ? 0 : -1;
}

EMSCRIPTEN_KEEPALIVE int dla_new_setup(std::int32_t agents) {
  return Guarded([&] { run->NewSetup(agents); }) ? 0 : -1;
}

// Checks a threshold text as a step reads it (the text in dla_text_buffer):
// 0 if a step would take it, -1 with dla_error() otherwise.
EMSCRIPTEN_KEEPALIVE int dla_check_threshold(std::int32_t length) {
  return Guarded([&] { dla::ThresholdFromText(Text(length)); }) ? 0 : -1;
}

// Up to `steps` ticks, each reading the threshold from the text in
// dla_text_buffer; stops after a step in which no agent was free (the run has
// ended). Returns the steps made; a failed tick ends the call with dla_error()
// set and changes nothing.
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

EMSCRIPTEN_KEEPALIVE std::int32_t dla_step_count() { return run->World().StepCount(); }
EMSCRIPTEN_KEEPALIVE std::uint32_t dla_placement_seed() { return run->World().PlacementSeed(); }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_width() { return run->World().DrawingWidth(); }
EMSCRIPTEN_KEEPALIVE std::int32_t dla_height() { return run->World().DrawingHeight(); }

// Draws the picture; returns its RGBA bytes (see TWebRun::Render).
EMSCRIPTEN_KEEPALIVE const std::uint32_t* dla_render() { return run->Render(); }

// The series as CSV; valid until the next call of this function.
EMSCRIPTEN_KEEPALIVE const char* dla_csv() {
  csv = run->Series().Csv();
  return csv.c_str();
}

EMSCRIPTEN_KEEPALIVE std::int32_t dla_series_count() {
  return static_cast<std::int32_t>(run->Series().Count());
}

// The series' outline for the chart: returns its point count; the points are
// at dla_outline_x() and dla_outline_y() until the next call.
EMSCRIPTEN_KEEPALIVE std::int32_t dla_outline() {
  return static_cast<std::int32_t>(run->Series().Outline(outlineX, outlineY));
}
EMSCRIPTEN_KEEPALIVE const double* dla_outline_x() { return outlineX.data(); }
EMSCRIPTEN_KEEPALIVE const double* dla_outline_y() { return outlineY.data(); }

}  // extern "C"
