#include "ui/BoardFrame.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/BoardKind.h"
#include "engine/Catalogue.h"
#include "engine/Widgets.h"
#include "game/GameInfo.h"

namespace morvane {

namespace {

constexpr QRgb TransparentKey = 0xFFFFFF;  // pure white in the skin files

// Halves a colour channel, rounding a half to the even neighbour.
constexpr int Darken(int value) {
  const int half = value >> 1;
  return (value & 1) && (half & 1) ? half + 1 : half;
}
static_assert(Darken(255) == 128 && Darken(253) == 126 && Darken(2) == 1 && Darken(0) == 0);

// The board's folder inside a skin; every board entry of a kind shares it.
const char* BoardFolderOf(int kind) {
  for (const TBoardEntry& board : Boards)
    if (static_cast<int>(board.Kind) == kind) return board.SkinFolder;
  return StartBoard.SkinFolder;
}

// Turns the skin's pure white into transparency; every other pixel becomes opaque.
QImage KeyOutWhite(const QImage& loaded) {
  QImage image = loaded.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      line[x] = (line[x] & 0xFFFFFF) == TransparentKey ? 0 : (line[x] | 0xFF000000u);
  }
  // Alpha is 0 or 255 only, so the premultiplied form holds the same bytes.
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Plain stand-ins for skin files that cannot be used: a flat green board with grid lines and
// painted discs, so that a broken skin never leaves the board unplayable.
QImage PlainBoard(int side, int cell, bool octagon) {
  QImage image(TBoardDrawer::ImageSize, TBoardDrawer::ImageSize, QImage::Format_RGB32);
  image.fill(QColor(18, 74, 38));
  QPainter painter(&image);
  painter.fillRect(0, 0, side * cell, side * cell, QColor(36, 122, 62));
  if (octagon) {
    for (const int32_t square : OctagonCutSquares) {
      const int column = square % 12, row = square / 12;
      painter.fillRect((column - 1) * cell, (row - 1) * cell, cell, cell, QColor(18, 74, 38));
    }
  }
  painter.setPen(QColor(8, 40, 20));
  for (int k = 0; k <= side; ++k) {
    painter.drawLine(k * cell, 0, k * cell, side * cell);
    painter.drawLine(0, k * cell, side * cell, k * cell);
  }
  return image;
}

// widthShare 1 is the disc seen from above, smaller values show it turning on edge.
QImage PlainDisc(int cell, bool black, double widthShare, bool marked) {
  QImage image(cell, cell, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double radius = cell * 0.42;
  const double half = cell / 2.0;
  painter.setPen(QPen(black ? QColor(70, 70, 70) : QColor(120, 120, 120), 1.0));
  painter.setBrush(black ? QColor(22, 22, 22) : QColor(238, 238, 236));
  painter.drawEllipse(QPointF(half, half), radius * widthShare, radius);
  if (marked) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(208, 30, 30));
    painter.drawEllipse(QPointF(half, half), cell * 0.11, cell * 0.11);
  }
  return image;
}

QImage PlainLegalMark(int cell) {
  QImage image(cell, cell, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(12, 60, 30));
  painter.drawEllipse(QPointF(cell / 2.0, cell / 2.0), cell * 0.1, cell * 0.1);
  return image;
}

QImage PlainSkinFile(const std::string& name, int cell) {
  if (name == "ok") return PlainLegalMark(cell);
  const bool black = name[0] == 'b';
  if (name.size() == 3) return PlainDisc(cell, black, 1.0, true);  // bs1, ws1
  static constexpr double Widths[4] = {1.0, 0.72, 0.45, 0.18};
  return PlainDisc(cell, black, Widths[name[1] - '1'], false);
}

}  // namespace

// ---- TImageList ----

void TImageList::Clear() {
  Images.clear();
  Width = Height = 50;
}

void TImageList::Add(const QImage& image) {
  Width = image.width();
  Height = image.height();
  Images.push_back(image);
}

// ---- TBoardImage ----

TBoardImage::TBoardImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TBoardImage::SetSource(const QImage* source) {
  Source = source;
  update();
}

void TBoardImage::Changed(const QRect& area) { update(area); }

void TBoardImage::Changed() { update(); }

QImage TBoardImage::Picture() const { return Source ? Source->copy() : QImage(); }

void TBoardImage::SetHints(std::vector<THintMark> hints) {
  HintMarks = std::move(hints);
  update();
}

void TBoardImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.fillRect(area, palette().window());
  if (Source && !Source->isNull()) painter.drawImage(area.topLeft(), *Source, area);
  if (HintMarks.empty()) return;
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font = painter.font();
  font.setBold(true);
  for (const THintMark& hint : HintMarks) {
    if (!hint.Cell.intersects(area)) continue;
    // A dark plate keeps the text readable on every skin.
    const QRect plate = hint.Cell.adjusted(5, hint.Cell.height() / 3, -5, -hint.Cell.height() / 3);
    painter.setPen(hint.Best ? QPen(QColor(255, 210, 0), 2) : Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(plate, 4, 4);
    font.setPixelSize(std::max(9, hint.Cell.height() / 4));
    font.setUnderline(hint.Exact);
    painter.setFont(font);
    painter.setPen(hint.Best ? QColor(255, 220, 60) : QColor(235, 235, 235));
    painter.drawText(plate, Qt::AlignCenter, hint.Text);
  }
}

void TBoardImage::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseDown(event->button(), static_cast<int>(std::floor(at.x())),
                 static_cast<int>(std::floor(at.y())));
}

// ---- TBoardDrawer ----

TBoardDrawer::TBoardDrawer(QWidget* parent) : QWidget(parent) {
  resize(448, 461);
  BoardImage = new TBoardImage(this);
  BoardImage->setObjectName(QStringLiteral("BoardImage"));
  BoardImage->setGeometry(23, 19, ImageSize, ImageSize);
  BoardImage->SetSource(&WorkBitmap);

  PlayTimer = new QTimer(this);
  PlayTimer->setObjectName(QStringLiteral("PlayTimer"));
  PlayTimer->setInterval(50);
  connect(PlayTimer, &QTimer::timeout, this, &TBoardDrawer::PlayTimerTimer);
  WhoChangeTimer = new QTimer(this);
  WhoChangeTimer->setObjectName(QStringLiteral("WhoChangeTimer"));
  WhoChangeTimer->setInterval(100);
  connect(WhoChangeTimer, &QTimer::timeout, this, &TBoardDrawer::WhoChangeTimerTimer);

  WorkBitmap = QImage(ImageSize, ImageSize, QImage::Format_RGB32);
  WorkBitmap.fill(Qt::gray);
  CleanBitmap = WorkBitmap.copy();
}

TBoardDrawer::~TBoardDrawer() = default;

void TBoardDrawer::LoadBoard(int kind, const std::string& skin) {
  BoardImage->resize(ImageSize, ImageSize);
  // Any other code (the second 8 x 8 personality is chosen as 9) is the 8 x 8 board.
  if (kind != 10 && kind != 88) kind = 8;
  SkinName = skin;
  BoardKind = kind;
  const QString root = SkinsFolder.empty() ? QDir::currentPath() + QStringLiteral("/Skins")
                                           : QString::fromStdString(SkinsFolder);
  SkinDir = (root + '/' + QString::fromStdString(skin) + '/' + BoardFolderOf(kind)).toStdString();
  BoardSide = kind == 88 ? 10 : kind;
  CellSize = ImageSize / BoardSide;
  LoadSkin();
}

void TBoardDrawer::ChangeSkin(const std::string& skin) {
  if (skin != SkinName) LoadBoard(BoardKind, skin);
}

QImage TBoardDrawer::LoadSkinBitmap(const std::string& name, bool transparent) {
  const std::string path = SkinDir + '/' + name + ".bmp";
  const QString file = QString::fromStdString(path);
  QImage loaded;
  std::string fault;
  if (!QFileInfo::exists(file)) {
    fault = "missing";
  } else if (!loaded.load(file, "BMP")) {
    fault = "not a readable bitmap";
  } else if (transparent ? loaded.width() != CellSize || loaded.height() != CellSize
                         : loaded.width() < BoardSide * CellSize ||
                               loaded.height() < BoardSide * CellSize) {
    const std::string size =
        std::to_string(loaded.width()) + " x " + std::to_string(loaded.height()) + " pixels";
    const std::string cell = std::to_string(CellSize);
    const std::string grid = std::to_string(BoardSide * CellSize);
    fault = transparent ? size + " instead of " + cell + " x " + cell
                        : size + ", too small for the " + grid + " x " + grid + " grid";
  }
  if (!fault.empty()) {
    Faults.push_back(path + ": " + fault);
    return transparent ? PlainSkinFile(name, CellSize)
                       : PlainBoard(BoardSide, CellSize, BoardKind == 88);
  }
  return transparent ? KeyOutWhite(loaded) : loaded.convertToFormat(QImage::Format_RGB32);
}

