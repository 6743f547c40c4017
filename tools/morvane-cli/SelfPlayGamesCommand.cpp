// selfplay-games: self-play games of a set-up with its current coefficients, appended
// to a compact game file; a rerun with the same seed continues where the file stops.
#include <chrono>
#include <filesystem>

#include "Commands.h"
#include "Failures.h"
#include "SelfPlayCommon.h"
#include "TrainingCommon.h"
#include "engines/EngineFactory.h"
#include "training/SelfPlayGames.h"

namespace morvane::cli {

namespace {

const char* const SelfPlayGamesUsage =
    "usage: selfplay-games --eval NAME --data DIR --games N --out FILE\n"
    "             [--seed S] [--level D/E] [--min-random K] [--max-random K] [--hash BITS]";

}  // namespace

int RunSelfPlayGames(const TArguments& arguments) {
  arguments.Allow(
      {"eval", "data", "games", "out", "seed", "level", "min-random", "max-random", "hash"});
  if (!arguments.Positional().empty()) throw TUsageError(SelfPlayGamesUsage);
  const TSelfPlaySetup setup = SelfPlaySetup(arguments, SelfPlayGamesUsage);
  const auto out = arguments.Option("out");
  const auto data = arguments.Option("data");
  if (!out || !data) throw TUsageError(SelfPlayGamesUsage);
  const auto games = static_cast<size_t>(arguments.IntOption("games", 0, 1, 10'000'000));
  const auto seed = static_cast<uint32_t>(arguments.IntOption("seed", 1, 0, 4294967295LL));
  const TFixedSearchInfo level = LevelOption(arguments.OptionOr("level", "2/12"), "--level");
  const int minRandom = static_cast<int>(arguments.IntOption("min-random", 2, 0, 60));
  const int maxRandom = static_cast<int>(arguments.IntOption("max-random", 30, minRandom, 60));
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 18, 10, 26));

  // The inputs first, so that a failed start leaves no new file behind: the coefficients, and
  // the game file being continued.
  auto engine = ReadingInput([&] { return CreateEngineFor(setup.Name, hashBits, nullptr, *data); });
  std::error_code error;
  if (std::filesystem::exists(*out, error)) CheckGameFiles(setup, {*out});
  training::TGameFileWriter writer(*out, setup.Kind);
  if (writer.GameCount() > 0)
    PrintLine(Format("%zu games in %s; continuing", writer.GameCount(), out->c_str()));
  const auto began = std::chrono::steady_clock::now();
  const size_t first = writer.GameCount();
  int64_t moves = 0;
  for (size_t index = first; index < games; ++index) {
    const std::vector<int> opening =
        training::SelfPlayOpening(setup.Kind, seed, index, minRandom, maxRandom);
    const training::TSelfPlayGame game =
        training::PlaySelfPlayGame(setup.Kind, *engine, level, *engine, level, opening);
    writer.Append(game);
    moves += static_cast<int64_t>(game.Moves.size());
    const size_t done = index + 1 - first;
    if (done % 50 == 0 || index + 1 == games) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      PrintLine(Format("%zu games (%zu this run), %.2f games/s, %.1f moves per game", index + 1,
                       done, static_cast<double>(done) / seconds,
                       static_cast<double>(moves) / static_cast<double>(done)));
    }
  }
  return 0;
}

}  // namespace morvane::cli
