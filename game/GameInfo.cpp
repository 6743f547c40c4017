#include "game/GameInfo.h"

#include <exception>

#include "engine/Widgets.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"

namespace morvane {

void TGameInfo::NewGame() {
  BoardSide = Engine->BoardSide;
  Engine->SetupStartPosition();
  StartImage = Engine->CurrentPosition();
  StandardStart = true;
  MoveCount = 0;
  for (TGameMove& move : Moves) move = TGameMove{};
}

void TGameInfo::NewGameFrom(const TPosition& start) {
  NewGame();
  StandardStart = start == TPosition(start.Kind());
  StartImage = start.Image();
  Engine->SetPosition(StartImage.Board, StartImage.SideToMove);
}

void TGameInfo::SetShowBestLine(bool show) { Engine->ShowBestLine = show; }

void TGameInfo::SetLevel(const TFixedSearchInfo& level) {
  Level = level;
  UseFixedLevel = true;
  if (Engine && Engine->Evaluation) Engine->Evaluation->Level = level;
}

void TGameInfo::SetClocks(int64_t first, int64_t second) {
  FirstClock = first;
  SecondClock = second;
  Engine->SetTimeBudget(first);
}

bool TGameInfo::IsGameOver() {
  if (Engine->MobilityCount() != 0) return false;
  Engine->SwapSides();
  const bool otherBlocked = Engine->MobilityCount() == 0;
  Engine->SwapSides();
  return otherBlocked;
}

bool TGameInfo::MustPass() {
  TMoveList list;
  Engine->GenerateMovesHashed(list);
  return list[0].Next == nullptr;
}

const MoveRecord* TGameInfo::FindRecord(int square, TMoveList& list) {
  Engine->GenerateMovesHashed(list);
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    if (move->Square == square) return move;
  return nullptr;
}

bool TGameInfo::IsLegal(int square) {
  if (square == PassMove) return false;
  TMoveList list;
  return FindRecord(square, list) != nullptr;
}

bool TGameInfo::EnterMove(int square) {
  if (MoveCount >= MaxPlies) return false;
  TMoveList list;
  const MoveRecord* record = nullptr;
  if (square == PassMove) {
    if (!MustPass()) return false;
  } else if (!(record = FindRecord(square, list))) {
    return false;
  }
  ++MoveCount;
  Moves[MoveCount].Mover = Engine->SideToMove;
  Moves[MoveCount].MoveSquare = square;
  if (record) {
    Engine->MakeMove(*record);
    Engine->SwapSides();
  } else {
    Engine->MakePass();
  }
  return true;
}

void TGameInfo::PlayMove(int square) {
  if (square == PassMove) {
    Engine->MakePass();
    return;
  }
  TMoveList list;
  const MoveRecord* record = FindRecord(square, list);
  if (!record) return;
  Engine->MakeMove(*record);
  Engine->SwapSides();
}

int TGameInfo::TakeBack() {
  if (MoveCount < 2) return 0;
  BoardSide = Engine->BoardSide;
  SetUpStart();
  for (int ply = 1; ply <= MoveCount - 2; ++ply) PlayMove(Moves[ply].MoveSquare);
  Moves[MoveCount] = TGameMove{};
  Moves[MoveCount - 1] = TGameMove{};
  MoveCount -= 2;
  return Moves[MoveCount].MoveSquare;
}

TMoveChoice TGameInfo::FindMove(bool useBook) {
  TMoveChoice choice;
  const int64_t start = TickCount();
  int move = PassMove;
  double value = 0;
  if (Book && useBook && StandardStart &&
      Book->GetBookMove(Engine->CurrentPosition(), move, value)) {
    choice.Square = move;
    choice.Score = value;
    choice.FromBook = true;
  } else if (UseFixedLevel) {
    const TSearchResult result = Engine->SearchFixedLevel(Level);
    choice.Square = result.BestSquare;
    choice.Score = static_cast<double>(result.Score) / DiscUnit;
  } else {
    const TTimedSearchResult result = Engine->SearchTimed();
    choice.Square = result.BestSquare;
    choice.Score = static_cast<double>(result.Score) / DiscUnit;
    choice.Depth = result.Depth;
  }
  choice.ElapsedMs = TickCount() - start;
  return choice;
}

void TGameInfo::LearnGame(TProgressBar* progressBar) {
  // The book's lines start at the standard position; a set-up game has no place in it.
  if (!Book || !StandardStart) return;
  const bool showBar = progressBar && !progressBar->Visible();
  if (showBar) {
    progressBar->SetEnabled(true);
    progressBar->SetPosition(4);
    progressBar->SetVisible(true);
    progressBar->SetCaption("Improving book...");
    progressBar->SetMax(BoardSide * BoardSide);
  }
  if (!Book->StopLearning) {
    TStatusBar* const scoreBar = Engine->ScoreBar;
    TStatusBar* const statsBar = Engine->StatsBar;
    Engine->SetStatusBars(nullptr, nullptr);
    Book->SetProgressBar(progressBar);
    Book->AddGame(*this);
    if (!Book->StopLearning) {
      // A book that cannot be written is still the one in memory; the user is told and can
      // go on playing.
      try {
        Book->Save();
      } catch (const std::exception& error) {
        ShowMessage(error.what());
      }
    } else {
      Book->Load();
    }
    Book->SetProgressBar(nullptr);
    Engine->SetStatusBars(scoreBar, statsBar);
    // The book's searches used the engine's board; the game's own position comes back.
    SetUpStart();
    for (int ply = 1; ply <= MoveCount; ++ply) PlayMove(Moves[ply].MoveSquare);
  }
  if (showBar) {
    progressBar->SetVisible(false);
    progressBar->SetEnabled(false);
    progressBar->SetCaption("Loading...");
    progressBar->SetPosition(0);
  }
}

TBoardKind TGameInfo::Kind() const { return Engine->Kind(); }

TPosition TGameInfo::Position() const {
  // The engine's board is a position of its kind by construction.
  return *TPosition::FromImage(Kind(), Engine->CurrentPosition());
}

void TGameInfo::SetUpStart() {
  if (StandardStart)
    Engine->SetupStartPosition();
  else
    Engine->SetPosition(StartImage.Board, StartImage.SideToMove);
}

TGame TGameInfo::Record() const {
  TGame game{StandardStart ? TPosition(Kind()) : *TPosition::FromImage(Kind(), StartImage)};
  for (int ply = 1; ply <= MoveCount; ++ply) game.Play(Moves[ply].MoveSquare);
  return game;
}

}  // namespace morvane