void TBoardDrawer::LoadSkin() {
  StopAnimations();
  for (TShownCell& cell : Shown) cell = TShownCell{};
  Faults.clear();

  WorkBitmap = LoadSkinBitmap("Board", false);

  // Each file once; several lists share it.
  enum { B1, B2, B3, B4, W1, W2, W3, W4, BS1, WS1, OK, FileCount };
  static constexpr const char* Names[FileCount] = {"b1", "b2", "b3",  "b4",  "w1", "w2",
                                                   "w3", "w4", "bs1", "ws1", "ok"};
  QImage files[FileCount];
  for (int i = 0; i < FileCount; ++i) files[i] = LoadSkinBitmap(Names[i], true);
  const auto fill = [&files](TImageList& list, std::initializer_list<int> sequence) {
    list.Clear();
    for (const int file : sequence) list.Add(files[file]);
  };
  fill(BToWAnim, {B1, B2, B3, B4, W4, W3, W2, W1});
  fill(WToBAnim, {W1, W2, W3, W4, B4, B3, B2, B1});
  fill(WhiteSet, {WS1, WS1, WS1, WS1, WS1, WS1, WS1, WS1});
  fill(BlackSet, {BS1, BS1, BS1, BS1, BS1, BS1, BS1, BS1});
  fill(InfoList, {OK, WS1, BS1});

  CleanBitmap = WorkBitmap.copy();
  BoardImage->Changed();

  if (!Faults.empty()) {
    std::string text = "Some files of the skin \"" + SkinName +
                       "\" could not be used, so the board is drawn plainly:";
    for (const std::string& fault : Faults) text += "\n" + fault;
    ShowMessage(text);
  }
}

void TBoardDrawer::StopAnimations() {
  PlayTimer->stop();
  WhoChangeTimer->stop();
  for (TCellState& cell : Cells) cell = TCellState{};
  Animating = false;
}

void TBoardDrawer::PlaceLabels() {
  if (!LabelsCreated) {
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::black);
    for (QLabel*& label : Labels) {
      label = new QLabel(this);
      label->resize(30, 25);
      label->setPalette(palette);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->hide();
    }
    LabelsCreated = true;
  }
  const int n = BoardSide;
  for (int index = 0; index < LabelCount; ++index) {
    QLabel* label = Labels[index];
    if (index >= 2 * n) {
      label->hide();
      continue;
    }
    QPoint wanted;
    QString caption;
    if (index < n) {
      wanted = QPoint(42 + index * CellSize, 2);
      caption = QChar(97 + index);
    } else {
      const int i = index - n;
      wanted = QPoint(i < 9 ? 6 : 2, 35 + i * CellSize);
      caption = QString::number(i + 1);
    }
    if (label->pos() != wanted || label->text() != caption) {
      label->hide();
      label->move(wanted);
      label->setText(caption);
    }
    label->show();
  }
}

QPoint TBoardDrawer::CellOrigin(int square) const {
  const int width = BoardSide + 2;
  return {(square % width - 1) * CellSize, (square / width - 1) * CellSize};
}

QRect TBoardDrawer::CellReach(int square) const {
  const QRect cell(CellOrigin(square), QSize(CellSize, CellSize));
  return cell.adjusted(-ShadowOffset, -ShadowOffset, 2 * ShadowOffset, 2 * ShadowOffset);
}

void TBoardDrawer::DrawImage(const QImage& image, QPoint at, const QRect& clip) {
  const QRect area = clip & WorkBitmap.rect() & QRect(at, image.size());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y - at.y()));
    auto* target = reinterpret_cast<QRgb*>(WorkBitmap.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb pixel = source[x - at.x()];
      const int alpha = qAlpha(pixel);
      if (alpha == 0) continue;
      if (alpha == 255) {
        target[x] = pixel;
        continue;
      }
      // Premultiplied source over an opaque target.
      const QRgb under = target[x];
      const int keep = 255 - alpha;
      target[x] = qRgb(qRed(pixel) + (qRed(under) * keep + 127) / 255,
                       qGreen(pixel) + (qGreen(under) * keep + 127) / 255,
                       qBlue(pixel) + (qBlue(under) * keep + 127) / 255);
    }
  }
}

