// One cell as the world shows it through Cells(): plain values read from the
// world's arrays, and a view of the indexes of the agents registered in it in
// the last step. Valid until the world next changes.
#pragma once

#include <cstdint>
#include <span>

namespace dla {

class TCellView {
 public:
  TCellView(std::int32_t column, std::int32_t row, std::int32_t state, std::int32_t neighbourSum,
            std::int32_t shade, std::span<const std::int32_t> agentIndexes) noexcept
      : AgentIndexes(agentIndexes),
        NeighbourSum(neighbourSum),
        Shade(shade),
        positionX_(3 * column + 2),
        positionY_(3 * row + 2),
        state_(state) {}

  // As TCell's fields: the last step's registrations in order, the sum of
  // State over the cell's 3 x 3 block, 0 open or 255 aggregated.
  std::span<const std::int32_t> AgentIndexes;
  std::int32_t NeighbourSum;
  std::int32_t Shade;

  // Centre 3 * column + 2, 3 * row + 2; half edge 2.
  std::int32_t PositionX() const noexcept { return positionX_; }
  std::int32_t PositionY() const noexcept { return positionY_; }
  std::int32_t Size() const noexcept { return 2; }
  std::int32_t State() const noexcept { return state_; }

 private:
  std::int32_t positionX_;
  std::int32_t positionY_;
  std::int32_t state_;
};

}  // namespace dla
