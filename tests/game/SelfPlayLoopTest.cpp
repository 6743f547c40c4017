#include <gtest/gtest.h>

#include <vector>

#include "engine/Widgets.h"
#include "game/Book.h"
#include "game/GameTestSupport.h"
#include "game/SelfPlay.h"

namespace morvane {
namespace {

using testing::LevelOf;

class SelfPlayLoop : public ::testing::TestWithParam<TBoardKind> {
 protected:
  SelfPlayLoop()
      : Engine(8, GetParam()),
        Book("Loop", BoardSideOf(GetParam()), static_cast<int>(GetParam()), &Engine, Folder.Path) {
    Game.SetEngine(&Engine);
    Game.NewGame();
    Game.Book = &Book;
  }
  testing::TScratchFolder Folder;
  TDiscCountEngine Engine;
  TBook Book;
  TGameInfo Game;
  TRecordingMessageSink Messages;
  TScopedMessageSink Sink{&Messages};
};

// Every ply the loop plays is a legal move of the position before it, the game reaches its
// end, is learned into the book and saved, and a new game is set up.
TEST_P(SelfPlayLoop, PlaysLegalGamesToTheEndAndLearnsThem) {
  std::vector<TPosition> before;
  std::vector<int> played;
  TSelfPlayHooks hooks;
  hooks.BeforeSearch = [&] { before.push_back(Game.Position()); };
  hooks.AfterPly = [&](int square, bool entered) {
    EXPECT_TRUE(entered);
    played.push_back(square);
  };
  TGame finished;
  hooks.GameOver = [&] { finished = Game.Record(); };
  TSelfPlayLoop loop(Game, LevelOf(1, 4), true, hooks);
  ASSERT_EQ(loop.Run(2, nullptr), 2);
  ASSERT_EQ(before.size(), played.size());
  TGame replay(GetParam());
  for (size_t ply = 0; ply < played.size(); ++ply) {
    if (replay.IsFinished()) replay = TGame(GetParam());  // the second game
    ASSERT_TRUE(before[ply] == replay.Current()) << "ply " << ply;
    ASSERT_TRUE(replay.Play(played[ply])) << "ply " << ply;
  }
  EXPECT_TRUE(finished.IsFinished());
  EXPECT_EQ(finished.Moves(), replay.Moves());
  EXPECT_GT(Book.Stats().Nodes, 10);
  EXPECT_TRUE(std::filesystem::exists(Book.FilePath()));
  EXPECT_EQ(Game.MoveCount, 0);
  EXPECT_TRUE(Messages.Messages.empty());
}

TEST_P(SelfPlayLoop, AStopEndsTheRunBeforeTheNextPly) {
  int plies = 0;
  TSelfPlayHooks hooks;
  hooks.Stopped = [&] { return plies == 5; };
  hooks.AfterPly = [&](int, bool) { ++plies; };
  TSelfPlayLoop loop(Game, LevelOf(1, 4), false, hooks);
  EXPECT_EQ(loop.Run(3, nullptr), 0);
  EXPECT_EQ(plies, 5);
  EXPECT_EQ(Game.MoveCount, 5);  // the unfinished game stays for the caller
  EXPECT_EQ(Book.Stats().Nodes, 0);
}

INSTANTIATE_TEST_SUITE_P(Boards, SelfPlayLoop,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Octagon));

// A book answer that is not legal in the game (a book of other rules) is searched instead.
TEST(ProgramMove, AnIllegalBookMoveIsSearchedInstead) {
  testing::TScratchFolder folder;
  TDiscCountEngine engine(8, TBoardKind::Board8x8);
  TBook book("Odd", 8, 8, &engine, folder.Path);
  TGameInfo game;
  game.SetEngine(&engine);
  game.NewGame();
  game.Book = &book;
  // A book whose root answers a1, which no start position allows.
  book.Clear();
  TNode* child = book.NewNode();
  child->Move = 11;
  child->Value = child->LeafValue = 3;
  book.Root->FirstChild = child;
  int move = 0;
  double value = 0;
  ASSERT_TRUE(book.GetBookMove(engine.CurrentPosition(), move, value));
  ASSERT_EQ(move, 11);
  const TMoveChoice choice = ChooseProgramMove(game, LevelOf(1, 4), true);
  EXPECT_FALSE(choice.FromBook);
  EXPECT_TRUE(game.IsLegal(choice.Square));
}

}  // namespace
}  // namespace morvane
