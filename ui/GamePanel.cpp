#include "ui/GamePanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/EvaluationChart.h"

namespace morvane {

namespace {

// A small disc of a colour, for the counts and the move list.
QIcon DiscIcon(TColour colour) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(colour == TColour::Black ? Qt::black : Qt::white);
  painter.drawEllipse(QRectF(1.5, 1.5, 11, 11));
  return QIcon(pixmap);
}

QPushButton* StepButton(const char* text, const char* name, const char* tip, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromLatin1(tip));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TGamePanel::TGamePanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("GamePanel"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);

  auto* counts = new QHBoxLayout;
  BlackCount = new QLabel(this);
  BlackCount->setObjectName(QStringLiteral("BlackCount"));
  WhiteCount = new QLabel(this);
  WhiteCount->setObjectName(QStringLiteral("WhiteCount"));
  for (auto [label, colour] :
       {std::pair{BlackCount, TColour::Black}, {WhiteCount, TColour::White}}) {
    auto* icon = new QLabel(this);
    icon->setPixmap(DiscIcon(colour).pixmap(14, 14));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    label->setFont(font);
    counts->addWidget(icon);
    counts->addWidget(label);
    counts->addStretch();
  }
  layout->addLayout(counts);

  TurnLabel = new QLabel(this);
  TurnLabel->setObjectName(QStringLiteral("TurnLabel"));
  TurnLabel->setWordWrap(true);
  layout->addWidget(TurnLabel);
  PassButton = new QPushButton(QStringLiteral("Pass"), this);
  PassButton->setObjectName(QStringLiteral("PassButton"));
  PassButton->setFocusPolicy(Qt::NoFocus);
  PassButton->hide();
  connect(PassButton, &QPushButton::clicked, this, &TGamePanel::PassRequested);
  layout->addWidget(PassButton);
  HintLabel = new QLabel(this);
  HintLabel->setObjectName(QStringLiteral("HintLabel"));
  HintLabel->setWordWrap(true);
  HintLabel->hide();
  layout->addWidget(HintLabel);

  MoveList = new QListWidget(this);
  MoveList->setObjectName(QStringLiteral("MoveList"));
  MoveList->setFocusPolicy(Qt::NoFocus);
  connect(MoveList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!Filling && row >= 0 && row != Shown) emit PlyChosen(row);
  });
  layout->addWidget(MoveList, 1);

  auto* steps = new QHBoxLayout;
  FirstButton = StepButton("|◀", "FirstButton", "First position (Home)", this);
  BackButton = StepButton("◀", "BackButton", "Previous position (Left)", this);
  ForwardButton = StepButton("▶", "ForwardButton", "Next position (Right)", this);
  LastButton = StepButton("▶|", "LastButton", "Last position (End)", this);
  connect(FirstButton, &QPushButton::clicked, this, [this] { emit PlyChosen(0); });
  connect(BackButton, &QPushButton::clicked, this, [this] { emit PlyChosen(Shown - 1); });
  connect(ForwardButton, &QPushButton::clicked, this, [this] { emit PlyChosen(Shown + 1); });
  connect(LastButton, &QPushButton::clicked, this, [this] { emit PlyChosen(Plies); });
  for (QPushButton* button : {FirstButton, BackButton, ForwardButton, LastButton})
    steps->addWidget(button);
  layout->addLayout(steps);

  Chart = new TEvaluationChart(this);
  Chart->setObjectName(QStringLiteral("EvaluationChart"));
  Chart->setFixedHeight(110);
  Chart->hide();
  connect(Chart, &TEvaluationChart::PlyChosen, this, [this](int ply) {
    if (Stepping && ply != Shown) emit PlyChosen(ply);
  });
  layout->addWidget(Chart);
}

void TGamePanel::ShowGame(const TGame& line, int shownPly, const QString& turnText, bool mustPass,
                          const TLineNotes& notes) {
  Shown = shownPly;
  Plies = line.Plies();
  const TPosition position = line.PositionAt(shownPly);
  BlackCount->setText(QString::number(position.Discs(TColour::Black)));
  WhiteCount->setText(QString::number(position.Discs(TColour::White)));
  TurnLabel->setText(turnText);
  PassButton->setVisible(mustPass);

  Filling = true;
  MoveList->clear();
  MoveList->addItem(QStringLiteral("Start"));
  TPosition walk = line.Start();
  for (int ply = 0; ply < line.Plies(); ++ply) {
    const int square = line.Moves()[static_cast<size_t>(ply)];
    const TColour mover = walk.ToMove();
    walk.Play(square);
    QString text = QStringLiteral("%1. %2").arg(ply + 1).arg(
        square == PassMove ? QStringLiteral("pass")
                           : QString::fromStdString(walk.MoveText(square)));
    const auto loss = static_cast<size_t>(ply) < notes.Losses.size()
                          ? notes.Losses[static_cast<size_t>(ply)]
                          : std::nullopt;
    if (loss && square != PassMove)
      text +=
          *loss < 0.05 ? QStringLiteral("   best") : QStringLiteral("   -%1").arg(*loss, 0, 'f', 1);
    auto* item = new QListWidgetItem(DiscIcon(mover), text);
    // Plies after the shown position are the line's continuation, not yet on the board;
    // mistakes stand out.
    if (ply >= shownPly) item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    if (loss && *loss > MistakeDiscs) {
      item->setForeground(QColor(*loss > 2 * MistakeDiscs ? 0xC0392B : 0xD35400));
      QFont font = item->font();
      font.setBold(true);
      item->setFont(font);
    }
    MoveList->addItem(item);
  }
  MoveList->setCurrentRow(shownPly);
  MoveList->scrollToItem(MoveList->currentItem());
  Filling = false;
  const bool anyValue =
      std::any_of(notes.Curve.begin(), notes.Curve.end(),
                  [](const std::optional<double>& value) { return value.has_value(); });
  Chart->setVisible(anyValue);
  Chart->SetValues(anyValue ? notes.Curve : std::vector<std::optional<double>>{});
  Chart->SetShownPly(shownPly);
  UpdateButtons();
}

void TGamePanel::SetSteppingEnabled(bool enabled) {
  Stepping = enabled;
  MoveList->setEnabled(enabled);
  PassButton->setEnabled(enabled);
  UpdateButtons();
}

void TGamePanel::UpdateButtons() {
  FirstButton->setEnabled(Stepping && Shown > 0);
  BackButton->setEnabled(Stepping && Shown > 0);
  ForwardButton->setEnabled(Stepping && Shown < Plies);
  LastButton->setEnabled(Stepping && Shown < Plies);
}

}  // namespace morvane
