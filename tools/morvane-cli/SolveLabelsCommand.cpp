// solve-labels: solves the late positions of archived games exactly and keeps the scores in the
// label caches that train --labels exact reads. Resumes where an earlier run stopped.
#include <chrono>
#include <filesystem>

#include "Commands.h"
#include "Failures.h"
#include "TrainingCommon.h"
#include "engines/EngineFactory.h"
#include "training/ExactLabels.h"
#include "training/TrainingSet.h"

namespace morvane::cli {

namespace {

const char* const SolveLabelsUsage =
    "usage: solve-labels --eval NAME --data DIR --cache DIR [--empties E] [--max-games N]\n"
    "                    [--minutes M] ARCHIVE...";

}  // namespace

int RunSolveLabels(const TArguments& arguments) {
  arguments.Allow({"eval", "data", "cache", "empties", "max-games", "minutes", "hash"});
  const std::string name = EightByEightName(arguments, SolveLabelsUsage);
  const auto cacheFolder = arguments.Option("cache");
  if (!cacheFolder || arguments.Positional().empty()) throw TUsageError(SolveLabelsUsage);
  const int empties = static_cast<int>(arguments.IntOption("empties", 14, 0, 15));
  const int64_t maxGames = arguments.IntOption("max-games", 0, 0, 100'000'000);
  const int64_t minutes = arguments.IntOption("minutes", 0, 0, 100'000);
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 20, 10, 26));

  for (const std::string& archive : arguments.Positional()) RequireFile(archive, "game archive");
  std::error_code error;
  if (std::filesystem::exists(*cacheFolder, error) &&
      !std::filesystem::is_directory(*cacheFolder, error))
    throw TUsageError("--cache must name a folder; \"" + *cacheFolder + "\" is a file");
  // The labels are exact whatever the evaluation; a trained one only orders the moves better.
  auto engine = ReadingInput(
      [&] { return CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", "")); });
  const auto began = std::chrono::steady_clock::now();
  bool outOfTime = false;
  int64_t games = 0;
  for (const std::string& archive : arguments.Positional()) {
    if (outOfTime) break;
    // A damaged cache is input the command cannot use.
    training::TLabelCache cache = ReadingInput(
        [&] { return training::TLabelCache(training::LabelCachePath(*cacheFolder, archive)); });
    PrintLine(
        Format("%s: %lld games cached", archive.c_str(), static_cast<long long>(cache.Size())));
    const auto state = training::SolveArchive(
        *engine, archive, cache, empties, maxGames,
        [&](const training::TSolveProgress& progress) {
          const double seconds =
              std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
          PrintLine(Format(
              "%s: game %lld, %lld solved in this run (%lld positions), %.1f "
              "games/s",
              archive.c_str(), static_cast<long long>(progress.Games),
              static_cast<long long>(progress.Solved), static_cast<long long>(progress.Positions),
              progress.Solved / std::max(seconds, 1.0)));
          outOfTime = minutes > 0 && seconds > 60.0 * static_cast<double>(minutes);
          return !outOfTime;
        },
        [](const std::string& line) { PrintLine("rejected " + line); });
    games += state.Games;
    PrintLine(Format("%s: %lld games, %lld solved in this run, cache now %lld games",
                     archive.c_str(), static_cast<long long>(state.Games),
                     static_cast<long long>(state.Solved), static_cast<long long>(cache.Size())));
  }
  if (games == 0 && !outOfTime) throw TDataError("there is no game in the archives given");
  return 0;
}

}  // namespace morvane::cli
