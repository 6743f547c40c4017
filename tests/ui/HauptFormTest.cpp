// The main window driven through its real widgets: clicks on the board image, menu items
// triggered through their actions, message boxes collected instead of shown. Every test runs in
// a working folder of its own with the coefficient folders, the skins and an empty "books".
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/HashTable.h"
#include "engine/OthelloEngine.h"
#include "engine/SearchThreads.h"
#include "engine/Widgets.h"
#include "engines/EngineFactory.h"
#include "engines/OthelloPatternEngine.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "game/MoveValues.h"
#include "ui/BoardFrame.h"
#include "ui/EvaluationChart.h"
#include "ui/GamePanel.h"
#include "ui/HauptForm.h"
#include "ui/SetupPanel.h"
#include "ui/UiTestRegistry.h"

using namespace morvane;

namespace {

const char* const EvaluationFolders[] = {"Pellin", "Tovrel", "Bot8x8", "Bot10x10", "Bot8x8Oct"};

enum class TFault { None, Missing, Short };

// One shown message box, with the disc counts of the engine at that moment.
struct TShown {
  QString Caption;
  QString Text;
  int Black = -1, White = -1, Empty = -1;
};

// Squares of a board of side n from column and row (both from 1).
int Square(int column, int row, int side = 8) { return row * (side + 2) + column; }

// 64 cells of an 8 x 8 position text, with the given cells filled.
std::string Position8(char side, std::initializer_list<std::pair<const char*, char>> discs) {
  std::string cells(64, '-');
  for (const auto& [name, disc] : discs) cells[(name[1] - '1') * 8 + (name[0] - 'a')] = disc;
  return side + cells;
}

}  // namespace

class HauptFormTest : public QObject {
  Q_OBJECT

 private:
  QString BuildDir;
  QString PreviousDir;
  std::unique_ptr<QTemporaryDir> Work;
  std::vector<TShown> Shown;
  TMainForm* Current = nullptr;
  // The questions the window asked, and the answer every one gets.
  QStringList Asked;
  bool Answer = true;

  // Coefficient folders (one of them broken on request), the skins and an empty books folder.
  void PrepareWorkingFolder(const QString& root, const QString& broken = {},
                            TFault fault = TFault::None) {
    QDir dir(root);
    for (const char* name : EvaluationFolders) {
      QVERIFY(dir.mkpath(name));
      const QString source = BuildDir + "/data/" + name;
      for (const QString& file : QDir(source).entryList(QDir::Files)) {
        const QString target = root + "/" + name + "/" + file;
        const bool isBroken = broken == name && file.endsWith(".coe");
        if (isBroken && fault == TFault::Missing) continue;
        if (isBroken && fault == TFault::Short) {
          QFile in(source + "/" + file), out(target);
          QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
          out.write(in.read(in.size() / 2));
          continue;
        }
        QVERIFY(QFile::link(source + "/" + file, target));
      }
    }
    QVERIFY(QFile::link(BuildDir + "/Skins", root + "/Skins"));
    QVERIFY(dir.mkpath("books"));
    QVERIFY(QDir::setCurrent(root));
  }

  std::unique_ptr<TMainForm> MakeForm() {
    auto form = std::make_unique<TMainForm>([this](const QString& caption, const QString& text) {
      TShown shown{caption, text};
      if (Current && Current->Engine) {
        shown.Black = shown.White = shown.Empty = 0;
        const TOthelloEngine& engine = *Current->Engine;
        for (int square = 0; square < MaxCells; ++square) {
          shown.Black += engine.Board[square] == BlackCell;
          shown.White += engine.Board[square] == WhiteCell;
          shown.Empty += engine.Board[square] == EmptyCell;
        }
      }
      Shown.push_back(shown);
    });
    form->Ask = [this](const QString& question) {
      Asked << question;
      return Answer;
    };
    Current = form.get();
    form->show();
    [&] { QVERIFY(QTest::qWaitForWindowExposed(form.get())); }();
    return form;
  }

  static QAction* Item(TMainForm& form, const char* name) {
    QAction* item = form.findChild<QAction*>(name);
    if (!item) qWarning("no menu item %s", name);
    return item;
  }

  static void Trigger(TMainForm& form, const char* name) {
    QAction* item = Item(form, name);
    QVERIFY(item);
    item->trigger();
  }

  // A click in the middle of a cell of the board image.
  static void ClickCell(TMainForm& form, int column, int row,
                        Qt::MouseButton button = Qt::LeftButton) {
    const int cell = form.BoardFrame->CellSize;
    QTest::mouseClick(form.BoardFrame->BoardImage, button, {},
                      QPoint((column - 1) * cell + cell / 2, (row - 1) * cell + cell / 2));
  }

  // The first legal square for the side to move, as the user would find it.
  static int FirstLegal(TMainForm& form) {
    for (int square = 0; square < MaxCells; ++square)
      if (form.Game->IsLegal(square)) return square;
    return 0;
  }

  static void ClickSquare(TMainForm& form, int square) {
    const TColumnRow at = form.Game->ColumnRowOf(square);
    ClickCell(form, at.Column, at.Row);
  }

  // Puts an 8 x 8 position on the board as if the game had led there; the record starts over
  // and nothing of such a game may reach the book.
  static void SetPosition(TMainForm& form, const std::string& text) {
    const auto position = TPosition::Parse(form.Game->Kind(), text);
    QVERIFY(position);
    form.Game->NewGameFrom(*position);
    form.ResetLine();
    form.ColourToMove = position->ToMove() == TColour::Black ? 1 : 2;
    form.RedrawBoard(0);
  }

  static bool SamePosition(const PositionImage& a, const PositionImage& b) {
    return a.SideToMove == b.SideToMove && std::memcmp(a.Board, b.Board, sizeof(a.Board)) == 0;
  }

  // Every menu the user can see is enabled (an invisible action never reports itself enabled).
  static bool MenusEnabled(TMainForm& form) {
    for (QAction* menu : form.MainMenu->actions())
      if (menu->isVisible() && !menu->isEnabled()) return false;
    return true;
  }

  static void FastGames(TMainForm& form) {
    Trigger(form, "Novice1");
    Trigger(form, "Displayanimations1");
  }

 private slots:
  void initTestCase() {
    BuildDir = qEnvironmentVariable("MORVANE_SKINS");
    QVERIFY2(!BuildDir.isEmpty(), "MORVANE_SKINS must name the build folder");
    QVERIFY2(QFileInfo::exists(BuildDir + "/data/Pellin/Pellin.coe"),
             "the build folder has no coefficient folders in data/");
    QVERIFY2(QFileInfo::exists(BuildDir + "/Skins/STANDARD/Board8x8/Board.bmp"),
             "the build folder has no rendered skins");
    PreviousDir = QDir::currentPath();
  }

  void init() {
    Shown.clear();
    Asked.clear();
    Answer = true;
    Current = nullptr;
    Work = std::make_unique<QTemporaryDir>();
    QVERIFY(Work->isValid());
    PrepareWorkingFolder(Work->path());
    // Every test starts from the defaults, with settings of its own.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Work->path() + "/settings");
  }

  void cleanup() {
    Current = nullptr;
    QDir::setCurrent(PreviousDir);
    Work.reset();
  }

  void startUpState() {
    auto form = MakeForm();
    QCOMPARE(form->windowTitle(), QString("MORVANE"));
    // The board's part keeps its size; the game panel stands to its right.
    QCOMPARE(form->size(), QSize(448 + TGamePanel::PanelWidth, 588));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->BoardFrame->size(), QSize(448, 461));
    QCOMPARE(form->BoardFrame->BoardImage->size(), QSize(402, 402));
    QCOMPARE(form->Panel3->height(), 56);

    QCOMPARE(form->StatStatusBar->PanelCount(), 2);
    QCOMPARE(form->StatStatusBar->PanelText(0), QString("Score :"));
    QCOMPARE(form->StatStatusBar->PanelText(1), QString("Bestline :"));
    QCOMPARE(form->StatStatusBar->PanelWidth(0), 170);
    QCOMPARE(form->StatStatusBar->PanelWidth(1), 0);  // the rest of the row
    QCOMPARE(form->StatStatusBar2->PanelCount(), 4);
    const char* const stats[] = {"Depth :", "Moves :", "Nodes :", ""};
    const int widths[] = {110, 170, 180};
    for (int panel = 0; panel < 4; ++panel)
      QCOMPARE(form->StatStatusBar2->PanelText(panel), QString(stats[panel]));
    for (int panel = 0; panel < 3; ++panel)
      QCOMPARE(form->StatStatusBar2->PanelWidth(panel), widths[panel]);
    // The longest texts the panels get fit in them.
    const QFontMetrics metrics(form->StatStatusBar->font());
    const auto fits = [&](const TQtStatusBar* bar, int panel, const char* text) {
      return metrics.horizontalAdvance(QString(text)) + 8 <= bar->PanelWidth(panel);
    };
    QVERIFY(fits(form->StatStatusBar, 0, "Score : -64.000(Book)"));
    QVERIFY(fits(form->StatStatusBar2, 0, "Depth : 24"));
    QVERIFY(fits(form->StatStatusBar2, 1, "Moves : [13/13] j10"));
    QVERIFY(fits(form->StatStatusBar2, 2, "Nodes : 4294967295"));
    // The best line takes the rest of the window's width.
    QVERIFY(
        form->StatStatusBar->width() - 170 >=
        metrics.horizontalAdvance("Bestline : a1 b2 c3 d4 e5 f6 g7 h8 a1 b2 c3 d4 e5 f6 g7 h8"));
    QCOMPARE(form->StatStatusBar->height(), 24);

