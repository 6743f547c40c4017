// The panel of the set-up mode, in the game panel's place: the side to move, an empty board or
// the start position to begin with, and the buttons that end the set-up. The squares themselves
// are set by clicks on the board.
#pragma once

#include <QFrame>

#include "engine/Colour.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace morvane {

class TSetupPanel final : public QFrame {
  Q_OBJECT
 public:
  explicit TSetupPanel(QWidget* parent = nullptr);

  void SetSide(TColour side);
  TColour Side() const;
  // Why the last "Done" was refused; empty to hide it.
  void ShowProblem(const QString& problem);

  QRadioButton* BlackToMove;
  QRadioButton* WhiteToMove;
  QPushButton* ClearButton;
  QPushButton* StartButton;
  QPushButton* DoneButton;
  QPushButton* CancelButton;
  QLabel* Problem;

 signals:
  void SideChosen(TColour side);
  void ClearRequested();
  void StartRequested();
  void Done();
  void Cancelled();
};

}  // namespace morvane
