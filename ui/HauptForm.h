// Morvane's only window. It owns the game of the current board type (engine, game record,
// book), drives the play between the user's clicks and the program's searches, runs the
// self-play and book-improvement loops and carries the menu commands.
#pragma once

#include <QFrame>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "engine/SearchInfo.h"
#include "game/Game.h"
#include "game/GameAnalysis.h"
#include "game/GgfFile.h"
#include "ui/GamePanel.h"
#include "game/SelfPlay.h"
#include "ui/QtWidgets.h"

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QPushButton;
class QSettings;
class QTimer;

namespace morvane {

class TBoardDrawer;
class TSetupPanel;
class TBook;
class TEvaluation;
class TGameInfo;
class TOthelloPatternEngine;

class TMainForm final : public QMainWindow {
  Q_OBJECT
 public:
  // The board's part of the window; the game panel stands to its right.
  static constexpr int FormWidth = 448;
  static constexpr int FormHeight = 588;

  // showMessage replaces the modal message box (tests); it is in place before the first
  // coefficient file is read.
  explicit TMainForm(TQtMessageSink::TShowFunction showMessage = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // False when no board type could be loaded; the window then has nothing to show.
  bool HasGame() const { return Game != nullptr; }

  // ---- Game flow ----
  // Builds evaluation, engine and game record of a board kind (8, 9, 10, 88). False, after a
  // message naming the file and the fault, when the evaluation cannot be loaded.
  bool CreateGame(int kind);
  void LoadBook(int side, const std::string& name);
  void StartNewGame(int kind, const std::string& baseName, QAction* item);
  void ContinueGame();
  bool IsProgramToMove() const;
  bool IsUserToMove() const;
  void SwitchTurn() { ColourToMove = ColourToMove == 1 ? 2 : 1; }
  void RedrawBoard(int lastMove);
  // The square of the last ply played, 0 when there is none or it was a pass.
  int LastMoveSquare() const;
  void AnimateMove(int square);
  void ResetStatusTexts();
  void SetMenusEnabled(bool enabled);
  void ShowResult();
  // The text ShowResult shows for black's final margin d.
  std::string ResultText(int d) const;
  void ImproveBook(int count, QAction* item);
  void RunSelfPlay();

  // ---- Study ----
  // Shows the position after `ply` plies of the line; refused while something runs.
  void ShowPly(int ply);
  // The side to move passes (the game panel's button, or any click on the board).
  void UserPass();
  // Redo: forward again by the two plies "Take back move" takes back.
  void RedoMove();
  // Before the line's later moves go: true when there are none or the user agrees (they are
  // then cut off).
  bool ConfirmDiscard();
  // Brings the line up to date with the game record and shows it in the panel.
  void SyncLine();
  // The line starts over from the game record (a new game).
  void ResetLine();
  QString TurnText() const;
  // Shows a game from its start position to its last ply, as the new line.
  void StartGameFrom(const TGame& game);

  // ---- Hints ----
  struct THintLevel {
    std::string Caption, Component;
    TFixedSearchInfo Level;
  };
  // The levels of the level menu, then exact solving; the default one.
  static const std::vector<THintLevel>& HintLevels();
  static constexpr const char* DefaultHintLevel = "HintN12moves16emptiesexact1";
  // Starts the hints of the shown position soon, when they are on and the user is to move.
  void ScheduleHints();
  // The values of every legal move, depth by depth up to the hint level, painted in the cells;
  // a click, a step or a command stops them at once and then runs.
  void RunHints();
  void StopHints();
  void ClearHints();
  // Runs `command` now, or once the hints have stopped.
  bool DeferWhileHinting(std::function<void()> command);

  // ---- Game analysis ----
  // Asks for the level and analyses the line; Stop keeps what was finished.
  void AnalyseLine();
  TFixedSearchInfo DefaultAnalysisLevel() const;
  bool DefaultChooseAnalysisLevel(TFixedSearchInfo& level);
  // The losses and the evaluation curve of the line, from its analysis or its game file.
  TLineNotes LineNotes() const;

  // ---- Set-up ----
  void StartSetup();
  void EditSquare(int square, bool forward);
  // An empty board, or the start position.
  void EditBoard(bool startPosition);
  // Done (refused with the reason when no game can be played from the position) or Cancel.
  void EndSetup(bool accept);

  // ---- Clipboard and game texts ----
  void CopyGame();
  void CopyPosition();
  void PasteGame();
  // Reads a position text (of any board) or a transcript and shows it; false with the problem.
  bool OpenText(const std::string& text, std::string& problem);
  // Builds a board of that kind unless the current one is of it; false when it cannot load.
  bool SwitchToKind(TBoardKind kind);
  bool OpenGgfText(const std::string& text, std::string& problem);
  void CopyGameAsGgf();

  // ---- Game files ----
  void NewGameOnThisBoard();
  // Reads a GGF or transcript file and shows its (first) game; a file Morvane cannot read is
  // reported naming the line, and the open game stays.
  bool OpenGameFile(const QString& path);
  // Writes the line as GGF, through a temporary file that replaces the old one when complete.
  bool SaveGameFile(const QString& path);
  void OpenCommand();
  void SaveCommand();
  void SaveAsCommand();
  // The line as a game file: players, date and result, the evaluations known.
  TGameFile LineFile() const;
  QStringList RecentFiles() const;
  void AddRecentFile(const QString& path);
  void FillRecentMenu();
  QString DefaultChooseFile(bool save, const QString& suggested);

  // ---- Event handlers ----
  void ForceButtonClick() { ForceMove(); }
  void ForceMove();
  void SearchStatTimerTimer();
  void BoardFrameBoardImageMouseDown(Qt::MouseButton button, int x, int y);

  // ---- Menu commands ----
  void NewGameItemClick(QAction* item);
  void PlayerModeClick(QAction* item, uint8_t programColour);
  void Pellinanalyses1Click() { RunSelfPlay(); }
  void LevelItemClick(QAction* item);
  void UseBook1Click(QAction* item);
  void RandomnessItemClick(QAction* item);
  void ImproveBookItemClick(QAction* item, int count);
  void HashSizeItemClick(QAction* item);
  // Gives the engine the chosen number of search threads; a failure is shown and changes
  // nothing else.
  void ApplySearchThreads();
  void akebackmove1Click();
  void Changecolors1Click();
  void AccuracyItemClick(QAction* item);
  void SkinItemClick(QAction* item);
  void Showstatistics1Click(QAction* item);
  void Displayanimations1Click(QAction* item);
  void Rendering1Click(QAction* item);
  void About1Click();
  void Checkspeed1Click();
  void Checkendspeed1Click();
  void Generatesourcecode1Click();

  // ---- Components ----
  TBoardDrawer* BoardFrame;
  TGamePanel* GamePanel;
  TSetupPanel* SetupPanel;
  QFrame* Panel3;
  TQtProgressBar* LoadProgressBar;
  QPushButton* ForceButton;
  TQtStatusBar* StatStatusBar;
  TQtStatusBar* StatStatusBar2;
  QTimer* SearchStatTimer;
  QMenuBar* MainMenu;
  TQtMessageSink Messages;
  TQtEventPump Pump;

  // ---- State ----
  std::unique_ptr<TGameInfo> Game;
  std::unique_ptr<TOthelloPatternEngine> Engine;
  TEvaluation* Evaluation = nullptr;  // the engine's; never freed here
  std::unique_ptr<TBook> Book;        // the game record's book
  uint8_t BoardKind = 8;
  std::string BookBaseName;
  std::string LevelSuffix;
  TFixedSearchInfo Level;
  uint8_t ColourToMove = 1;     // 1 black, 2 white, as the window counts turns
  uint8_t ProgramColour = 255;  // 1 black, 255 white, 0 the program observes
  bool UseBook = true;
  bool DisplayOn = true;
  bool ShowBestLine = true;
  double HashSizeBits = 17.0;
  std::string SkinName;
  bool Thinking = false;
  bool Learning = false;
  bool SelfPlay = false;
  bool LearningStopped = false;
  bool GameFinished = false;
  uint32_t LastNodeCount = 0;

  // The game's line as the move list shows it: the plies on the board and, after stepping
  // back, those ahead of it; ShownPly plies of it are on the board.
  TGame Line;
  int ShownPly = 0;
  // The line's finished game has been learned (and its result shown) already.
  bool LineLearned = false;
  // The set-up mode: clicks change EditPosition, which the board shows.
  bool Editing = false;
  TPosition EditPosition;
  // Hints: on, the level they search to (ExactEmpties 0 with Depth 0: exact up to
  // ExactHintEmpties), running now, and the command waiting for them to stop.
  bool HintsOn = false;
  TFixedSearchInfo HintLevel;
  // Options > Threads: the threads every search of the engine uses (default: one per core).
  int SearchThreads = 1;
  bool HintsRunning = false;
  std::function<void()> AfterHints;
  QTimer* HintTimer = nullptr;
  // The analysis of the line (none: empty), running now, and asked to stop.
  TGameAnalysis Analysis;
  bool Analysing = false;
  bool AnalysisStopped = false;
  // Asks for the analysis level; tests replace it.
  std::function<bool(TFixedSearchInfo&)> ChooseAnalysisLevel;
  // The user asked to end the self-play run.
  bool SelfPlayStopped = false;
  // Where the settings are remembered; none leaves every start at the defaults.
  std::unique_ptr<QSettings> Settings;
  // The game file the line came from or went to; its players, date and place; the move
  // evaluations it carries (one per ply, mover's view).
  QString GameFileName;
  TGameFile FileHeader;
  std::vector<std::optional<double>> LineEvals;
  QMenu* RecentMenu = nullptr;
  // Asks for a file to open (save false) or to save to; tests replace it.
  std::function<QString(bool save, const QString& suggested)> ChooseFile;
  // Asks a yes-or-no question; tests replace it.
  std::function<bool(const QString&)> Ask;

  // Nesting depth of the operations that process events while they run (searches, loading,
  // animations, loops); board clicks and menu commands arriving meanwhile are refused.
  int BusyDepth = 0;
  // The window was asked to close while an operation ran; it closes once that has unwound.
  bool ClosePending = false;
  // The item of the board type now played, which carries the board radio group's mark.
  QAction* CurrentBoardItem = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Marks an operation that processes events while it runs.
  class TBusy {
   public:
    explicit TBusy(TMainForm& form) : Form(form) { ++Form.BusyDepth; }
    ~TBusy() {
      if (--Form.BusyDepth == 0) Form.BusyEnded();
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

   private:
    TMainForm& Form;
  };

  void FormCreate();
  void CreateLayout();
  void CreateMenus();
  QMenu* NewMenu(QWidget* parent, const char* caption, const char* component);
  QAction* NewItem(QMenu* menu, const char* caption, const char* component,
                   const char* shortcut = nullptr, QActionGroup* group = nullptr);
  // A radio group; its checked item is remembered under the settings key.
  QActionGroup* NewGroup(const char* settingsKey);
  // Runs a command unless an operation is under way (then the item's mark is put back).
  void Connect(QAction* item, std::function<void()> handler);
  void SnapshotCheckMarks();
  // The remembered settings: written after every accepted command, read at start (the board
  // menu item to build is returned; the values that need the board come after it).
  void SaveSettings();
  QAction* SavedItem(const char* groupKey) const;
  int RestoreSettingsBeforeBuilding();
  void RestoreSettingsAfterBuilding();
  void RestoreCheckMark(QAction* item);
  // Builds the board of a kind with its book and puts the board item's mark on it.
  bool BuildBoard(int kind);
  // BuildBoard with the preferred kind, else the other kinds in menu order; failedKind (one
  // that has just failed) is not tried again.
  bool BuildAnyBoard(int preferredKind, int failedKind = 0);
  void InstallWidgets();
  void RemoveWidgets();
  // Called when the outermost busy operation ends.
  void BusyEnded();
  QAction* Item(const char* component) const;
  // What the window does around each program move and at the end of a game, for the one
  // self-play loop that plays the program's moves.
  TSelfPlayHooks ProgramMoveHooks();
  // The same for runs in which the program plays both sides, processing events after each ply.
  TSelfPlayHooks BothSidesHooks(std::function<void()> afterEachPly);
  // After a finished game was learned and a new one set up.
  void GameLearned();
  void WaitForAnimation();
  void ShowEditPosition();

  bool MenusEnabled = true;
  // The game-over steps set Learning for the learning of one finished game.
  bool LearningSetAtGameOver = false;
  bool WidgetsInstalled = false;
  std::vector<QActionGroup*> Groups;
  // The mark of each radio group as the last accepted command left it.
  std::map<QActionGroup*, QAction*> AcceptedChecks;
};

}  // namespace morvane
