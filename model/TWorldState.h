// Everything a world is, as plain values: what a checkpoint saves and what a
// world is rebuilt from (TWorld::State, and TWorld's restoring
// constructor). A world rebuilt from the state of another steps, draws and
// measures exactly as that one would from then on. What the step keeps only
// to go fast is not here; a rebuilt world works it out again.
#pragma once

#include <cstdint>
#include <vector>

#include "TWorld.h"
#include "agenten.h"

namespace dla {

struct TWorldState {
  // The drawing area in pixels; the lattice follows from it as in TWorld's
  // constructor.
  std::int32_t DrawingWidth = 0;
  std::int32_t DrawingHeight = 0;
  // Completed steps since the last setup, 0 to 2^31 - 1.
  std::int32_t StepCount = 0;
  // The random source: the next draw follows from it.
  std::uint32_t Seed = 0;
  // The seed that the last placement started from (TWorld::PlacementSeed).
  std::uint32_t PlacementSeed = 0;
  TWorld::TChange LastChange = TWorld::TChange::CellsReset;
  // The population in list order.
  std::vector<TAgent> Agents;
  // Per cell, row by row (row * columns + column): States (0 to 2^31 - 1)
  // and Shades (0 or 255).
  std::vector<std::int32_t> States;
  std::vector<std::uint8_t> Shades;
  // TWorld::NewAggregates: distinct aggregated cells; empty unless
  // LastChange is Stepped.
  std::vector<std::uint32_t> NewAggregates;
};

}  // namespace dla
