// The menu bar and its commands. Each command sets one value of the window, the engine, the
// book or the board view and, where the turn may change, lets the game continue.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <string>

#include "engine/OthelloEngine.h"
#include "engines/EngineFactory.h"
#include "engines/OthelloPatternEngine.h"
#include "engines/SourceGenerator.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "ui/BoardFrame.h"
#include "ui/HauptForm.h"
#include "ui/MenuTables.h"

namespace morvane {

namespace {

// The 8 x 8 endgame of the speed test: side to move, then the squares from a1 row by row.
constexpr const char* EndSpeedPosition =
    "X---XXXX-X-XXXO--XXOXOO--XXXOXO--XXOXXO---OXXXOO-O-OOOO------OO--";

template <typename Choice, size_t Count>
const Choice* ChoiceOf(const Choice (&choices)[Count], const QAction* item) {
  for (const Choice& choice : choices)
    if (item->objectName() == QLatin1String(choice.Component)) return &choice;
  return nullptr;
}

}  // namespace

QAction* TMainForm::Item(const char* component) const {
  return findChild<QAction*>(QLatin1String(component), Qt::FindDirectChildrenOnly);
}

QMenu* TMainForm::NewMenu(QWidget* parent, const char* caption, const char* component) {
  auto* menu = new QMenu(QString::fromUtf8(caption), parent);
  menu->setObjectName(QLatin1String(component));
  menu->menuAction()->setObjectName(QLatin1String(component));
  if (auto* bar = qobject_cast<QMenuBar*>(parent))
    bar->addMenu(menu);
  else
    static_cast<QMenu*>(parent)->addMenu(menu);
  return menu;
}

QAction* TMainForm::NewItem(QMenu* menu, const char* caption, const char* component,
                            const char* shortcut, QActionGroup* group) {
  // Parented to the window so that every item can be found by its component name.
  auto* item = new QAction(QString::fromUtf8(caption), this);
  item->setObjectName(QLatin1String(component));
  if (shortcut) item->setShortcut(QKeySequence(QLatin1String(shortcut)));
  if (group) {
    item->setCheckable(true);
    group->addAction(item);
  }
  menu->addAction(item);
  return item;
}

QActionGroup* TMainForm::NewGroup(const char* settingsKey) {
  auto* group = new QActionGroup(this);
  group->setObjectName(QString::fromLatin1(settingsKey));
  group->setExclusive(true);
  Groups.push_back(group);
  return group;
}

void TMainForm::Connect(QAction* item, std::function<void()> handler) {
  connect(item, &QAction::triggered, this, [this, item, handler = std::move(handler)] {
    // The hints give way at once; the command runs when their search has unwound.
    if (HintsRunning && item != Item("Hints1")) {
      RestoreCheckMark(item);
      DeferWhileHinting([item] { item->trigger(); });
      return;
    }
    // Short-cuts reach items even while their menu is disabled: whatever runs now (a search,
    // an animation, loading, learning) must not have the game changed under it.
    if (BusyDepth > 0 || !Game || Editing) {
      RestoreCheckMark(item);
      return;
    }
    {
      TBusy busy(*this);
      handler();
    }
    SnapshotCheckMarks();
  });
}

void TMainForm::SnapshotCheckMarks() {
  for (QActionGroup* group : Groups) AcceptedChecks[group] = group->checkedAction();
  SaveSettings();
}

// ---------------------------------------------------------------------------------------------
// Remembered settings: the checked item of every radio group and the toggles, by component
// name, so that a renamed caption or a reordered menu cannot mix them up.

namespace {

constexpr const char* RememberedToggles[] = {"UseBook1", "Showstatistics1", "Displayanimations1",
                                             "Hints1"};

}  // namespace

const std::vector<TMainForm::THintLevel>& TMainForm::HintLevels() {
  static const std::vector<THintLevel> levels = [] {
    std::vector<THintLevel> list;
    for (const TLevelEntry& level : Levels)
      list.push_back({level.Caption, std::string("Hint") + level.Component, LevelInfo(level)});
    TFixedSearchInfo exact;
    exact.Depth = 20;
    exact.ExactEmpties = 30;
    list.push_back({"Exact (up to 30 empties)", "Hintexact1", exact});
    return list;
  }();
  return levels;
}

void TMainForm::SaveSettings() {
  if (!Settings) return;
  for (QActionGroup* group : Groups)
    if (QAction* checked = AcceptedChecks[group])
      Settings->setValue(group->objectName(), checked->objectName());
  for (const char* toggle : RememberedToggles)
    if (QAction* item = Item(toggle))
      Settings->setValue(QString::fromLatin1(toggle), item->isChecked());
}

QAction* TMainForm::SavedItem(const char* groupKey) const {
  if (!Settings) return nullptr;
  const QString name = Settings->value(QString::fromLatin1(groupKey)).toString();
  for (QActionGroup* group : Groups)
    if (group->objectName() == QLatin1String(groupKey))
      for (QAction* item : group->actions())
        if (!name.isEmpty() && item->objectName() == name) return item;
  return nullptr;
}

int TMainForm::RestoreSettingsBeforeBuilding() {
  int board = static_cast<int>(StartBoard.Menu);
  if (!Settings) return board;
  if (QAction* item = SavedItem("Board"))
    if (const TBoardEntry* choice = ChoiceOf(Boards, item)) board = static_cast<int>(choice->Menu);
  if (QAction* item = SavedItem("PlayerMode")) {
    item->setChecked(true);
    // The program does not move at start, whichever side it plays.
    ProgramColour = item->objectName() == QLatin1String("Pellinplaysblack1")  ? 1
                    : item->objectName() == QLatin1String("Morvaneobserves1") ? 0
                                                                              : 255;
  }
  if (QAction* item = SavedItem("Level")) {
    if (const TLevelEntry* choice = ChoiceOf(Levels, item)) {
      item->setChecked(true);
      LevelSuffix = choice->Suffix;
      Level = LevelInfo(*choice);
    }
  }
  if (QAction* item = SavedItem("HashTable")) HashSizeItemClick(item);
  if (QAction* item = SavedItem("Skin")) {
    if (const TSkinChoice* choice = ChoiceOf(SkinChoices, item)) {
      item->setChecked(true);
      SkinName = choice->Name;
    }
  }
  for (const char* toggle : RememberedToggles) {
    const QVariant saved = Settings->value(QString::fromLatin1(toggle));
    if (QAction* item = Item(toggle); item && saved.isValid()) item->setChecked(saved.toBool());
  }
  UseBook = Item("UseBook1")->isChecked();
  HintsOn = Item("Hints1")->isChecked();
  if (QAction* item = SavedItem("HintLevel")) {
    item->setChecked(true);
    for (const THintLevel& choice : HintLevels())
      if (item->objectName() == QString::fromStdString(choice.Component)) HintLevel = choice.Level;
  }
  // A count saved on a machine with more cores than this one has no item: the default stands.
  if (QAction* item = SavedItem("Threads")) {
    item->setChecked(true);
    SearchThreads = item->data().toInt();
  }
  ShowBestLine = Item("Showstatistics1")->isChecked();
  BoardFrame->AnimationsOn = Item("Displayanimations1")->isChecked();
  return board;
}

void TMainForm::RestoreSettingsAfterBuilding() {
  if (!Settings || !Game) return;
  if (QAction* item = SavedItem("Randomness")) RandomnessItemClick(item);
  if (QAction* item = SavedItem("Accuracy")) AccuracyItemClick(item);
}

void TMainForm::RestoreCheckMark(QAction* item) {
  if (!item->isCheckable()) return;
  if (QActionGroup* group = item->actionGroup()) {
    if (QAction* accepted = AcceptedChecks[group])
      accepted->setChecked(true);
    else
      item->setChecked(false);
  } else {
    item->setChecked(!item->isChecked());
  }
}

void TMainForm::CreateMenus() {
  // ---- &File: game files ----
  QMenu* file = NewMenu(MainMenu, "&File", "File1");
  Connect(NewItem(file, "&New game", "Newgamefile1", "Ctrl+N"), [this] { NewGameOnThisBoard(); });
  Connect(NewItem(file, "&Open...", "Open1", "Ctrl+O"), [this] { OpenCommand(); });
  RecentMenu = NewMenu(file, "Recent files", "Recentfiles1");
  file->addSeparator();
  Connect(NewItem(file, "&Save", "Save1", "Ctrl+S"), [this] { SaveCommand(); });
  Connect(NewItem(file, "Save &as...", "Saveas1", "Ctrl+Shift+S"), [this] { SaveAsCommand(); });
  FillRecentMenu();

  // ---- &Edit: copying, pasting and setting up games and positions ----
  QMenu* edit = NewMenu(MainMenu, "&Edit", "Edit1");
  Connect(NewItem(edit, "Copy game", "Copygame1", "Ctrl+Shift+C"), [this] { CopyGame(); });
  Connect(NewItem(edit, "Copy game as GGF", "CopygameasGGF1"), [this] { CopyGameAsGgf(); });
  Connect(NewItem(edit, "Copy position", "Copyposition1", "Ctrl+Shift+P"),
          [this] { CopyPosition(); });
  Connect(NewItem(edit, "Paste game or position", "Paste1", "Ctrl+Shift+V"),
          [this] { PasteGame(); });
  edit->addSeparator();
  Connect(NewItem(edit, "Set up position...", "Setupposition1", "Ctrl+E"),
          [this] { StartSetup(); });

  // ---- &Game ----
  QMenu* game = NewMenu(MainMenu, "&Game", "Game1");
  QMenu* newGame = NewMenu(game, "&New game", "Newgame1");
  QActionGroup* boards = NewGroup("Board");
  for (const TBoardEntry& choice : Boards) {
    QAction* item = NewItem(newGame, choice.Caption, choice.Component, choice.Shortcut, boards);
    Connect(item, [this, item] { NewGameItemClick(item); });
  }
  Item(StartBoard.Component)->setChecked(true);
  // Beside the specified items: the analysis of the game shown.
  Connect(NewItem(game, "Analyse game...", "Analysegame1", "Ctrl+A"), [this] { AnalyseLine(); });
  QAction* quit = NewItem(game, "Quit", "Quit1");
  // Closing works at any time; the window stops what runs first.
  connect(quit, &QAction::triggered, this, [this] { close(); });

  // ---- &Settings ----
  QMenu* settings = NewMenu(MainMenu, "&Settings", "Settings1");
  QMenu* playerMode = NewMenu(settings, "&Player mode", "Playermode1");
  QActionGroup* modes = NewGroup("PlayerMode");
  const struct {
    const char* Caption;
    const char* Component;
    uint8_t Colour;
  } playerModes[] = {{"Morvane plays black", "Pellinplaysblack1", 1},
                     {"Morvane plays white", "Pellinplayswhite1", 255},
                     {"Morvane observes", "Morvaneobserves1", 0}};
  for (const auto& mode : playerModes) {
    QAction* item = NewItem(playerMode, mode.Caption, mode.Component, nullptr, modes);
    const uint8_t colour = mode.Colour;
    Connect(item, [this, item, colour] { PlayerModeClick(item, colour); });
  }
  Item("Pellinplayswhite1")->setChecked(true);
  playerMode->addSeparator();
  QAction* selfPlay = NewItem(playerMode, "Self play", "Pellinanalyses1");
  selfPlay->setCheckable(true);  // carries the mark while the run lasts
  Connect(selfPlay, [this] { Pellinanalyses1Click(); });

  QMenu* searchOptions = NewMenu(settings, "&Search options", "Searchoptions1");
  QActionGroup* levels = NewGroup("Level");
  for (const TLevelEntry& choice : Levels) {
    QAction* item = NewItem(searchOptions, choice.Caption, choice.Component, nullptr, levels);
    Connect(item, [this, item] { LevelItemClick(item); });
    if (choice.SeparatorAfter) searchOptions->addSeparator();
  }
  Item(StartLevel.Component)->setChecked(true);

  QMenu* book = NewMenu(settings, "&Book", "Book1");
  QAction* useBook = NewItem(book, "&Use Book", "UseBook1");
  useBook->setCheckable(true);
  useBook->setChecked(true);
  Connect(useBook, [this, useBook] { UseBook1Click(useBook); });
  book->addSeparator();
  QMenu* randomness = NewMenu(book, "Book randomness", "Bookrandomness1");
  QActionGroup* budgets = NewGroup("Randomness");
  for (const TRandomnessChoice& choice : RandomnessChoices) {
    QAction* item = NewItem(randomness, choice.Caption, choice.Component, nullptr, budgets);
    Connect(item, [this, item] { RandomnessItemClick(item); });
  }
  Item("Norandomness1")->setChecked(true);
  QMenu* improve = NewMenu(book, "&Improve book", "Improvebook1");
  const struct {
    const char* Caption;
    const char* Component;
    const char* Shortcut;
    int Count;
  } improveItems[] = {{"Add one game", "Addonegame1", "Ctrl+B", 1},
                      {"Add 10 games", "Add10games1", nullptr, 10},
                      {"Add 100 games", "Add100games1", nullptr, 100},
                      {"Add 1000 games", "Add1000games1", nullptr, 1000}};
  for (const auto& entry : improveItems) {
    QAction* item = NewItem(improve, entry.Caption, entry.Component, entry.Shortcut);
    item->setCheckable(true);  // carries the mark while the run lasts
    const int count = entry.Count;
    Connect(item, [this, item, count] { ImproveBookItemClick(item, count); });
  }

  QMenu* hashTable = NewMenu(settings, "Hash table", "Hashtable1");
  QActionGroup* sizes = NewGroup("HashTable");
  for (const THashChoice& choice : HashChoices) {
    QAction* item = NewItem(hashTable, choice.Caption, choice.Component, nullptr, sizes);
    Connect(item, [this, item] { HashSizeItemClick(item); });
  }
  Item("N25Mb1")->setChecked(true);

  // ---- &Actions ----
  QMenu* actions = NewMenu(MainMenu, "&Actions", "Actions1");
  Connect(NewItem(actions, "Take back move", "akebackmove1", "Ctrl+Z"),
          [this] { akebackmove1Click(); });
  Connect(NewItem(actions, "Change colors", "Changecolors1", "Ctrl+C"),
          [this] { Changecolors1Click(); });
  actions->addSeparator();
  Connect(NewItem(actions, "Redo move", "Redomove1", "Ctrl+Y"), [this] { RedoMove(); });
  Connect(NewItem(actions, "First position", "Firstposition1", "Home"), [this] { ShowPly(0); });
  Connect(NewItem(actions, "Previous position", "Previousposition1", "Left"),
          [this] { ShowPly(ShownPly - 1); });
  Connect(NewItem(actions, "Next position", "Nextposition1", "Right"),
          [this] { ShowPly(ShownPly + 1); });
  Connect(NewItem(actions, "Last position", "Lastposition1", "End"),
          [this] { ShowPly(Line.Plies()); });

  // ---- &Options ----
  QMenu* options = NewMenu(MainMenu, "&Options", "Options1");
  QMenu* accuracy = NewMenu(options, "Search accuracy", "Searchaccuracy1");
  QActionGroup* thresholds = NewGroup("Accuracy");
  for (const TAccuracyChoice& choice : AccuracyChoices) {
    QAction* item = NewItem(accuracy, choice.Caption, choice.Component, nullptr, thresholds);
    Connect(item, [this, item] { AccuracyItemClick(item); });
  }
  Item("N701")->setChecked(true);
  QMenu* skins = NewMenu(options, "Skins", "Skins1");
  QActionGroup* skinGroup = NewGroup("Skin");
  for (const TSkinChoice& choice : SkinChoices) {
    QAction* item = NewItem(skins, choice.Caption, choice.Component, nullptr, skinGroup);
    Connect(item, [this, item] { SkinItemClick(item); });
  }
  Item("Standard1")->setChecked(true);
  const struct {
    const char* Caption;
    const char* Component;
    void (TMainForm::*Handler)(QAction*);
    bool Checked;
  } toggles[] = {
      {"Show bestline", "Showstatistics1", &TMainForm::Showstatistics1Click, true},
      {"Display animations", "Displayanimations1", &TMainForm::Displayanimations1Click, true},
      {"Rendering", "Rendering1", &TMainForm::Rendering1Click, false}};
  for (const auto& toggle : toggles) {
    QAction* item = NewItem(options, toggle.Caption, toggle.Component);
    item->setCheckable(true);
    item->setChecked(toggle.Checked);
    const auto handler = toggle.Handler;
    Connect(item, [this, item, handler] { (this->*handler)(item); });
  }
  QAction* rendering = Item("Rendering1");
  rendering->setVisible(false);
  rendering->setEnabled(false);

  // Hints: the values of the user's moves, searched to the hint level.
  options->addSeparator();
  QAction* hints = NewItem(options, "Hints", "Hints1", "Ctrl+H");
  hints->setCheckable(true);
  Connect(hints, [this, hints] {
    HintsOn = hints->isChecked();
    StopHints();
    ClearHints();
    ScheduleHints();
  });
  QMenu* hintLevels = NewMenu(options, "Hint level", "Hintlevel1");
  QActionGroup* hintGroup = NewGroup("HintLevel");
  for (const THintLevel& choice : HintLevels()) {
    QAction* item =
        NewItem(hintLevels, choice.Caption.c_str(), choice.Component.c_str(), nullptr, hintGroup);
    const TFixedSearchInfo level = choice.Level;
    Connect(item, [this, item, level] {
      item->setChecked(true);
      HintLevel = level;
      ClearHints();
      ScheduleHints();
    });
  }
  Item(DefaultHintLevel)->setChecked(true);
  HintLevel = HintLevels()[0].Level;
  for (const THintLevel& choice : HintLevels())
    if (choice.Component == DefaultHintLevel) HintLevel = choice.Level;

  // Threads: one item per processor core; every search of the engine uses that many.
  QMenu* threads = NewMenu(options, "Threads", "Threads1");
  QActionGroup* threadGroup = NewGroup("Threads");
  const int cores = std::min(DefaultSearchThreads(), 64);
  for (int count = 1; count <= cores; ++count) {
    const std::string caption = std::to_string(count) + (count == 1 ? " thread" : " threads");
    const std::string component =
        "N" + std::to_string(count) + (count == 1 ? "thread1" : "threads1");
    QAction* item = NewItem(threads, caption.c_str(), component.c_str(), nullptr, threadGroup);
    item->setData(count);
    Connect(item, [this, item, count] {
      item->setChecked(true);
      SearchThreads = count;
      ApplySearchThreads();
    });
  }
  SearchThreads = cores;
  threadGroup->actions().back()->setChecked(true);

  // ---- &Help ----
  QMenu* help = NewMenu(MainMenu, "&Help", "Help1");
  Connect(NewItem(help, "About", "About1"), [this] { About1Click(); });

  // ---- Hidden developer menus: no command ever shows them. ----
  QMenu* statistics = NewMenu(MainMenu, "S&tatistics", "Statistics1");
  Connect(NewItem(statistics, "Check speed", "Checkspeed1"), [this] { Checkspeed1Click(); });
  Connect(NewItem(statistics, "Check end speed (8x8)", "Checkendspeed1"),
          [this] { Checkendspeed1Click(); });
  QMenu* learning = NewMenu(MainMenu, "Learning", "Learning1");
  Connect(NewItem(learning, "Generate source code", "Generatesourcecode1"),
          [this] { Generatesourcecode1Click(); });
  learning->addSeparator();
  Connect(NewItem(learning, "FENWA", "FENWA1"), [] {});
  NewItem(learning, "Database", "Database1");
  learning->addSeparator();
  for (const auto& [caption, component] : {std::pair{"Generate Endcut Games", "EndcutCoefs1"},
                                           {"Calculate EndCut Coefs", "CalculateEndCutCoefs1"},
                                           {"Calcualte EndCut Formula", "CalcualteEndCutFormula1"}})
    Connect(NewItem(learning, caption, component), [] {});
  learning->addSeparator();
  for (const auto& [caption, component] :
       {std::pair{"Generate games for MPC", "GenerategamesforMPC1"},
        {"Calculate NEU MPC coefs", "CalculateNEUMPCcoefs1"},
        {"Calculate MPC coefs", "CalculateMPCcoefs1"},
        {"Calculate MPC Formula", "CalculateMPCFormula1"},
        {"Convert OLD MPC to NEU", "ConvertOLDMPCtoNEU1"}})
    Connect(NewItem(learning, caption, component), [] {});
  for (QMenu* hidden : {statistics, learning}) {
    hidden->menuAction()->setVisible(false);
    hidden->menuAction()->setEnabled(false);
  }
}

// ---------------------------------------------------------------------------------------------
// Commands

void TMainForm::NewGameItemClick(QAction* item) {
  if (const TBoardEntry* choice = ChoiceOf(Boards, item))
    StartNewGame(static_cast<int>(choice->Menu), choice->BookStem, item);
}

void TMainForm::PlayerModeClick(QAction* item, uint8_t programColour) {
  item->setChecked(true);
  ProgramColour = programColour;
  ContinueGame();
}

void TMainForm::LevelItemClick(QAction* item) {
  const TLevelEntry* choice = ChoiceOf(Levels, item);
  if (!choice) return;
  LevelSuffix = choice->Suffix;
  LoadBook(Engine->BoardSide, BookBaseName + LevelSuffix);
  item->setChecked(true);
  Level = LevelInfo(*choice);
}

void TMainForm::UseBook1Click(QAction* item) { UseBook = item->isChecked(); }

void TMainForm::RandomnessItemClick(QAction* item) {
  const TRandomnessChoice* choice = ChoiceOf(RandomnessChoices, item);
  if (!choice) return;
  item->setChecked(true);
  if (!Book) return;
  if (choice->Budget < 0)
    Book->UseRandomness = false;
  else
    Book->SetRandomness(choice->Budget);
}

void TMainForm::ImproveBookItemClick(QAction* item, int count) {
  ImproveBook(count, item);
  item->setChecked(false);
  ContinueGame();
}

void TMainForm::HashSizeItemClick(QAction* item) {
  const THashChoice* choice = ChoiceOf(HashChoices, item);
  if (!choice) return;
  item->setChecked(true);
  // Read only when the next engine is built.
  HashSizeBits = choice->Exponent;
}

void TMainForm::ApplySearchThreads() {
  if (!Engine) return;
  try {
    SetSearchThreads(*Engine, SearchThreads);
  } catch (const std::exception& error) {
    // The helpers read the same files as the engine, so this is memory or a file gone since.
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QStringLiteral("The search cannot use %1 threads.\n\n%2")
                             .arg(SearchThreads)
                             .arg(QString::fromStdString(error.what())));
  }
}

