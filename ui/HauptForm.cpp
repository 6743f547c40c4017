#include "ui/HauptForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <new>

#include "engine/Widgets.h"
#include "engines/EngineFactory.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "ui/BoardFrame.h"
#include "ui/MenuTables.h"

namespace morvane {

namespace {

constexpr int BoardFrameHeight = 461;
constexpr int PanelHeight = 56;
constexpr int StatusBarHeight = 24;
constexpr int MenuBarHeight =
    TMainForm::FormHeight - BoardFrameHeight - PanelHeight - 2 * StatusBarHeight;
constexpr int ProgressBarHeight = 18;
constexpr int PanelBevel = 2;

}  // namespace

TMainForm::TMainForm(TQtMessageSink::TShowFunction showMessage, QWidget* parent)
    : QMainWindow(parent), Messages(this) {
  if (showMessage) Messages.SetShowFunction(std::move(showMessage));
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("MORVANE"));
  InstallWidgets();
  CreateLayout();
  CreateMenus();
  setFixedSize(FormWidth, FormHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  FormCreate();
}

TMainForm::~TMainForm() {
  // The book and the game record refer to the engine; nothing may be left pointing at it.
  if (Game) Game->Book = nullptr;
  BoardFrame->SetGame(nullptr);
  Book.reset();
  Evaluation = nullptr;
  Engine.reset();
  Game.reset();
  RemoveWidgets();
}

void TMainForm::InstallWidgets() {
  SetEventPump(&Pump);
  SetMessageSink(&Messages);
  WidgetsInstalled = true;
}

void TMainForm::RemoveWidgets() {
  if (!WidgetsInstalled) return;
  if (CurrentEventPump() == &Pump) SetEventPump(nullptr);
  if (CurrentMessageSink() == &Messages) SetMessageSink(nullptr);
  WidgetsInstalled = false;
}

void TMainForm::CreateLayout() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  client->setFixedSize(FormWidth, FormHeight - MenuBarHeight);
  setCentralWidget(client);

  BoardFrame = new TBoardDrawer(client);
  BoardFrame->setObjectName(QStringLiteral("BoardFrame"));
  BoardFrame->setGeometry(0, 0, FormWidth, BoardFrameHeight);
  connect(BoardFrame->BoardImage, &TBoardImage::MouseDown, this,
          &TMainForm::BoardFrameBoardImageMouseDown);

  Panel3 = new QFrame(client);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setGeometry(0, BoardFrameHeight, FormWidth, PanelHeight);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel3->setLineWidth(PanelBevel);

  LoadProgressBar = new TQtProgressBar(Panel3);
  LoadProgressBar->setObjectName(QStringLiteral("LoadProgressBar"));
  LoadProgressBar->setGeometry(PanelBevel, PanelHeight - PanelBevel - ProgressBarHeight,
                               FormWidth - 2 * PanelBevel, ProgressBarHeight);
  LoadProgressBar->SetCaption("Loading...");
  LoadProgressBar->hide();

  ForceButton = new QPushButton(QStringLiteral("Force move"), Panel3);
  ForceButton->setObjectName(QStringLiteral("ForceButton"));
  ForceButton->setGeometry(168, 8, 129, 25);
  ForceButton->setEnabled(false);
  ForceButton->hide();
  connect(ForceButton, &QPushButton::clicked, this, &TMainForm::ForceButtonClick);

  StatStatusBar = new TQtStatusBar({100, 390}, client);
  StatStatusBar->setObjectName(QStringLiteral("StatStatusBar"));
  StatStatusBar->setGeometry(0, BoardFrameHeight + PanelHeight, FormWidth, StatusBarHeight);
  StatStatusBar2 = new TQtStatusBar({100, 100, 120, 0}, client);
  StatStatusBar2->setObjectName(QStringLiteral("StatStatusBar2"));
  StatStatusBar2->setGeometry(0, BoardFrameHeight + PanelHeight + StatusBarHeight, FormWidth,
                              StatusBarHeight);