    QVERIFY(!form->LoadProgressBar->Visible());
    QCOMPARE(form->LoadProgressBar->Caption(), std::string("Loading..."));
    QCOMPARE(form->LoadProgressBar->height(), 18);
    QVERIFY(form->ForceButton->isHidden());
    QVERIFY(!form->ForceButton->isEnabled());
    QCOMPARE(form->ForceButton->text(), QString("Force move"));
    QCOMPARE(form->ForceButton->geometry(), QRect(168, 8, 129, 25));
    QVERIFY(!form->SearchStatTimer->isActive());
    QCOMPARE(form->SearchStatTimer->interval(), 1000);

    QCOMPARE(form->Engine->Name, std::string("Pellin"));
    QCOMPARE(int(form->BoardKind), 8);
    QCOMPARE(form->Book->Name, std::string("Pellin_8x8_Average"));
    QCOMPARE(form->Game->Book, form->Book.get());
    QCOMPARE(form->Level.Depth, 2);
    QCOMPARE(form->Level.ExactEmpties, 10);
    QCOMPARE(form->Level.SelSolveCount, 0);
    // The table of the "2 Mb" item that carries the check mark.
    QCOMPARE(form->HashSizeBits, 17.0);
    QCOMPARE(form->Engine->HashSizeBits, 17.0);
    // The Pellin evaluation's own default, not the 1.0 of the marked "70% (Standard)".
    QCOMPARE(form->Evaluation->MpcThreshold, 0.85);
    QCOMPARE(form->SkinName, std::string("STANDARD"));
    QCOMPARE(int(form->ProgramColour), 255);
    QVERIFY(form->IsUserToMove());
    QCOMPARE(CurrentEventPump(), static_cast<TEventPump*>(&form->Pump));
    QCOMPARE(CurrentMessageSink(), static_cast<TMessageSink*>(&form->Messages));

    // The program does not move at start.
    QTest::qWait(100);
    QCOMPARE(form->Game->MoveCount, 0);
    QCOMPARE(int(form->Engine->SideToMove), int(BlackCell));
    QVERIFY(Shown.empty());