void TBoardDrawer::DrawShadow(const QImage& image, QPoint at, const QRect& clip) {
  const QPoint shadowAt = at + QPoint(ShadowOffset, ShadowOffset);
  const QRect area = clip & WorkBitmap.rect() & QRect(shadowAt, image.size());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y - shadowAt.y()));
    auto* target = reinterpret_cast<QRgb*>(WorkBitmap.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qAlpha(source[x - shadowAt.x()]) == 0) continue;
      const QRgb under = target[x];
      target[x] = (under & 0xFF000000u) | (static_cast<QRgb>(Darken(qRed(under))) << 16) |
                  (static_cast<QRgb>(Darken(qGreen(under))) << 8) |
                  static_cast<QRgb>(Darken(qBlue(under)));
    }
  }
}

void TBoardDrawer::Compose(const QRect& wanted) {
  const QRect area = wanted & WorkBitmap.rect() & CleanBitmap.rect();
  if (area.isEmpty()) return;
  const size_t bytes = static_cast<size_t>(area.width()) * sizeof(QRgb);
  for (int y = area.top(); y <= area.bottom(); ++y)
    std::memcpy(reinterpret_cast<QRgb*>(WorkBitmap.scanLine(y)) + area.left(),
                reinterpret_cast<const QRgb*>(CleanBitmap.constScanLine(y)) + area.left(), bytes);

  // Column by column as a full draw goes, so that a shadow falls under the discs drawn later.
  const int n = BoardSide;
  for (int column = 1; column <= n; ++column) {
    for (int row = 1; row <= n; ++row) {
      const int square = column + row * (n + 2);
      const TShownCell& shown = Shown[square];
      if (!shown.List || !CellReach(square).intersects(area)) continue;
      const QPoint at = CellOrigin(square) + QPoint(shown.Dx, shown.Dy);
      if (ShadowsOn && shown.ShadowList && shown.ShadowFrame < shown.ShadowList->Count())
        DrawShadow(shown.ShadowList->Image(shown.ShadowFrame), at, area);
      if (shown.Frame < shown.List->Count()) DrawImage(shown.List->Image(shown.Frame), at, area);
    }
  }
  if (InfoList.Count() == 0) return;
  for (int square = 0; square < MaxCells; ++square)
    if (Shown[square].LegalMark && CellReach(square).intersects(area))
      DrawImage(InfoList.Image(0), CellOrigin(square), area);
}

void TBoardDrawer::ShowHints(std::vector<THintMark> hints) {
  for (THintMark& hint : hints)
    hint.Cell = QRect(CellOrigin(hint.Square), QSize(CellSize, CellSize));
  BoardImage->SetHints(std::move(hints));
}

void TBoardDrawer::Draw(bool showLegalMoves, int lastMove) {
  PlaceLabels();
  LastMoveMark = lastMove;

  bool legal[MaxCells] = {};
  const bool haveGame = GameFits();
  if (haveGame && showLegalMoves) {
    TMoveList moves;
    Game->Engine->GenerateMovesHashed(moves);
    for (const MoveRecord* move = moves[0].Next; move; move = move->Next)
      if (move->Square > PassMove && move->Square < MaxCells) legal[move->Square] = true;
  }

  // What every square shows is settled before pending events run, and the picture is composed
  // from it afterwards: a redraw or a tick that arrives meanwhile then works on a whole position,
  // never on half of an old one.
  const int n = BoardSide;
  for (TShownCell& cell : Shown) cell = TShownCell{};
  for (int column = 1; column <= n; ++column) {
    for (int row = 1; row <= n; ++row) {
      TShownCell& shown = Shown[column + row * (n + 2)];
      if (!haveGame) continue;
      const int square = column + row * (n + 2);
      const int content = Game->Engine->Board[square];
      shown.LegalMark = legal[square];
      const bool marked = square == lastMove;
      if (content == WhiteCell || content == 255) {
        shown.ShadowList = &WToBAnim;
        shown.List = marked ? &InfoList : &WToBAnim;
        shown.Frame = marked ? 1 : 0;
      } else if (content == BlackCell) {
        shown.ShadowList = &BToWAnim;
        shown.List = marked ? &InfoList : &BToWAnim;
        shown.Frame = marked ? 2 : 0;
      }
    }
  }
  for (int cell = 0; cell < n * n; ++cell) ProcessPendingEvents();

  Compose(WorkBitmap.rect());
  BoardImage->Changed();
}

bool TBoardDrawer::ProbeGameMove(int square, MoveRecord& move) const {
  if (!GameFits() || square < 0 || square >= MaxCells) return false;
  TOthelloEngine& engine = *Game->Engine;
  // A pass or an occupied square is no move; probing one square is all the animation needs.
  return engine.Board[square] == EmptyCell && engine.ProbeMove(square, move) > 0;
}

