#include "Solving.h"

#include "Failures.h"
#include "engine/Catalogue.h"
#include "engine/Position.h"
#include "engines/EngineFactory.h"
#include "game/MoveValues.h"

namespace morvane::cli {

namespace {

// The engine's drivers answer a position without a move by a pass worth 0, which the window
// relies on; the command line reports the true value instead, as the game goes on: the
// opponent's search negated, or the final margin when neither side can move.
TSolveOutcome SearchThroughPass(TOthelloEngine& engine, const TFixedSearchInfo& level) {
  const int64_t start = TickCount();
  // The engine's board is a position of its kind by construction.
  const TPosition position = *TPosition::FromImage(engine.Kind(), engine.CurrentPosition());
  const TPositionValue value = SearchPosition(engine, position, level);
  TSolveOutcome outcome;
  outcome.RawScore = value.Score;
  outcome.Score = value.Score / DiscUnit;
  outcome.BestSquare = value.BestSquare;
  outcome.Nodes = value.Nodes;
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
  std::string problem;
  const auto position = TPosition::Parse(engine.Kind(), text, &problem);
  if (!position) return "not a position of this board: " + problem;
  // Neither search nor solver is made for a board no game can reach.
  if (position->Discs(TColour::Black) + position->Discs(TColour::White) == 0)
    return "the position has no disc";
  const PositionImage image = position->Image();
  engine.SetPosition(image.Board, image.SideToMove);
  if (engine.EmptyCount == 0) return "the position has no empty square";
  return "";
}

std::string EvaluationOption(const TArguments& arguments, TBoardKind kind) {
  std::string name;
  for (const TBoardEntry& board : Boards) {
    if (board.Kind == kind) {
      name = board.Evaluation;
      break;
    }
  }
  name = arguments.OptionOr("eval", name);
  const TEvaluationEntry* evaluation = FindEvaluation(name);
  if (!evaluation)
    throw TUsageError("unknown evaluation \"" + name + "\"; known: " + EvaluationNameList());
  if (evaluation->Kind != kind)
    throw TUsageError("evaluation " + name + " belongs to board " +
                      std::to_string(static_cast<int>(evaluation->Kind)) + ", not to board " +
                      std::to_string(static_cast<int>(kind)));
  return name;
}

TFixedSearchInfo LevelOption(const TArguments& arguments, const TFixedSearchInfo& fallback) {
  const auto name = arguments.Option("level");
  const bool fixed = arguments.Option("depth") || arguments.Option("exact");
  if (name && fixed) throw TUsageError("give --level or --depth and --exact, not both");
  if (name) {
    const TLevelEntry* level = FindLevel(*name);
    if (!level) throw TUsageError("unknown level \"" + *name + "\"; known are " + LevelNameList());
    return LevelInfo(*level);
  }
  if (!fixed) return fallback;
  if (!arguments.Option("depth") || !arguments.Option("exact"))
    throw TUsageError("--depth and --exact go together");
  TFixedSearchInfo level;
  level.Depth = static_cast<int32_t>(arguments.IntOption("depth", 0, 0, 60));
  level.ExactEmpties = static_cast<int32_t>(arguments.IntOption("exact", 0, 0, 100));
  return level;
}

void ThreadsOption(const TArguments& arguments, TOthelloPatternEngine& engine, int fallback,
                   bool generic) {
  const int threads = static_cast<int>(arguments.IntOption("threads", fallback, 1, 256));
  try {
    SetSearchThreads(engine, threads, generic);
  } catch (const std::runtime_error& error) {
    throw TDataError(error.what());
  }
}

std::string MoveText(const TOthelloEngine& engine, int square) {
  return square == PassMove ? "pa" : engine.MoveToText(square);
}

TSolveOutcome SolveExactly(TOthelloEngine& engine) {
  TFixedSearchInfo exact;
  exact.Depth = 0;
  exact.ExactEmpties = engine.PlayableSquares();
  return SearchThroughPass(engine, exact);
}

TSolveOutcome SearchLevel(TOthelloEngine& engine, const TFixedSearchInfo& level) {
  return SearchThroughPass(engine, level);
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
