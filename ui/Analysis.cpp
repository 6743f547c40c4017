// Game analysis in the window: every position of the line searched at a chosen level, from the
// end to the start, with a progress bar and a stop; the losses go into the move list, the
// evaluation into the chart, and the played moves' values into the game file's /eval.
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "engines/OthelloPatternEngine.h"
#include "game/GameAnalysis.h"
#include "game/GameInfo.h"
#include "ui/GamePanel.h"
#include "ui/HauptForm.h"

namespace morvane {

TFixedSearchInfo TMainForm::DefaultAnalysisLevel() const {
  TFixedSearchInfo level;
  level.Depth = 12;
  // The 10-wide boards' exact solves of the same empties cost far more.
  level.ExactEmpties = Game && Game->Kind() == TBoardKind::Board8x8 ? 20 : 16;
  return level;
}

bool TMainForm::DefaultChooseAnalysisLevel(TFixedSearchInfo& level) {
  QDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("Analyse game"));
  auto* form = new QFormLayout(&dialog);
  auto* depth = new QSpinBox(&dialog);
  depth->setRange(1, 30);
  depth->setValue(level.Depth);
  auto* exact = new QSpinBox(&dialog);
  exact->setRange(0, 30);
  exact->setValue(level.ExactEmpties);
  form->addRow(QStringLiteral("Midgame depth:"), depth);
  form->addRow(QStringLiteral("Exact in the last empties:"), exact);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  level.Depth = depth->value();
  level.ExactEmpties = exact->value();
  return true;
}

void TMainForm::AnalyseLine() {
  if (!Game || Line.Plies() == 0) return;
  TFixedSearchInfo level = DefaultAnalysisLevel();
  if (!ChooseAnalysisLevel(level)) return;
  TBusy busy(*this);
  Analysing = true;
  AnalysisStopped = false;
  SetMenusEnabled(false);
  TStatusBar* const scoreBar = Engine->ScoreBar;
  TStatusBar* const statsBar = Engine->StatsBar;
  Engine->SetStatusBars(nullptr, nullptr);
  LoadProgressBar->SetPosition(0);
  LoadProgressBar->SetMax(Line.Plies());
  LoadProgressBar->SetCaption("Analysing game...");
  LoadProgressBar->SetEnabled(true);
  LoadProgressBar->SetVisible(true);
  ForceButton->setText(QStringLiteral("Stop analysis"));
  ForceButton->setEnabled(true);
  ForceButton->show();

  const PositionImage image = Engine->CurrentPosition();
  const TGameAnalysis result =
      AnalyseGame(*Engine, Line, level, [this](int, const TPlyAnalysis&, int done, int) {
        LoadProgressBar->SetPosition(done);
        QCoreApplication::processEvents();
        if (AnalysisStopped || ClosePending) Engine->RequestStop();
      });
  // The searches used the game's engine; its position comes back.
  Engine->SetPosition(image.Board, image.SideToMove);
  Engine->StopRequested = false;
  Engine->SetStatusBars(scoreBar, statsBar);
  LoadProgressBar->SetVisible(false);
  LoadProgressBar->SetEnabled(false);
  LoadProgressBar->SetCaption("Loading...");
  ForceButton->setEnabled(false);
  ForceButton->hide();
  Analysing = false;
  SetMenusEnabled(true);

  // A stopped analysis keeps the plies it finished (the last ones of the game).
  Analysis = result;
  LineEvals.assign(static_cast<size_t>(Line.Plies()), std::nullopt);
  for (size_t ply = 0; ply < result.Plies.size() && ply < LineEvals.size(); ++ply)
    if (result.Plies[ply].Done && result.Plies[ply].Played != PassMove)
      LineEvals[ply] = static_cast<double>(result.Plies[ply].PlayedValue) / DiscUnit;
  RedrawBoard(LastMoveSquare());
}

TLineNotes TMainForm::LineNotes() const {
  TLineNotes notes;
  const size_t plies = static_cast<size_t>(Line.Plies());
  if (Analysis.Plies.size() == plies && plies > 0) {
    for (const TPlyAnalysis& ply : Analysis.Plies)
      notes.Losses.push_back(ply.Done && ply.Played != PassMove
                                 ? std::optional<double>(static_cast<double>(ply.Loss) / DiscUnit)
                                 : std::nullopt);
    notes.Curve = Analysis.BlackCurve();
    return notes;
  }
  // A game file's evaluations: each is the value of the position after the move from the
  // mover's view; a move lost what the previous evaluation promised beyond its own.
  if (LineEvals.empty()) return notes;
  notes.Curve.assign(plies + 1, std::nullopt);
  notes.Losses.assign(plies, std::nullopt);
  TPosition position = Line.Start();
  std::optional<double> before;  // the value of the position before the move, mover's view
  for (size_t ply = 0; ply < plies; ++ply) {
    const TColour mover = position.ToMove();
    const int square = Line.Moves()[ply];
    position.Play(square);
    const std::optional<double> eval = ply < LineEvals.size() ? LineEvals[ply] : std::nullopt;
    if (eval) notes.Curve[ply + 1] = mover == TColour::Black ? *eval : -*eval;
    if (eval && before && square != PassMove) notes.Losses[ply] = std::max(0.0, *before - *eval);
    // The next mover sees the position from the other side, unless this mover moves again.
    before = eval ? std::optional<double>(position.ToMove() == mover ? *eval : -*eval)
                  : std::nullopt;
  }
  return notes;
}

}  // namespace morvane
