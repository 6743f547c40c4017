#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

#include "BookCommon.h"
#include "Commands.h"
#include "engine/BoardKind.h"
#include "engines/EngineFactory.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "game/SelfPlay.h"

namespace morvane::cli {

namespace {

const char* const SelfPlayUsage =
    "usage: selfplay --board 8|9|10|88 --level NAME --games N [--randomness R] [--data DIR] "
    "[--threads N]";

// The window's start value for the table size.
constexpr double HashSizeBits = 17.0;

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

int RunSelfPlay(const TArguments& arguments) {
  arguments.Allow({"board", "level", "games", "randomness", "data", "threads"});
  if (!arguments.Positional().empty()) throw TUsageError(SelfPlayUsage);
  const auto boardText = arguments.Option("board");
  const auto levelText = arguments.Option("level");
  if (!boardText || !levelText || !arguments.Option("games")) throw TUsageError(SelfPlayUsage);
  const TBoardEntry* board = FindBoard(*boardText);
  if (!board) throw TUsageError("--board must be 8, 9, 10 or 88, not \"" + *boardText + "\"");
  const TLevelEntry* levelChoice = FindLevel(*levelText);
  if (!levelChoice)
    throw TUsageError("unknown level \"" + *levelText + "\"; known are " + LevelNameList());
  const int games = static_cast<int>(arguments.IntOption("games", 1, 1, 1000000));
  double randomness = 0;
  if (const auto text = arguments.Option("randomness")) {
    char* end = nullptr;
    randomness = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !(randomness >= 0) || randomness > 1000)
      throw TUsageError("--randomness must be a number of discs from 0 to 1000, not \"" + *text +
                        "\"");
  }
  const std::filesystem::path data = arguments.OptionOr("data", ".");

  TStderrMessageSink messages;
  TScopedMessageSink sink(&messages);
  std::unique_ptr<TOthelloPatternEngine> engine;
  // One thread unless told otherwise: the games, and so the book, stay the same from run to run.
  const int threads = static_cast<int>(arguments.IntOption("threads", 1, 1, 256));
  try {
    engine = CreateEngine(*board, HashSizeBits, nullptr, data);
    SetSearchThreads(*engine, threads);
  } catch (const std::exception& error) {
    // Above all a missing coefficient file: nothing to play with.
    std::fprintf(stderr, "morvane-cli selfplay: %s\n", error.what());
    return 2;
  }

  const int size = BoardSideOf(board->Kind);
  const std::string name = BookName(*board, *levelChoice);
  TBook book(name, size, static_cast<int>(board->Kind), engine.get(), data);
  book.Load();
  book.SetRandomness(randomness);
  const TFixedSearchInfo level = LevelInfo(*levelChoice);
  auto game = std::make_unique<TGameInfo>();
  game->SetEngine(engine.get());
  game->Book = &book;
  game->NewGame();

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int blackWins = 0, whiteWins = 0, draws = 0;
  int64_t bookMoves = 0;
  int64_t finds = 0;
  bool lastSaved = false;
  int unsavedGames = 0;  // learned since the last save that succeeded
  Clock::duration lookupTime{}, learnTime{}, findTime{};
  Clock::time_point gameStart, moveStart, learnStart;
  int margin = 0, black = 0, white = 0, plies = 0;
  TSelfPlayHooks hooks;
  hooks.BeforeSearch = [&] {
    // The tree walk behind every lookup, hit or miss, timed on its own for the summary.
    const auto findStart = Clock::now();
    book.FindPosition(book.FromImage(engine->CurrentPosition()));
    findTime += Clock::now() - findStart;
    ++finds;
    moveStart = Clock::now();
  };
  hooks.BeforeEnter = [&](const TMoveChoice& choice) {
    if (choice.FromBook) lookupTime += Clock::now() - moveStart;
  };
  int shownBefore = 0;
  hooks.GameOver = [&] {
    const TPosition final = game->Record().Current();
    margin = final.FinalScore();
    black = final.Discs(TColour::Black);
    white = final.Discs(TColour::White);
    plies = game->MoveCount;
    (margin > 0 ? blackWins : margin < 0 ? whiteWins : draws)++;
    learnStart = Clock::now();
    shownBefore = messages.Shown;
  };
  TSelfPlayLoop loop(*game, level, true, hooks);
  std::printf("selfplay: %d games on %s at %s (%d/%d), book %s\n", games, board->BookStem,
              levelChoice->Name(), level.Depth, level.ExactEmpties, book.FilePath().c_str());
  for (int index = 1; index <= games; ++index) {
    gameStart = Clock::now();
    if (loop.Run(1, nullptr) != 1) {
      std::fprintf(stderr, "morvane-cli selfplay: the search offered the illegal move %s\n",
                   BookMoveText(loop.LastChoice.Square, size).c_str());
      return 1;
    }
    learnTime += Clock::now() - learnStart;
    bookMoves += loop.BookMoves;
    // Each save writes the whole tree, so the last one decides what the file keeps.
    lastSaved = messages.Shown == shownBefore;
    unsavedGames = lastSaved ? 0 : unsavedGames + 1;
    std::printf(
        "game %d/%d: black %d white %d (%s%d), %d plies, %d from the book, %.2f s, learned in "
        "%.2f s, book %lld nodes\n",
        index, games, black, white, margin > 0 ? "+" : "", margin, plies, loop.BookMoves,
        Seconds(Clock::now() - gameStart), Seconds(Clock::now() - learnStart),
        static_cast<long long>(book.Stats().Nodes));
    std::fflush(stdout);
  }

  const TBookStats stats = book.Stats();
  const double total = Seconds(Clock::now() - start);
  std::printf("games: %d (black won %d, white won %d, drawn %d)\n", games, blackWins, whiteWins,
              draws);
  std::printf("book: %lld nodes, %lld links, %lld leaves, depth %d\n",
              static_cast<long long>(stats.Nodes), static_cast<long long>(stats.Links),
              static_cast<long long>(stats.Leaves), stats.Depth);
  std::printf("time: %.2f s; %lld book moves at %.3f ms each; learning %.3f s per game\n", total,
              static_cast<long long>(bookMoves),
              bookMoves ? Seconds(lookupTime) * 1000 / bookMoves : 0.0, Seconds(learnTime) / games);
  std::printf("book search: %lld positions looked up at %.3f ms each\n",
              static_cast<long long>(finds), finds ? Seconds(findTime) * 1000 / finds : 0.0);
  if (!lastSaved) {
    std::fprintf(stderr,
                 "morvane-cli selfplay: the book %s could not be saved; it lacks the last %d of "
                 "the %d games\n",
                 book.FilePath().c_str(), unsavedGames, games);
    return 1;
  }
  return 0;
}

}  // namespace morvane::cli
