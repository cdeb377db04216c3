#include "TCellGrid.h"

#include "TWorld.h"

namespace dla {

TCellView TCellGrid::Column::operator[](std::int32_t row) const { return world_->Cell(column_, row); }

std::int32_t TCellGrid::Columns() const noexcept { return world_->GridColumns(); }
std::int32_t TCellGrid::Rows() const noexcept { return world_->GridRows(); }

}  // namespace dla
