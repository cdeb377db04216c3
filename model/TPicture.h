// The drawing image and the bookkeeping that keeps it, pixel for pixel, as
// the literal step leaves it (every cell repainted in order, then each agent
// painted with its cell's square, then the new aggregates), while a step
// writes only the pixels that change.
//
// The base picture is what a full pass over the cells in order leaves: pixel
// (x, y) shows the cell of column min(x / 3, columns - 1) and row
// min(y / 3, rows - 1). A step's picture differs from the base only at what
// it wrote besides: agents' dots and open cells' squares, which are listed
// and put back to the base at the next step, and aggregated cells' squares
// with their stuck agents' dots, which are not while the cell's block is
// mixed: every such cell holds stuck agents, which write its black square
// again in the next step, before any pixel of it is relied on (until agents
// are moved by hand or placed again, after which everything is repainted).
// When its block becomes all aggregated, its square is listed once.
//
// A square is written only when it could show: an agent's square equals the
// base, and covers no earlier write of the same step, when its cell's 3 x 3
// block is all open or all aggregated and no agent registered before it in
// this step in its cell or in the cells east, south and south-east, whose
// dots the square reaches. That rests on each dot lying inside its own
// cell's 3 x 3 pixels, true of every position that placement and the step
// produce; a step after agents were changed by hand, or while an agent has a
// radius other than 1, writes every square and the next step repaints all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "TCanvas.h"
#include "cell_P.h"
#include "TLattice.h"
#include "agenten.h"

namespace dla {

class TPicture {
  static constexpr std::uint32_t Red = TCanvas::ToPixel(TCanvas::Red);
  struct Square {
    std::int32_t Column;
    std::int32_t Row;
  };
  // A 2 x 2 dot's top-left pixel (offset from the first pixel) and the cell
  // whose pixels it lies on.
  struct Dot {
    std::uint32_t Offset;
    std::uint32_t Cell;
  };

 public:
  // A white width x height image, or none (a 0 x 0 canvas) when !paints.
  TPicture(std::int32_t width, std::int32_t height, bool paints);
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  TPicture(TPicture&&) noexcept = default;
  TPicture& operator=(TPicture&&) noexcept = default;

  bool Paints() const noexcept { return paints_; }
  const TCanvas& Canvas() const noexcept { return canvas_; }

  // All white, nothing listed: the picture of freshly reset cells.
  void Clear();
  // A placed agent's red dot (Radius 1, in the cell at `index`).
  void PaintPlaced(const TAgent& agent, std::size_t index);
  // Back to the base picture of the lattice's current shades.
  void RestoreBase(const TLattice& lattice);
  // The next RestoreBase repaints every pixel.
  void RepaintAllNext() noexcept { repaintAll_ = true; }

  // Paints the agents of one registration sweep. It holds where the
  // sweep writes in plain pointers, so that the sweep keeps them in
  // registers; made by StartSweep, handed back to FinishSweep.
  class Brush {
   public:
    // An agent registered in cell (column, row) at `index`: its square
    // where it could show (every square with AllSquares), then its dot.
    // staysPut: the agent will register in the same cell in the next step.
    template <bool AllSquares>
    [[gnu::always_inline]] void Paint(TLattice& lattice, const TAgent& agent, std::int32_t column,
                                      std::int32_t row, std::size_t index, bool staysPut) {
      std::uint8_t* const marks = lattice.Marks();
      const std::uint8_t own = marks[index];
      bool square = AllSquares;
      if constexpr (!AllSquares) {
        const std::uint8_t nearby = own & TLattice::AggregatedNearbyMask;
        square = (nearby != 0 && nearby != 9) || (own & TLattice::RegisteredFlag) != 0;
        if (!square) {
          const std::int32_t east = lattice.NextColumn(column);
          const std::int32_t south = lattice.NextRow(row);
          square = ((marks[lattice.IndexOf(east, row)] | marks[lattice.IndexOf(column, south)] |
                     marks[lattice.IndexOf(east, south)]) &
                    TLattice::RegisteredFlag) != 0;
        }
      }
      const std::uint8_t shade = lattice.Shades()[index];
      if (square) {
        const std::uint32_t pixel = ShadePixel(shade);
        std::uint32_t* p = pixels_ + 3 * row * stride_ + 3 * column;
        for (int dy = 0; dy < 4; ++dy, p += stride_) {
          p[0] = pixel; p[1] = pixel; p[2] = pixel; p[3] = pixel;
        }
        // An aggregated cell's square is black and its stuck agents write it
        // again in every step where it differs from the base.
        if (shade == 0 && (own & TLattice::SquareListedFlag) == 0) *squares_++ = Square{column, row};
        marks[index] = own | TLattice::RegisteredFlag | TLattice::SquareListedFlag;
      } else {
        marks[index] = own | TLattice::RegisteredFlag;
      }
      if (agent.Radius == 1) {
        const std::ptrdiff_t offset = (agent.Y - 1) * stride_ + (agent.X - 1);
        std::uint32_t* dot = pixels_ + offset;
        dot[0] = Red; dot[1] = Red;
        dot[stride_] = Red; dot[stride_ + 1] = Red;
        // A dot that stays put in an aggregated cell whose block is mixed is
        // covered by the cell's square in the next step.
        if (!staysPut || shade == 0 || (own & TLattice::AggregatedNearbyMask) == 9) {
          *dots_++ = Dot{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(index)};
        }
      } else {
        agent.Draw(*canvas_);
        repaintAll_ = true;
      }
    }
    // The top-left pixel of an agent's dot, for prefetching.
    const std::uint32_t* DotPixel(const TAgent& agent) const noexcept {
      return pixels_ + (agent.Y - 1) * stride_ + (agent.X - 1);
    }

   private:
    friend class TPicture;
    TCanvas* canvas_ = nullptr;
    std::uint32_t* pixels_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    Square* squares_ = nullptr;
    Dot* dots_ = nullptr;
    bool repaintAll_ = false;
  };

  // Room for a square and a dot for each of `agents` registrations.
  Brush StartSweep(std::size_t agents);
  // Keeps what the brush listed.
  void FinishSweep(const Brush& brush) noexcept;

  // A newly aggregated cell's black square (not listed: its agents, now
  // stuck, paint it again).
  void PaintAggregated(std::int32_t column, std::int32_t row);
  // Lists the square of an aggregated cell whose block has just become all
  // aggregated: its stuck agents stop painting it, so the dots they left on
  // it are put back to the base at the next step.
  void ListSquare(std::int32_t column, std::int32_t row);

  // The stored pixel of a cell's grey.
  static constexpr std::uint32_t ShadePixel(std::int32_t shade) noexcept {
    return TCanvas::ToPixel(TCell::GreyOf(shade));
  }

 private:
  // The base picture in a cell's 4 x 4 square: its own 3 x 3 pixels, the
  // right column and bottom row belonging to the neighbours there.
  void RestoreSquare(const TLattice& lattice, Square square);
  void PaintBase(const TLattice& lattice);

  bool paints_;
  TCanvas canvas_;
  std::uint32_t* pixels_;
  std::ptrdiff_t stride_;
  // What the last step wrote besides the base: squares_[0, squareCount_)
  // and dots_[0, dotCount_); the vectors only grow.
  std::vector<Square> squares_;
  std::vector<Dot> dots_;
  std::size_t squareCount_ = 0;
  std::size_t dotCount_ = 0;
  bool repaintAll_ = false;
};

}  // namespace dla