    form->close();
    QVERIFY(CurrentEventPump() == nullptr);
    QVERIFY(CurrentMessageSink() == nullptr);
  }

  void menuItemsAtStart_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("enabled");
    const auto row = [](const char* component, const char* caption, const char* shortcut,
                        bool checked, bool visible = true, bool enabled = true) {
      QTest::newRow(component) << QString(component) << QString(caption) << QString(shortcut)
                               << checked << visible << enabled;
    };
    row("N8x81", "8 x 8 (Pellin)", "Ctrl+F7", true);
    row("N8x8Tovrel1", "8 x 8 (Tovrel)", "Ctrl+F8", false);
    row("N10x101", "10 x 10", "Ctrl+F10", false);
    row("Octagon1", "Octagon", "Ctrl+F11", false);
    row("Quit1", "Quit", "", false);
    row("Pellinplaysblack1", "Morvane plays black", "", false);
    row("Pellinplayswhite1", "Morvane plays white", "", true);
    row("Morvaneobserves1", "Morvane observes", "", false);
    row("Pellinanalyses1", "Self play", "", false);
    row("Novice1", "Novice (1/6)", "", false);
    row("Avegare1", "Average (2/10)", "", true);
    row("N24moves26emptiesexact1", "24 moves + 26 empties exact", "", false);
    row("UseBook1", "&Use Book", "", true);
    row("Norandomness1", "No randomness", "", true);
    row("Hugerandomness1", "Huge randomness", "", false);
    row("Addonegame1", "Add one game", "Ctrl+B", false);
    row("Add1000games1", "Add 1000 games", "", false);
    row("N25Mb1", "2 Mb", "", true);
    row("N970Mb1", "970 Mb", "", false);
    row("akebackmove1", "Take back move", "Ctrl+Z", false);
    row("Changecolors1", "Change colors", "Ctrl+C", false);
    row("N701", "70% (Standard)", "", true);
    row("N991", "99% (very accurate but slow)", "", false);
    row("Standard1", "Standard", "", true);
    row("Water1", "Water", "", false);
    row("Showstatistics1", "Show bestline", "", true);
    row("Displayanimations1", "Display animations", "", true);
    row("Rendering1", "Rendering", "", false, false, false);
    row("About1", "About", "", false);
    row("Statistics1", "S&tatistics", "", false, false, false);
    row("Learning1", "Learning", "", false, false, false);
    row("Checkendspeed1", "Check end speed (8x8)", "", false);
    row("CalcualteEndCutFormula1", "Calcualte EndCut Formula", "", false);
  }

  void menuItemsAtStart() {
    QFETCH(QString, component);
    QFETCH(QString, caption);
    QFETCH(QString, shortcut);
    QFETCH(bool, checked);
    QFETCH(bool, visible);
    QFETCH(bool, enabled);
    auto form = MakeForm();
    QAction* item = form->findChild<QAction*>(component);
    QVERIFY(item);
    QCOMPARE(item->text(), caption);
    QCOMPARE(item->shortcut().toString(), shortcut);
    QCOMPARE(item->isChecked(), checked);
    QCOMPARE(item->isVisible(), visible);
    QCOMPARE(item->isEnabled(), enabled);
  }

  void menuBarOrder() {
    auto form = MakeForm();
    QStringList captions;
    for (QAction* menu : form->MainMenu->actions()) captions << menu->text();
    // The study menu stands before the specified ones, which keep their order.
    QCOMPARE(captions, QStringList({"&File", "&Edit", "&Game", "&Settings", "&Actions", "&Options",
                                    "&Help", "S&tatistics", "Learning"}));
    QStringList levels;
    for (QAction* item : form->findChild<QMenu*>("Searchoptions1")->actions())
      levels << (item->isSeparator() ? "-" : item->objectName());
    QCOMPARE(levels, QStringList({"Novice1", "Avegare1", "Strong1", "Expert1", "-",
                                  "N12moves16emptiesexact1", "N14moves18emptiesexact1",
                                  "N16moves18emptiesexact2", "N18moves20emptiesexact1",
                                  "N20moves22emptiesexact1", "N24moves26emptiesexact1", "-"}));
  }

  void clickPlaysAndProgramAnswers_data() {
    QTest::addColumn<QString>("board");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("animations");
    QTest::newRow("Pellin d3") << "N8x81" << 4 << 3 << 8 << true;
    QTest::newRow("Pellin d3, no animation") << "N8x81" << 4 << 3 << 8 << false;
    QTest::newRow("Tovrel f5") << "N8x8Tovrel1" << 6 << 5 << 8 << false;
    QTest::newRow("10 x 10 e4") << "N10x101" << 5 << 4 << 10 << true;
    QTest::newRow("octagon e4") << "Octagon1" << 5 << 4 << 10 << false;
  }

  void clickPlaysAndProgramAnswers() {
    QFETCH(QString, board);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, side);
    QFETCH(bool, animations);
    auto form = MakeForm();
    if (!animations) Trigger(*form, "Displayanimations1");
    Trigger(*form, board.toLatin1().constData());
    QCOMPARE(form->Engine->BoardSide, side);
    ClickCell(*form, column, row);
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(form->Game->Moves[1].MoveSquare, Square(column, row, side));
    QCOMPARE(int(form->Game->Moves[1].Mover), int(BlackCell));
    QCOMPARE(int(form->Game->Moves[2].Mover), int(WhiteCell));
    QVERIFY(form->Game->Moves[2].MoveSquare != PassMove);
    QCOMPARE(int(form->ColourToMove), 1);
    QCOMPARE(int(form->Engine->SideToMove), int(BlackCell));
    QVERIFY(!form->Thinking);
    QVERIFY(!form->SearchStatTimer->isActive());
    QVERIFY(form->ForceButton->isHidden());
    QVERIFY(MenusEnabled(*form));
    QVERIFY(Shown.empty());
  }

  void ignoredClicks_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("programColour");
    QTest::addColumn<bool>("thinking");
    QTest::newRow("occupied d4") << 175 << 175 << int(Qt::LeftButton) << 255 << false;
    QTest::newRow("illegal empty a1") << 25 << 25 << int(Qt::LeftButton) << 255 << false;
    QTest::newRow("outside the grid") << 401 << 120 << int(Qt::LeftButton) << 255 << false;
    QTest::newRow("middle button on d3") << 175 << 125 << int(Qt::MiddleButton) << 255 << false;
    QTest::newRow("right button on d3") << 175 << 125 << int(Qt::RightButton) << 255 << false;
    QTest::newRow("program's turn") << 175 << 125 << int(Qt::LeftButton) << 1 << false;
    QTest::newRow("while thinking") << 175 << 125 << int(Qt::LeftButton) << 255 << true;
  }

  void ignoredClicks() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, button);
    QFETCH(int, programColour);
    QFETCH(bool, thinking);
    auto form = MakeForm();
    form->ProgramColour = static_cast<uint8_t>(programColour);
    form->Thinking = thinking;
    const PositionImage before = form->Engine->CurrentPosition();
    QTest::mouseClick(form->BoardFrame->BoardImage, Qt::MouseButton(button), {}, QPoint(x, y));
    QTRY_VERIFY(!form->BoardFrame->Animating);  // a right click previews, then settles
    QCOMPARE(form->Game->MoveCount, 0);
    QVERIFY(SamePosition(before, form->Engine->CurrentPosition()));
    QCOMPARE(int(form->ColourToMove), 1);
    QVERIFY(Shown.empty());
  }

  void clickDuringAnimationIgnored() {
    auto form = MakeForm();
    QVERIFY(form->BoardFrame->AnimationsOn);
    bool sawAnimation = false;
    // c4 is legal for black at the start, but it arrives while d3 is still turning.
    QTimer::singleShot(60, form.get(), [&] {
      sawAnimation = form->BoardFrame->Animating;
      ClickCell(*form, 3, 4);
    });
    ClickCell(*form, 4, 3);
    QVERIFY(sawAnimation);
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(form->Game->Moves[1].MoveSquare, Square(4, 3));
    QVERIFY(form->Game->Moves[2].MoveSquare != Square(3, 4));
    QTest::qWait(100);
    QCOMPARE(form->Game->MoveCount, 2);
  }

  void passByAnyClick_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("button");
    QTest::newRow("left on an empty square") << 275 << 275 << int(Qt::LeftButton);
    QTest::newRow("left on a disc") << 25 << 25 << int(Qt::LeftButton);
    QTest::newRow("right button") << 200 << 300 << int(Qt::RightButton);
    QTest::newRow("middle button") << 200 << 300 << int(Qt::MiddleButton);
    QTest::newRow("outside the grid") << 401 << 401 << int(Qt::LeftButton);
  }

  void passByAnyClick() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, button);
    // Black on c1 between two whites and the edge has no move; white answers on d1.
    const std::string position = Position8('X', {{"a1", 'O'}, {"b1", 'O'}, {"c1", 'X'}});
    {
      auto form = MakeForm();
      Trigger(*form, "Displayanimations1");
      Trigger(*form, "Morvaneobserves1");
      SetPosition(*form, position);
      QTest::mouseClick(form->BoardFrame->BoardImage, Qt::MouseButton(button), {}, QPoint(x, y));
      QCOMPARE(form->Game->MoveCount, 1);
      QCOMPARE(form->Game->Moves[1].MoveSquare, PassMove);
      QCOMPARE(int(form->Engine->SideToMove), int(WhiteCell));
      QCOMPARE(int(form->ColourToMove), 2);
      QCOMPARE(form->Engine->NodeCount, int64_t(0));  // the observer never searches
    }
    // Playing white (the default again), the program answers the pass at once and the game ends.
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Morvane", "Morvane").clear();
    auto form = MakeForm();
    Trigger(*form, "Displayanimations1");
    SetPosition(*form, position);
    QTest::mouseClick(form->BoardFrame->BoardImage, Qt::MouseButton(button), {}, QPoint(x, y));
    QCOMPARE(Shown.size(), size_t(1));
    QCOMPARE(Shown[0].Text, QString("Morvane wins by 64"));
    QCOMPARE(Shown[0].White, 4);
    // The final position stays on the board: the pass and white's d1.
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(form->Game->Moves[2].MoveSquare, Square(4, 1));
    QVERIFY(form->Game->IsGameOver());
    QVERIFY(form->GameFinished);
    // The finished game takes no pass: no Pass button, and a click changes nothing.
    QVERIFY(!form->GamePanel->PassButton->isVisible());
    QTest::mouseClick(form->BoardFrame->BoardImage, Qt::MouseButton(button), {}, QPoint(x, y));
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(Shown.size(), size_t(1));
  }

  void resultTexts_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("text");
    // Finished boards: black 2 : white 1 with 61 empties for black (+62), the reverse (-62),
    // and 1 : 1 (a draw).
    const QString blackAhead =
        QString::fromStdString(Position8('X', {{"a1", 'X'}, {"c1", 'X'}, {"h8", 'O'}}));
    const QString whiteAhead =
        QString::fromStdString(Position8('X', {{"a1", 'O'}, {"c1", 'O'}, {"h8", 'X'}}));
    const QString draw = QString::fromStdString(Position8('X', {{"a1", 'X'}, {"h8", 'O'}}));
    const struct {
      const char* Mode;
      const char* IfBlack;
      const char* IfWhite;
    } modes[] = {{"Pellinplayswhite1", "You won by 62", "Morvane wins by 62"},
                 {"Pellinplaysblack1", "Morvane wins by 62", "You won by 62"},
                 {"Morvaneobserves1", "Black wins by 62", "White wins by 62"},
                 {"Pellinanalyses1", "Black wins by 62", "White wins by 62"}};
    for (const auto& mode : modes) {
      QTest::addRow("%s, black ahead", mode.Mode) << mode.Mode << blackAhead << mode.IfBlack;
      QTest::addRow("%s, white ahead", mode.Mode) << mode.Mode << whiteAhead << mode.IfWhite;
      QTest::addRow("%s, draw", mode.Mode) << mode.Mode << draw << "This game was a draw";
    }
  }

  void resultTexts() {
    QFETCH(QString, mode);
    QFETCH(QString, position);
    QFETCH(QString, text);
    auto form = MakeForm();
    SetPosition(*form, position.toStdString());
    if (mode == "Pellinanalyses1") return;
    Trigger(*form, mode.toLatin1().constData());
    QCOMPARE(Shown.size(), size_t(1));
    QCOMPARE(Shown[0].Caption, QString("Morvane"));
    QCOMPARE(Shown[0].Text, text);
    // The final position stays on the board, and a second player-mode command shows no second
    // result (a second "Self play" plays a new game).
    QVERIFY(form->Game->IsGameOver());
    QCOMPARE(form->Engine->OwnDiscs + form->Engine->OppDiscs, Shown[0].Black + Shown[0].White);
    QVERIFY(!form->Learning);
    QVERIFY(!form->SelfPlay);
    if (mode == "Pellinanalyses1") return;
    Trigger(*form, mode.toLatin1().constData());
    QCOMPARE(Shown.size(), size_t(1));
  }

  void levelItems_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("exact");
    const struct {
      const char* Component;
      const char* Suffix;
      int Depth, Exact;
    } rows[] = {{"Novice1", "_Novice", 1, 6},
                {"Avegare1", "_Average", 2, 10},
                {"Strong1", "_Srong", 4, 14},
                {"Expert1", "_Expert", 8, 16},
                {"N12moves16emptiesexact1", "_12_16", 12, 16},
                {"N14moves18emptiesexact1", "_14_18", 14, 18},
                {"N16moves18emptiesexact2", "_16_18", 16, 18},
                {"N18moves20emptiesexact1", "_18_20", 18, 20},
                {"N20moves22emptiesexact1", "_20_22", 20, 22},
                {"N24moves26emptiesexact1", "_24_26", 24, 26}};
    for (const auto& row : rows)
      QTest::newRow(row.Component)
          << QString(row.Component) << QString(row.Suffix) << row.Depth << row.Exact;
  }

  void levelItems() {
    QFETCH(QString, component);
    QFETCH(QString, suffix);
    QFETCH(int, depth);
    QFETCH(int, exact);
    auto form = MakeForm();
    FastGames(*form);
    ClickCell(*form, 4, 3);  // a game in progress
    QCOMPARE(form->Game->MoveCount, 2);
    Trigger(*form, component.toLatin1().constData());
    const std::string name = "Pellin_8x8" + suffix.toStdString();
    QCOMPARE(form->Book->Name, name);
    QCOMPARE(form->Game->Book, form->Book.get());
    QCOMPARE(QString::fromStdString(std::filesystem::absolute(form->Book->FilePath()).string()),
             QDir::current().absoluteFilePath(
                 QString::fromStdString("books/" + name + "/" + name + ".boo")));
    QCOMPARE(form->Level.Depth, depth);
    QCOMPARE(form->Level.ExactEmpties, exact);
    QCOMPARE(form->Level.SelSolveCount, 0);
    QVERIFY(Item(*form, component.toLatin1().constData())->isChecked());
    QCOMPARE(form->LevelSuffix, suffix.toStdString());
    // The game goes on where it was; the program does not move by itself.
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(int(form->ColourToMove), 1);
  }

  void boardSwitches_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("book");
    QTest::addColumn<int>("playable");
    QTest::addColumn<int>("cellSize");
    const struct {
      const char* Component;
      const char* Engine;
      int Kind;
      const char* Book;
      int Playable, CellSize;
    } rows[] = {{"N8x8Tovrel1", "Tovrel", 8, "Tovrel_8x8_Average", 64, 50},
                {"N10x101", "Bot10x10", 10, "Fenwa_10x10_Average", 100, 40},
                {"Octagon1", "Bot8x8Oct", 88, "Fenwa_Oct_Average", 88, 40}};
    for (const auto& row : rows)
      QTest::newRow(row.Component) << QString(row.Component) << QString(row.Engine) << row.Kind
                                   << QString(row.Book) << row.Playable << row.CellSize;
  }

  void boardSwitches() {
    QFETCH(QString, component);
    QFETCH(QString, engine);
    QFETCH(int, kind);
    QFETCH(QString, book);
    QFETCH(int, playable);
    QFETCH(int, cellSize);
    auto form = MakeForm();
    Trigger(*form, "Displayanimations1");
    ClickCell(*form, 4, 3);
    const TOthelloEngine* before = form->Engine.get();
    Trigger(*form, component.toLatin1().constData());
    QVERIFY(form->Engine.get() != before);
    QCOMPARE(form->Engine->Name, engine.toStdString());
    QCOMPARE(int(form->BoardKind), kind);
    QCOMPARE(form->BoardFrame->BoardKind, kind);
    QCOMPARE(form->BoardFrame->CellSize, cellSize);
    QCOMPARE(form->Book->Name, book.toStdString());
    QCOMPARE(form->Book->BoardKind, kind);
    QCOMPARE(form->Engine->PlayableSquares(), playable);
    QCOMPARE(form->Game->Engine, static_cast<TOthelloEngine*>(form->Engine.get()));
    QCOMPARE(form->Game->Book, form->Book.get());
    QCOMPARE(form->Evaluation, form->Engine->Evaluation.get());
    QCOMPARE(form->Game->MoveCount, 0);
    QCOMPARE(int(form->ColourToMove), 1);
    QVERIFY(Item(*form, component.toLatin1().constData())->isChecked());
    QVERIFY(!Item(*form, "N8x81")->isChecked());
    // And back to Pellin, where a game can be played again.
    Trigger(*form, "N8x81");
    QCOMPARE(form->Engine->Name, std::string("Pellin"));
    QCOMPARE(form->Book->Name, std::string("Pellin_8x8_Average"));
    QCOMPARE(form->BoardFrame->CellSize, 50);
    ClickCell(*form, 4, 3);
    QCOMPARE(form->Game->MoveCount, 2);
    QVERIFY(Shown.empty());
  }

  void sameBoardRestarts() {
    auto form = MakeForm();
    Trigger(*form, "Displayanimations1");
    ClickCell(*form, 4, 3);
    QCOMPARE(form->Game->MoveCount, 2);
    const TOthelloEngine* engine = form->Engine.get();
    const THashTable* table = form->Engine->HashTable.get();
    const TBook* book = form->Book.get();
    const TGameInfo* game = form->Game.get();
    Trigger(*form, "N8x81");
    QCOMPARE(form->Engine.get(), engine);
    QCOMPARE(form->Engine->HashTable.get(), table);
    QCOMPARE(form->Book.get(), book);
    QCOMPARE(form->Game.get(), game);
    QCOMPARE(form->Game->MoveCount, 0);
    QCOMPARE(form->Engine->OwnDiscs + form->Engine->OppDiscs, 4);
    QVERIFY(Item(*form, "N8x81")->isChecked());
  }

  void hashSizeItems_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<double>("exponent");
    const std::pair<const char*, double> rows[] = {
        {"N25Mb1", 17.0},  {"N5Mb1", 18.0},   {"N10Mb1", 19.0},  {"N20Mb1", 20.0},
        {"N40Mb1", 21.0},  {"N80Mb1", 22.0},  {"N160Mb1", 23.0}, {"N1971", 23.5},
        {"N279Mb1", 24.0}, {"N394Mb1", 24.5}, {"N557Mb1", 25.0}, {"N788Mb1", 25.5},
        {"N970Mb1", 25.8}};
    for (const auto& [component, exponent] : rows)
      QTest::newRow(component) << QString(component) << exponent;
  }

  void hashSizeItems() {
    QFETCH(QString, component);
    QFETCH(double, exponent);
    auto form = MakeForm();
    const TOthelloEngine* engine = form->Engine.get();
    Trigger(*form, component.toLatin1().constData());
    QCOMPARE(form->HashSizeBits, exponent);
    QVERIFY(Item(*form, component.toLatin1().constData())->isChecked());
    // Nothing changes until the next new game.
    QCOMPARE(form->Engine.get(), engine);
    QCOMPARE(form->Engine->HashSizeBits, 17.0);
  }

  void hashSizeTakesEffectOnNewGame() {
    auto form = MakeForm();
    const int64_t startEntries = form->Engine->HashTable->EntryCount;
    Trigger(*form, "N5Mb1");
    Trigger(*form, "N8x81");  // a new game on the same board takes the new size too
    QCOMPARE(form->Engine->HashSizeBits, 18.0);
    QCOMPARE(form->Engine->HashTable->EntryCount, THashTable::EntryCountFor(18.0));
    QVERIFY(form->Engine->HashTable->EntryCount > startEntries);
    QVERIFY(Item(*form, "N8x81")->isChecked());
    const TOthelloEngine* engine = form->Engine.get();
    Trigger(*form, "N8x81");  // the same size again only restarts
    QCOMPARE(form->Engine.get(), engine);
    Trigger(*form, "N8x8Tovrel1");
    QCOMPARE(form->Engine->HashSizeBits, 18.0);
  }

  void takeBack_data() {
    QTest::addColumn<int>("userMoves");
    QTest::addColumn<int>("pliesLeft");
    QTest::newRow("nothing played") << 0 << 0;
    QTest::newRow("one move each") << 1 << 0;
    QTest::newRow("two moves each") << 2 << 2;
    QTest::newRow("three moves each") << 3 << 4;
  }

  void takeBack() {
    QFETCH(int, userMoves);
    QFETCH(int, pliesLeft);
    auto form = MakeForm();
    FastGames(*form);
    std::vector<PositionImage> positions{form->Engine->CurrentPosition()};
    for (int move = 0; move < userMoves; ++move) {
      ClickSquare(*form, FirstLegal(*form));
      QCOMPARE(form->Game->MoveCount, 2 * (move + 1));
      positions.push_back(form->Engine->CurrentPosition());
    }
    const int lastBefore = form->Game->Moves[pliesLeft].MoveSquare;
    Trigger(*form, "akebackmove1");
    QCOMPARE(form->Game->MoveCount, pliesLeft);
    QVERIFY(SamePosition(form->Engine->CurrentPosition(), positions[pliesLeft / 2]));
    QCOMPARE(int(form->ColourToMove), 1);
    QCOMPARE(form->Game->Moves[form->Game->MoveCount].MoveSquare, lastBefore);
    QCOMPARE(form->Line.Plies(), 2 * userMoves);  // the taken-back plies wait ahead
    if (userMoves == 0) {
      ClickSquare(*form, FirstLegal(*form));
      QCOMPARE(form->Game->MoveCount, 2);
      return;
    }
    // The line's own next move steps forward without an answer of the program; Redo brings
    // the rest back.
    ClickSquare(*form, FirstLegal(*form));
    QCOMPARE(form->Game->MoveCount, pliesLeft + 1);
    QVERIFY(Asked.isEmpty());
    Trigger(*form, "Redomove1");
    QCOMPARE(form->Game->MoveCount, std::min(pliesLeft + 3, 2 * userMoves));
    QVERIFY(SamePosition(form->Engine->CurrentPosition(), positions[form->Game->MoveCount / 2]) ||
            form->Game->MoveCount % 2 == 1);
    // Another move from an earlier position asks first; refused, nothing changes.
    Trigger(*form, "Firstposition1");
    QCOMPARE(form->Game->MoveCount, 0);
    int other = 0;
    for (int square = MaxCells - 1; square > 0 && !other; --square)
      if (form->Game->IsLegal(square) && square != form->Line.Moves()[0]) other = square;
    Answer = false;
    ClickSquare(*form, other);
    QCOMPARE(Asked.size(), 1);
    QCOMPARE(form->Game->MoveCount, 0);
    QCOMPARE(form->Line.Plies(), 2 * userMoves);
    // Agreed, the new move starts a new line and the program answers it.
    Answer = true;
    ClickSquare(*form, other);
    QCOMPARE(Asked.size(), 2);
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(form->Line.Plies(), 2);
    QCOMPARE(form->Game->Moves[1].MoveSquare, other);
  }

  void changeColors() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Changecolors1");
    // The program took black's move at once; the user now plays white.
    QCOMPARE(form->Game->MoveCount, 1);
    QCOMPARE(int(form->Game->Moves[1].Mover), int(BlackCell));
    QCOMPARE(int(form->Engine->SideToMove), int(WhiteCell));
    QVERIFY(form->IsUserToMove());
    ClickSquare(*form, FirstLegal(*form));
    QCOMPARE(form->Game->MoveCount, 3);
    QCOMPARE(int(form->Game->Moves[2].Mover), int(WhiteCell));
    QCOMPARE(int(form->Game->Moves[3].Mover), int(BlackCell));
    QVERIFY(form->IsUserToMove());
  }

  void randomnessItems_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("useRandomness");
    QTest::addColumn<double>("budget");
    QTest::newRow("small") << QStringList{"Smallrandomness1"} << true << 1.0;
    QTest::newRow("medium") << QStringList{"Mediumrandomness1"} << true << 2.0;
    QTest::newRow("large") << QStringList{"Largerandomness1"} << true << 4.0;
    QTest::newRow("huge") << QStringList{"Hugerandomness1"} << true << 4.0;
    QTest::newRow("huge after large")
        << QStringList{"Largerandomness1", "Hugerandomness1"} << true << 4.0;
    QTest::newRow("none after small")
        << QStringList{"Smallrandomness1", "Norandomness1"} << false << 1.0;
    // A reloaded book starts without randomness, whatever item carries the mark.
    QTest::newRow("level change") << QStringList{"Mediumrandomness1", "Strong1"} << false << 0.0;
  }

  void randomnessItems() {
    QFETCH(QStringList, items);
    QFETCH(bool, useRandomness);
    QFETCH(double, budget);
    auto form = MakeForm();
    QVERIFY(!form->Book->UseRandomness);
    for (const QString& item : items) Trigger(*form, item.toLatin1().constData());
    QCOMPARE(form->Book->UseRandomness, useRandomness);
    QCOMPARE(form->Book->RandomBudget, budget);
    QCOMPARE(form->Book->RandomSpent, 0.0);
    QVERIFY(Item(*form, items.last().toLatin1().constData())->isChecked());
  }

  void accuracyItems_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<double>("threshold");
    QTest::newRow("50%") << "Veryfast1" << 0.6742;
    QTest::newRow("60%") << "N601" << 0.841432;
    QTest::newRow("70%") << "N701" << 1.0;
    QTest::newRow("80%") << "N801" << 1.281706;
    QTest::newRow("90%") << "N901" << 1.6452;
    QTest::newRow("95%") << "N95Accuratebutveryslow1" << 1.96038;
    QTest::newRow("99%") << "N991" << 2.576219;
  }

  void accuracyItems() {
    QFETCH(QString, component);
    QFETCH(double, threshold);
    auto form = MakeForm();
    Trigger(*form, component.toLatin1().constData());
    QCOMPARE(form->Engine->Evaluation->MpcThreshold, threshold);
    QVERIFY(Item(*form, component.toLatin1().constData())->isChecked());
    // A board switch brings a new evaluation with its own default.
    Trigger(*form, "N8x8Tovrel1");
    Trigger(*form, "N8x81");
    QCOMPARE(form->Engine->Evaluation->MpcThreshold, 0.85);
  }

  void skinAndToggleItems() {
    auto form = MakeForm();
    const struct {
      const char* Component;
      const char* Name;
    } skins[] = {
        {"Wood1", "WOOD"}, {"Marple1", "MARPLE"}, {"Water1", "WATER"}, {"Standard1", "STANDARD"}};
    for (const auto& skin : skins) {
      Trigger(*form, skin.Component);
      QCOMPARE(form->SkinName, std::string(skin.Name));
      QCOMPARE(form->BoardFrame->SkinName, std::string(skin.Name));
      QVERIFY(QString::fromStdString(form->BoardFrame->SkinDir)
                  .endsWith(QString("Skins/%1/Board8x8").arg(skin.Name)));
      QVERIFY(Item(*form, skin.Component)->isChecked());
    }
    // The skin survives a board switch.
    Trigger(*form, "Water1");
    Trigger(*form, "Octagon1");
    QVERIFY(QString::fromStdString(form->BoardFrame->SkinDir).endsWith("Skins/WATER/Octagon"));

    Trigger(*form, "Showstatistics1");
    QVERIFY(!form->ShowBestLine);
    QVERIFY(!form->Engine->ShowBestLine);
    Trigger(*form, "Showstatistics1");
    QVERIFY(form->Engine->ShowBestLine);
    Trigger(*form, "Displayanimations1");
    QVERIFY(!form->BoardFrame->AnimationsOn);
    Trigger(*form, "UseBook1");
    QVERIFY(!form->UseBook);
    QVERIFY(!Item(*form, "UseBook1")->isChecked());
    QVERIFY(Shown.empty());
  }

  void commandsRefusedDuringSearch() {
    auto form = MakeForm();
    Trigger(*form, "N24moves26emptiesexact1");  // deep enough to run until stopped
    bool searched = false, menusDisabled = false, buttonShown = false, nodesShown = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, form.get(), [&] {
      if (!form->Thinking || searched) return;
      searched = true;
      menusDisabled = !form->MainMenu->actions().first()->isEnabled();
      QVERIFY(form->SearchStatTimer->isActive());
      // Short-cuts still reach the items: the window must refuse them.
      Trigger(*form, "akebackmove1");
      Trigger(*form, "N10x101");
      QVERIFY(Item(*form, "N8x81")->isChecked());
      QVERIFY(!Item(*form, "N10x101")->isChecked());
      form->SearchStatTimerTimer();  // the first tick shows the button and the nodes
      buttonShown = form->ForceButton->isVisible() && form->ForceButton->isEnabled() &&
                    form->ForceButton->text() == "Force move";
      nodesShown = form->StatStatusBar2->PanelText(2).startsWith("Nodes : ");
      QTest::mouseClick(form->ForceButton, Qt::LeftButton);
    });
    poll.start(10);
    ClickCell(*form, 4, 3);
    poll.stop();
    QVERIFY(searched);
    QVERIFY(menusDisabled);
    QVERIFY(buttonShown);
    QVERIFY(nodesShown);
    // "Force move" made the program play what it had.
    QCOMPARE(form->Game->MoveCount, 2);
    QCOMPARE(form->Engine->Name, std::string("Pellin"));
    QVERIFY(form->ForceButton->isHidden());
    QVERIFY(form->MainMenu->actions().first()->isEnabled());
  }

  void closeDuringSearch() {
    auto form = MakeForm();
    Trigger(*form, "N24moves26emptiesexact1");
    bool closedAtOnce = true;
    QTimer poll;
    connect(&poll, &QTimer::timeout, form.get(), [&] {
      if (!form->Thinking || form->ClosePending) return;
      closedAtOnce = form->close();
    });
    poll.start(10);
    ClickCell(*form, 4, 3);
    poll.stop();
    QVERIFY(!closedAtOnce);
    QVERIFY(form->ClosePending);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(form->Game->MoveCount, 2);
    QVERIFY(CurrentEventPump() == nullptr);
    QVERIFY(Shown.empty());
  }

  void bookImprovementAndBookMoves() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Addonegame1");
    const QString file = QString::fromStdString(form->Book->FilePath().string());
    QVERIFY(QFileInfo::exists(file));
    QVERIFY(form->Book->Stats().Nodes > 0);
    QVERIFY(Shown.empty());  // learning runs show no result
    QVERIFY(!Item(*form, "Addonegame1")->isChecked());
    QVERIFY(!form->Learning);
    QCOMPARE(int(form->ProgramColour), 255);
    QCOMPARE(int(form->ColourToMove), 1);
    QVERIFY(form->DisplayOn);
    QVERIFY(!form->LoadProgressBar->Visible());
    QCOMPARE(form->LoadProgressBar->Caption(), std::string("Loading..."));
    QCOMPARE(form->Engine->ScoreBar, static_cast<TStatusBar*>(form->StatStatusBar));
    QCOMPARE(form->Engine->StatsBar, static_cast<TStatusBar*>(form->StatStatusBar2));
    QCOMPARE(form->Game->MoveCount, 0);  // the program plays white and waits
    QVERIFY(MenusEnabled(*form));

    // The book knows the start position now: playing black, the program answers from it.
    int move = 0;
    double value = 0;
    QVERIFY(form->Book->GetBookMove(form->Engine->CurrentPosition(), move, value));
    Trigger(*form, "Pellinplaysblack1");
    QCOMPARE(form->Game->MoveCount, 1);
    QCOMPARE(form->StatStatusBar->PanelText(0),
             QString("Score : %1(Book)").arg(value == 0 ? 0.0 : value, 0, 'f', 3));
  }

  void stopLearningKeepsTheBook() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Addonegame1");
    const QString file = QString::fromStdString(form->Book->FilePath().string());
    QFile stored(file);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();

    bool stopped = false;
    QString caption;
    QTimer poll;
    connect(&poll, &QTimer::timeout, form.get(), [&] {
      if (!form->Learning || stopped) return;
      stopped = true;
      form->SearchStatTimerTimer();
      caption = form->ForceButton->text();
      QTest::mouseClick(form->ForceButton, Qt::LeftButton);
    });
    poll.start(0);  // at the first events the run processes, long before a game ends
    Trigger(*form, "Add10games1");
    poll.stop();
    QVERIFY(stopped);
    QCOMPARE(caption, QString("Stop learning"));
    QVERIFY(form->LearningStopped);
    QVERIFY(!form->Learning);
    QVERIFY(form->ForceButton->isHidden());
    QVERIFY(!form->LoadProgressBar->Visible());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), before);
  }

  void closeDuringLearningKeepsTheBook() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Addonegame1");
    QFile stored(QString::fromStdString(form->Book->FilePath().string()));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();

    QTimer poll;
    connect(&poll, &QTimer::timeout, form.get(), [&] {
      if (form->Learning && !form->ClosePending) form->close();
    });
    poll.start(0);  // at the first events the run processes, long before a game ends
    Trigger(*form, "Add100games1");
    poll.stop();
    QVERIFY(form->ClosePending);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), before);
  }

  void selfPlayFinishesOneGame() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Pellinanalyses1");
    QCOMPARE(Shown.size(), size_t(1));
    // The margin recounted from the final board, the empties going to the winner.
    const TShown& result = Shown[0];
    const int margin = result.Black > result.White   ? result.Black + result.Empty - result.White
                       : result.Black < result.White ? result.White + result.Empty - result.Black
                                                     : 0;
    const QString expected =
        margin == 0 ? QString("This game was a draw")
                    : QString(result.Black > result.White ? "Black wins by %1" : "White wins by %1")
                          .arg(margin);
    QCOMPARE(result.Text, expected);
    QVERIFY(!Item(*form, "Pellinanalyses1")->isChecked());
    QVERIFY(!form->SelfPlay);
    QCOMPARE(int(form->ProgramColour), 255);
    // The final position stays on the board, the move list holds the whole game.
    QVERIFY(form->Game->IsGameOver());
    QCOMPARE(form->Line.Plies(), form->Game->MoveCount);
    QCOMPARE(form->GamePanel->MoveList->count(), form->Game->MoveCount + 1);
    // The finished game went into the book.
    QVERIFY(QFileInfo::exists(QString::fromStdString(form->Book->FilePath().string())));
  }

  // A game that ends with empty squares right after the user's move is learned like any other.
  void gameEndingOnTheUsersMoveIsLearned() {
    auto form = MakeForm();
    Trigger(*form, "Displayanimations1");
    for (const char* move :
         {"d3", "f6", "e6", "d6", "g6", "g4", "c6", "e2", "h2", "h5", "b4", "e8", "f1", "d8"}) {
      if (!Shown.empty()) break;
      const int square = Square(move[0] - 'a' + 1, move[1] - '0');
      QVERIFY2(form->Game->IsLegal(square), move);
      ClickSquare(*form, square);
    }
    QCOMPARE(Shown.size(), size_t(1));
    QCOMPARE(Shown[0].Text, QString("You won by 62"));
    QVERIFY(QFileInfo::exists(QString::fromStdString(form->Book->FilePath().string())));
    QVERIFY(form->Book->Stats().Nodes > 10);
  }

  void lastMoveMarkSurvivesASkinChange() {
    auto form = MakeForm();
    FastGames(*form);
    ClickSquare(*form, FirstLegal(*form));
    const int last = form->Game->Moves[form->Game->MoveCount].MoveSquare;
    QCOMPARE(form->BoardFrame->LastMoveMark, last);
    Trigger(*form, "Wood1");
    QCOMPARE(form->BoardFrame->LastMoveMark, last);
  }

  void selfPlayCanBeStopped() {
    auto form = MakeForm();
    FastGames(*form);
    // The stop button is there from the start of the run; the first pending events click it.
    QTimer::singleShot(0, form.get(), [&] {
      QVERIFY(form->ForceButton->isVisible());
      QCOMPARE(form->ForceButton->text(), QString("Stop self play"));
      QTest::mouseClick(form->ForceButton, Qt::LeftButton);
    });
    Trigger(*form, "Pellinanalyses1");
    QVERIFY(Shown.empty());
    QVERIFY(!form->Game->IsGameOver());
    QVERIFY(form->Game->MoveCount > 0);
    QVERIFY(!form->SelfPlay);
    QVERIFY(!Item(*form, "Pellinanalyses1")->isChecked());
    QVERIFY(form->ForceButton->isHidden());
    QCOMPARE(int(form->ProgramColour), 255);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(form->Book->FilePath().string())));
    QVERIFY(MenusEnabled(*form));
  }

  // The move list, the step buttons and the keys show the positions of the line.
  void gamePanelSteps() {
    auto form = MakeForm();
    FastGames(*form);
    for (int move = 0; move < 3; ++move) ClickSquare(*form, FirstLegal(*form));
    const TGame line = form->Line;
    QCOMPARE(line.Plies(), 6);
    QCOMPARE(form->GamePanel->MoveList->count(), 7);
    const auto shows = [&](int ply) {
      return form->ShownPly == ply && form->Game->MoveCount == ply &&
             form->Game->Position() == line.PositionAt(ply) &&
             form->GamePanel->MoveList->currentRow() == ply;
    };
    QVERIFY(shows(6));
    QListWidget* list = form->GamePanel->MoveList;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    QVERIFY(shows(2));
    QVERIFY(form->GamePanel->TurnLabel->text().contains("Move 2 of 6"));
    QTest::mouseClick(form->GamePanel->BackButton, Qt::LeftButton);
    QVERIFY(shows(1));
    QTest::mouseClick(form->GamePanel->FirstButton, Qt::LeftButton);
    QVERIFY(shows(0));
    QVERIFY(!form->GamePanel->BackButton->isEnabled());
    QTest::keyClick(form.get(), Qt::Key_End);
    QVERIFY(shows(6));
    QTest::keyClick(form.get(), Qt::Key_Left);
    QVERIFY(shows(5));
    QTest::keyClick(form.get(), Qt::Key_Home);
    QVERIFY(shows(0));
    QTest::keyClick(form.get(), Qt::Key_Right);
    QVERIFY(shows(1));
    QTest::mouseClick(form->GamePanel->LastButton, Qt::LeftButton);
    QVERIFY(shows(6));
    QVERIFY(!form->GamePanel->ForwardButton->isEnabled());
    // Stepping never searched or moved for the program.
    QCOMPARE(form->Line.Moves(), line.Moves());
    QVERIFY(Asked.isEmpty());
  }

  void passButtonPasses() {
    auto form = MakeForm();
    Trigger(*form, "Displayanimations1");
    Trigger(*form, "Morvaneobserves1");
    SetPosition(*form, Position8('X', {{"a1", 'O'}, {"b1", 'O'}, {"c1", 'X'}}));
    QVERIFY(form->GamePanel->PassButton->isVisible());
    QVERIFY(form->GamePanel->TurnLabel->text().contains("Black has no move and must pass"));
    QTest::mouseClick(form->GamePanel->PassButton, Qt::LeftButton);
    QCOMPARE(form->Game->MoveCount, 1);
    QCOMPARE(form->Game->Moves[1].MoveSquare, PassMove);
    QVERIFY(!form->GamePanel->PassButton->isVisible());
    QCOMPARE(form->GamePanel->MoveList->item(1)->text(), QString("1. pass"));
  }

  // Every remembered choice comes back with the next window; the defaults come back when
  // nothing was remembered.
  void settingsSurviveARestart() {
    {
      auto form = MakeForm();
      for (const char* item :
           {"N10x101", "Strong1", "Pellinplaysblack1", "UseBook1", "Mediumrandomness1", "N10Mb1",
            "N901", "Water1", "Showstatistics1", "Displayanimations1"})
        Trigger(*form, item);
      QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
    }
    auto form = MakeForm();
    QVERIFY(Shown.empty());
    QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
    QCOMPARE(form->Book->Name, std::string("Fenwa_10x10_Srong"));
    QCOMPARE(form->Level.Depth, 4);
    QCOMPARE(int(form->ProgramColour), 1);
    QCOMPARE(form->Game->MoveCount, 0);  // the program does not move at start
    QVERIFY(!form->UseBook);
    QVERIFY(form->Book->UseRandomness);
    QCOMPARE(form->Book->RandomBudget, 2.0);
    QCOMPARE(form->HashSizeBits, 19.0);
    QCOMPARE(form->Engine->HashSizeBits, 19.0);
    QCOMPARE(form->Evaluation->MpcThreshold, 1.6452);
    QCOMPARE(form->SkinName, std::string("WATER"));
    QVERIFY(!form->ShowBestLine);
    QVERIFY(!form->BoardFrame->AnimationsOn);
    for (const char* item : {"N10x101", "Strong1", "Pellinplaysblack1", "Mediumrandomness1",
                             "N10Mb1", "N901", "Water1"})
      QVERIFY2(Item(*form, item)->isChecked(), item);
    QVERIFY(!Item(*form, "UseBook1")->isChecked());
  }

  // Options > Threads: one item per core, all cores at first; the choice reaches the engine at
  // once, survives a change of board and a restart, and the program still moves with helpers.
  void threadsChoiceReachesTheEngineAndIsRemembered() {
    const int cores = std::min(DefaultSearchThreads(), 64);
    const auto threadsOf = [](TMainForm& form) {
      return form.Engine->Threads ? form.Engine->Threads->Count() : 1;
    };
    const QByteArray all =
        cores == 1 ? QByteArray("N1thread1") : "N" + QByteArray::number(cores) + "threads1";
    {
      auto form = MakeForm();
      QMenu* menu = form->findChild<QMenu*>("Threads1");
      QVERIFY(menu);
      QCOMPARE(int(menu->actions().size()), cores);
      QCOMPARE(menu->actions().front()->text(), QString("1 thread"));
      QVERIFY(Item(*form, all.constData())->isChecked());
      QCOMPARE(threadsOf(*form), cores);
      Trigger(*form, "N1thread1");
      QVERIFY(!form->Engine->Threads);
      QVERIFY(!form->Engine->HashTable->IsShared());
      if (cores >= 2) {
        Trigger(*form, "N2threads1");
        QCOMPARE(threadsOf(*form), 2);
        QVERIFY(form->Engine->HashTable->IsShared());
        Trigger(*form, "N10x101");
        QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
        QCOMPARE(threadsOf(*form), 2);
        Trigger(*form, "N8x81");
      }
    }
    auto form = MakeForm();
    const int chosen = cores >= 2 ? 2 : 1;
    QCOMPARE(form->SearchThreads, chosen);
    QCOMPARE(threadsOf(*form), chosen);
    // The program answers the user's move with a legal move of its own.
    FastGames(*form);
    ClickSquare(*form, FirstLegal(*form));
    QTRY_COMPARE(form->Game->MoveCount, 2);
    if (form->Engine->Threads) QVERIFY(!form->Engine->Threads->Running());
  }

  void setUpPosition() {
    auto form = MakeForm();
    FastGames(*form);
    ClickSquare(*form, FirstLegal(*form));
    const TGame before = form->Line;
    Trigger(*form, "Setupposition1");
    QVERIFY(form->SetupPanel->isVisible());
    QVERIFY(!form->GamePanel->isVisible());
    // An empty board is refused with its reason; so is one where neither side can move.
    QTest::mouseClick(form->SetupPanel->ClearButton, Qt::LeftButton);
    QTest::mouseClick(form->SetupPanel->DoneButton, Qt::LeftButton);
    QVERIFY(form->Editing);
    QCOMPARE(form->SetupPanel->Problem->text(), QString("The board has no disc."));
    ClickCell(*form, 4, 4);  // black
    QTest::mouseClick(form->SetupPanel->DoneButton, Qt::LeftButton);
    QCOMPARE(form->SetupPanel->Problem->text(),
             QString("Neither side has a move in this position."));
    // Cancel brings the game back as it was.
    QTest::mouseClick(form->SetupPanel->CancelButton, Qt::LeftButton);
    QVERIFY(!form->Editing);
    QVERIFY(form->GamePanel->isVisible());
    QCOMPARE(form->Line.Moves(), before.Moves());
    QVERIFY(form->Game->Position() == before.Current());

    // The start position with white to move and e4 made white, then d4 back to empty by the
    // right button: black d5, white e5, e4, black to ... white to move.
    Trigger(*form, "Setupposition1");
    QTest::mouseClick(form->SetupPanel->StartButton, Qt::LeftButton);
    QTest::mouseClick(form->SetupPanel->WhiteToMove, Qt::LeftButton);
    ClickCell(*form, 5, 4);                   // black e4 becomes white
    ClickCell(*form, 4, 4, Qt::RightButton);  // white d4 goes back to black
    QTest::mouseClick(form->SetupPanel->DoneButton, Qt::LeftButton);
    QVERIFY(!form->Editing);
    TPosition expected(TBoardKind::Board8x8);
    expected.SetCell(Square(5, 4), WhiteCell);
    expected.SetCell(Square(4, 4), BlackCell);
    expected.SetSide(TColour::White);
    // The program plays white and moved at once from the set-up position.
    QCOMPARE(form->Line.Start().Text(), expected.Text());
    QCOMPARE(form->Game->MoveCount, 1);
    QVERIFY(!form->Game->StartsFromStandard());
    QVERIFY(MenusEnabled(*form));
  }

  void clipboardCopiesAndPastes() {
    auto form = MakeForm();
    FastGames(*form);
    for (int move = 0; move < 2; ++move) ClickSquare(*form, FirstLegal(*form));
    Trigger(*form, "Copygame1");
    QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(form->Line.Transcript()));
    Trigger(*form, "Copyposition1");
    QCOMPARE(QApplication::clipboard()->text(),
             QString::fromStdString(form->Game->Position().Text()));

    // A transcript pasted is shown at its end; a bad one is refused naming the move, and the
    // open game stays.
    QApplication::clipboard()->setText("f5 d6 c3 d3 c4");
    Trigger(*form, "Paste1");
    QCOMPARE(form->Line.Transcript(), std::string("f5d6c3d3c4"));
    QCOMPARE(form->Game->MoveCount, 5);
    QApplication::clipboard()->setText("f5d6c3a1");
    Trigger(*form, "Paste1");
    QCOMPARE(Shown.size(), size_t(1));
    QVERIFY2(Shown[0].Text.contains("move 4 \"a1\" is not legal"), qPrintable(Shown[0].Text));
    QCOMPARE(form->Line.Transcript(), std::string("f5d6c3d3c4"));

    // A 10 x 10 position switches the board and is set up as the start.
    const TPosition ten(TBoardKind::Board10x10);
    QApplication::clipboard()->setText(QString::fromStdString(ten.Text()));
    Trigger(*form, "Paste1");
    QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
    QVERIFY(form->Game->Position() == ten);
  }

  void gameFilesRoundTrip_data() {
    QTest::addColumn<QString>("board");
    QTest::newRow("8 x 8") << "N8x81";
    QTest::newRow("10 x 10") << "N10x101";
    QTest::newRow("octagon") << "Octagon1";
  }

  // A game saved and opened again has the same moves, positions and result, on every board.
  void gameFilesRoundTrip() {
    QFETCH(QString, board);
    auto form = MakeForm();
    Trigger(*form, board.toLatin1().constData());
    FastGames(*form);
    Trigger(*form, "Pellinanalyses1");  // a whole game, learned, its end on the board
    QVERIFY(form->Game->IsGameOver());
    const TGame played = form->Line;
    const QString path = Work->path() + "/saved.ggf";
    QString suggested;
    bool askedToSave = false;
    form->ChooseFile = [&](bool save, const QString& name) {
      suggested = name;
      askedToSave = save;
      return path;
    };
    Trigger(*form, "Save1");  // no file yet: asks for one
    QVERIFY(askedToSave);
    QCOMPARE(suggested, QString("game.ggf"));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    const int margin = played.Current().FinalScore();
    QVERIFY2(text.contains(QString("RE[%1%2.000]").arg(margin > 0 ? "+" : "").arg(margin)),
             qPrintable(text));
    QVERIFY(text.contains(board == "Octagon1"  ? "TY[10o]"
                          : board == "N10x101" ? "TY[10]"
                                               : "TY[8]"));

    // Opened from another board in a fresh window: the board switches, the game comes back.
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Morvane", "Morvane").clear();
    form.reset();
    form = MakeForm();
    form->ChooseFile = [&](bool, const QString&) { return path; };
    Trigger(*form, "Open1");
    QVERIFY(Shown.size() <= 1);  // only the self-play result of the first window
    QCOMPARE(form->Line.Moves(), played.Moves());
    QVERIFY(form->Game->Position() == played.Current());
    QVERIFY(form->Game->IsGameOver());
    // Stepping through it shows every position of the game.
    for (int ply = 0; ply <= played.Plies(); ply += 7) {
      form->ShowPly(ply);
      QVERIFY(form->Game->Position() == played.PositionAt(ply));
    }
    // The file is in the recent files, and a game read in is not learned again.
    QVERIFY(Item(*form, "Recentfile1"));
    QCOMPARE(form->RecentFiles().value(0), QFileInfo(path).absoluteFilePath());
  }

  void transcriptAndDamagedFiles() {
    auto form = MakeForm();
    FastGames(*form);
    ClickSquare(*form, FirstLegal(*form));
    // A plain transcript from a .txt file.
    const QString transcript = Work->path() + "/game.txt";
    {
      QFile file(transcript);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("f5d6c3d3c4f4\n");
    }
    QVERIFY(form->OpenGameFile(transcript));
    QCOMPARE(form->Line.Transcript(), std::string("f5d6c3d3c4f4"));
    const TGame opened = form->Line;
    // A damaged GGF is refused naming its line; the open game stays.
    const QString damaged = Work->path() + "/bad.ggf";
    {
      QFile file(damaged);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("(;GM[Othello]\nTY[8]\nB[F5]W[A1];)\n");
    }
    QVERIFY(!form->OpenGameFile(damaged));
    QCOMPARE(Shown.size(), size_t(1));
    QVERIFY2(Shown[0].Text.contains("bad.ggf") && Shown[0].Text.contains("line 3"),
             qPrintable(Shown[0].Text));
    QCOMPARE(form->Line.Moves(), opened.Moves());
    // A folder, and a missing file, likewise.
    QVERIFY(!form->OpenGameFile(Work->path()));
    QVERIFY(!form->OpenGameFile(Work->path() + "/missing.ggf"));
    QCOMPARE(Shown.size(), size_t(3));
    QVERIFY(Shown[1].Text.contains("folder"));
    QCOMPARE(form->Line.Moves(), opened.Moves());
  }

  // Hints paint a value in the cell of every legal move, best ones marked; a move clears them
  // and the next position gets its own.
  void hintsShowEveryMoveAndFollowTheGame() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "HintAvegare1");
    Trigger(*form, "Hints1");
    const auto legalSquares = [&] {
      std::vector<int> squares;
      for (int square = 0; square < MaxCells; ++square)
        if (form->Game->IsLegal(square)) squares.push_back(square);
      return squares;
    };
    const auto hintSquares = [&] {
      std::vector<int> squares;
      for (const THintMark& hint : form->BoardFrame->BoardImage->Hints())
        squares.push_back(hint.Square);
      std::sort(squares.begin(), squares.end());
      return squares;
    };
    QTRY_VERIFY(form->GamePanel->HintLabel->text().contains("depth 2 of 2"));
    QCOMPARE(hintSquares(), legalSquares());
    // The values are those of searching each move's position one level shallower.
    const PositionImage shown = form->Engine->CurrentPosition();
    const TMoveValues values = ValueMoves(*form->Engine, form->Game->Position(), form->HintLevel);
    form->Engine->SetPosition(shown.Board, shown.SideToMove);
    for (const THintMark& hint : form->BoardFrame->BoardImage->Hints()) {
      const auto value = std::find_if(values.Moves.begin(), values.Moves.end(),
                                      [&](const TMoveValue& v) { return v.Square == hint.Square; });
      QVERIFY(value != values.Moves.end());
      QCOMPARE(hint.Best, value->Score == values.Moves.front().Score);
    }
    const PositionImage before = form->Engine->CurrentPosition();
    ClickSquare(*form, FirstLegal(*form));
    QVERIFY(!SamePosition(form->Engine->CurrentPosition(), before));
    QTRY_VERIFY(!hintSquares().empty() && hintSquares() == legalSquares());
    // Off, they go.
    Trigger(*form, "Hints1");
    QTRY_VERIFY(form->BoardFrame->BoardImage->Hints().empty());
  }

  // Deep hints give way at once to a step and to closing the window.
  void hintsStopForAStepAndForClosing() {
    auto form = MakeForm();
    FastGames(*form);
    for (int move = 0; move < 2; ++move) ClickSquare(*form, FirstLegal(*form));
    Trigger(*form, "HintN24moves26emptiesexact1");
    bool wasRunning = false;
    QTimer::singleShot(300, form.get(), [&] {
      wasRunning = form->HintsRunning;
      QTest::mouseClick(form->GamePanel->FirstButton, Qt::LeftButton);
    });
    Trigger(*form, "Hints1");
    QTRY_COMPARE(form->ShownPly, 0);
    QVERIFY(wasRunning);
    // The start position's hints search in turn; closing the window ends them.
    bool runningAtClose = false;
    QTimer::singleShot(300, form.get(), [&] {
      runningAtClose = form->HintsRunning;
      form->close();
    });
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(runningAtClose);
    QVERIFY(!form->HintsRunning);
    QVERIFY(form->Game->Position() == TPosition(TBoardKind::Board8x8));
  }

  // An analysed game's losses appear in the move list, the chart has one point per position
  // and a click on a point steps there; the evaluations travel with the game file.
  void analysedGameShowsLossesAndChart() {
    auto form = MakeForm();
    FastGames(*form);
    Trigger(*form, "Pellinanalyses1");
    QVERIFY(form->Game->IsGameOver());
    const int plies = form->Line.Plies();
    form->ChooseAnalysisLevel = [](TFixedSearchInfo& level) {
      level.Depth = 2;
      level.ExactEmpties = 12;
      return true;
    };
    Trigger(*form, "Analysegame1");
    QCOMPARE(int(form->Analysis.Plies.size()), plies);
    QVERIFY(form->Analysis.Complete);
    QVERIFY(!form->LoadProgressBar->Visible());
    QVERIFY(MenusEnabled(*form));
    QListWidget* list = form->GamePanel->MoveList;
    QCOMPARE(list->count(), plies + 1);
    int shownLosses = 0;
    for (int ply = 0; ply < plies; ++ply) {
      const TPlyAnalysis& analysis = form->Analysis.Plies[static_cast<size_t>(ply)];
      if (analysis.Played == PassMove) continue;
      const double loss = static_cast<double>(analysis.Loss) / DiscUnit;
      const QString text = list->item(ply + 1)->text();
      QVERIFY2(
          loss < 0.05 ? text.endsWith("best") : text.endsWith(QString("-%1").arg(loss, 0, 'f', 1)),
          qPrintable(text));
      ++shownLosses;
    }
    QVERIFY(shownLosses > 0);
    TEvaluationChart* chart = form->GamePanel->Chart;
    QVERIFY(chart->isVisible());
    QCOMPARE(chart->Points(), plies + 1);
    QTest::mouseClick(chart, Qt::LeftButton, {}, chart->PointOf(10).toPoint());
    QCOMPARE(form->ShownPly, 10);
    QCOMPARE(chart->ShownPly(), 10);

    // Saved and opened again, the evaluations come back with the game.
    const QString path = Work->path() + "/analysed.ggf";
    form->ChooseFile = [&](bool, const QString&) { return path; };
    Trigger(*form, "Saveas1");
    Trigger(*form, "N8x81");  // a new game
    QVERIFY(!form->GamePanel->Chart->isVisible());
    QVERIFY(form->OpenGameFile(path));
    QCOMPARE(form->Line.Plies(), plies);
    QVERIFY(form->GamePanel->Chart->isVisible());
    QCOMPARE(form->GamePanel->Chart->Points(), plies + 1);
    QCOMPARE(form->LineEvals.size(), size_t(plies));
  }

  void developerCommands() {
    auto form = MakeForm();
    Trigger(*form, "Generatesourcecode1");
    QFile generated("Generated.txt");
    QVERIFY(generated.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = generated.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("case wohin of\r"));
    QCOMPARE(lines[lines.size() - 2], QByteArray("end;\r"));
    int blocks = 0;
    for (const QByteArray& line : lines) blocks += line.endsWith(": begin\r");
    QCOMPARE(blocks, 64);

    // The endgame test position, searched and played; the figures land in the last panels.
    Trigger(*form, "Checkendspeed1");
    QCOMPARE(form->Game->MoveCount, 1);
    QCOMPARE(int(form->Engine->SideToMove), int(WhiteCell));
    QCOMPARE(form->Engine->EmptyCount, 23);
    bool number = false;
    QVERIFY(form->StatStatusBar2->PanelText(2).toLongLong(&number) >= 0 && number);
    form->StatStatusBar2->PanelText(3).toLongLong(&number);
    QVERIFY(number);
    QVERIFY(Shown.empty());

    Trigger(*form, "About1");
    QCOMPARE(Shown.size(), size_t(1));
    QCOMPARE(Shown[0].Caption, QString("About Morvane"));
  }

  void coefficientFaultOnSwitch_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("words");
    QTest::newRow("missing") << int(TFault::Missing) << "is missing";
    QTest::newRow("damaged") << int(TFault::Short) << "bytes; expected";
  }

  void coefficientFaultOnSwitch() {
    QFETCH(int, fault);
    QFETCH(QString, words);
    QTemporaryDir other;
    PrepareWorkingFolder(other.path(), "Tovrel", TFault(fault));
    auto form = MakeForm();
    QVERIFY(Shown.empty());
    Trigger(*form, "Displayanimations1");
    ClickCell(*form, 4, 3);
    const PositionImage before = form->Engine->CurrentPosition();
    const TOthelloPatternEngine* engineBefore = form->Engine.get();
    Trigger(*form, "N8x8Tovrel1");
    QCOMPARE(Shown.size(), size_t(1));
    QVERIFY2(Shown[0].Text.contains("Tovrel.coe") && Shown[0].Text.contains(words),
             qPrintable(Shown[0].Text));
    // The Pellin game goes on as it was: same engine, same plies, same position.
    QCOMPARE(form->Engine.get(), engineBefore);
    QCOMPARE(form->Book->Name, std::string("Pellin_8x8_Average"));
    QVERIFY(Item(*form, "N8x81")->isChecked());
    QVERIFY(!Item(*form, "N8x8Tovrel1")->isChecked());
    QCOMPARE(form->Game->MoveCount, 2);
    QVERIFY(SamePosition(form->Engine->CurrentPosition(), before));
    QCOMPARE(form->Line.Plies(), 2);
    ClickSquare(*form, FirstLegal(*form));
    QCOMPARE(form->Game->MoveCount, 4);
    // Asking again says so again and changes nothing; the other boards still load.
    Trigger(*form, "N8x8Tovrel1");
    QCOMPARE(Shown.size(), size_t(2));
    QCOMPARE(form->Engine->Name, std::string("Pellin"));
    Trigger(*form, "N10x101");
    QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
    QCOMPARE(Shown.size(), size_t(2));
  }

  void tableFaultFallsBackToWorkingSize() {
    auto form = MakeForm();
    // No item offers it, but a table the engine refuses fails every board alike, just as one
    // too large for the memory does.
    form->HashSizeBits = 31.0;
    Trigger(*form, "N10x101");
    QCOMPARE(Shown.size(), size_t(1));
    QVERIFY2(Shown[0].Text.contains("10 x 10") && Shown[0].Text.contains("Transposition table"),
             qPrintable(Shown[0].Text));
    // The board played so far stays with the size it had.
    QCOMPARE(form->Engine->Name, std::string("Pellin"));
    QCOMPARE(form->Engine->HashSizeBits, 17.0);
    QCOMPARE(form->HashSizeBits, 31.0);
    QVERIFY(Item(*form, "N8x81")->isChecked());
    Trigger(*form, "N25Mb1");
    Trigger(*form, "N10x101");
    QCOMPARE(form->Engine->Name, std::string("Bot10x10"));
    QCOMPARE(form->Engine->HashSizeBits, 17.0);
  }

  void coefficientFaultAtStartUp() {
    QTemporaryDir other;
    PrepareWorkingFolder(other.path(), "Pellin", TFault::Missing);
    auto form = MakeForm();
    QCOMPARE(Shown.size(), size_t(1));
    QVERIFY(Shown[0].Text.contains("Pellin.coe"));
    QVERIFY(form->HasGame());
    QCOMPARE(form->Engine->Name, std::string("Tovrel"));
    QCOMPARE(form->Book->Name, std::string("Tovrel_8x8_Average"));
    QVERIFY(Item(*form, "N8x8Tovrel1")->isChecked());
    QVERIFY(!Item(*form, "N8x81")->isChecked());
    Trigger(*form, "Displayanimations1");
    ClickCell(*form, 4, 3);
    QCOMPARE(form->Game->MoveCount, 2);
  }

  void noBoardLoads() {
    QTemporaryDir other;
    QVERIFY(QDir::setCurrent(other.path()));  // no coefficient folder at all
    auto form = MakeForm();
    QVERIFY(!form->HasGame());
    QCOMPARE(Shown.size(), size_t(5));
    const char* const files[] = {"Pellin.coe", "Tovrel.coe", "Bot10x10.coe", "Bot8x8Oct.coe"};
    for (int index = 0; index < 4; ++index) QVERIFY(Shown[index].Text.contains(files[index]));
    // Nothing of the window may touch the missing game.
    QTest::mouseClick(form->BoardFrame->BoardImage, Qt::LeftButton, {}, QPoint(175, 125));
    Trigger(*form, "akebackmove1");
    Trigger(*form, "Changecolors1");
    QVERIFY(!form->HasGame());
  }
};

MORVANE_UI_TEST(HauptFormTest);

#include "HauptFormTest.moc"
