#include "game/SelfPlay.h"

#include "game/Book.h"

namespace morvane {

TMoveChoice ChooseProgramMove(TGameInfo& game, const TFixedSearchInfo& level, bool useBook) {
  game.SetLevel(level);
  TMoveChoice choice = game.FindMove(useBook);
  if (choice.FromBook &&
      !(choice.Square == PassMove ? game.MustPass() : game.IsLegal(choice.Square)))
    choice = game.FindMove(false);
  return choice;
}

bool TSelfPlayLoop::PlayPly() {
  if (Game.IsGameOver()) return false;
  if (Hooks.BeforeSearch) Hooks.BeforeSearch();
  LastChoice = ChooseProgramMove(Game, Level, UseBook);
  if (LastChoice.FromBook) ++BookMoves;
  if (Hooks.BeforeEnter) Hooks.BeforeEnter(LastChoice);
  IllegalChoice = !Game.EnterMove(LastChoice.Square);
  if (Hooks.AfterPly) Hooks.AfterPly(LastChoice.Square, !IllegalChoice);
  return !IllegalChoice;
}

bool TSelfPlayLoop::PlayGame() {
  BookMoves = 0;
  while (!Game.IsGameOver()) {
    if (Stopped() || !PlayPly()) return false;
  }
  return true;
}

void TSelfPlayLoop::LearnFinishedGame(TProgressBar* progressBar) {
  if (Hooks.GameOver) Hooks.GameOver();
  Game.LearnGame(progressBar);
}

void TSelfPlayLoop::FinishGame(TProgressBar* progressBar) {
  LearnFinishedGame(progressBar);
  Game.NewGame();
}

int TSelfPlayLoop::Run(int count, TProgressBar* progressBar) {
  int finished = 0;
  for (int index = 0; index < count; ++index) {
    if (Game.Book) Game.Book->SetRandomness(Game.Book->RandomBudget);
    if (!PlayGame()) break;
    FinishGame(progressBar);
    ++finished;
    if (Stopped()) break;
  }
  return finished;
}

}  // namespace morvane
