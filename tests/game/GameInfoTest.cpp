#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/Widgets.h"
#include "evaluation/Patterns.h"
#include "game/Book.h"
#include "game/GameInfo.h"
#include "game/GameTestSupport.h"

namespace morvane {
namespace {

using testing::EngineAfter;
using testing::LegalSquares;
using testing::LevelOf;
using testing::RandomGame;

// Everything of the engine's position that a replay must restore.
struct TPositionState {
  std::vector<int8_t> Board;
  int Side;
  uint32_t Lo, Hi;
  bool operator==(const TPositionState&) const = default;
};

TPositionState StateOf(const TOthelloEngine& engine) {
  return {{engine.Board, engine.Board + MaxCells}, engine.SideToMove, engine.HashLo, engine.HashHi};
}

// The first random game (by seed) that passes in the middle, and the ply index of that pass.
std::pair<std::vector<int>, size_t> GameWithPass(TBoardKind kind) {
  for (uint32_t seed = 1;; ++seed) {
    const std::vector<int> line = RandomGame(kind, seed);
    for (size_t i = 0; i + 1 < line.size(); ++i)
      if (line[i] == PassMove) return {line, i};
  }
}

class GameInfoTest : public ::testing::Test {
 protected:
  GameInfoTest() : Engine(8, TBoardKind::Board8x8) {
    Game = std::make_unique<TGameInfo>();
    Game->SetEngine(&Engine);
    Game->NewGame();
  }
  TDiscCountEngine Engine;
  std::unique_ptr<TGameInfo> Game;
};

TEST_F(GameInfoTest, StartPositionHasExactlyTheFourOpeningMoves) {
  std::vector<int> legal;
  for (int square = 0; square < MaxCells; ++square)
    if (Game->IsLegal(square)) legal.push_back(square);
  // d3, c4, f5, e6.
  EXPECT_EQ(legal, (std::vector<int>{34, 43, 56, 65}));
  EXPECT_FALSE(Game->IsLegal(PassMove));
  EXPECT_FALSE(Game->MustPass());
  EXPECT_FALSE(Game->IsGameOver());
}

TEST_F(GameInfoTest, SquareArithmeticFollowsTheBoardSide) {
  EXPECT_EQ(Game->SquareOf(1, 1), 11);
  EXPECT_EQ(Game->SquareOf(8, 8), 88);
  EXPECT_EQ(Game->SquareOf(6, 5), 56);
  EXPECT_EQ(Game->ColumnRowOf(56).Column, 6);
  EXPECT_EQ(Game->ColumnRowOf(56).Row, 5);
  EXPECT_EQ(Game->CellAt(4, 4), WhiteCell);
  EXPECT_EQ(Game->CellAt(5, 4), BlackCell);
  EXPECT_EQ(Game->CellAt(0, 4), OutsideCell);

  TDiscCountEngine wide(8, TBoardKind::Board10x10);
  TGameInfo game;
  game.SetEngine(&wide);
  game.NewGame();
  EXPECT_EQ(game.SquareOf(1, 1), 13);
  EXPECT_EQ(game.SquareOf(10, 10), 130);
  EXPECT_EQ(game.ColumnRowOf(130).Column, 10);
  EXPECT_EQ(game.ColumnRowOf(130).Row, 10);
}

TEST_F(GameInfoTest, EnterMoveRecordsMoverAndSquareAndRefusesWhatIsNotLegal) {
  EXPECT_FALSE(Game->EnterMove(11));        // a1: no flips
  EXPECT_FALSE(Game->EnterMove(PassMove));  // black has moves
  EXPECT_FALSE(Game->EnterMove(44));        // occupied
  EXPECT_EQ(Game->MoveCount, 0);

  ASSERT_TRUE(Game->EnterMove(56));
  ASSERT_TRUE(Game->EnterMove(64));
  EXPECT_EQ(Game->MoveCount, 2);
  EXPECT_EQ(Game->Moves[1].Mover, BlackCell);
  EXPECT_EQ(Game->Moves[1].MoveSquare, 56);
  EXPECT_EQ(Game->Moves[2].Mover, WhiteCell);
  EXPECT_EQ(Game->Moves[2].MoveSquare, 64);
  EXPECT_EQ(Game->Moves[0].MoveSquare, 0);
  EXPECT_EQ(StateOf(Engine), StateOf(*EngineAfter(TBoardKind::Board8x8, {56, 64})));
}

TEST_F(GameInfoTest, EnterMoveRefusesAPlyBeyondTheRecord) {
  Game->MoveCount = TGameInfo::MaxPlies;
  const TPositionState before = StateOf(Engine);
  EXPECT_FALSE(Game->EnterMove(56));
  EXPECT_EQ(Game->MoveCount, TGameInfo::MaxPlies);
  EXPECT_EQ(StateOf(Engine), before);
}

TEST_F(GameInfoTest, PassTogglesSideAndHashAndTakeBackReplaysOverIt) {
  const auto [line, passIndex] = GameWithPass(TBoardKind::Board8x8);
  // Play up to and including the ply after the pass, remembering every position.
  std::vector<TPositionState> states{StateOf(Engine)};
  for (size_t i = 0; i <= passIndex + 1; ++i) {
    if (i == passIndex) {
      EXPECT_TRUE(Game->MustPass());
      EXPECT_FALSE(Game->IsGameOver());
      const TPositionState before = StateOf(Engine);
      ASSERT_TRUE(Game->EnterMove(PassMove));
      EXPECT_EQ(Engine.SideToMove, -before.Side);
      EXPECT_EQ(Engine.HashLo, before.Lo ^ Engine.HashTable->SideKey[0]);
      EXPECT_EQ(Engine.HashHi, before.Hi ^ Engine.HashTable->SideKey[1]);
      uint32_t lo, hi;
      Engine.ComputeHash(lo, hi);
      EXPECT_EQ(lo, Engine.HashLo);
      EXPECT_EQ(hi, Engine.HashHi);
    } else {
      ASSERT_TRUE(Game->EnterMove(line[i]));
    }
    states.push_back(StateOf(Engine));
  }
  EXPECT_EQ(Game->Moves[passIndex + 1].MoveSquare, PassMove);

  // Two plies at a time, crossing the pass.
  while (Game->MoveCount >= 2) {
    const int count = Game->MoveCount;
    const int last = Game->TakeBack();
    EXPECT_EQ(Game->MoveCount, count - 2);
    EXPECT_EQ(last, Game->MoveCount ? line[Game->MoveCount - 1] : 0);
    EXPECT_EQ(StateOf(Engine), states[Game->MoveCount]);
  }
}

TEST_F(GameInfoTest, TakeBackRemovesTwoPlies) {
  EXPECT_EQ(Game->TakeBack(), 0);  // nothing to take back
  ASSERT_TRUE(Game->EnterMove(56));
  EXPECT_EQ(Game->TakeBack(), 0);  // one ply is not enough
  EXPECT_EQ(Game->MoveCount, 1);
  ASSERT_TRUE(Game->EnterMove(64));
  ASSERT_TRUE(Game->EnterMove(LegalSquares(Engine).front()));
  EXPECT_EQ(Game->TakeBack(), 56);
  EXPECT_EQ(Game->MoveCount, 1);
  EXPECT_EQ(StateOf(Engine), StateOf(*EngineAfter(TBoardKind::Board8x8, {56})));
  ASSERT_TRUE(Game->EnterMove(64));
  EXPECT_EQ(Game->TakeBack(), 0);
  EXPECT_EQ(Game->MoveCount, 0);
  EXPECT_EQ(StateOf(Engine), StateOf(*EngineAfter(TBoardKind::Board8x8, {})));
}

TEST_F(GameInfoTest, GameOverOnlyWhenBothSidesAreBlocked) {
  const std::vector<int> line = RandomGame(TBoardKind::Board8x8, 7);
  for (const int square : line) {
    const bool blocked = LegalSquares(Engine).empty();
    EXPECT_EQ(Game->MustPass(), blocked);
    EXPECT_FALSE(Game->IsGameOver());  // the game goes on after this position
    ASSERT_TRUE(Game->EnterMove(square));
  }
  EXPECT_TRUE(Game->MustPass());
  EXPECT_TRUE(Game->IsGameOver());
  EXPECT_EQ(Engine.SideToMove, line.size() % 2 == 0 ? BlackCell : WhiteCell);
}

TEST_F(GameInfoTest, SetLevelReachesTheEvaluationWhereTheBookReadsIt) {
  EXPECT_FALSE(Game->UseFixedLevel);
  Game->SetLevel(LevelOf(4, 14));
  EXPECT_TRUE(Game->UseFixedLevel);
  EXPECT_EQ(Game->Level.Depth, 4);
  EXPECT_EQ(Engine.Evaluation->Level.Depth, 4);
  EXPECT_EQ(Engine.Evaluation->Level.ExactEmpties, 14);
  Game->SetClocks(5000, 7000);
  EXPECT_EQ(Engine.TimeBudget, 5000);
  EXPECT_EQ(Game->SecondClock, 7000);
}

TEST_F(GameInfoTest, FindMoveTakesTheBookMoveWithoutSearching) {
  TBook book("Test", 8, 8, &Engine);
  TBookBoard board;
  book.SetStartBoard(board);
  TBookUndo undo;
  book.MakeMove(board, 56, undo);
  TBook::SwitchSide(board);
  book.FindOrAddChild(book.Root, 0, 56, board)->LeafValue = 0.25;
  book.Recompute();
  Game->Book = &book;
  Game->SetLevel(LevelOf(2, 6));
  TRecordingStatusBar scoreBar, statsBar;
  Engine.SetStatusBars(&scoreBar, &statsBar);
  Engine.NodeCount = 12345;

  const TMoveChoice fromBook = Game->FindMove(true);
  EXPECT_TRUE(fromBook.FromBook);
  EXPECT_EQ(fromBook.Square, 56);
  EXPECT_DOUBLE_EQ(fromBook.Score, 0.25);
  EXPECT_EQ(Engine.NodeCount, 12345);
  EXPECT_TRUE(scoreBar.History.empty());
  EXPECT_TRUE(statsBar.History.empty());

  // Without the book (or out of it) the engine searches.
  const TMoveChoice searched = Game->FindMove(false);
  EXPECT_FALSE(searched.FromBook);
  EXPECT_NE(Engine.NodeCount, 12345);
  EXPECT_TRUE(Game->IsLegal(searched.Square));
  ASSERT_TRUE(Game->EnterMove(56));
  const TMoveChoice outOfBook = Game->FindMove(true);
  EXPECT_FALSE(outOfBook.FromBook);
  EXPECT_TRUE(Game->IsLegal(outOfBook.Square));
}

TEST_F(GameInfoTest, FindMovePassesWhenNoMoveExists) {
  const auto [line, passIndex] = GameWithPass(TBoardKind::Board8x8);
  for (size_t i = 0; i < passIndex; ++i) ASSERT_TRUE(Game->EnterMove(line[i]));
  Game->SetLevel(LevelOf(2, 6));
  const TMoveChoice choice = Game->FindMove(false);
  EXPECT_EQ(choice.Square, PassMove);
  EXPECT_EQ(choice.Score, 0);
  EXPECT_TRUE(Game->EnterMove(choice.Square));
}

class LearnGameTest : public GameInfoTest {
 protected:
  LearnGameTest() : Book("Learn", 8, 8, &Engine, Folder.Path) {
    Game->Book = &Book;
    Game->SetLevel(LevelOf(1, 6));
    for (const int square : RandomGame(TBoardKind::Board8x8, 3))
      EXPECT_TRUE(Game->EnterMove(square));
    Engine.SetStatusBars(&ScoreBar, &StatsBar);
  }
  testing::TScratchFolder Folder;
  TBook Book;
  TRecordingStatusBar ScoreBar, StatsBar;
  TRecordingProgressBar Bar;
  TRecordingMessageSink Messages;
  TScopedMessageSink Sink{&Messages};
};

TEST_F(LearnGameTest, LearnsSavesAndRestoresTheWindow) {
  Bar.CurrentCaption = "Loading...";
  Game->LearnGame(&Bar);
  EXPECT_GT(Book.Stats().Nodes, 50);
  EXPECT_TRUE(std::filesystem::exists(Book.FilePath()));
  EXPECT_TRUE(ScoreBar.History.empty());  // the learning searches wrote nothing to the window
  EXPECT_TRUE(StatsBar.History.empty());
  EXPECT_EQ(Engine.ScoreBar, &ScoreBar);
  EXPECT_EQ(Engine.StatsBar, &StatsBar);
  EXPECT_EQ(Book.ProgressBar, nullptr);
  EXPECT_FALSE(Bar.IsVisible);
  EXPECT_FALSE(Bar.IsEnabled);
  EXPECT_EQ(Bar.CurrentCaption, "Loading...");
  EXPECT_EQ(Bar.CurrentPosition, 0);
  EXPECT_EQ(Bar.Maximum, 64);
  EXPECT_TRUE(Messages.Messages.empty());

  // A bar already on show (a learning run) is advanced, not hidden.
  Bar.IsVisible = true;
  Bar.CurrentPosition = 10;
  Bar.CurrentCaption = "Improving book...";
  Game->NewGame();
  for (const int square : RandomGame(TBoardKind::Board8x8, 4)) ASSERT_TRUE(Game->EnterMove(square));
  Game->LearnGame(&Bar);
  EXPECT_TRUE(Bar.IsVisible);
  EXPECT_GT(Bar.CurrentPosition, 10);  // one step per deviation search
}

// A game from a set-up position has no place in the book's tree of lines from the start: it
// is neither learned nor answered from the book, and taking back replays from its own start.
TEST_F(LearnGameTest, ASetUpGameNeitherLearnsNorAsksTheBook) {
  Game->LearnGame(nullptr);
  const int64_t nodes = Book.Stats().Nodes;
  ASSERT_GT(nodes, 0);
  TPosition start(TBoardKind::Board8x8);
  start.SetSide(TColour::White);
  Game->NewGameFrom(start);
  EXPECT_FALSE(Game->StartsFromStandard());
  EXPECT_TRUE(Game->Position() == start);
  int squares[MaxMoves];
  ASSERT_GT(start.LegalMoves(squares), 1);
  ASSERT_TRUE(Game->EnterMove(squares[0]));
  ASSERT_TRUE(Game->EnterMove(LegalSquares(Engine)[0]));
  EXPECT_EQ(Game->TakeBack(), 0);
  EXPECT_TRUE(Game->Position() == start);
  EXPECT_TRUE(Game->Record().Start() == start);
  Game->SetLevel(LevelOf(1, 6));
  EXPECT_FALSE(Game->FindMove(true).FromBook);
  Game->LearnGame(nullptr);
  EXPECT_EQ(Book.Stats().Nodes, nodes);
  // The same position from the standard start is answered by the book.
  Game->NewGame();
  EXPECT_TRUE(Game->FindMove(true).FromBook);
}

TEST_F(LearnGameTest, StoppedLearningLeavesNoTrace) {
  Book.StopLearning = true;
  Game->LearnGame(nullptr);
  EXPECT_EQ(Book.Stats().Nodes, 0);
  EXPECT_FALSE(std::filesystem::exists(Book.FilePath()));
}

TEST_F(LearnGameTest, AFailedSaveIsReportedAndTheBookKept) {
  // A file where the book's folder should be.
  std::filesystem::create_directories(Folder.Path / "books");
  testing::WriteBytes(Folder.Path / "books" / "Learn", {1, 2, 3});
  Game->LearnGame(nullptr);
  ASSERT_EQ(Messages.Messages.size(), 1u);
  EXPECT_NE(Messages.Messages[0].find("Learn.boo"), std::string::npos) << Messages.Messages[0];
  EXPECT_GT(Book.Stats().Nodes, 50);
  EXPECT_EQ(Engine.ScoreBar, &ScoreBar);
}

}  // namespace
}  // namespace morvane
