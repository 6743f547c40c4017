// The game panel beside the board: the disc counts, whose turn it is (with a one-click pass
// when the side to move has none), the move list of the game's line and the buttons that step
// through it. It shows what the window tells it and reports the user's choices as signals.
#pragma once

#include <QFrame>

#include "game/Game.h"

#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace morvane {

class TEvaluationChart;

// What an analysis (or the evaluations of a game file) adds to the line: per ply the discs the
// move lost, and per position (ply 0 .. n) the evaluation for black.
struct TLineNotes {
  std::vector<std::optional<double>> Losses;
  std::vector<std::optional<double>> Curve;
};

class TGamePanel final : public QFrame {
  Q_OBJECT
 public:
  static constexpr int PanelWidth = 232;

  explicit TGamePanel(QWidget* parent = nullptr);

  // The line, the ply whose position the board shows, the text saying whose turn it is and
  // whether the side to move must pass.
  void ShowGame(const TGame& line, int shownPly, const QString& turnText, bool mustPass,
                const TLineNotes& notes = {});
  // Stepping is refused while the program thinks or a run goes on.
  void SetSteppingEnabled(bool enabled);
  int ShownPly() const { return Shown; }

  QLabel* BlackCount;
  QLabel* WhiteCount;
  QLabel* TurnLabel;
  // What the hints show: their depth as it grows, or nothing when they are off.
  QLabel* HintLabel;
  QPushButton* PassButton;
  QListWidget* MoveList;
  QPushButton* FirstButton;
  QPushButton* BackButton;
  QPushButton* ForwardButton;
  QPushButton* LastButton;
  // The evaluation over the game, shown once there is one.
  TEvaluationChart* Chart;

  // A move that lost more than this many discs stands out in the list.
  static constexpr double MistakeDiscs = 2.0;

 signals:
  // The user asks for the position after `ply` plies of the line (0: the start).
  void PlyChosen(int ply);
  void PassRequested();

 private:
  void UpdateButtons();

  int Shown = 0;
  int Plies = 0;
  bool Stepping = true;
  // The list is being filled: its selection changes are the window's, not the user's.
  bool Filling = false;
};

}  // namespace morvane