void TMainForm::akebackmove1Click() {
  const int square = Game->TakeBack();
  RedrawBoard(square);
}

void TMainForm::Changecolors1Click() {
  SwitchTurn();
  ContinueGame();
}

void TMainForm::AccuracyItemClick(QAction* item) {
  const TAccuracyChoice* choice = ChoiceOf(AccuracyChoices, item);
  if (!choice) return;
  item->setChecked(true);
  // Lives in the evaluation: the next board type starts from its own default again.
  if (Evaluation) Evaluation->MpcThreshold = choice->MpcThreshold;
}

void TMainForm::SkinItemClick(QAction* item) {
  const TSkinChoice* choice = ChoiceOf(SkinChoices, item);
  if (!choice) return;
  item->setChecked(true);
  SkinName = choice->Name;
  BoardFrame->ChangeSkin(SkinName);
  RedrawBoard(LastMoveSquare());
}

void TMainForm::Showstatistics1Click(QAction* item) {
  ShowBestLine = item->isChecked();
  Game->SetShowBestLine(ShowBestLine);
}

void TMainForm::Displayanimations1Click(QAction* item) {
  BoardFrame->AnimationsOn = item->isChecked();
}

void TMainForm::Rendering1Click(QAction* item) { BoardFrame->ShadowsOn = item->isChecked(); }

