#include "ui/HauptForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>

#include "engine/Widgets.h"
#include "engines/EngineFactory.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "ui/BoardFrame.h"
#include "ui/GamePanel.h"
#include "ui/SetupPanel.h"
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
// The whole window: the board with the game panel to its right.
constexpr int WindowWidth = TMainForm::FormWidth + TGamePanel::PanelWidth;

}  // namespace

TMainForm::TMainForm(TQtMessageSink::TShowFunction showMessage, QWidget* parent)
    : QMainWindow(parent), Messages(this) {
  if (showMessage) Messages.SetShowFunction(std::move(showMessage));
  ChooseAnalysisLevel = [this](TFixedSearchInfo& level) {
    return DefaultChooseAnalysisLevel(level);
  };
  ChooseFile = [this](bool save, const QString& suggested) {
    return DefaultChooseFile(save, suggested);
  };
  Ask = [this](const QString& question) {
    return QMessageBox::question(this, QStringLiteral("Morvane"), question) == QMessageBox::Yes;
  };
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("MORVANE"));
  Settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                         QStringLiteral("Morvane"), QStringLiteral("Morvane"));
  InstallWidgets();
  CreateLayout();
  CreateMenus();
  setFixedSize(WindowWidth, FormHeight);
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
  client->setFixedSize(WindowWidth, FormHeight - MenuBarHeight);
  setCentralWidget(client);

  BoardFrame = new TBoardDrawer(client);
  BoardFrame->setObjectName(QStringLiteral("BoardFrame"));
  BoardFrame->setGeometry(0, 0, FormWidth, BoardFrameHeight);
  connect(BoardFrame->BoardImage, &TBoardImage::MouseDown, this,
          &TMainForm::BoardFrameBoardImageMouseDown);

  GamePanel = new TGamePanel(client);
  GamePanel->setGeometry(FormWidth, 0, TGamePanel::PanelWidth, BoardFrameHeight);
  connect(GamePanel, &TGamePanel::PlyChosen, this, [this](int ply) {
    if (DeferWhileHinting([this, ply] { ShowPly(ply); })) return;
    if (BusyDepth == 0 && !ClosePending) ShowPly(ply);
  });
  connect(GamePanel, &TGamePanel::PassRequested, this, [this] {
    if (DeferWhileHinting([this] { UserPass(); })) return;
    if (BusyDepth == 0 && !ClosePending) UserPass();
  });
  SetupPanel = new TSetupPanel(client);
  SetupPanel->setGeometry(GamePanel->geometry());
  SetupPanel->hide();
  connect(SetupPanel, &TSetupPanel::SideChosen, this, [this](TColour side) {
    EditPosition.SetSide(side);
    SetupPanel->ShowProblem({});
  });
  connect(SetupPanel, &TSetupPanel::ClearRequested, this, [this] { EditBoard(false); });
  connect(SetupPanel, &TSetupPanel::StartRequested, this, [this] { EditBoard(true); });
  connect(SetupPanel, &TSetupPanel::Done, this, [this] { EndSetup(true); });
  connect(SetupPanel, &TSetupPanel::Cancelled, this, [this] { EndSetup(false); });

  Panel3 = new QFrame(client);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setGeometry(0, BoardFrameHeight, WindowWidth, PanelHeight);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel3->setLineWidth(PanelBevel);

  LoadProgressBar = new TQtProgressBar(Panel3);
  LoadProgressBar->setObjectName(QStringLiteral("LoadProgressBar"));
  LoadProgressBar->setGeometry(PanelBevel, PanelHeight - PanelBevel - ProgressBarHeight,
                               WindowWidth - 2 * PanelBevel, ProgressBarHeight);
  LoadProgressBar->SetCaption("Loading...");
  LoadProgressBar->hide();

  ForceButton = new QPushButton(QStringLiteral("Force move"), Panel3);
  ForceButton->setObjectName(QStringLiteral("ForceButton"));
  ForceButton->setGeometry(168, 8, 129, 25);
  ForceButton->setEnabled(false);
  ForceButton->hide();
  connect(ForceButton, &QPushButton::clicked, this, &TMainForm::ForceButtonClick);

  // Panels wide enough for their longest texts ("Score : -12.345(Book)", "Moves : [12/13] f5",
  // a ten-digit node count); the best line takes the rest of the row.
  StatStatusBar = new TQtStatusBar({170, 0}, client);
  StatStatusBar->setObjectName(QStringLiteral("StatStatusBar"));
  StatStatusBar->setGeometry(0, BoardFrameHeight + PanelHeight, WindowWidth, StatusBarHeight);
  StatStatusBar2 = new TQtStatusBar({110, 170, 180, 0}, client);
  StatStatusBar2->setObjectName(QStringLiteral("StatStatusBar2"));
  StatStatusBar2->setGeometry(0, BoardFrameHeight + PanelHeight + StatusBarHeight, WindowWidth,
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
  // The table of the "2 Mb" item, which carries the check mark at start.
  HashSizeBits = 17.0;
  Thinking = false;
  ResetStatusTexts();
  BookBaseName = StartBoard.BookStem;
  LevelSuffix = StartLevel.Suffix;
  Level = LevelInfo(StartLevel);
  TBusy busy(*this);
  const int board = RestoreSettingsBeforeBuilding();
  // The remembered board (Pellin at first) first; a board whose files fail leaves the others
  // usable.
  if (!BuildAnyBoard(board)) {
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QStringLiteral("No board type could be loaded, so Morvane cannot start."));
    SetMenusEnabled(false);
  }
  RestoreSettingsAfterBuilding();
  SnapshotCheckMarks();
}

