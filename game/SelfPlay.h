// The program playing against itself, move by move and game by game: one loop behind the
// window's "Self play" and book improvement and behind `morvane-cli selfplay`. The callers put
// their own work (drawing, progress, processing window events, stop requests) into the hooks.
#pragma once

#include <functional>

#include "engine/SearchInfo.h"
#include "game/GameInfo.h"

namespace morvane {

class TProgressBar;

// The program's move for the side to move: the book first, then the fixed-level search. A book
// move that is not legal here (a book of other rules, or damaged) is searched instead.
TMoveChoice ChooseProgramMove(TGameInfo& game, const TFixedSearchInfo& level, bool useBook);

struct TSelfPlayHooks {
  // Asked before every ply and after every game; true ends the run there.
  std::function<bool()> Stopped;
  // Before the program chooses its move.
  std::function<void()> BeforeSearch;
  // With the chosen move, before it is entered (the window animates it here).
  std::function<void(const TMoveChoice&)> BeforeEnter;
  // After the move was entered (entered false: the game refused it, nothing changed).
  std::function<void(int square, bool entered)> AfterPly;
  // When a game is over, before it is learned (the window shows the result here).
  std::function<void()> GameOver;
};

class TSelfPlayLoop {
 public:
  TSelfPlayLoop(TGameInfo& game, const TFixedSearchInfo& level, bool useBook,
                TSelfPlayHooks hooks = {})
      : Game(game), Level(level), UseBook(useBook), Hooks(std::move(hooks)) {}

  // The program plays once for the side to move. False when the game is over, or when the
  // chosen move could not be entered.
  bool PlayPly();
  // Plays until the game is over; false when stopped first.
  bool PlayGame();
  // Learns the finished game (with the progress bar, if any); the game stays as it ended.
  void LearnFinishedGame(TProgressBar* progressBar);
  // Learns the finished game and sets up a new one.
  void FinishGame(TProgressBar* progressBar);
  // Plays, learns and sets up `count` games, the book's randomness re-applied before each.
  // Returns the number of games finished; stops after the game in which Stopped became true.
  int Run(int count, TProgressBar* progressBar);

  // Moves of the last game that came from the book.
  int BookMoves = 0;
  // The last choice failed to enter (a search answered an illegal move).
  bool IllegalChoice = false;
  TMoveChoice LastChoice;

 private:
  bool Stopped() const { return Hooks.Stopped && Hooks.Stopped(); }

  TGameInfo& Game;
  TFixedSearchInfo Level;
  bool UseBook;
  TSelfPlayHooks Hooks;
};

}  // namespace morvane
