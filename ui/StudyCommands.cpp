// The window's study commands beside the specified ones: setting up a position, copying and
// pasting games and positions.
#include <QApplication>
#include <QClipboard>

#include "engine/Catalogue.h"
#include "engines/OthelloPatternEngine.h"
#include "game/GameInfo.h"
#include "game/GgfFile.h"
#include "ui/BoardFrame.h"
#include "ui/GamePanel.h"
#include "ui/HauptForm.h"
#include "ui/SetupPanel.h"

namespace morvane {

// ---------------------------------------------------------------------------------------------
// Set-up

void TMainForm::StartSetup() {
  if (!Game || Editing) return;
  Editing = true;
  EditPosition = Game->Position();
  SetupPanel->SetSide(EditPosition.ToMove());
  SetupPanel->ShowProblem({});
  GamePanel->hide();
  SetupPanel->show();
  SetMenusEnabled(false);
  ShowEditPosition();
}

void TMainForm::ShowEditPosition() {
  const PositionImage image = EditPosition.Image();
  Engine->SetPosition(image.Board, image.SideToMove);
  BoardFrame->SetGame(Game.get());
  BoardFrame->Draw(false, 0);
}

void TMainForm::EditSquare(int square, bool forward) {
  if (!EditPosition.IsPlayable(square)) return;
  // Empty, black, white, and round again.
  const int8_t cell = EditPosition.Cell(square);
  const int8_t next = forward ? (cell == EmptyCell   ? BlackCell
                                 : cell == BlackCell ? WhiteCell
                                                     : EmptyCell)
                              : (cell == EmptyCell   ? WhiteCell
                                 : cell == WhiteCell ? BlackCell
                                                     : EmptyCell);
  EditPosition.SetCell(square, next);
  SetupPanel->ShowProblem({});
  ShowEditPosition();
}

void TMainForm::EditBoard(bool startPosition) {
  const TColour side = SetupPanel->Side();
  EditPosition = TPosition(Game->Kind());
  if (!startPosition)
    for (int square = 0; square < MaxCells; ++square)
      if (EditPosition.IsPlayable(square)) EditPosition.SetCell(square, EmptyCell);
  EditPosition.SetSide(startPosition ? TColour::Black : side);
  SetupPanel->SetSide(EditPosition.ToMove());
  SetupPanel->ShowProblem({});
  ShowEditPosition();
}

void TMainForm::EndSetup(bool accept) {
  if (!Editing) return;
  if (accept) {
    EditPosition.SetSide(SetupPanel->Side());
    const std::string problem = EditPosition.WhyNotPlayable();
    if (!problem.empty()) {
      SetupPanel->ShowProblem(QString::fromStdString(problem));
      return;
    }
  }
  Editing = false;
  SetupPanel->hide();
  GamePanel->show();
  SetMenusEnabled(true);
  if (!accept) {
    ShowPly(ShownPly);  // the game as it was
    return;
  }
  StartGameFrom(TGame(EditPosition));
  // Play goes on from the set-up position as from a new game.
  ContinueGame();
}

void TMainForm::StartGameFrom(const TGame& game) {
  TBusy busy(*this);
  ResetLine();
  Game->NewGameFrom(game.Start());
  for (const int square : game.Moves()) Game->EnterMove(square);
  Line = game;
  ShownPly = game.Plies();
  LineLearned = false;
  ColourToMove = Engine->SideToMove == BlackCell ? 1 : 2;
  ResetStatusTexts();
  RedrawBoard(LastMoveSquare());
}

// ---------------------------------------------------------------------------------------------
// Clipboard

void TMainForm::CopyGame() {
  QApplication::clipboard()->setText(QString::fromStdString(Line.Transcript()));
}

void TMainForm::CopyPosition() {
  QApplication::clipboard()->setText(QString::fromStdString(Game->Position().Text()));
}

void TMainForm::PasteGame() {
  const std::string text = QApplication::clipboard()->text().trimmed().toStdString();
  std::string problem;
  if (!OpenText(text, problem))
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QString::fromStdString("The clipboard holds no game or position "
                                                "Morvane can read: " +
                                                problem));
}

bool TMainForm::SwitchToKind(TBoardKind kind) {
  if (Game->Kind() == kind) return true;
  for (const TBoardEntry& board : Boards)
    if (board.Kind == kind) return BuildBoard(static_cast<int>(board.Menu));
  return false;
}

bool TMainForm::OpenText(const std::string& text, std::string& problem) {
  if (text.find("(;") != std::string::npos) return OpenGgfText(text, problem);
  // A position of this board, or of another one; else a transcript from the start.
  std::vector<TBoardKind> kinds{Game->Kind()};
  for (const TBoardKind kind : {TBoardKind::Board8x8, TBoardKind::Board10x10, TBoardKind::Octagon})
    if (kind != kinds.front()) kinds.push_back(kind);
  for (const TBoardKind kind : kinds) {
    if (const auto position = TPosition::Parse(kind, text)) {
      const std::string why = position->WhyNotPlayable();
      if (!why.empty()) {
        problem = why;
        return false;
      }
      if (!SwitchToKind(kind)) {
        problem = "its board cannot be loaded";
        return false;
      }
      StartGameFrom(TGame(*position));
      return true;
    }
  }
  std::string transcriptProblem;
  const auto games = ReadGameText(text, Game->Kind(), &transcriptProblem);
  if (!games || games->empty() || games->front().Game.Plies() == 0) {
    problem = !games ? "as a transcript, " + transcriptProblem : std::string("it holds no move");
    return false;
  }
  StartGameFrom(games->front().Game);
  // A game read in is studied, not learned.
  LineLearned = true;
  return true;
}

}  // namespace morvane