// ---------------------------------------------------------------------------------------------
// Building a game

bool TMainForm::CreateGame(int kind) {
  const TBoardEntry* choice = FindBoard(static_cast<TMenuBoard>(kind));
  if (!choice) return false;
  TBusy busy(*this);
  // The new engine is built before anything of the game in progress goes, so that a board
  // whose files fail leaves that game as it was.
  const bool menus = MenusEnabled;
  SetMenusEnabled(false);
  std::unique_ptr<TOthelloPatternEngine> engine;
  std::string fault;
  try {
    engine = CreateEngine(*choice, HashSizeBits, LoadProgressBar, {});
    SetSearchThreads(*engine, SearchThreads);
  } catch (const std::bad_alloc&) {
    fault =
        "There is not enough memory for it; a smaller table under Settings > Hash table "
        "may help.";
  } catch (const std::exception& error) {
    fault = error.what();
  }
  SetMenusEnabled(menus);
  if (!engine) {
    Messages.ShowMessage(QStringLiteral("Morvane"),
                         QString::fromStdString("The board \"" + std::string(choice->Caption) +
                                                "\" cannot be loaded.\n\n" + fault));
    return false;
  }

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
  Engine = std::move(engine);
  Evaluation = Engine->Evaluation.get();
  Engine->SetStatusBars(StatStatusBar, StatStatusBar2);
  BoardFrame->LoadBoard(static_cast<int>(choice->Kind), SkinName);
  BoardKind = static_cast<uint8_t>(choice->Kind);
  Game = std::make_unique<TGameInfo>();
  Game->SetEngine(Engine.get());
  Game->SetShowBestLine(ShowBestLine);
  Game->NewGame();
  ResetLine();
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
  // A new table size takes effect with the next new game, on the same board too.
  if (item == CurrentBoardItem && Engine->HashSizeBits == HashSizeBits) {
    Game->NewGame();
    ResetLine();
  } else if (!BuildBoard(kind)) {
    // The board played so far stays, game and all; the chosen table size stays for the next
    // switch.
    if (CurrentBoardItem) CurrentBoardItem->setChecked(true);
    RedrawBoard(LastMoveSquare());
    return;
  }
  ResetStatusTexts();
  BookBaseName = baseName;
  ColourToMove = 1;
  RedrawBoard(0);
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

int TMainForm::LastMoveSquare() const {
  if (!Game || Game->MoveCount == 0) return 0;
  const int square = Game->Moves[Game->MoveCount].MoveSquare;
  return square == PassMove ? 0 : square;
}

void TMainForm::RedrawBoard(int lastMove) {
  if (!Game) return;
  SyncLine();
  if (!DisplayOn) return;
  BoardFrame->SetGame(Game.get());
  BoardFrame->Draw(IsUserToMove(), lastMove);
  GamePanel->ShowGame(Line, ShownPly, TurnText(), IsUserToMove() && Game->Position().MustPass(),
                      LineNotes());
  // Hints belong to one position: they go with every redraw and come back searched anew.
  if (!HintsRunning) {
    ClearHints();
    ScheduleHints();
  }
}

// ---------------------------------------------------------------------------------------------
// Study

void TMainForm::ResetLine() {
  Line = Game->Record();
  ShownPly = Line.Plies();
  LineLearned = false;
  LineEvals.clear();
  Analysis = TGameAnalysis();
  FileHeader = TGameFile();
  GameFileName.clear();
}

void TMainForm::SyncLine() {
  const TGame record = Game->Record();
  const auto& played = record.Moves();
  const bool onTheLine = record.Start() == Line.Start() && played.size() <= Line.Moves().size() &&
                         std::equal(played.begin(), played.end(), Line.Moves().begin());
  if (!onTheLine) {
    Line = record;
    LineLearned = false;
    LineEvals.clear();
    Analysis = TGameAnalysis();
  }
  ShownPly = record.Plies();
}

QString TMainForm::TurnText() const {
  const TPosition position = Game->Position();
  QString text;
  if (position.IsFinished()) {
    const int margin = position.FinalScore();
    text = margin == 0 ? QStringLiteral("Game over: a draw")
                       : QStringLiteral("Game over: %1 wins by %2")
                             .arg(margin > 0 ? QStringLiteral("Black") : QStringLiteral("White"))
                             .arg(std::abs(margin));
  } else {
    const QString side = position.ToMove() == TColour::Black ? QStringLiteral("Black")
                                                             : QStringLiteral("White");
    const QString who = IsProgramToMove() ? QStringLiteral(" (Morvane)") : QString();
    text = position.MustPass() ? side + who + QStringLiteral(" has no move and must pass")
                               : side + who + QStringLiteral(" to move");
  }
  if (ShownPly < Line.Plies())
    text += QStringLiteral("\nMove %1 of %2 shown").arg(ShownPly).arg(Line.Plies());
  return text;
}

void TMainForm::ShowPly(int ply) {
  if (!Game || Thinking || Learning) return;
  if (ply < 0) ply = 0;
  if (ply > Line.Plies()) ply = Line.Plies();
  TBusy busy(*this);
  // "Change colors" swaps the roles against the side to move; stepping keeps that swap.
  const int sideCount = Engine->SideToMove == BlackCell ? 1 : 2;
  const bool swapped = ColourToMove != sideCount;
  const TGame line = Line;
  Game->NewGameFrom(line.Start());
  for (int index = 0; index < ply; ++index) Game->EnterMove(line.Moves()[index]);
  Line = line;
  ColourToMove = Engine->SideToMove == BlackCell ? 1 : 2;
  if (swapped) SwitchTurn();
  ResetStatusTexts();
  RedrawBoard(LastMoveSquare());
}

void TMainForm::RedoMove() { ShowPly(ShownPly + 2); }

bool TMainForm::ConfirmDiscard() {
  const int later = Line.Plies() - ShownPly;
  if (later <= 0) return true;
  const QString question =
      later == 1 ? QStringLiteral("The game goes on from here and its later move is discarded.")
                 : QStringLiteral("The game goes on from here and its %1 later moves are "
                                  "discarded.")
                       .arg(later);
  if (!Ask(question + QStringLiteral(" Go on?"))) return false;
  Line.Truncate(ShownPly);
  if (LineEvals.size() > static_cast<size_t>(ShownPly)) LineEvals.resize(ShownPly);
  Analysis = TGameAnalysis();
  LineLearned = false;
  return true;
}

void TMainForm::UserPass() {
  // A finished game takes no pass: its final position stays as it is.
  if (!Game || !IsUserToMove() || Thinking || !Game->MustPass() || Game->IsGameOver()) return;
  TBusy busy(*this);
  const bool stepping = ShownPly < Line.Plies() && Line.Moves()[ShownPly] == PassMove;
  if (Game->EnterMove(PassMove)) SwitchTurn();
  RedrawBoard(0);
  if (!stepping) ContinueGame();
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
  GamePanel->SetSteppingEnabled(enabled);
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
    if (!Learning) SetMenusEnabled(true);
    // A self-play run keeps its stop button for the whole game.
    if (!Learning && !SelfPlay) {
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

TSelfPlayHooks TMainForm::BothSidesHooks(std::function<void()> afterEachPly) {
  TSelfPlayHooks hooks = ProgramMoveHooks();
  const auto search = hooks.BeforeSearch;
  hooks.BeforeSearch = [this, search] {
    // The program plays whichever side is to move.
    ProgramColour = ColourToMove == 1 ? 1 : 255;
    search();
  };
  const auto afterPly = hooks.AfterPly;
  hooks.AfterPly = [afterPly, afterEachPly](int square, bool entered) {
    afterPly(square, entered);
    if (afterEachPly) afterEachPly();
    QCoreApplication::processEvents();
  };
  return hooks;
}

void TMainForm::GameLearned() {
  // The final position stays on the board until a new game starts.
  LineLearned = true;
  RedrawBoard(LastMoveSquare());
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
  // From an earlier position of the line the program's move starts a new line.
  if (IsProgramToMove() && !ClosePending && ConfirmDiscard()) program.PlayPly();
  // A window about to close neither shows results nor starts learning; a finished game is
  // learned once.
  if (ClosePending || !Game->IsGameOver() || LineLearned || ShownPly < Line.Plies()) return;
  program.LearnFinishedGame(LoadProgressBar);
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
  if (DeferWhileHinting([this, button, x, y] { BoardFrameBoardImageMouseDown(button, x, y); }))
    return;
  if (!Game || BusyDepth > 0 || ClosePending) return;
  if (Editing) {
    EditSquare(BoardFrame->SquareAt(x, y), button != Qt::RightButton);
    return;
  }
  if (!IsUserToMove() || Thinking || Game->IsGameOver()) return;
  if (Game->MustPass()) {
    // Any button anywhere on the board passes for a side without a move.
    UserPass();
    return;
  }
  TBusy busy(*this);
  const int square = BoardFrame->ClickToSquare(button, x, y);
  if (square == 0) return;
  // The line's own next move steps forward; another move from an earlier position starts a
  // new line once the user agrees to lose the later moves.
  const bool stepping = ShownPly < Line.Plies() && Line.Moves()[ShownPly] == square;
  if (!stepping && !ConfirmDiscard()) return;
  AnimateMove(square);
  if (!Game->EnterMove(square)) {
    RedrawBoard(LastMoveSquare());
    return;
  }
  SwitchTurn();
  RedrawBoard(square);
  if (!stepping || ShownPly == Line.Plies()) ContinueGame();
}

void TMainForm::SearchStatTimerTimer() {
  ForceButton->setText(Learning   ? QStringLiteral("Stop learning")
                       : SelfPlay ? QStringLiteral("Stop self play")
                                  : QStringLiteral("Force move"));
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
  if (SelfPlay) SelfPlayStopped = true;
  if (Analysing) AnalysisStopped = true;
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
  StopHints();
  if (BusyDepth > 0 || HintsRunning) {
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
  // After a finished and learned game the run plays a new one; from an earlier position of
  // the line it plays on from there.
  if (Game->IsGameOver() && LineLearned) {
    Game->NewGame();
    ResetLine();
    ColourToMove = 1;
  } else if (!ConfirmDiscard()) {
    return;
  }
  QAction* item = Item("Pellinanalyses1");
  const uint8_t programColour = ProgramColour;
  SelfPlay = true;
  SelfPlayStopped = false;
  GameFinished = false;
  item->setChecked(true);
  ForceButton->setText(QStringLiteral("Stop self play"));
  ForceButton->setEnabled(true);
  ForceButton->show();
  TSelfPlayHooks hooks = BothSidesHooks({});
  hooks.Stopped = [this] { return ClosePending || SelfPlayStopped; };
  TSelfPlayLoop loop(*Game, Level, UseBook, hooks);
  if (loop.PlayGame() && !ClosePending) {
    loop.LearnFinishedGame(LoadProgressBar);
    GameLearned();
  }
  item->setChecked(false);
  SelfPlay = false;
  SelfPlayStopped = false;
  ProgramColour = programColour;
  ForceButton->setEnabled(false);
  ForceButton->hide();
  RedrawBoard(LastMoveSquare());
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
  TSelfPlayHooks hooks = BothSidesHooks([this] { LoadProgressBar->StepIt(); });
  hooks.Stopped = [this] { return LearningStopped || ClosePending; };
  const auto gameOver = hooks.GameOver;
  hooks.GameOver = [this, gameOver] {
    gameOver();
    ColourToMove = 1;
  };
  TSelfPlayLoop loop(*Game, Level, UseBook, hooks);
  // A finished game on the board was learned when it ended; the run starts a new one.
  if (Game->IsGameOver()) Game->NewGame();
  loop.Run(count, LoadProgressBar);
  // A stopped run leaves its unfinished game behind.
  Game->NewGame();
  ResetLine();
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
