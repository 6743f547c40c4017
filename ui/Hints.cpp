// Hints: the value of every legal move of the shown position, searched depth by depth up to the
// hint level while the user thinks, painted in the cells. The searches run on the game's engine
// between the user's actions; any action stops them at once and then runs.
#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <cmath>

#include "engines/OthelloPatternEngine.h"
#include "game/GameInfo.h"
#include "game/MoveValues.h"
#include "ui/BoardFrame.h"
#include "ui/GamePanel.h"
#include "ui/HauptForm.h"

namespace morvane {

namespace {

// A value as the cell shows it: whole discs when exact, else one decimal, sign always.
QString HintText(const TMoveValue& value) {
  if (value.Exact)
    return QStringLiteral("%1%2").arg(value.Score >= 0 ? "+" : "").arg(value.Score / DiscUnit);
  const double discs = std::round(value.Discs() * 10) / 10;
  return QStringLiteral("%1%2").arg(discs >= 0 ? "+" : "").arg(discs, 0, 'f', 1);
}

}  // namespace

void TMainForm::ScheduleHints() {
  if (!HintTimer) {
    HintTimer = new QTimer(this);
    HintTimer->setSingleShot(true);
    HintTimer->setInterval(0);
    connect(HintTimer, &QTimer::timeout, this, [this] { RunHints(); });
  }
  if (HintsOn) HintTimer->start();
}

void TMainForm::ClearHints() {
  BoardFrame->ShowHints({});
  GamePanel->HintLabel->setVisible(HintsOn);
  GamePanel->HintLabel->clear();
}

void TMainForm::StopHints() {
  if (HintsRunning && Engine) Engine->RequestStop();
}

bool TMainForm::DeferWhileHinting(std::function<void()> command) {
  if (!HintsRunning) return false;
  StopHints();
  AfterHints = std::move(command);
  return true;
}

void TMainForm::RunHints() {
  if (!HintsOn || HintsRunning || !Game || BusyDepth > 0 || ClosePending || Editing || Thinking ||
      Learning || !IsUserToMove() || Game->IsGameOver())
    return;
  HintsRunning = true;
  const PositionImage image = Engine->CurrentPosition();
  const TPosition position = Game->Position();
  TStatusBar* const scoreBar = Engine->ScoreBar;
  TStatusBar* const statsBar = Engine->StatsBar;
  Engine->SetStatusBars(nullptr, nullptr);
  GamePanel->HintLabel->setText(QStringLiteral("Hints: searching..."));
  GamePanel->HintLabel->show();

  TMoveValueHooks hooks;
  hooks.Valued = [](const TMoveValue&, int, int) { QCoreApplication::processEvents(); };
  hooks.DepthDone = [&](const TMoveValues& values) {
    if (Engine->StopRequested) return;
    std::vector<THintMark> marks;
    const int32_t best = values.Moves.empty() ? 0 : values.Moves.front().Score;
    bool allExact = true;
    for (const TMoveValue& value : values.Moves) {
      if (value.Square == PassMove) continue;
      THintMark mark;
      mark.Square = value.Square;
      mark.Text = HintText(value);
      mark.Best = value.Score == best;
      mark.Exact = value.Exact;
      allExact = allExact && value.Exact;
      marks.push_back(mark);
    }
    BoardFrame->ShowHints(std::move(marks));
    GamePanel->HintLabel->setText(
        allExact ? QStringLiteral("Hints: exact")
                 : QStringLiteral("Hints: depth %1 of %2").arg(values.Depth).arg(HintLevel.Depth));
    QCoreApplication::processEvents();
  };
  ValueMovesIteratively(*Engine, position, HintLevel, hooks);

  // The game's position comes back to the engine the searches used.
  Engine->SetPosition(image.Board, image.SideToMove);
  Engine->StopRequested = false;
  Engine->SetStatusBars(scoreBar, statsBar);
  HintsRunning = false;
  if (ClosePending) {
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  if (AfterHints) {
    const auto command = std::move(AfterHints);
    AfterHints = nullptr;
    command();
  }
}

}  // namespace morvane
