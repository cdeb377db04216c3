#include "ReferenceStep.h"

#include "Random.h"
#include "ReferenceRules.h"

namespace dla::test {

ReferenceWorld::ReferenceWorld(std::int32_t width, std::int32_t height, std::uint32_t seed,
                               std::int32_t agents)
    : Columns(Low32(RoundHalfEven(static_cast<long double>(width) / 3))),
      Rows(Low32(RoundHalfEven(static_cast<long double>(height) / 3))),
      FieldWidth(3 * Columns),
      FieldHeight(3 * Rows),
      Cells(static_cast<std::size_t>(Columns), std::vector<TCell>(static_cast<std::size_t>(Rows))),
      Canvas(width, height),
      random_(seed) {
  for (std::int32_t row = 0; row < Rows; ++row) {
    for (std::int32_t column = 0; column < Columns; ++column) {
      Cells[column][row] = TCell(3 * column + 2, 3 * row + 2, 2);
    }
  }
  for (std::int32_t row = 0; row < Rows; ++row) {
    for (std::int32_t column = 0; column < Columns; ++column) {
      Cells[column][row].SetState(0);
      Cells[column][row].Shade = 0;
      Cells[column][row].Draw(Canvas);
    }
  }
  Agents.resize(static_cast<std::size_t>(agents > 0 ? agents : 0));
  for (TAgent& agent : Agents) {
    agent.SetX(3 * random_.UniformBelow(Columns) + 2);
    agent.SetY(3 * random_.UniformBelow(Rows) + 2);
    agent.SetHeading(45 * random_.UniformBelow(8));
    agent.SetRadius(1);
    agent.Moving = 1;
    agent.Draw(Canvas);
  }
}

void ReferenceWorld::SumNeighbourhood(std::int32_t column, std::int32_t row) {
  for (std::int32_t dr = -1; dr <= 1; ++dr) {
    for (std::int32_t dc = -1; dc <= 1; ++dc) {
      std::int32_t nc = column + dc;
      if (nc < 0) nc = Columns - 1;
      if (nc > Columns - 1) nc = 0;
      std::int32_t nr = row + dr;
      if (nr < 0) nr = Rows - 1;
      if (nr > Rows - 1) nr = 0;
      Cells[column][row].NeighbourSum += Cells[nc][nr].State();
    }
  }
}

StepResult ReferenceWorld::RunStep(std::uint16_t threshold) {
  for (std::int32_t row = 0; row < Rows; ++row) {
    for (std::int32_t column = 0; column < Columns; ++column) {
      TCell& cell = Cells[column][row];
      if (cell.Shade == 0) cell.SetState(0);
      cell.NeighbourSum = 0;
      cell.AgentIndexes.clear();
      cell.Draw(Canvas);
    }
  }
  StepResult result;
  const std::size_t count = Agents.size();
  for (std::size_t k = 0; k < count; ++k) {
    TAgent& agent = Agents[k];
    if (agent.Moving == 1) {
      result.AnyFree = true;
      ++result.FreeAgents;
      const std::int32_t turn = Low32(RoundHalfEven(UniformReal(random_) * 5 + (-2)));
      agent.Heading = static_cast<std::int32_t>(static_cast<std::uint32_t>(agent.Heading) +
                                                static_cast<std::uint32_t>(45 * turn));
      agent.DX = Low32(RoundHalfEven(Sine(agent.Heading)));
      agent.DY = Low32(RoundHalfEven(Cosine(agent.Heading)));
      agent.SetX(agent.X + 3 * agent.DX);
      agent.SetY(agent.Y + 3 * agent.DY);
      if (agent.X < 0) agent.SetX(FieldWidth - 2);
      if (agent.X > FieldWidth) agent.SetX(1);
      if (agent.Y < 0) agent.SetY(FieldHeight - 2);
      if (agent.Y > FieldHeight) agent.SetY(1);
    }
    const auto column = Low32(RoundHalfEven(static_cast<long double>(std::int64_t{agent.X} - 2) / 3));
    const auto row = Low32(RoundHalfEven(static_cast<long double>(std::int64_t{agent.Y} - 2) / 3));
    TCell& cell = Cells[column][row];
    cell.SetState(cell.State() + 1);
    cell.AgentIndexes.push_back(static_cast<std::int32_t>(k));
    cell.Draw(Canvas);
    agent.Draw(Canvas);
  }
  for (std::int32_t row = 0; row < Rows; ++row) {
    for (std::int32_t column = 0; column < Columns; ++column) {
      SumNeighbourhood(column, row);
      TCell& cell = Cells[column][row];
      if (threshold < cell.NeighbourSum && cell.Shade == 0 && !cell.AgentIndexes.empty()) {
        cell.Shade = 255;
        for (const std::int32_t index : cell.AgentIndexes) Agents[index].Moving = 0;
        cell.Draw(Canvas);
      }
    }
  }
  ++StepCount;
  result.StepNumber = StepCount;
  return result;
}

}  // namespace dla::test
