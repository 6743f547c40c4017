// match: two engines, each with its set-up, data folder and level, play N games from random
// openings, each opening twice with the colours exchanged. Finished games are appended to a
// results file, so a stopped match resumes.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "engine/Catalogue.h"
#include "Failures.h"
#include "SelfPlayCommon.h"
#include "Solving.h"
#include "TrainingCommon.h"
#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "training/GameArchive.h"
#include "training/Match.h"
#include "training/SelfPlayGames.h"

namespace morvane::cli {

namespace {

const char* const MatchUsage =
    "usage: match --eval-a NAME --data-a DIR --level-a D/E --eval-b NAME --data-b DIR\n"
    "             --level-b D/E [--games N] [--seed S] [--random-moves K] [--results FILE]\n"
    "             [--threads N]";

}  // namespace

int RunMatch(const TArguments& arguments) {
  arguments.Allow({"eval-a", "data-a", "level-a", "eval-b", "data-b", "level-b", "games", "seed",
                   "random-moves", "results", "hash", "threads"});
  if (!arguments.Positional().empty()) throw TUsageError(MatchUsage);
  const auto evalA = arguments.Option("eval-a"), evalB = arguments.Option("eval-b");
  const auto levelA = arguments.Option("level-a"), levelB = arguments.Option("level-b");
  if (!evalA || !evalB || !levelA || !levelB) throw TUsageError(MatchUsage);
  for (const std::string* name : {&*evalA, &*evalB})
    if (!FindEvaluation(*name))
      throw TUsageError("unknown evaluation \"" + *name + "\"; known are " + EvaluationNameList());
  const TFixedSearchInfo a = LevelOption(*levelA, "--level-a");
  const TFixedSearchInfo b = LevelOption(*levelB, "--level-b");
  const int games = static_cast<int>(arguments.IntOption("games", 200, 2, 100000));
  if (games % 2 != 0) throw TUsageError("--games must be even: every opening is played twice");
  const auto seed = static_cast<uint32_t>(arguments.IntOption("seed", 1, 0, 4294967295LL));
  const int randomMoves = static_cast<int>(arguments.IntOption("random-moves", 8, 0, 40));
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 18, 10, 26));
  const std::string dataA = arguments.OptionOr("data-a", ""),
                    dataB = arguments.OptionOr("data-b", "");

  std::ostringstream key;
  key << *evalA << ' ' << dataA << ' ' << *levelA << ' ' << *evalB << ' ' << dataB << ' ' << *levelB
      << ' ' << seed << ' ' << randomMoves;
  const std::filesystem::path results = arguments.OptionOr(
      "results", (WorkFolder() / Format("match-%08x.txt", training::TextHash(key.str()))).string());
  RequireFileOrNothing(results, "--results");
  MakeFolder(results.parent_path());

  // Results of an earlier run with the same arguments: "game diff-for-A".
  std::vector<int> diffs;
  {
    std::ifstream file(results);
    int number = 0, diff = 0;
    while (file >> number >> diff && number == static_cast<int>(diffs.size()) + 1)
      diffs.push_back(diff);
  }
  if (!diffs.empty())
    PrintLine(Format("resuming after %zu games from %s", diffs.size(), results.string().c_str()));
  // Both engines must play on the same board; the 10-wide boards have their own rules here.
  TBoardKind kindA{}, kindB{};
  const bool wideA = WideKindOf(*evalA, kindA), wideB = WideKindOf(*evalB, kindB);
  if (wideA != wideB || (wideA && kindA != kindB))
    throw TUsageError("the two set-ups play on different boards");
  auto engineA = ReadingInput([&] { return CreateEngineFor(*evalA, hashBits, nullptr, dataA); });
  auto engineB = ReadingInput([&] { return CreateEngineFor(*evalB, hashBits, nullptr, dataB); });
  // One thread unless told otherwise, so that a match resumed later plays the same games.
  ThreadsOption(arguments, *engineA, 1);
  ThreadsOption(arguments, *engineB, 1);
  std::ofstream log(results, std::ios::app);
  if (!log) throw std::runtime_error("cannot write the results file \"" + results.string() + "\"");
  training::TSearchCost costA, costB;  // of the games played in this run
  for (int game = static_cast<int>(diffs.size()); game < games; ++game) {
    const bool aBlack = game % 2 == 0;
    training::TMatchGame played;
    if (wideA) {
      const std::vector<int> opening =
          training::RandomOpening(kindA, seed + game / 2, randomMoves);
      const training::TSelfPlayGame wide =
          aBlack ? training::PlaySelfPlayGame(kindA, *engineA, a, *engineB, b, opening)
                 : training::PlaySelfPlayGame(kindA, *engineB, b, *engineA, a, opening);
      played.BlackDiff = wide.BlackDiff;
    } else {
      const std::vector<int> opening = training::RandomOpening(seed + game / 2, randomMoves);
      played = aBlack ? training::PlayMatchGame(*engineA, a, *engineB, b, opening)
                      : training::PlayMatchGame(*engineB, b, *engineA, a, opening);
    }
    costA += aBlack ? played.Black : played.White;
    costB += aBlack ? played.White : played.Black;
    const int diff = aBlack ? played.BlackDiff : -played.BlackDiff;
    diffs.push_back(diff);
    if (!(log << game + 1 << ' ' << diff << '\n' << std::flush))
      throw std::runtime_error("writing the results file \"" + results.string() + "\" failed");
    std::printf("game %d: A (%s %s) plays %s, A %+d  %s\n", game + 1, evalA->c_str(),
                levelA->c_str(), aBlack ? "black" : "white", diff,
                training::MovesText(played.Moves).c_str());
    std::fflush(stdout);
  }
  const training::TMatchSummary summary = training::Summarise(diffs);
  int wins = 0, draws = 0;
  for (const int diff : diffs) {
    wins += diff > 0;
    draws += diff == 0;
  }
  std::printf(
      "A %s %s against B %s %s: %d games, %d wins, %d draws, %d losses; score %.1f%% +- "
      "%.1f%%, mean margin %+.2f +- %.2f discs\n",
      evalA->c_str(), levelA->c_str(), evalB->c_str(), levelB->c_str(), summary.Games, wins, draws,
      summary.Games - wins - draws, 100 * summary.Score, 100 * summary.ScoreMargin,
      summary.MeanDiff, summary.DiffMargin);
  // Whether one side won by searching more shows here (8 x 8 games of this run only).
  if (costA.Searches > 0 && costB.Searches > 0)
    std::printf(
        "per move: A %.2f ms and %.0f nodes, B %.2f ms and %.0f nodes (%d and %d searches)\n",
        1000 * costA.Seconds / costA.Searches, static_cast<double>(costA.Nodes) / costA.Searches,
        1000 * costB.Seconds / costB.Searches, static_cast<double>(costB.Nodes) / costB.Searches,
        costA.Searches, costB.Searches);
  return 0;
}

}  // namespace morvane::cli
