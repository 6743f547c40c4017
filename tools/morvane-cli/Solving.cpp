#include "Solving.h"

namespace morvane::cli {

namespace {

// The engine's drivers answer a position without a move by a pass worth 0, which the window
// relies on; the command line reports the true value instead, as the game goes on: the
// opponent's search negated, or the final margin when neither side can move. `search` runs on
// a position that has a move and leaves its result in the outcome.
template <typename TSearch>
TSolveOutcome SearchThroughPass(TOthelloEngine& engine, TSearch search) {
  TSolveOutcome outcome;
  const int64_t start = TickCount();
  if (HasMove(engine)) {
    const TSearchResult result = search();
    outcome.RawScore = result.Score;
    outcome.BestSquare = result.BestSquare;
    outcome.Nodes = engine.NodeCount;
  } else {
    engine.MakePass();
    if (HasMove(engine)) {
      outcome.RawScore = -search().Score;
      outcome.Nodes = engine.NodeCount;
    } else {
      // FinalMargin is the opponent's now.
      outcome.RawScore = -engine.FinalMargin() * DiscUnit;
    }
    engine.MakePass();
  }
  outcome.Score = outcome.RawScore / DiscUnit;
  outcome.Milliseconds = TickCount() - start;
  return outcome;
}

}  // namespace

bool HasMove(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  return list[0].Next != nullptr;
}

std::string LoadPositionText(TOthelloEngine& engine, const std::string& text) {
  const size_t squares = static_cast<size_t>(engine.BoardSide * engine.BoardSide);
  if (text.size() != squares + 1)
    return "a position has " + std::to_string(squares + 1) +
           " characters (the side to move, then the squares), not " + std::to_string(text.size());
  const char mover = text[0];
  if (mover != 'X' && mover != 'b' && mover != 'O' && mover != 'w')
    return std::string("the side to move must be X, b, O or w, not '") + mover + "'";
  PositionImage image{};
  engine.ParsePosition(text, image);
  engine.SetPosition(image.Board, image.SideToMove);
  if (engine.EmptyCount == 0) return "the position has no empty square";
  // Neither search nor solver is made for a board no game can reach.
  if (engine.OwnDiscs + engine.OppDiscs == 0) return "the position has no disc";
  return "";
}

std::string MoveText(const TOthelloEngine& engine, int square) {
  return square == PassMove ? "pa" : engine.MoveToText(square);
}

TSolveOutcome SolveExactly(TOthelloEngine& engine) {
  TFixedSearchInfo exact;
  exact.Depth = 0;
  exact.ExactEmpties = engine.PlayableSquares();
  return SearchThroughPass(engine, [&] { return engine.SearchFixedLevel(exact); });
}

TSolveOutcome SearchLevel(TOthelloEngine& engine, const TFixedSearchInfo& level) {
  return SearchThroughPass(engine, [&] { return engine.SearchFixedLevel(level); });
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
