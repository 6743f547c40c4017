#include "Solving.h"

namespace morvane::cli {

bool HasMove(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  return list[0].Next != nullptr;
}

std::string MoveText(const TOthelloEngine& engine, int square) {
  return square == PassMove ? "pa" : engine.MoveToText(square);
}

TSolveOutcome SolveExactly(TOthelloEngine& engine) {
  TFixedSearchInfo exact;
  exact.Depth = 0;
  exact.ExactEmpties = engine.PlayableSquares();
  TSolveOutcome outcome;
  const int64_t start = TickCount();
  if (HasMove(engine)) {
    const TSearchResult result = engine.SearchFixedLevel(exact);
    outcome.RawScore = result.Score;
    outcome.Score = result.Score / DiscUnit;
    outcome.BestSquare = result.BestSquare;
    outcome.Nodes = engine.NodeCount;
  } else {
    engine.MakePass();
    if (HasMove(engine)) {
      outcome.Score = -engine.SearchFixedLevel(exact).Score / DiscUnit;
      outcome.Nodes = engine.NodeCount;
    } else {
      outcome.Score = -engine.FinalMargin();
    }
    engine.MakePass();
    outcome.RawScore = outcome.Score * DiscUnit;
  }
  outcome.Milliseconds = TickCount() - start;
  return outcome;
}

TSolveOutcome SearchLevel(TOthelloEngine& engine, const TFixedSearchInfo& level) {
  TSolveOutcome outcome;
  const int64_t start = TickCount();
  const TSearchResult result = engine.SearchFixedLevel(level);
  outcome.Milliseconds = TickCount() - start;
  outcome.RawScore = result.Score;
  outcome.Score = result.Score / DiscUnit;
  outcome.BestSquare = result.BestSquare;
  outcome.Nodes = engine.NodeCount;
  return outcome;
}

std::string PositionText(const TOthelloEngine& engine) {
  const PositionImage image = engine.CurrentPosition();
  const int side = engine.BoardSide;
  std::string text(1, image.SideToMove == BlackCell ? 'X' : 'O');
  for (int row = 1; row <= side; ++row) {
    for (int column = 1; column <= side; ++column) {
      const int8_t cell = image.Board[engine.SquareAt(column, row)];
      text += cell == BlackCell ? 'X' : cell == WhiteCell ? 'O' : '-';
    }
  }
  return text;
}

}  // namespace morvane::cli
