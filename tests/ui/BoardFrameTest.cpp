// The board view against the skin files read on their own: what a cell shows, where a click
// lands, how long an animation runs, and what happens when skin files are missing or broken.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "engines/DiscCountEngine.h"
#include "engine/Widgets.h"
#include "game/GameInfo.h"
#include "ui/BoardFrame.h"
#include "ui/UiTestRegistry.h"

namespace morvane {
namespace {

const char* const SkinFileNames[] = {"Board", "b1", "b2", "b3",  "b4",  "w1",
                                     "w2",    "w3", "w4", "bs1", "ws1", "ok"};

QString SkinsRoot() { return qEnvironmentVariable("MORVANE_SKINS") + QStringLiteral("/Skins"); }

QString BoardFolder(int kind) {
  return kind == 10   ? QStringLiteral("Board10x10")
         : kind == 88 ? QStringLiteral("Octagon")
                      : QStringLiteral("Board8x8");
}

constexpr QRgb Rgb(QRgb pixel) { return pixel & 0xFFFFFFu; }

// Half of a channel, rounded to the nearest integer with ties to even.
int HalfToEven(int value) { return static_cast<int>(std::nearbyint(value * 50 / 100.0)); }

// One skin folder as plain files, read without the view.
struct TSkinFiles {
  explicit TSkinFiles(const QString& folder) {
    for (const char* name : SkinFileNames)
      Files[name] = QImage(folder + '/' + name + ".bmp").convertToFormat(QImage::Format_RGB32);
  }
  const QImage& operator[](const char* name) const { return Files.at(name); }
  // What a cell at origin shows at offset (x, y) with the given file on it (null: nothing):
  // the file's pixel, or the board's where the file is pure white.
  QRgb Expected(const char* file, QPoint origin, int x, int y) const {
    if (file) {
      const QRgb pixel = Rgb(Files.at(file).pixel(x, y));
      if (pixel != 0xFFFFFFu) return pixel;
    }
    return Rgb(Files.at("Board").pixel(origin.x() + x, origin.y() + y));
  }
  std::map<std::string, QImage> Files;
};

// An engine, a game record on it and the view drawing it.
struct TRig {
  TRig(int kind, const QString& skins = SkinsRoot(), const std::string& skin = "STANDARD")
      : Engine(10, kind == 10   ? TBoardKind::Board10x10
                   : kind == 88 ? TBoardKind::Octagon
                                : TBoardKind::Board8x8) {
    Game.SetEngine(&Engine);
    Game.NewGame();
    View.SetSkinsFolder(skins.toStdString());
    View.SetGame(&Game);
    View.LoadBoard(kind, skin);
  }
  bool SetPosition(const std::string& text) {
    PositionImage image{};
    if (!Engine.ParsePosition(text, image)) return false;
    Engine.SetPosition(image.Board, image.SideToMove);
    return true;
  }
  int Side() const { return Engine.BoardSide; }
  int Square(int column, int row) const { return column + row * (Side() + 2); }
  int Cell() const { return 402 / Side(); }
  QPoint Origin(int column, int row) const { return {(column - 1) * Cell(), (row - 1) * Cell()}; }
  QPoint Centre(int column, int row) const {
    return Origin(column, row) + QPoint(Cell() / 2, Cell() / 2);
  }
  std::vector<int> LegalSquares() {
    TMoveList list;
    Engine.GenerateMoves(list);
    std::vector<int> squares;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next)
      squares.push_back(move->Square);
    return squares;
  }
  // Every pixel of the cell matches a plain composition with `file` on it.
  bool CellShows(const TSkinFiles& files, const char* file, int column, int row) const {
    const QPoint origin = Origin(column, row);
    for (int y = 0; y < Cell(); ++y)
      for (int x = 0; x < Cell(); ++x)
        if (Rgb(View.WorkBitmap.pixel(origin.x() + x, origin.y() + y)) !=
            files.Expected(file, origin, x, y))
          return false;
    return true;
  }
  // Steps an animation by hand; the number of ticks until it ended (at most `limit`).
  int TicksUntilDone(void (TBoardDrawer::*tick)(), int limit = 100) {
    int ticks = 0;
    while (View.Animating && ticks < limit) {
      (View.*tick)();
      ++ticks;
    }
    return ticks;
  }

  TDiscCountEngine Engine;
  TGameInfo Game;
  TBoardDrawer View;
};

int VisibleLabels(const TBoardDrawer& view) {
  int visible = 0;
  for (int i = 0; i < TBoardDrawer::LabelCount; ++i) visible += !view.Label(i)->isHidden();
  return visible;
}

// Counts the moves, shows and hides of the watched widgets.
class TLabelWatcher final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const auto type = event->type();
    if (type == QEvent::Move || type == QEvent::Show || type == QEvent::Hide) ++Events;
    return QObject::eventFilter(watched, event);
  }
  int Events = 0;
};

