// hint: the value of every legal move of a position, best first.
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Failures.h"
#include "Solving.h"
#include "engine/Catalogue.h"
#include "engines/EngineFactory.h"
#include "game/MoveValues.h"

namespace morvane::cli {

namespace {

const char* const HintUsage =
    "usage: hint [--board 8|10|88] [--eval NAME] [--level NAME | --depth D --exact E] "
    "[--data DIR] [--hash BITS] [--threads N] POSITION";

}  // namespace

int RunHint(const TArguments& arguments) {
  arguments.Allow({"board", "eval", "level", "depth", "exact", "data", "hash", "threads"});
  if (arguments.Positional().size() != 1) throw TUsageError(HintUsage);
  const TBoardKind kind = BoardKindOption(arguments);
  const std::string name = EvaluationOption(arguments, kind);
  const TFixedSearchInfo level = LevelOption(arguments, LevelInfo(StartLevel));
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  std::string problem;
  const auto position = TPosition::Parse(kind, arguments.Positional()[0], &problem);
  if (!position) throw TUsageError("not a position of this board: " + problem);
  if (position->Discs(TColour::Black) + position->Discs(TColour::White) == 0)
    throw TUsageError("the position has no disc");
  if (position->IsFinished()) throw TUsageError("the game is over: no side has a move");
  std::unique_ptr<TOthelloPatternEngine> engine = ReadingInput(
      [&] { return CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", "")); });
  ThreadsOption(arguments, *engine, DefaultSearchThreads());
  const TMoveValues values = ValueMoves(*engine, *position, level);
  for (const TMoveValue& value : values.Moves) {
    std::printf("%s %s%s\n", position->MoveText(value.Square).c_str(),
                ValueText(value.Score).c_str(), value.Exact ? " exact" : "");
  }
  return 0;
}

}  // namespace morvane::cli
