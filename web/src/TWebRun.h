// The page's model: one world as the window holds it, the free-agents series
// of its chart, and the picture the page shows. Everything the page knows of
// the model comes from here, so the page runs the engine's own rules: the
// step, the threshold's reading, the picture and the series' CSV.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "StepResult.h"
#include "TFreeAgentsSeries.h"
#include "TWorld.h"

namespace dla::web {

class TWebRun {
 public:
  // The window's creation: a world over a drawing area of width x height
  // pixels and its first setup of `agents` agents. With a seed, every setup
  // places its agents from it, so the run is the run of
  // `dla-batch --seed`; without, each setup seeds from the clock.
  // Throws what TWorld throws.
  TWebRun(std::int32_t width, std::int32_t height, std::optional<std::uint32_t> seed,
          std::int32_t agents);

  // "new Setup": the series emptied, StepCount 0, `agents` new agents
  // (none if agents <= 0), every cell open.
  void NewSetup(std::int32_t agents);

  // One tick of the run: the threshold read from the edit's text as the
  // window reads it (dla::EConvertError, before anything changes, for a
  // text that is no integer), the step, its point added to the series.
  StepResult Step(std::string_view thresholdText);

  // Draws the world's picture (RGBA bytes, what a canvas' ImageData holds)
  // and returns its DrawingHeight rows of DrawingWidth pixels, no gap
  // between rows. Valid until the next call.
  const std::uint32_t* Render();

  const TWorld& World() const noexcept { return world_; }
  const TFreeAgentsSeries& Series() const noexcept { return series_; }

 private:
  TWorld world_;
  TFreeAgentsSeries series_;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace dla::web
