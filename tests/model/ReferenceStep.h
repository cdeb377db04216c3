// A world stepped exactly as the rules read, with nothing left out: every
// cell repainted in order, every shape drawn through the canvas, headings
// turned through the extended-precision sine and cosine. A cell's index
// array holds the current step's registrations only: the literal array,
// grown to the cumulative State in an aggregated cell, ends with them, and
// no step reads the rest. Slow; the fast world must match it bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "StepResult.h"
#include "TCanvas.h"
#include "TRandom.h"
#include "agenten.h"
#include "cell_P.h"

namespace dla::test {

class ReferenceWorld {
 public:
  // Drawing area width x height, every seeding leaving `seed`, `agents`
  // agents placed.
  ReferenceWorld(std::int32_t width, std::int32_t height, std::uint32_t seed, std::int32_t agents);

  StepResult RunStep(std::uint16_t threshold);
  // The next draw follows from `seed`.
  void Reseed(std::uint32_t seed) { random_.Reseed(seed); }

  std::int32_t Columns;
  std::int32_t Rows;
  std::int32_t FieldWidth;
  std::int32_t FieldHeight;
  std::int32_t StepCount = 0;
  std::vector<TAgent> Agents;
  std::vector<std::vector<TCell>> Cells;  // [column][row]
  TCanvas Canvas;

 private:
  void SumNeighbourhood(std::int32_t column, std::int32_t row);
  TRandom random_;
};

}  // namespace dla::test
