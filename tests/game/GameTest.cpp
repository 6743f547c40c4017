#include <gtest/gtest.h>

#include "game/Game.h"
#include "game/GameTestSupport.h"

namespace morvane {
namespace {

class GameRecord : public ::testing::TestWithParam<TBoardKind> {};

// A random game with its passes: the transcript leaves them out, reading it puts them back,
// and every position on the way is the one replayed from the start.
TEST_P(GameRecord, TranscriptsRoundTripWithThePassesPutBack) {
  int passes = 0;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    const std::vector<int> line = testing::RandomGame(GetParam(), seed);
    TGame game(GetParam());
    for (const int square : line) ASSERT_TRUE(game.Play(square));
    EXPECT_TRUE(game.IsFinished());
    passes += static_cast<int>(std::count(line.begin(), line.end(), PassMove));
    std::string problem;
    const auto read = TGame::FromTranscript(game.Start(), game.Transcript(), &problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_EQ(read->Moves(), game.Moves());
    EXPECT_TRUE(read->Current() == game.Current());
    const int middle = game.Plies() / 2;
    TGame cut = game;
    cut.Truncate(middle);
    EXPECT_EQ(cut.Plies(), middle);
    EXPECT_TRUE(cut.Current() == game.PositionAt(middle));
    EXPECT_TRUE(cut.Play(game.Moves()[middle]));
  }
  EXPECT_GT(passes, 0) << "no game met a pass";
}

INSTANTIATE_TEST_SUITE_P(Boards, GameRecord,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon));

TEST(GameTranscript, ReadsTheCommonSpellings) {
  const TPosition start(TBoardKind::Board8x8);
  for (const char* text : {"f5d6c3", "F5D6C3", "f5 d6 c3", "F5-D6-C3", " f5, d6, c3 "}) {
    const auto game = TGame::FromTranscript(start, text);
    ASSERT_TRUE(game) << text;
    EXPECT_EQ(game->Transcript(), "f5d6c3");
  }
  // Two-digit rows on the 10 x 10 board.
  TGame ten(TBoardKind::Board10x10);
  int squares[MaxMoves];
  for (int ply = 0; ply < 40 && ten.Current().LegalMoves(squares) > 0; ++ply)
    ten.Play(squares[ply % ten.Current().LegalMoves(squares)]);
  const auto read = TGame::FromTranscript(ten.Start(), ten.Transcript());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Moves(), ten.Moves());
}

TEST(GameTranscript, AnIllegalOrUnreadableMoveIsNamed) {
  const TPosition start(TBoardKind::Board8x8);
  std::string problem;
  EXPECT_FALSE(TGame::FromTranscript(start, "f5d6a1", &problem));
  EXPECT_EQ(problem, "move 3 \"a1\" is not legal");
  EXPECT_FALSE(TGame::FromTranscript(start, "f5z9", &problem));
  EXPECT_EQ(problem, "move 2 \"z9\" is no square of the board");
  EXPECT_FALSE(TGame::FromTranscript(start, "pa", &problem));
  EXPECT_EQ(problem, "move 1 \"pa\" is not legal");
}

TEST(GameRecordStart, KnowsWhetherItStartsFromTheStandardPosition) {
  EXPECT_TRUE(TGame(TBoardKind::Octagon).StartsFromStandard());
  TPosition other(TBoardKind::Board8x8);
  other.Play(*other.ParseMove("f5"));
  EXPECT_FALSE(TGame(other).StartsFromStandard());
}

}  // namespace
}  // namespace morvane
