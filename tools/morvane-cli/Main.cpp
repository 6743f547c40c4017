// morvane-cli: Morvane's headless front end for perft, solving, benchmarks, self-play and
// training.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "Commands.h"
#include "Failures.h"

namespace {

const char* const Usage =
    "usage: morvane-cli COMMAND [ARGUMENTS]\n"
    "commands:\n"
    "  perft DEPTH [--board 8|10|88]   count the leaves of the game tree from the start\n"
    "  generate-source   write the per-square bitboard move code to Generated.txt here\n"
    "  make-coe --eval NAME --out DIR [--random SEED]   write a zero or random .coe file\n"
    "  selfplay --board 8|9|10|88 --level NAME --games N [--randomness R] [--data DIR]\n"
    "      [--threads N]"
    "   play N games against itself, consulting and learning the opening book\n"
    "  book-info FILE [--board 8|10|88]   sizes and best first move of an opening book\n"
    "  solve [--board 8|10|88] [--eval NAME] [--data DIR] [--generic] [--threads N] POSITION\n"
    "      solve a position exactly (POSITION: side to move, then the squares row by row)\n"
    "  search [--board ...] [--eval NAME] [--data DIR] [--threads N] --depth D --exact E\n"
    "      POSITION   search a position at a fixed level\n"
    "  hint [--board ...] [--eval NAME] [--level NAME | --depth D --exact E] [--data DIR]\n"
    "      [--hash BITS] [--threads N] POSITION   the value of every legal move, best first\n"
    "  analyze [--board ...] [--eval NAME] [--level NAME | --depth D --exact E] [--data DIR]\n"
    "      [--hash BITS] [--threads N] FILE|TRANSCRIPT   every move of a game beside the best,\n"
    "      and the losses\n"
    "  nboard [--data DIR] [--eval NAME] [--hash BITS] [--book FILE] [--threads N]\n"
    "      play as an engine of an Othello GUI: the NBoard protocol on stdin and stdout\n"
    "  bench [--data DIR]   a small fixed set of searches; ends with \"Nodes searched: N\"\n"
    "  bench endgame FILE [--first N] [--last M] [--data DIR] [--threads N]\n"
    "      solve an endgame test file\n"
    "  bench midgame [--data DIR] [--threads N] | bench perft [--data DIR]\n"
    "      midgame search or move generator speed\n"
    "  (solve, search, hint, analyze and nboard search on every core unless --threads says\n"
    "  otherwise; bench, selfplay and match on one, so that their results repeat)\n"
    "  train --eval NAME --archives DIR --out DATA_DIR [--labels results|exact] ...\n"
    "      fit a set-up's coefficient tables to the game archives and write its .coe\n"
    "  solve-labels --eval NAME --data DIR --cache DIR [--empties E] ARCHIVE...\n"
    "      solve the late positions of archived games exactly, resuming a cache\n"
    "  probe-stats --eval NAME --data DIR --archives DIR --out DATA_DIR [--positions N]\n"
    "      measure the probe statistics of the selective searches; write .npc and .ecc\n"
    "  match --eval-a NAME --data-a DIR --level-a D/E --eval-b ... [--games N] [--seed S]\n"
    "      [--threads N]\n"
    "      play paired games between two engines from random openings\n"
    "  mpc-check --eval NAME --data DIR --archives DIR [--positions N] [--depth D]\n"
    "      chosen moves and nodes of searches with and without multi-prob-cut\n"
    "  selfplay-games --eval NAME --data DIR --games N --out FILE [--seed S]\n"
    "      self-play games of a set-up for training, resuming the file\n"
    "  fit-selfplay --eval NAME --out DATA_DIR GAME_FILE...\n"
    "      fit a set-up (or a correction to its tables) to self-play games; write its .coe\n"
    "  transfer-coe --eval Bot10x10|Bot8x8Oct --from DATA_DIR --out DIR\n"
    "      a starting .coe for a 10-wide set-up from the trained 8 x 8 tables\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane::cli;
  using TCommand = std::function<int(const TArguments&)>;
  const std::map<std::string, std::pair<TCommand, std::set<std::string>>> commands = {
      {"perft", {RunPerft, {}}},
      {"generate-source", {RunGenerateSource, {}}},
      {"make-coe", {RunMakeCoe, {}}},
      {"selfplay", {RunSelfPlay, {}}},
      {"book-info", {RunBookInfo, {}}},
      {"solve", {RunSolve, {"generic"}}},
      {"search", {RunSearch, {"generic"}}},
      {"hint", {RunHint, {}}},
      {"analyze", {RunAnalyze, {}}},
      {"nboard", {RunNBoard, {}}},
      {"train", {RunTrain, {}}},
      {"solve-labels", {RunSolveLabels, {}}},
      {"probe-stats", {RunProbeStats, {}}},
      {"match", {RunMatch, {}}},
      {"mpc-check", {RunMpcCheck, {}}},
      {"bench", {RunBench, {}}},
      {"selfplay-games", {RunSelfPlayGames, {}}},
      {"fit-selfplay", {RunFitSelfPlay, {}}},
      {"transfer-coe", {RunTransferCoe, {}}},
  };
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
    std::fputs(Usage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const auto command = commands.find(argv[1]);
  if (command == commands.end()) {
    std::fprintf(stderr, "morvane-cli: unknown command \"%s\"\n%s", argv[1], Usage);
    return 2;
  }
  try {
    const TArguments arguments(argc, argv, 2, command->second.second);
    return command->second.first(arguments);
  } catch (const TUsageError& error) {
    std::fprintf(stderr, "morvane-cli %s: %s\n", argv[1], error.what());
    return 2;
  } catch (const std::filesystem::filesystem_error& error) {
    std::fprintf(stderr, "morvane-cli %s: %s\n", argv[1], PlainWords(error).c_str());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "morvane-cli %s: %s\n", argv[1], error.what());
    return 1;
  }
}