void TBoardDrawer::AnimateMove(int square) {
  if (!AnimationsOn) return;
  StopAnimations();
  MoveRecord move;
  if (ProbeGameMove(square, move)) {
    const bool blackMoves = Game->Engine->SideToMove == BlackCell;
    for (int k = 0; k <= move.FlipCount; ++k) {
      const int target = k == 0 ? move.Square : move.Flips[k - 1];
      if (target < 0 || target >= MaxCells) continue;
      TCellState& cell = Cells[target];
      cell.Active = true;
      cell.Counter = 1 - k;
      if (k == 0)
        cell.List = blackMoves ? &BlackSet : &WhiteSet;
      else
        cell.List = blackMoves ? &WToBAnim : &BToWAnim;
    }
  }
  Animating = true;
  PlayTimer->start();
}

template <typename TShow>
void TBoardDrawer::AdvanceCells(QTimer* timer, TShow show) {
  QRect changed[MaxCells];
  int changedCount = 0;
  bool active = false;
  for (int square = 0; square < MaxCells; ++square) {
    TCellState& cell = Cells[square];
    if (!cell.Active || !cell.List) continue;
    TShownCell& shown = Shown[square];
    shown = TShownCell{};
    shown.List = shown.ShadowList = cell.List;
    show(cell, shown);
    changed[changedCount++] = CellReach(square);
    if (++cell.Counter >= AnimationFrames) {
      cell.Counter = 0;
      cell.Active = false;
    }
    active = active || cell.Active;
  }
  // Shown is complete before any part is composed, so overlapping areas agree.
  for (int i = 0; i < changedCount; ++i) {
    Compose(changed[i]);
    BoardImage->Changed(changed[i]);
  }
  if (!active) {
    timer->stop();
    Animating = false;
  }
}

void TBoardDrawer::PlayTimerTimer() {
  AdvanceCells(PlayTimer, [](const TCellState& cell, TShownCell& shown) {
    shown.Frame = shown.ShadowFrame = cell.Counter < 0 ? 0 : cell.Counter;
  });
}

void TBoardDrawer::PreviewFlips(int square) {
  if (!AnimationsOn) return;
  StopAnimations();
  MoveRecord move;
  if (ProbeGameMove(square, move)) {
    const bool blackMoves = Game->Engine->SideToMove == BlackCell;
    for (int k = 0; k < move.FlipCount; ++k) {
      if (move.Flips[k] < 0 || move.Flips[k] >= MaxCells) continue;
      TCellState& cell = Cells[move.Flips[k]];
      cell.Active = true;
      cell.Counter = 0;
      cell.List = blackMoves ? &WToBAnim : &BToWAnim;
    }
  }
  Animating = true;
  WhoChangeTimer->start();
}

void TBoardDrawer::WhoChangeTimerTimer() {
  // The flips to come tremble in place by a few random pixels.
  AdvanceCells(WhoChangeTimer, [this](const TCellState&, TShownCell& shown) {
    const int r1 = static_cast<int>(Random.bounded(4)), r2 = static_cast<int>(Random.bounded(4));
    const int r3 = static_cast<int>(Random.bounded(4)), r4 = static_cast<int>(Random.bounded(4));
    shown.Dx = r3 - r4;
    shown.Dy = r1 - r2;
  });
}

bool TBoardDrawer::GameFits() const {
  return Game && Game->Engine && Game->Engine->BoardSide == BoardSide;
}

int TBoardDrawer::SquareAt(int x, int y) const {
  // Half a cell further on, rounded to the nearest cell with ties to even: a click exactly on a
  // grid line goes to the even-numbered neighbour.
  const double half = CellSize / 2.0;
  const int column = static_cast<int>(std::nearbyint((x + half) / CellSize));
  const int row = static_cast<int>(std::nearbyint((y + half) / CellSize));
  if (column < 1 || row < 1 || column > BoardSide || row > BoardSide) return 0;
  return column + row * (BoardSide + 2);
}

int TBoardDrawer::ClickToSquare(Qt::MouseButton button, int x, int y) {
  if (Animating || !GameFits()) return 0;
  if (button != Qt::LeftButton && button != Qt::RightButton) return 0;
  const int square = SquareAt(x, y);
  if (square == 0 || !Game->IsLegal(square)) return 0;
  if (button == Qt::RightButton) {
    PreviewFlips(square);
    return 0;
  }
  return square;
}

}  // namespace morvane
