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

namespace morvane::cli {

namespace {

const char* const SelfPlayUsage =
    "usage: selfplay --board 8|9|10|88 --level NAME --games N [--randomness R] [--data DIR]";

// A board menu entry: 8 Pellin, 9 Tovrel, 10 the 10 x 10 board, 88 the octagon.
struct TBoardChoice {
  int MenuKind;
  const char* Stem;
  TBoardKind Kind;
};

constexpr TBoardChoice Boards[] = {
    {8, "Pellin_8x8", TBoardKind::Board8x8},
    {9, "Tovrel_8x8", TBoardKind::Board8x8},
    {10, "Fenwa_10x10", TBoardKind::Board10x10},
    {88, "Fenwa_Oct", TBoardKind::Octagon},
};

// The level menu: book suffix without its underscore, midgame depth, exact empties.
struct TLevelChoice {
  const char* Name;
  int Depth;
  int ExactEmpties;
};

constexpr TLevelChoice Levels[] = {
    {"Novice", 1, 6},  {"Average", 2, 10}, {"Srong", 4, 14},  {"Expert", 8, 16}, {"12_16", 12, 16},
    {"14_18", 14, 18}, {"16_18", 16, 18},  {"18_20", 18, 20}, {"20_22", 20, 22}, {"24_26", 24, 26},
};

// The window's start value for the table size.
constexpr double HashSizeBits = 16.0;

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

int RunSelfPlay(const TArguments& arguments) {
  arguments.Allow({"board", "level", "games", "randomness", "data"});
  if (!arguments.Positional().empty()) throw TUsageError(SelfPlayUsage);
  const auto boardText = arguments.Option("board");
  const auto levelText = arguments.Option("level");
  if (!boardText || !levelText || !arguments.Option("games")) throw TUsageError(SelfPlayUsage);
  const int menuKind = static_cast<int>(ParseInteger(*boardText, "--board", 8, 88));
  const TBoardChoice* board = nullptr;
  for (const TBoardChoice& choice : Boards)
    if (choice.MenuKind == menuKind) board = &choice;
  if (!board) throw TUsageError("--board must be 8, 9, 10 or 88, not \"" + *boardText + "\"");
  const TLevelChoice* levelChoice = nullptr;
  std::string levelNames;
  for (const TLevelChoice& choice : Levels) {
    if (*levelText == choice.Name) levelChoice = &choice;
    levelNames += (levelNames.empty() ? "" : ", ") + std::string(choice.Name);
  }
  if (!levelChoice)
    throw TUsageError("unknown level \"" + *levelText + "\"; known are " + levelNames);
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
  std::unique_ptr<TOthelloEngine> engine;
  try {
    engine = CreateEngine(static_cast<TMenuBoard>(board->MenuKind), HashSizeBits, nullptr, data);
  } catch (const std::exception& error) {
    // Above all a missing coefficient file: nothing to play with.
    std::fprintf(stderr, "morvane-cli selfplay: %s\n", error.what());
    return 2;
  }

  const int size = BoardSideOf(board->Kind);
  const std::string name = std::string(board->Stem) + "_" + levelChoice->Name;
  TBook book(name, size, static_cast<int>(board->Kind), engine.get(), data);
  book.Load();
  book.SetRandomness(randomness);
  TFixedSearchInfo level;
  level.Depth = levelChoice->Depth;
  level.ExactEmpties = levelChoice->ExactEmpties;
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
  std::printf("selfplay: %d games on %s at %s (%d/%d), book %s\n", games, board->Stem,
              levelChoice->Name, level.Depth, level.ExactEmpties, book.FilePath().c_str());
  for (int index = 1; index <= games; ++index) {
    const auto gameStart = Clock::now();
    book.SetRandomness(book.RandomBudget);
    int fromBook = 0;
    while (!game->IsGameOver()) {
      game->SetLevel(level);
      // The tree walk behind every lookup, hit or miss, timed on its own for the summary.
      const auto findStart = Clock::now();
      book.FindPosition(book.FromImage(engine->CurrentPosition()));
      findTime += Clock::now() - findStart;
      ++finds;
      const auto moveStart = Clock::now();
      const TMoveChoice choice = game->FindMove(true);
      if (choice.FromBook) {
        ++fromBook;
        lookupTime += Clock::now() - moveStart;
      }
      if (!game->EnterMove(choice.Square)) {
        std::fprintf(stderr, "morvane-cli selfplay: the search offered the illegal move %s\n",
                     BookMoveText(choice.Square, size).c_str());
        return 1;
      }
    }
    const int margin = engine->FinalScore();
    int black = 0, white = 0;
    for (int square = engine->FirstInner; square <= engine->LastInner; ++square) {
      black += engine->Board[square] == BlackCell;
      white += engine->Board[square] == WhiteCell;
    }
    (margin > 0 ? blackWins : margin < 0 ? whiteWins : draws)++;
    bookMoves += fromBook;
    const auto learnStart = Clock::now();
    const int shownBefore = messages.Shown;
    game->LearnGame(nullptr);
    learnTime += Clock::now() - learnStart;
    // Each save writes the whole tree, so the last one decides what the file keeps.
    lastSaved = messages.Shown == shownBefore;
    unsavedGames = lastSaved ? 0 : unsavedGames + 1;
    const int plies = game->MoveCount;
    game->NewGame();
    std::printf(
        "game %d/%d: black %d white %d (%s%d), %d plies, %d from the book, %.2f s, learned in "
        "%.2f s, book %lld nodes\n",
        index, games, black, white, margin > 0 ? "+" : "", margin, plies, fromBook,
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