  SearchStatTimer = new QTimer(this);
  SearchStatTimer->setObjectName(QStringLiteral("SearchStatTimer"));
  SearchStatTimer->setInterval(1000);
  connect(SearchStatTimer, &QTimer::timeout, this, &TMainForm::SearchStatTimerTimer);

  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  // A menu bar moved out of the window would change the fixed layout.
  MainMenu->setNativeMenuBar(false);
  MainMenu->setFixedHeight(MenuBarHeight);
}

void TMainForm::FormCreate() {
  SkinName = "STANDARD";
  ProgramColour = 255;
  ColourToMove = 1;
  UseBook = true;
  DisplayOn = true;
  ShowBestLine = true;
  HashSizeBits = 16.0;
  Thinking = false;
  ResetStatusTexts();
  BookBaseName = StartBoard.BookStem;
  LevelSuffix = StartLevel.Suffix;
  Level = LevelInfo(StartLevel);
  TBusy busy(*this);
  // Pellin first; a board whose files fail leaves the others usable.
  if (!BuildAnyBoard(static_cast<int>(StartBoard.Menu))) {
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QStringLiteral("No board type could be loaded, so Morvane cannot start."));
    SetMenusEnabled(false);
  }
  SnapshotCheckMarks();
}

// ---------------------------------------------------------------------------------------------
// Building a game

bool TMainForm::CreateGame(int kind) {
  const TBoardEntry* choice = FindBoard(static_cast<TMenuBoard>(kind));
  if (!choice) return false;
  TBusy busy(*this);
  BoardFrame->SetGame(nullptr);
  if (Game) Game->Book = nullptr;
  Book.reset();  // it refers to the engine freed next
  Evaluation = nullptr;
  Engine.reset();
  Game.reset();
  SelfPlay = false;
  Learning = false;
  LearningStopped = false;
  ResetStatusTexts();

  // Loading processes events; no command may run on the half-built game meanwhile.
  const bool menus = MenusEnabled;
  SetMenusEnabled(false);
  std::string fault;
  try {
    Engine = CreateEngine(*choice, HashSizeBits, LoadProgressBar, {});
  } catch (const std::bad_alloc&) {
    fault =
        "There is not enough memory for it; a smaller table under Settings > Hash table "
        "may help.";
  } catch (const std::exception& error) {
    fault = error.what();
  }
  SetMenusEnabled(menus);
  if (!Engine) {
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QString::fromStdString("The board \"" + std::string(choice->Caption) +
                                                "\" cannot be loaded.\n\n" + fault));
    return false;
  }
  Evaluation = Engine->Evaluation.get();
  Engine->SetStatusBars(StatStatusBar, StatStatusBar2);
  BoardFrame->LoadBoard(static_cast<int>(choice->Kind), SkinName);
  BoardKind = static_cast<uint8_t>(choice->Kind);
  Game = std::make_unique<TGameInfo>();
  Game->SetEngine(Engine.get());
  Game->SetShowBestLine(ShowBestLine);
  Game->NewGame();
  RedrawBoard(0);
  return true;
}

void TMainForm::LoadBook(int side, const std::string& name) {
  if (Game) Game->Book = nullptr;
  Book.reset();
  if (!Engine) return;
  Book = std::make_unique<TBook>(name, side, BoardKind, Engine.get());
  Book->Load();
  if (Game) Game->Book = Book.get();
}

bool TMainForm::BuildBoard(int kind) {
  const TBoardEntry* choice = FindBoard(static_cast<TMenuBoard>(kind));
  QAction* item = choice ? Item(choice->Component) : nullptr;
  if (!item) return false;
  // The item stays enabled: files can be mended, and a table too large for the memory is no
  // fault of the board.
  if (!CreateGame(kind)) {
    item->setChecked(false);
    return false;
  }
  item->setChecked(true);
  CurrentBoardItem = item;
  BookBaseName = choice->BookStem;
  LoadBook(BoardSideOf(choice->Kind), BookBaseName + LevelSuffix);
  return true;
}

