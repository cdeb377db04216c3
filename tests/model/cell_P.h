// TCell: one lattice site, a square on the drawing surface around a fixed
// centre, as the literal step keeps it (the world keeps its cells' values in
// TLattice's arrays). It records the agents that stand on it during a step
// and its shade.
#pragma once

#include <cstdint>
#include <vector>

namespace dla {

class TCanvas;

}  // namespace dla

namespace dla::test {

class TCell {
 public:
  TCell() = default;
  // Stores the centre and the half edge (2 in this program); all else 0.
  TCell(std::int32_t positionX, std::int32_t positionY, std::int32_t size) noexcept
      : positionX_(positionX), positionY_(positionY), size_(size) {}

  // Indexes into the world's agent list of the agents registered in this
  // cell during the current step, in registration order. Only the current
  // step's registrations are kept, also for an aggregated cell whose State
  // keeps growing, so the memory a cell holds does not grow over a run.
  std::vector<std::int32_t> AgentIndexes;
  // Sum of State over the 3 x 3 block round the cell (torus), as the step
  // computes it for the cells whose aggregation it tests.
  std::int32_t NeighbourSum = 0;
  // 0 open (drawn white), 255 aggregated (drawn black).
  std::int32_t Shade = 0;

  std::int32_t PositionX() const noexcept { return positionX_; }
  std::int32_t PositionY() const noexcept { return positionY_; }
  std::int32_t Size() const noexcept { return size_; }
  // Registrations counted in the cell: this step's for an open cell, all
  // since it aggregated for an aggregated one (saturating at 2^31 - 1, which
  // no threshold reaches, so saturation never changes a result).
  std::int32_t State() const noexcept { return state_; }

  // Store the value unchanged.
  void SetPositionX(std::int32_t value) noexcept { positionX_ = value; }
  void SetPositionY(std::int32_t value) noexcept { positionY_ = value; }
  void SetSize(std::int32_t value) noexcept { size_ = value; }
  void SetState(std::int32_t value) noexcept { state_ = value; }

  // The grey 255 - (low byte of shade), as 0x00BBGGRR.
  static constexpr std::uint32_t GreyOf(std::int32_t shade) noexcept {
    return (255u - (static_cast<std::uint32_t>(shade) & 0xFFu)) * 0x010101u;
  }
  // GreyOf(Shade).
  std::uint32_t Colour() const noexcept { return GreyOf(Shade); }

  // Pen width 0, brush and pen in Colour(), rectangle (PositionX - Size,
  // PositionY - Size, PositionX + Size, PositionY + Size).
  void Draw(TCanvas& canvas) const;

 private:
  std::int32_t positionX_ = 0;
  std::int32_t positionY_ = 0;
  std::int32_t size_ = 0;
  std::int32_t state_ = 0;
};

}  // namespace dla::test
