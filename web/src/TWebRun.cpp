#include "TWebRun.h"

#include "IntegerText.h"
#include "Random.h"
#include "Render.h"

namespace dla::web {

TWebRun::TWebRun(std::int32_t width, std::int32_t height, std::optional<std::uint32_t> seed,
                 std::int32_t agents)
    : world_(width, height, seed ? FixedSeed(*seed) : SeedClock(ClockSeed)),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
  // The window's creation: the cells reset, then the first population.
  world_.CreateAgents(agents);
}

void TWebRun::NewSetup(std::int32_t agents) {
  series_.Clear();
  world_.NewSetup(agents);
}

StepResult TWebRun::Step(std::string_view thresholdText) {
  const std::uint16_t threshold = ThresholdFromText(thresholdText);
  const StepResult result = world_.RunStep(threshold);
  series_.Add(result.StepNumber, result.FreeAgents);
  return result;
}

const std::uint32_t* TWebRun::Render() {
  dla::Render(world_, pixels_.data(), world_.DrawingWidth(), PixelOrder::Rgba8888);
  return pixels_.data();
}

}  // namespace dla::web
