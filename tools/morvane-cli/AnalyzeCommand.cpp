// analyze: every move of a game beside the best move, what it lost, and each side's summary.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "Failures.h"
#include "Solving.h"
#include "engine/Catalogue.h"
#include "engines/EngineFactory.h"
#include "game/GameAnalysis.h"
#include "game/GgfFile.h"
#include "game/MoveValues.h"

namespace morvane::cli {

namespace {

const char* const AnalyzeUsage =
    "usage: analyze [--board 8|10|88] [--eval NAME] [--level NAME | --depth D --exact E] "
    "[--data DIR] [--hash BITS] [--threads N] FILE|TRANSCRIPT";

// Without a level: an 8 x 8 tournament game takes a few seconds of one core (BENCHMARKS.md);
// the 10-wide boards have more moves and a slower solver, so their midgame is shallower and
// their exact part shorter.
TFixedSearchInfo DefaultLevel(TBoardKind kind) {
  TFixedSearchInfo level;
  const bool eight = kind == TBoardKind::Board8x8;
  level.Depth = eight ? 12 : 10;
  level.ExactEmpties = eight ? 20 : 16;
  return level;
}

// A GGF file (its first game), a file of transcripts (its first line), or a transcript given
// as the argument, from the standard start.
TGame ReadGame(const std::string& argument, TBoardKind kind) {
  std::error_code code;
  const std::filesystem::path path(argument);
  const bool looksLikeFile = argument.find_first_of("/.\\") != std::string::npos;
  if (std::filesystem::exists(path, code) || looksLikeFile) {
    RequireFile(path, "game file");
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) throw TDataError("cannot read the game file \"" + argument + "\"");
    std::string problem;
    const auto games = ReadGameText(text.str(), kind, &problem);
    if (!games) throw TDataError("\"" + argument + "\" " + problem);
    return games->front().Game;
  }
  std::string problem;
  const auto game = TGame::FromTranscript(TPosition(kind), argument, &problem);
  if (!game)
    throw TUsageError("\"" + argument + "\" is no game file, and no transcript: " + problem);
  return *game;
}

void PrintSummary(const TColourSummary& summary, TColour colour) {
  std::printf("summary %s: loss %.2f, mistakes over 2: %d, over 4: %d, over 8: %d\n",
              ColourName(colour), static_cast<double>(summary.Loss) / DiscUnit,
              summary.MistakesOver2, summary.MistakesOver4, summary.MistakesOver8);
}

}  // namespace

int RunAnalyze(const TArguments& arguments) {
  arguments.Allow({"board", "eval", "level", "depth", "exact", "data", "hash", "threads"});
  if (arguments.Positional().size() != 1) throw TUsageError(AnalyzeUsage);
  const TBoardKind kind = BoardKindOption(arguments);
  const std::string name = EvaluationOption(arguments, kind);
  const TFixedSearchInfo level = LevelOption(arguments, DefaultLevel(kind));
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  const TGame game = ReadGame(arguments.Positional()[0], kind);
  if (game.Plies() == 0) throw TDataError("the game has no move");
  std::unique_ptr<TOthelloPatternEngine> engine = ReadingInput(
      [&] { return CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", "")); });
  ThreadsOption(arguments, *engine, DefaultSearchThreads());
  const TGameAnalysis analysis = AnalyseGame(*engine, game, level);
  TPosition position = game.Start();
  for (size_t ply = 0; ply < analysis.Plies.size(); ++ply) {
    const TPlyAnalysis& each = analysis.Plies[ply];
    std::printf("%zu %s %s %s %s %s %s%s\n", ply + 1, ColourName(each.Mover),
                position.MoveText(each.Played).c_str(), ValueText(each.PlayedValue).c_str(),
                position.MoveText(each.Best).c_str(), ValueText(each.BestValue).c_str(),
                ValueText(each.Loss).c_str(), each.Exact ? " exact" : "");
    position.Play(each.Played);
  }
  PrintSummary(analysis.Summary(TColour::Black), TColour::Black);
  PrintSummary(analysis.Summary(TColour::White), TColour::White);
  return 0;
}

}  // namespace morvane::cli
