// The world's cells as the rules name them, Cells[column][row], read from
// the world's state for the tests: a cell's AgentIndexes are the agents that
// registered in it in the last step (every agent registers where it stands
// after the step), its NeighbourSum the sum of the States of its 3 x 3
// block on the torus. Valid until the world changes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "TWorld.h"

namespace dla::test {

struct CellView {
  std::vector<std::int32_t> AgentIndexes;
  std::int32_t NeighbourSum;
  std::int32_t Shade;
  std::int32_t positionX, positionY, state;
  std::int32_t PositionX() const { return positionX; }
  std::int32_t PositionY() const { return positionY; }
  std::int32_t Size() const { return 2; }
  std::int32_t State() const { return state; }
};

class CellGrid {
 public:
  explicit CellGrid(const TWorld& world)
      : world_(&world), states_(world.CopyStates()), agents_(states_.size()) {
    const std::vector<TAgent> agents = world.CopyAgents();
    for (std::size_t k = 0; k < agents.size(); ++k) {
      const std::size_t cell = static_cast<std::size_t>((agents[k].Y - 1) / 3) * world.GridColumns() +
                               static_cast<std::size_t>((agents[k].X - 1) / 3);
      agents_[cell].push_back(static_cast<std::int32_t>(k));
    }
  }

  CellView Cell(std::int32_t column, std::int32_t row) const {
    const std::int32_t columns = world_->GridColumns(), rows = world_->GridRows();
    std::int64_t sum = 0;
    for (const std::int32_t dr : {-1, 0, 1}) {
      for (const std::int32_t dc : {-1, 0, 1}) {
        const std::int32_t c = (column + dc + columns) % columns, r = (row + dr + rows) % rows;
        sum += states_[static_cast<std::size_t>(r) * columns + c];
      }
    }
    const std::size_t index = static_cast<std::size_t>(row) * columns + column;
    return {agents_[index],
            static_cast<std::int32_t>(std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max())),
            world_->Shades()[index], 3 * column + 2, 3 * row + 2, states_[index]};
  }

  struct Column {
    const CellGrid* grid;
    std::int32_t column;
    CellView operator[](std::int32_t row) const { return grid->Cell(column, row); }
  };
  Column operator[](std::int32_t column) const { return {this, column}; }

 private:
  const TWorld* world_;
  std::vector<std::int32_t> states_;
  std::vector<std::vector<std::int32_t>> agents_;
};

}  // namespace dla::test
