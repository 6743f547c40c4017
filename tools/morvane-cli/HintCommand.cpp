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
    "[--data DIR] [--hash BITS] POSITION";

// --level NAME, or --depth D with --exact E; the window's start level when neither is given.
TFixedSearchInfo LevelOption(const TArguments& arguments) {
  const auto name = arguments.Option("level");
  const bool fixed = arguments.Option("depth") || arguments.Option("exact");
  if (name && fixed) throw TUsageError("give --level or --depth and --exact, not both");
  if (name) {
    const TLevelEntry* level = FindLevel(*name);
    if (!level) throw TUsageError("unknown level \"" + *name + "\"; known are " + LevelNameList());
    return LevelInfo(*level);
  }
  if (!fixed) return LevelInfo(StartLevel);
  if (!arguments.Option("depth") || !arguments.Option("exact"))
    throw TUsageError("--depth and --exact go together");
  TFixedSearchInfo level;
  level.Depth = static_cast<int32_t>(arguments.IntOption("depth", 0, 0, 60));
  level.ExactEmpties = static_cast<int32_t>(arguments.IntOption("exact", 0, 0, 100));
  return level;
}

}  // namespace

int RunHint(const TArguments& arguments) {
  arguments.Allow({"board", "eval", "level", "depth", "exact", "data", "hash"});
  if (arguments.Positional().size() != 1) throw TUsageError(HintUsage);
  const TBoardKind kind = BoardKindOption(arguments);
  const std::string name = EvaluationOption(arguments, kind);
  const TFixedSearchInfo level = LevelOption(arguments);
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  std::string problem;
  const auto position = TPosition::Parse(kind, arguments.Positional()[0], &problem);
  if (!position) throw TUsageError("not a position of this board: " + problem);
  if (position->Discs(TColour::Black) + position->Discs(TColour::White) == 0)
    throw TUsageError("the position has no disc");
  if (position->IsFinished()) throw TUsageError("the game is over: no side has a move");
  std::unique_ptr<TOthelloPatternEngine> engine = ReadingInput(
      [&] { return CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", "")); });
  const TMoveValues values = ValueMoves(*engine, *position, level);
  for (const TMoveValue& value : values.Moves) {
    std::printf("%s %s%s\n", position->MoveText(value.Square).c_str(),
                ValueText(value.Score).c_str(), value.Exact ? " exact" : "");
  }
  return 0;
}

}  // namespace morvane::cli