bool TMainForm::BuildAnyBoard(int preferredKind, int failedKind) {
  if (preferredKind != failedKind && BuildBoard(preferredKind)) return true;
  for (const TBoardEntry& choice : Boards) {
    const int kind = static_cast<int>(choice.Menu);
    if (kind != preferredKind && kind != failedKind && BuildBoard(kind)) return true;
  }
  CurrentBoardItem = nullptr;
  return false;
}

void TMainForm::StartNewGame(int kind, const std::string& baseName, QAction* item) {
  if (!Game) return;
  TBusy busy(*this);
  ResetStatusTexts();
  BookBaseName = baseName;
  ColourToMove = 1;
  if (item == CurrentBoardItem) {
    Game->NewGame();
    RedrawBoard(0);
  } else {
    int currentKind = static_cast<int>(StartBoard.Menu);
    for (const TBoardEntry& choice : Boards)
      if (CurrentBoardItem && CurrentBoardItem->objectName() == QLatin1String(choice.Component))
        currentKind = static_cast<int>(choice.Menu);
    const double workingBits = Engine->HashSizeBits;
    if (!BuildBoard(kind)) {
      // Back to the board played so far, with the table size it had: the new one may have
      // been what failed. The chosen size stays for the next switch.
      const double chosenBits = HashSizeBits;
      HashSizeBits = workingBits;
      const bool rebuilt = BuildAnyBoard(currentKind, kind);
      HashSizeBits = chosenBits;
      if (!rebuilt) {
        Messages.ShowMessage(
            QStringLiteral("Morvane"),
            QStringLiteral("No board type can be loaded any more; Morvane closes."));
        SetMenusEnabled(false);
        ClosePending = true;
        return;
      }
    }
  }
  ContinueGame();
}

// ---------------------------------------------------------------------------------------------
// Play

bool TMainForm::IsProgramToMove() const {
  return (ProgramColour == 1 && ColourToMove == 1) || (ProgramColour == 255 && ColourToMove == 2);
}

bool TMainForm::IsUserToMove() const {
  return (ProgramColour == 1 && ColourToMove == 2) || (ProgramColour == 255 && ColourToMove == 1) ||
         ProgramColour == 0;
}

void TMainForm::RedrawBoard(int lastMove) {
  if (!DisplayOn || !Game) return;
  BoardFrame->SetGame(Game.get());
  BoardFrame->Draw(IsUserToMove(), lastMove);
}

void TMainForm::AnimateMove(int square) {
  if (!DisplayOn || !Game) return;
  BoardFrame->SetGame(Game.get());
  BoardFrame->AnimateMove(square);
  WaitForAnimation();
}