void TMainForm::About1Click() {
  Messages.ShowMessage(
      QStringLiteral("About Morvane"),
      QStringLiteral("MORVANE\n\nOthello (Reversi) on the 8 x 8 board with the Pellin and the "
                     "Tovrel personality, on the 10 x 10 board and on the octagon.\n\n"
                     "Morvane searches with multi-prob-cut, solves the last empties exactly and "
                     "learns its opening books from every game it finishes."));
}

void TMainForm::Checkspeed1Click() {
  TFixedSearchInfo info;
  info.Depth = 14;
  info.ExactEmpties = 20;
  const int64_t start = TickCount();
  Thinking = true;
  SetMenusEnabled(false);
  for (int index = 0; index < 30 && !ClosePending; ++index) {
    const TSearchResult result = Engine->SearchFixedLevel(info);
    Game->EnterMove(result.BestSquare);
    RedrawBoard(result.BestSquare);
  }
  Thinking = false;
  SetMenusEnabled(true);
  StatStatusBar2->SetPanelText(3, std::to_string(TickCount() - start));
}

void TMainForm::Checkendspeed1Click() {
  PositionImage image{};
  // The test position is an 8 x 8 one; other boards have nothing to measure.
  if (!Engine->ParsePosition(EndSpeedPosition, image)) return;
  Engine->SetPosition(image.Board, image.SideToMove);
  // The record's moves belong to the game that was left.
  Game->MoveCount = 0;
  RedrawBoard(0);
  Thinking = true;
  SetMenusEnabled(false);
  SearchStatTimer->start();
  const int64_t start = TickCount();
  int64_t nodes = 0;
  const TSearchResult result = Engine->SearchFixedLevel(TFixedSearchInfo{});
  Game->EnterMove(result.BestSquare);
  nodes += Engine->NodeCount;
  SearchStatTimer->stop();
  ForceButton->setEnabled(false);
  ForceButton->hide();
  Thinking = false;
  SetMenusEnabled(true);
  const std::string elapsed = std::to_string(TickCount() - start);
  StatStatusBar2->SetPanelText(3, elapsed);
  StatStatusBar2->SetPanelText(2, std::to_string(nodes));
  StatStatusBar2->SetPanelText(3, elapsed);
  RedrawBoard(result.BestSquare);
}

void TMainForm::Generatesourcecode1Click() {
  try {
    WriteGeneratedSource(*Engine, "Generated.txt");
  } catch (const std::exception& error) {
    Messages.ShowMessage(QStringLiteral("Morvane"), QString::fromUtf8(error.what()));
  }
}

}  // namespace morvane
