#include "ui/SetupPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace morvane {

namespace {

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TSetupPanel::TSetupPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("SetupPanel"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto* title = new QLabel(QStringLiteral("<b>Set up a position</b>"), this);
  layout->addWidget(title);
  auto* help = new QLabel(
      QStringLiteral("Click a square to change it: empty, black, white (the right button goes "
                     "the other way)."),
      this);
  help->setWordWrap(true);
  layout->addWidget(help);
  BlackToMove = new QRadioButton(QStringLiteral("Black to move"), this);
  BlackToMove->setObjectName(QStringLiteral("BlackToMove"));
  WhiteToMove = new QRadioButton(QStringLiteral("White to move"), this);
  WhiteToMove->setObjectName(QStringLiteral("WhiteToMove"));
  BlackToMove->setChecked(true);
  connect(BlackToMove, &QRadioButton::toggled, this,
          [this](bool on) { emit SideChosen(on ? TColour::Black : TColour::White); });
  layout->addWidget(BlackToMove);
  layout->addWidget(WhiteToMove);
  ClearButton = Button("Empty board", "ClearButton", this);
  StartButton = Button("Start position", "StartButton", this);
  connect(ClearButton, &QPushButton::clicked, this, &TSetupPanel::ClearRequested);
  connect(StartButton, &QPushButton::clicked, this, &TSetupPanel::StartRequested);
  layout->addWidget(ClearButton);
  layout->addWidget(StartButton);
  Problem = new QLabel(this);
  Problem->setObjectName(QStringLiteral("SetupProblem"));
  Problem->setWordWrap(true);
  Problem->setStyleSheet(QStringLiteral("color: #a00000"));
  layout->addWidget(Problem);
  layout->addStretch(1);
  DoneButton = Button("Done", "DoneButton", this);
  CancelButton = Button("Cancel", "CancelButton", this);
  connect(DoneButton, &QPushButton::clicked, this, &TSetupPanel::Done);
  connect(CancelButton, &QPushButton::clicked, this, &TSetupPanel::Cancelled);
  layout->addWidget(DoneButton);
  layout->addWidget(CancelButton);
}

void TSetupPanel::SetSide(TColour side) {
  (side == TColour::Black ? BlackToMove : WhiteToMove)->setChecked(true);
}

TColour TSetupPanel::Side() const {
  return BlackToMove->isChecked() ? TColour::Black : TColour::White;
}

void TSetupPanel::ShowProblem(const QString& problem) { Problem->setText(problem); }

}  // namespace morvane