void TMainForm::WaitForAnimation() {
  QCoreApplication::processEvents();
  // The view's own timer ends the animation, so waiting for events cannot hang.
  while (BoardFrame->Animating) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TMainForm::ResetStatusTexts() {
  StatStatusBar->SetPanelText(0, "Score :");
  StatStatusBar->SetPanelText(1, "Bestline :");
  StatStatusBar2->SetPanelText(0, "Depth :");
  StatStatusBar2->SetPanelText(1, "Moves :");
  StatStatusBar2->SetPanelText(2, "Nodes :");
  StatStatusBar2->SetPanelText(3, "");
}

void TMainForm::SetMenusEnabled(bool enabled) {
  MenusEnabled = enabled;
  for (QAction* menu : MainMenu->actions()) menu->setEnabled(enabled);
}

TSelfPlayHooks TMainForm::ProgramMoveHooks() {
  TSelfPlayHooks hooks;
  hooks.Stopped = [this] { return ClosePending; };
  hooks.BeforeSearch = [this] {
    if (!Learning) {
      SearchStatTimer->start();
      SetMenusEnabled(false);
    }
    LastNodeCount = 0;
    Thinking = true;
  };
  hooks.BeforeEnter = [this](const TMoveChoice& choice) {
    if (choice.FromBook && !Learning)
      StatStatusBar->SetPanelText(
          0, "Score : " + TOthelloEngine::FormatScore(choice.Score) + "(Book)");
    if (!Learning) SearchStatTimer->stop();
    AnimateMove(choice.Square);
  };
  hooks.AfterPly = [this](int square, bool entered) {
    if (entered) SwitchTurn();
    RedrawBoard(square);
    Thinking = false;
    if (!Learning) {
      SetMenusEnabled(true);
      ForceButton->setEnabled(false);
      ForceButton->hide();
    }
  };
  hooks.GameOver = [this] {
    ResetStatusTexts();
    LearningSetAtGameOver = false;
    if (!Learning) {
      ShowResult();
      RedrawBoard(0);
      SearchStatTimer->start();
      Learning = true;
      LearningSetAtGameOver = true;
      // The learning searches process events; no command may change the game under them.
      SetMenusEnabled(false);
    }
  };
  return hooks;
}

void TMainForm::GameLearned() {
  ColourToMove = 1;
  RedrawBoard(0);
  if (LearningSetAtGameOver) {
    SearchStatTimer->stop();
    ForceButton->setEnabled(false);
    ForceButton->hide();
    Learning = false;
    LearningSetAtGameOver = false;
    SetMenusEnabled(true);
  }
  GameFinished = true;
}

void TMainForm::ContinueGame() {
  if (!Game) return;
  TBusy busy(*this);
  GameFinished = false;
  TSelfPlayLoop program(*Game, Level, UseBook, ProgramMoveHooks());
  if (IsProgramToMove() && !ClosePending) program.PlayPly();
  // A window about to close neither shows results nor starts learning.
  if (ClosePending || !Game->IsGameOver()) return;
  program.FinishGame(LoadProgressBar);
  GameLearned();
}

std::string TMainForm::ResultText(int d) const {
  if (d == 0) return "This game was a draw";
  const bool blackAhead = d > 0;
  const char* phrase;
  if (SelfPlay || ProgramColour == 0)
    phrase = blackAhead ? "Black wins by " : "White wins by ";
  else if (ProgramColour == 1)
    phrase = blackAhead ? "Morvane wins by " : "You won by ";
  else
    phrase = blackAhead ? "You won by " : "Morvane wins by ";
  return phrase + std::to_string(std::abs(d));
}

void TMainForm::ShowResult() {
  Messages.ShowMessage(QStringLiteral("Morvane"),
                       QString::fromStdString(ResultText(Engine->FinalScore())));
}

void TMainForm::BoardFrameBoardImageMouseDown(Qt::MouseButton button, int x, int y) {
  if (!Game || BusyDepth > 0 || ClosePending) return;
  if (!IsUserToMove() || Thinking) return;
  TBusy busy(*this);
  if (Game->MustPass()) {
    // Any button anywhere on the board passes for a side without a move.
    if (Game->EnterMove(PassMove)) SwitchTurn();
    RedrawBoard(0);
  } else {
    const int square = BoardFrame->ClickToSquare(button, x, y);
    if (square == 0) return;
    AnimateMove(square);
    if (!Game->EnterMove(square)) {
      RedrawBoard(0);
      return;
    }
    SwitchTurn();
    RedrawBoard(square);
  }
  ContinueGame();
}

void TMainForm::SearchStatTimerTimer() {
  ForceButton->setText(Learning ? QStringLiteral("Stop learning") : QStringLiteral("Force move"));
  ForceButton->setEnabled(true);
  ForceButton->show();
  if (!Engine) return;
  const auto count = static_cast<uint32_t>(Engine->NodeCount);
  Engine->ShowNodes(count);
  Engine->ShowSpeed(static_cast<uint32_t>(count - LastNodeCount), 1000);
  LastNodeCount = count;
}

void TMainForm::ForceMove() {
  if (Engine) Engine->RequestStop();
  if (Learning) {
    LearningStopped = true;
    if (Book) {
      Book->StopLearning = true;
      if (Book->Engine) Book->Engine->RequestStop();
    }
  }
}

void TMainForm::BusyEnded() {
  if (ClosePending) QTimer::singleShot(0, this, [this] { close(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
  ForceMove();
  if (BusyDepth > 0) {
    // The search or loop unwinds first; nothing it uses may go away under it.
    ClosePending = true;
    event->ignore();
    return;
  }
  RemoveWidgets();
  event->accept();
}

// ---------------------------------------------------------------------------------------------
// Self play and book improvement

void TMainForm::RunSelfPlay() {
  if (!Game) return;
  TBusy busy(*this);
  QAction* item = Item("Pellinanalyses1");
  const uint8_t programColour = ProgramColour;
  SelfPlay = true;
  GameFinished = false;
  item->setChecked(true);
  TSelfPlayHooks hooks = ProgramMoveHooks();
  hooks.Stopped = [this] { return ClosePending; };
  const auto search = hooks.BeforeSearch;
  hooks.BeforeSearch = [this, search] {
    // The program plays whichever side is to move.
    ProgramColour = ColourToMove == 1 ? 1 : 255;
    search();
  };
  const auto afterPly = hooks.AfterPly;
  hooks.AfterPly = [afterPly](int square, bool entered) {
    afterPly(square, entered);
    QCoreApplication::processEvents();
  };
  TSelfPlayLoop loop(*Game, Level, UseBook, hooks);
  if (loop.PlayGame() && !ClosePending) {
    loop.FinishGame(LoadProgressBar);
    GameLearned();
  }
  item->setChecked(false);
  SelfPlay = false;
  ProgramColour = programColour;
}

void TMainForm::ImproveBook(int count, QAction* item) {
  if (!Game || !Book) return;
  TBusy busy(*this);
  Learning = true;
  LearningStopped = false;
  Book->StopLearning = false;
  SetMenusEnabled(false);
  TStatusBar* const scoreBar = Engine->ScoreBar;
  TStatusBar* const statsBar = Engine->StatsBar;
  Engine->SetStatusBars(nullptr, nullptr);

  const int side = Engine->BoardSide;
  LoadProgressBar->SetPosition(0);
  LoadProgressBar->SetEnabled(true);
  LoadProgressBar->SetVisible(true);
  LoadProgressBar->SetMax((side * side - Book->MinEmpties + 1) * 2 * count);
  LoadProgressBar->SetPosition(4);
  LoadProgressBar->SetCaption("Improving book...");

  SearchStatTimer->start();
  const uint8_t programColour = ProgramColour;
  item->setChecked(true);
  DisplayOn = false;
  TSelfPlayHooks hooks = ProgramMoveHooks();
  hooks.Stopped = [this] { return LearningStopped || ClosePending; };
  const auto search = hooks.BeforeSearch;
  hooks.BeforeSearch = [this, search] {
    ProgramColour = ColourToMove == 1 ? 1 : 255;
    search();
  };
  const auto afterPly = hooks.AfterPly;
  hooks.AfterPly = [this, afterPly](int square, bool entered) {
    afterPly(square, entered);
    LoadProgressBar->StepIt();
    QCoreApplication::processEvents();
  };
  const auto gameOver = hooks.GameOver;
  hooks.GameOver = [this, gameOver] {
    gameOver();
    ColourToMove = 1;
  };
  TSelfPlayLoop loop(*Game, Level, UseBook, hooks);
  loop.Run(count, LoadProgressBar);
  // A stopped run leaves its unfinished game behind.
  Game->NewGame();
  GameFinished = false;
  SearchStatTimer->stop();
  ForceButton->setEnabled(false);
  ForceButton->hide();

  ProgramColour = programColour;
  ColourToMove = 1;
  DisplayOn = true;
  RedrawBoard(0);
  LoadProgressBar->SetEnabled(false);
  LoadProgressBar->SetVisible(false);
  LoadProgressBar->SetCaption("Loading...");
  Engine->SetStatusBars(scoreBar, statsBar);
  Learning = false;
  SetMenusEnabled(true);
}

}  // namespace morvane