// A copy of one board folder of the STANDARD skin that a test may break.
struct TSkinCopy {
  explicit TSkinCopy(int kind) {
    Folder = Dir.path() + "/Skins/STANDARD/" + BoardFolder(kind);
    Cell = kind == 8 ? 50 : 40;
    QDir().mkpath(Folder);
    const QString source = SkinsRoot() + "/STANDARD/" + BoardFolder(kind);
    for (const char* name : SkinFileNames)
      Complete =
          QFile::copy(source + '/' + name + ".bmp", Folder + '/' + name + ".bmp") && Complete;
  }
  QString Path(const char* name) const { return Folder + '/' + name + ".bmp"; }
  // Replaces every disc by a plain square filling its cell.
  bool FillCells() {
    bool saved = true;
    for (const char* name : {"b1", "b2", "b3", "b4", "bs1", "w1", "w2", "w3", "w4", "ws1"}) {
      QImage disc(Cell, Cell, QImage::Format_RGB32);
      disc.fill(name[0] == 'b' ? BlackFill : WhiteFill);
      saved = disc.save(Path(name), "BMP") && saved;
    }
    return saved;
  }
  static constexpr QRgb BlackFill = 0xFF1E1E1E, WhiteFill = 0xFFC8C8BE;
  QString Root() const { return Dir.path() + "/Skins"; }
  QTemporaryDir Dir;
  QString Folder;
  int Cell = 50;
  bool Complete = true;
};

}  // namespace

class BoardFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (qEnvironmentVariableIsEmpty("MORVANE_SKINS"))
      QSKIP("MORVANE_SKINS names no build folder with rendered skins");
    QVERIFY2(QFileInfo::exists(SkinsRoot() + "/STANDARD/Board8x8/Board.bmp"),
             qPrintable(SkinsRoot()));
  }

  void timersAndSize() {
    TBoardDrawer view;
    QCOMPARE(view.PlayTimer->interval(), 50);
    QCOMPARE(view.WhoChangeTimer->interval(), 100);
    QVERIFY(!view.PlayTimer->isActive() && !view.WhoChangeTimer->isActive());
    QVERIFY(!view.Animating && view.AnimationsOn && !view.ShadowsOn);
    QCOMPARE(view.BoardImage->pos(), QPoint(23, 19));
  }

  // The pixel drawn in a cell belongs to that cell; only the 400 x 400 grid maps to squares.
  void squareAtPixel_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("column");  // 0: no square
    QTest::addColumn<int>("row");
    struct TCase {
      int Kind, X, Y, Column, Row;
    };
    // Column and row are (pixel + half a cell) / cell rounded to nearest, ties to even.
    const TCase cases[] = {
        {8, 0, 10, 0, 0},     {8, 1, 1, 1, 1},      {8, 49, 49, 1, 1},   {8, 50, 10, 2, 1},
        {8, 99, 10, 2, 1},    {8, 100, 10, 2, 1},   {8, 150, 10, 4, 1},  {8, 10, 100, 1, 2},
        {8, 349, 399, 7, 8},  {8, 399, 399, 8, 8},  {8, 400, 10, 8, 1},  {8, 10, 401, 0, 0},
        {8, -1, 10, 0, 0},    {10, 0, 10, 0, 0},    {10, 39, 39, 1, 1},  {10, 40, 10, 2, 1},
        {10, 80, 10, 2, 1},   {10, 120, 10, 4, 1},  {10, 79, 120, 2, 4}, {10, 399, 399, 10, 10},
        {10, 400, 10, 10, 1}, {10, 10, 401, 0, 0},  {88, 1, 1, 1, 1},    {88, 399, 10, 10, 1},
        {88, 200, 200, 6, 6}, {88, 401, 401, 0, 0},
    };
    for (const TCase& c : cases)
      QTest::addRow("kind %d at %d,%d", c.Kind, c.X, c.Y)
          << c.Kind << c.X << c.Y << c.Column << c.Row;
  }
  void squareAtPixel() {
    QFETCH(int, kind);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, column);
    QFETCH(int, row);
    TRig rig(kind);
    QCOMPARE(rig.View.CellSize, kind == 8 ? 50 : 40);
    QCOMPARE(rig.View.SquareAt(x, y), column == 0 ? 0 : rig.Square(column, row));
  }

  // Every corner and the centre of every cell: a left click answers the square exactly when it
  // is legal; right and middle clicks never answer one.
  void clickEveryCell_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("8x8") << 8;
    QTest::newRow("10x10") << 10;
    QTest::newRow("octagon") << 88;
  }
  void clickEveryCell() {
    QFETCH(int, kind);
    TRig rig(kind);
    const std::vector<int> legal = rig.LegalSquares();
    QVERIFY(!legal.empty());
    const int n = rig.Side(), cell = rig.Cell();
    for (int row = 1; row <= n; ++row) {
      for (int column = 1; column <= n; ++column) {
        const int square = rig.Square(column, row);
        const bool isLegal = std::find(legal.begin(), legal.end(), square) != legal.end();
        const QPoint origin = rig.Origin(column, row);
        // Just inside the corners: the grid lines themselves are the rounding table's cases.
        const QPoint pixels[] = {origin + QPoint(1, 1), origin + QPoint(cell - 1, 1),
                                 origin + QPoint(1, cell - 1), origin + QPoint(cell - 1, cell - 1),
                                 rig.Centre(column, row)};
        for (const QPoint p : pixels) {
          QCOMPARE(rig.View.ClickToSquare(Qt::LeftButton, p.x(), p.y()), isLegal ? square : 0);
          QCOMPARE(rig.View.ClickToSquare(Qt::MiddleButton, p.x(), p.y()), 0);
        }
      }
    }
    if (kind == 88) {
      // The cut corners are never a move, whatever the button.
      for (const int32_t cut : OctagonCutSquares) {
        const QPoint p = rig.Centre(cut % 12, cut / 12);
        QCOMPARE(rig.View.SquareAt(p.x(), p.y()), static_cast<int>(cut));
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
          QCOMPARE(rig.View.ClickToSquare(button, p.x(), p.y()), 0);
      }
      QVERIFY(!rig.View.Animating);
    }
    // Beyond the grid but inside the image.
    QCOMPARE(rig.View.ClickToSquare(Qt::LeftButton, 401, 200), 0);
    QCOMPARE(rig.View.ClickToSquare(Qt::LeftButton, 200, 400), 0);
    // A right click on a legal square previews and answers nothing; clicks then wait.
    const QPoint first = rig.Centre(legal[0] % (n + 2), legal[0] / (n + 2));
    QCOMPARE(rig.View.ClickToSquare(Qt::RightButton, first.x(), first.y()), 0);
    QVERIFY(rig.View.Animating);
    QVERIFY(rig.View.WhoChangeTimer->isActive());
    QCOMPARE(rig.View.ClickToSquare(Qt::LeftButton, first.x(), first.y()), 0);
    QCOMPARE(rig.TicksUntilDone(&TBoardDrawer::WhoChangeTimerTimer), 8);
    QVERIFY(!rig.View.WhoChangeTimer->isActive());
    QCOMPARE(rig.View.ClickToSquare(Qt::LeftButton, first.x(), first.y()), legal[0]);
  }

  void clicksThroughTheImage() {
    TRig rig(8);
    rig.View.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.View));
    struct TPress {
      Qt::MouseButton Button;
      int X, Y, Square;
    };
    std::vector<TPress> presses;
    connect(rig.View.BoardImage, &TBoardImage::MouseDown, this,
            [&](Qt::MouseButton button, int x, int y) {
              presses.push_back({button, x, y, rig.View.ClickToSquare(button, x, y)});
            });
    const int d3 = rig.Square(4, 3);
    QTest::mouseClick(rig.View.BoardImage, Qt::LeftButton, {}, QPoint(175, 125));
    QTest::mouseClick(rig.View.BoardImage, Qt::LeftButton, {}, QPoint(151, 101));  // d3's corner
    QTest::mouseClick(rig.View.BoardImage, Qt::LeftButton, {}, QPoint(149, 101));  // c3
    QTest::mouseClick(rig.View.BoardImage, Qt::MiddleButton, {}, QPoint(175, 125));
    QTest::mouseClick(rig.View.BoardImage, Qt::LeftButton, {}, QPoint(175, 175));  // d4, taken
    QCOMPARE(presses.size(), size_t{5});
    QCOMPARE(presses[0].Button, Qt::LeftButton);
    QCOMPARE(QPoint(presses[0].X, presses[0].Y), QPoint(175, 125));
    QCOMPARE(presses[0].Square, d3);
    QCOMPARE(QPoint(presses[1].X, presses[1].Y), QPoint(151, 101));
    QCOMPARE(presses[1].Square, d3);
    QCOMPARE(presses[2].Square, 0);
    QCOMPARE(presses[3].Button, Qt::MiddleButton);
    QCOMPARE(presses[3].Square, 0);
    QCOMPARE(presses[4].Square, 0);
  }

  void labelsFollowTheBoard() {
    TRig rig(10);
    rig.View.Draw(false, 0);
    QCOMPARE(VisibleLabels(rig.View), 20);
    QCOMPARE(rig.View.Label(9)->text(), QStringLiteral("j"));
    QCOMPARE(rig.View.Label(19)->text(), QStringLiteral("10"));
    QCOMPARE(rig.View.Label(19)->pos(), QPoint(2, 35 + 9 * 40));
    QCOMPARE(rig.View.Label(18)->pos(), QPoint(6, 35 + 8 * 40));

    TRig small(8);  // the window's switch to a new 8 x 8 game
    rig.View.SetGame(&small.Game);
    rig.View.LoadBoard(8, "STANDARD");
    rig.View.Draw(true, 0);
    QCOMPARE(VisibleLabels(rig.View), 16);
    for (int i = 0; i < 8; ++i) {
      const QLabel* column = rig.View.Label(i);
      const QLabel* row = rig.View.Label(8 + i);
      QVERIFY(!column->isHidden() && !row->isHidden());
      QCOMPARE(column->text(), QString(QChar('a' + i)));
      QCOMPARE(column->pos(), QPoint(42 + i * 50, 2));
      QCOMPARE(row->text(), QString::number(i + 1));
      QCOMPARE(row->pos(), QPoint(6, 35 + i * 50));
      QCOMPARE(column->size(), QSize(30, 25));
    }
    for (int i = 16; i < TBoardDrawer::LabelCount; ++i) QVERIFY(rig.View.Label(i)->isHidden());

    // 10 x 10 and the octagon share their labels: switching moves none.
    TRig big(10);
    rig.View.SetGame(&big.Game);
    rig.View.LoadBoard(10, "STANDARD");
    rig.View.Draw(false, 0);
    QCOMPARE(VisibleLabels(rig.View), 20);
    TLabelWatcher watcher;
    for (int i = 0; i < TBoardDrawer::LabelCount; ++i)
      rig.View.Label(i)->installEventFilter(&watcher);
    TRig octagon(88);
    rig.View.SetGame(&octagon.Game);
    rig.View.LoadBoard(88, "STANDARD");
    rig.View.Draw(false, 0);
    QCOMPARE(watcher.Events, 0);
    QCOMPARE(VisibleLabels(rig.View), 20);
  }

  // A move that turns F discs animates for F + 7 ticks: the placed disc shows its marked image
  // from the first tick, the k-th turned disc keeps its old colour for k - 1 ticks, then turns.
  void animationTicks_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("position");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("flips");
    const QString empty8(8, '-');
    const QString centre8 = QStringLiteral("---OX------XO---");
    const QString start8 = "X" + empty8.repeated(3) + centre8 + empty8.repeated(3);
    QTest::newRow("8x8 d3 turns one") << 8 << start8 << 4 << 3 << 1;
    QTest::newRow("8x8 e1 turns three")
        << 8 << "X" + QStringLiteral("XOOO----") + empty8.repeated(2) + centre8 + empty8.repeated(3)
        << 5 << 1 << 3;
    QTest::newRow("8x8 white d6 turns two")
        << 8
        << "O" + empty8.repeated(2) + QStringLiteral("---O-------X-------X----") +
               empty8.repeated(3)
        << 4 << 6 << 2;
    QTest::newRow("8x8 c3 turns four in two lines")
        << 8
        << "X" + empty8.repeated(2) + QStringLiteral("---OOX-----O--------O--------X--") +
               empty8.repeated(2)
        << 3 << 3 << 4;
    QTest::newRow("10x10 e1 turns three")
        << 10 << "X" + QStringLiteral("XOOO------") + QString(90, '-') << 5 << 1 << 3;
    QTest::newRow("8x8 a pass turns nothing") << 8 << start8 << 1 << 0 << -6;
  }
  void animationTicks() {
    QFETCH(int, kind);
    QFETCH(QString, position);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, flips);
    TRig rig(kind);
    QVERIFY(rig.SetPosition(position.toStdString()));
    const TSkinFiles files(SkinsRoot() + "/STANDARD/" + BoardFolder(kind));
    rig.View.Draw(false, 0);
    const int square = row == 0 ? PassMove : rig.Square(column, row);
    const bool black = rig.Engine.SideToMove == BlackCell;

    // The turned discs, found from the board itself: opposing discs that the move encloses.
    std::vector<int> turned;
    if (square != PassMove) {
      const int width = rig.Side() + 2;
      for (const int step : {-width - 1, -width + 1, -width, -1, width + 1, width - 1, width, 1}) {
        std::vector<int> line;
        int s = square + step;
        while (rig.Engine.Board[s] == -rig.Engine.SideToMove) line.push_back(s), s += step;
        if (rig.Engine.Board[s] == rig.Engine.SideToMove)
          turned.insert(turned.end(), line.begin(), line.end());
      }
    }
    QCOMPARE(static_cast<int>(turned.size()), std::max(flips, 0));

    rig.View.AnimateMove(square);
    QVERIFY(rig.View.Animating);
    QVERIFY(rig.View.PlayTimer->isActive());
    rig.View.PlayTimerTimer();
    const auto at = [&](int s) { return std::pair{s % (rig.Side() + 2), s / (rig.Side() + 2)}; };
    if (square != PassMove) {
      auto [c, r] = at(square);
      QVERIFY(rig.CellShows(files, black ? "bs1" : "ws1", c, r));
      for (const int s : turned) {
        auto [tc, tr] = at(s);
        QVERIFY(rig.CellShows(files, black ? "w1" : "b1", tc, tr));
      }
    }
    const int ticks = 1 + rig.TicksUntilDone(&TBoardDrawer::PlayTimerTimer);
    QCOMPARE(ticks, square == PassMove ? 1 : flips + 7);
    QVERIFY(!rig.View.PlayTimer->isActive());
    for (const int s : turned) {
      auto [tc, tr] = at(s);
      QVERIFY(rig.CellShows(files, black ? "b1" : "w1", tc, tr));
    }
    // The view only shows: the position is untouched.
    for (const int s : turned) QCOMPARE(int{rig.Engine.Board[s]}, black ? -1 : 1);
  }

  // The same through the 50 ms timer itself, counting its ticks.
  void animationRunsOnItsTimer() {
    TRig rig(8);
    QVERIFY(rig.SetPosition("X" + std::string("XOOO----") + std::string(56, '-')));
    rig.View.Draw(false, 0);
    QSignalSpy ticks(rig.View.PlayTimer, &QTimer::timeout);
    rig.View.AnimateMove(rig.Square(5, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.View.Animating, 20000);
    QCOMPARE(ticks.count(), 3 + 7);
    QVERIFY(!rig.View.PlayTimer->isActive());
  }

  void animationsOffAnimateNothing() {
    TRig rig(8);
    rig.View.AnimationsOn = false;
    rig.View.AnimateMove(rig.Square(4, 3));
    rig.View.PreviewFlips(rig.Square(4, 3));
    QVERIFY(!rig.View.Animating);
    QVERIFY(!rig.View.PlayTimer->isActive() && !rig.View.WhoChangeTimer->isActive());
  }

  // Every cell of every skin and board: discs where the position has them, the bare board
  // elsewhere (the octagon's cut corners included), and the image control shows the same.
  void drawShowsThePosition_data() {
    QTest::addColumn<QString>("skin");
    QTest::addColumn<int>("kind");
    for (const QString skin : {"STANDARD", "WOOD", "MARPLE", "WATER"})
      for (const int kind : {8, 10, 88})
        QTest::addRow("%s %d", qPrintable(skin), kind) << skin << kind;
  }
  void drawShowsThePosition() {
    QFETCH(QString, skin);
    QFETCH(int, kind);
    TRig rig(kind, SkinsRoot(), skin.toStdString());
    QVERIFY(rig.View.SkinComplete());
    QCOMPARE(rig.View.BoardImage->size(), QSize(402, 402));
    const TSkinFiles files(SkinsRoot() + '/' + skin + '/' + BoardFolder(kind));
    // A few more discs than the start position, so that both colours sit next to empties.
    const int first = rig.LegalSquares().front();
    QVERIFY(rig.Game.EnterMove(first));
    rig.View.Draw(false, 0);
    const int n = rig.Side();
    int discs = 0;
    for (int row = 1; row <= n; ++row) {
      for (int column = 1; column <= n; ++column) {
        const int content = rig.Engine.Board[rig.Square(column, row)];
        const char* file = content == BlackCell ? "b1" : content == WhiteCell ? "w1" : nullptr;
        discs += file != nullptr;
        QVERIFY2(rig.CellShows(files, file, column, row),
                 qPrintable(QStringLiteral("cell %1,%2").arg(column).arg(row)));
      }
    }
    QCOMPARE(discs, 5);
    const QImage shown =
        rig.View.BoardImage->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(402, 402));
    QCOMPARE(shown, rig.View.WorkBitmap.convertToFormat(QImage::Format_RGB32));
  }

  void marksOfLastAndLegalMoves() {
    TRig rig(8);
    const TSkinFiles files(SkinsRoot() + "/STANDARD/Board8x8");
    const int d3 = rig.Square(4, 3);
    QVERIFY(rig.Game.EnterMove(d3));
    const std::vector<int> legal = rig.LegalSquares();  // white's
    QVERIFY(!legal.empty());
    const auto isLegal = [&](int s) {
      return std::find(legal.begin(), legal.end(), s) != legal.end();
    };

    rig.View.Draw(true, d3);
    QVERIFY(rig.CellShows(files, "bs1", 4, 3));
    QVERIFY(rig.CellShows(files, "b1", 4, 4));  // turned by d3, not the last move
    for (int row = 1; row <= 8; ++row)
      for (int column = 1; column <= 8; ++column) {
        const int s = rig.Square(column, row);
        if (rig.Engine.Board[s] != EmptyCell) continue;
        QVERIFY2(rig.CellShows(files, isLegal(s) ? "ok" : nullptr, column, row),
                 qPrintable(QStringLiteral("cell %1,%2").arg(column).arg(row)));
      }

    rig.View.Draw(false, 0);
    QVERIFY(rig.CellShows(files, "b1", 4, 3));
    for (const int s : legal) QVERIFY(rig.CellShows(files, nullptr, s % 10, s / 10));

    // A white last move gets the white mark.
    const int reply = legal.front();
    QVERIFY(rig.Game.EnterMove(reply));
    rig.View.Draw(false, reply);
    QVERIFY(rig.CellShows(files, "ws1", reply % 10, reply / 10));
  }

  // With shadows on, every disc darkens the board 3 pixels below and right of its opaque
  // pixels, the channels halved with ties to even; the disc itself is drawn over it.
  void shadows() {
    TRig rig(8);
    const TSkinFiles files(SkinsRoot() + "/STANDARD/Board8x8");
    rig.View.ShadowsOn = true;
    rig.View.Draw(false, 0);

    const QImage& disc = files["w1"];
    const auto opaque = [](const QImage& image, int x, int y) {
      return x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
             Rgb(image.pixel(x, y)) != 0xFFFFFFu;
    };
    const auto darkened = [](QRgb pixel) {
      return qRgb(HalfToEven(qRed(pixel)), HalfToEven(qGreen(pixel)), HalfToEven(qBlue(pixel)));
    };
    // e5 (white): only its own shadow reaches the pixels checked here, since d4, e4 and d5
    // throw theirs no further than 2 pixels into e5 and f5, e6, f6 are empty.
    const QPoint e5 = rig.Origin(5, 5);
    int shaded = 0;
    for (int y = 3; y < 53; ++y) {
      for (int x = 3; x < 53; ++x) {
        const QPoint p = e5 + QPoint(x, y);
        const QRgb board = Rgb(files["Board"].pixel(p));
        QRgb expected = board;
        if (opaque(disc, x - 3, y - 3)) expected = Rgb(darkened(board)), ++shaded;
        if (opaque(disc, x, y)) expected = Rgb(disc.pixel(x, y));
        QCOMPARE(Rgb(rig.View.WorkBitmap.pixel(p)), expected);
      }
    }
    QVERIFY(shaded > 100);
  }

  // Discs that fill their whole cell throw shadows into the neighbours: an animation must leave
  // the same picture as a full redraw, with no shadow lost or laid twice.
  void shadowsAcrossCells() {
    TSkinCopy copy(8);
    QVERIFY(copy.Complete && copy.FillCells());
    TRig rig(8, copy.Root());
    QVERIFY(rig.View.SkinComplete());
    // The start position and a black disc on h8, whose shadow runs off the image's edge.
    QVERIFY(rig.SetPosition("X" + std::string(24, '-') + "---OX------XO---" + std::string(23, '-') +
                            "X"));
    rig.View.ShadowsOn = true;
    const QImage board = QImage(copy.Path("Board")).convertToFormat(QImage::Format_RGB32);
    rig.View.Draw(false, 0);
    const auto darkened = [](QRgb pixel) {
      return Rgb(
          qRgb(HalfToEven(qRed(pixel)), HalfToEven(qGreen(pixel)), HalfToEven(qBlue(pixel))));
    };
    for (int y = 340; y < 402; ++y)
      for (const int x : {400, 401})
        QCOMPARE(Rgb(rig.View.WorkBitmap.pixel(x, y)),
                 y >= 353 ? darkened(board.pixel(x, y)) : Rgb(board.pixel(x, y)));
    // Right of e4 (black) lies empty f4: a 3 pixel wide shadow band from row 3 of the cell on.
    const QPoint f4 = rig.Origin(6, 4);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 4; ++x) {
        const QRgb under = board.pixel(f4 + QPoint(x, y));
        const QRgb expected =
            x < 3 && y >= 3
                ? qRgb(HalfToEven(qRed(under)), HalfToEven(qGreen(under)), HalfToEven(qBlue(under)))
                : under;
        QCOMPARE(Rgb(rig.View.WorkBitmap.pixel(f4 + QPoint(x, y))), Rgb(expected));
      }

    const int d3 = rig.Square(4, 3);
    rig.View.PreviewFlips(d3);
    rig.TicksUntilDone(&TBoardDrawer::WhoChangeTimerTimer);
    rig.View.AnimateMove(d3);
    rig.TicksUntilDone(&TBoardDrawer::PlayTimerTimer);
    QVERIFY(rig.Game.EnterMove(d3));
    const QImage animated = rig.View.WorkBitmap.copy();
    rig.View.Draw(false, d3);
    QCOMPARE(animated, rig.View.WorkBitmap);
  }

  // Each preview tick shows the whole disc with its shadow, displaced by at most 3 pixels either
  // way, and leaves nothing of the previous displacement behind: the picture equals one built
  // from scratch.
  void previewShakesWholeDiscs() {
    TSkinCopy copy(10);
    QVERIFY(copy.Complete && copy.FillCells());
    TRig rig(10, copy.Root());
    // Black's e4 would turn d4 alone; c4 is black, the rest of the neighbourhood empty.
    QVERIFY(rig.SetPosition("X" + QString(30, '-').toStdString() + "--XO------" +
                            QString(60, '-').toStdString()));
    rig.View.ShadowsOn = true;
    rig.View.Draw(false, 0);
    const QImage board = QImage(copy.Path("Board")).convertToFormat(QImage::Format_RGB32);
    const auto expected = [&](QPoint d4) {
      QImage image = board.copy();
      const auto square = [&image](QPoint at, bool fill, QRgb colour) {
        const QRect area = QRect(at, QSize(40, 40)) & image.rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
          for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(
                x, y,
                fill ? colour
                     : qRgb(HalfToEven(qRed(p)), HalfToEven(qGreen(p)), HalfToEven(qBlue(p))));
          }
      };
      const QPoint c4 = rig.Origin(3, 4);
      square(c4 + QPoint(3, 3), false, 0);
      square(c4, true, TSkinCopy::BlackFill);
      square(d4 + QPoint(3, 3), false, 0);
      square(d4, true, TSkinCopy::WhiteFill);
      return image;
    };
    QCOMPARE(rig.View.WorkBitmap, expected(rig.Origin(4, 4)));

    // Over many ticks every displacement from -3 to 3 turns up on both axes (a value missing
    // after 240 ticks has odds below 1 in 10^6).
    std::set<int> across, down;
    for (int preview = 0; preview < 30; ++preview) {
      rig.View.PreviewFlips(rig.Square(5, 4));
      QVERIFY(rig.View.Animating);
      int ticks = 0;
      while (rig.View.Animating && ticks < 20) {
        rig.View.WhoChangeTimerTimer();
        ++ticks;
        QRect white;
        for (int y = 0; y < 402; ++y)
          for (int x = 0; x < 402; ++x)
            if (rig.View.WorkBitmap.pixel(x, y) == TSkinCopy::WhiteFill) white |= QRect(x, y, 1, 1);
        const QPoint shift = white.topLeft() - rig.Origin(4, 4);
        across.insert(shift.x());
        down.insert(shift.y());
        if (preview < 2) QCOMPARE(rig.View.WorkBitmap, expected(white.topLeft()));
      }
      QCOMPARE(ticks, 8);
    }
    const std::set<int> all = {-3, -2, -1, 0, 1, 2, 3};
    QCOMPARE(across, all);
    QCOMPARE(down, all);
  }

  // A redraw that arrives while a draw processes pending events wins: the picture shows the
  // newest position, not a mix.
  void redrawDuringDraw() {
    TRig rig(8);
    const TSkinFiles files(SkinsRoot() + "/STANDARD/Board8x8");
    struct TContext {
      TRig* Rig;
      bool Done = false;
    } context{&rig};
    TRecordingEventPump pump;
    pump.Context = &context;
    pump.OnPump = [](void* raw) {
      auto* context = static_cast<TContext*>(raw);
      if (context->Done) return;
      context->Done = true;
      TRig& rig = *context->Rig;
      rig.Game.EnterMove(rig.Square(4, 3));
      rig.View.Draw(true, rig.Square(4, 3));
    };
    TScopedEventPump scope(&pump);
    rig.View.Draw(true, 0);
    QVERIFY(context.Done);
    QVERIFY(rig.CellShows(files, "bs1", 4, 3));
    QVERIFY(rig.CellShows(files, "b1", 4, 4));
    QVERIFY(rig.CellShows(files, nullptr, 3, 4));  // black's c4 is no mark for white
  }

  // A skin is read when it is chosen, not again: choosing the skin in use reports nothing.
  void sameSkinReloadsNothing() {
    TSkinCopy copy(8);
    QVERIFY(copy.Complete && QFile::remove(copy.Path("w3")));
    TRecordingMessageSink sink;
    TScopedMessageSink scope(&sink);
    TRig rig(8, copy.Root());
    QCOMPARE(sink.Messages.size(), size_t{1});
    rig.View.ChangeSkin("STANDARD");
    QCOMPARE(sink.Messages.size(), size_t{1});
    rig.View.ChangeSkin("WOOD");  // not in the copy
    QCOMPARE(sink.Messages.size(), size_t{2});
    QCOMPARE(rig.View.SkinName, std::string("WOOD"));
    QVERIFY(QString::fromStdString(rig.View.SkinDir).endsWith("Skins/WOOD/Board8x8"));
  }

  // One unusable file: one message naming it and saying what is wrong; the rest of the skin
  // still serves and the board draws and animates.
  void skinFaults_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing w3") << "w3"
                                << "delete"
                                << "missing";
    QTest::newRow("garbage board") << "Board"
                                   << "garbage"
                                   << "not a readable bitmap";
    QTest::newRow("empty bs1") << "bs1"
                               << "empty"
                               << "not a readable bitmap";
    QTest::newRow("small ok") << "ok"
                              << "10"
                              << "10 x 10 pixels instead of 50 x 50";
    QTest::newRow("large b1") << "b1"
                              << "60"
                              << "60 x 60 pixels instead of 50 x 50";
    QTest::newRow("small board") << "Board"
                                 << "300"
                                 << "300 x 300 pixels, too small for the 400 x 400 grid";
  }
  void skinFaults() {
    QFETCH(QString, file);
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    TSkinCopy copy(8);
    QVERIFY(copy.Complete);
    const QByteArray name = file.toLatin1();
    const QString path = copy.Path(name.constData());
    if (damage == "delete") {
      QVERIFY(QFile::remove(path));
    } else if (damage == "garbage" || damage == "empty") {
      QFile broken(path);
      QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
      if (damage == "garbage") broken.write("BM this is no bitmap");
    } else {
      QImage wrong(damage.toInt(), damage.toInt(), QImage::Format_RGB32);
      wrong.fill(Qt::black);
      QVERIFY(wrong.save(path, "BMP"));
    }
    TRecordingMessageSink sink;
    TScopedMessageSink scope(&sink);
    TRig rig(8, copy.Root());
    QCOMPARE(sink.Messages.size(), size_t{1});
    const QString text = QString::fromStdString(sink.Messages[0]);
    QVERIFY2(text.contains(path + ": " + reason), qPrintable(text));
    QCOMPARE(rig.View.SkinFaults().size(), size_t{1});
    QCOMPARE(rig.View.WorkBitmap.size(), QSize(402, 402));

    rig.View.Draw(true, 0);
    if (file == "Board") {
      // A plain board: a green cell face, darker grid lines.
      const QColor face = rig.View.WorkBitmap.pixelColor(rig.Origin(1, 1) + QPoint(20, 20));
      const QColor line = rig.View.WorkBitmap.pixelColor(rig.Origin(2, 1) + QPoint(0, 20));
      QVERIFY(face.green() > face.red() + 40 && face.green() > face.blue() + 20);
      QVERIFY(line.green() < face.green());
    } else {
      const TSkinFiles files(copy.Folder);
      for (const auto& [column, row, shown] :
           {std::tuple{4, 4, "w1"}, {5, 4, "b1"}, {4, 3, "ok"}, {1, 1, nullptr}})
        if (!shown || file != shown) QVERIFY(rig.CellShows(files, shown, column, row));
    }
    rig.View.AnimateMove(rig.Square(4, 3));
    QCOMPARE(rig.TicksUntilDone(&TBoardDrawer::PlayTimerTimer), 8);
  }

  void missingSkin() {
    TRecordingMessageSink sink;
    TScopedMessageSink scope(&sink);
    TRig rig(88, SkinsRoot(), "NOSUCH");
    QCOMPARE(sink.Messages.size(), size_t{1});
    const QString text = QString::fromStdString(sink.Messages[0]);
    for (const char* name : SkinFileNames)
      QVERIFY2(text.contains(QStringLiteral("/NOSUCH/Octagon/%1.bmp").arg(name)), name);
    rig.View.Draw(true, 0);
    const QColor black = rig.View.WorkBitmap.pixelColor(rig.Centre(6, 5));
    const QColor white = rig.View.WorkBitmap.pixelColor(rig.Centre(5, 5));
    QCOMPARE(rig.Engine.Board[rig.Square(6, 5)], BlackCell);
    QVERIFY(black.lightness() < 60);
    QVERIFY(white.lightness() > 200);
    rig.View.AnimateMove(rig.LegalSquares().front());
    QVERIFY(rig.TicksUntilDone(&TBoardDrawer::PlayTimerTimer) >= 8);
    // Another skin that exists loads cleanly.
    rig.View.ChangeSkin("WOOD");
    QCOMPARE(sink.Messages.size(), size_t{1});
    QVERIFY(rig.View.SkinComplete());
  }
};

MORVANE_UI_TEST(BoardFrameTest);

}  // namespace morvane

#include "BoardFrameTest.moc"
