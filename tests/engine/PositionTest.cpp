#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/Position.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

using reference::TReferenceBoard;

TReferenceBoard StartOf(TBoardKind kind) {
  TReferenceBoard board =
      kind == TBoardKind::Octagon ? TReferenceBoard::Octagon() : TReferenceBoard(BoardSideOf(kind));
  board.SetupStart();
  return board;
}

// The reference text writes '#' for a cut corner where ours writes '-'.
std::string ReferenceText(const TReferenceBoard& board) {
  std::string text = board.ToText();
  std::replace(text.begin(), text.end(), '#', '-');
  return text;
}

std::vector<int> ReferenceMoves(const TReferenceBoard& board, const TPosition& position) {
  std::vector<int> squares;
  for (const auto& square : board.Moves())
    squares.push_back(position.SquareOf(square.Column, square.Row));
  std::sort(squares.begin(), squares.end());
  return squares;
}

class PositionRules : public ::testing::TestWithParam<TBoardKind> {};

// Random games played side by side on the position and the plain reference board: the moves,
// the passes, the end and the final score agree at every ply.
TEST_P(PositionRules, AgreeWithTheReferenceBoardThroughWholeGames) {
  std::mt19937 random(static_cast<uint32_t>(GetParam()));
  for (int game = 0; game < 20; ++game) {
    TReferenceBoard reference = StartOf(GetParam());
    TPosition position(GetParam());
    for (;;) {
      ASSERT_EQ(position.Text(), ReferenceText(reference));
      int squares[MaxMoves];
      const int count = position.LegalMoves(squares);
      ASSERT_EQ(std::vector<int>(squares, squares + count), ReferenceMoves(reference, position));
      EXPECT_EQ(position.IsFinished(), reference.GameOver());
      EXPECT_EQ(position.MustPass(), !reference.HasMove() && reference.OpponentHasMove());
      EXPECT_EQ(position.IsLegal(PassMove), position.MustPass());
      if (reference.GameOver()) {
        const int blackMargin = reference.ToMove == reference::Black ? reference.FinalMargin()
                                                                     : -reference.FinalMargin();
        EXPECT_EQ(position.FinalScore(), blackMargin);
        EXPECT_FALSE(position.Play(PassMove));
        break;
      }
      if (count == 0) {
        ASSERT_TRUE(position.Play(PassMove));
        reference.Pass();
        continue;
      }
      // A square that is not a move is refused and changes nothing.
      const TPosition before = position;
      EXPECT_FALSE(position.Play(PassMove));
      const auto& moves = reference.Moves();
      const auto move = moves[random() % moves.size()];
      const int square = position.SquareOf(move.Column, move.Row);
      int32_t flips[MaxFlips];
      EXPECT_EQ(position.FlipsOf(square, flips), reference.Flips(move));
      ASSERT_TRUE(position.Play(square));
      EXPECT_FALSE(position.Play(square));  // now occupied
      EXPECT_FALSE(position == before);
      reference.Play(move);
      EXPECT_EQ(position.Empties(), reference.Count(reference::Empty));
      EXPECT_EQ(position.Discs(TColour::Black), reference.Count(reference::Black));
    }
  }
}

TEST_P(PositionRules, TextsAndMovesReadBackWhatTheyWrite) {
  std::mt19937 random(7);
  const TPosition position = *TPosition::Parse(
      GetParam(), ReferenceText(reference::RandomPosition(StartOf(GetParam()), 30, random)));
  const auto again = TPosition::Parse(GetParam(), position.Text());
  ASSERT_TRUE(again);
  EXPECT_TRUE(*again == position);
  const auto image = TPosition::FromImage(GetParam(), position.Image());
  ASSERT_TRUE(image);
  EXPECT_TRUE(*image == position);
  int playable = 0;
  for (int square = 0; square < MaxCells; ++square) {
    if (!position.IsPlayable(square)) {
      EXPECT_FALSE(position.IsLegal(square)) << square;
      continue;
    }
    ++playable;
    const std::string text = position.MoveText(square);
    EXPECT_EQ(position.ParseMove(text), square) << text;
    std::string upper = text;
    upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
    EXPECT_EQ(position.ParseMove(upper), square) << upper;
  }
  EXPECT_EQ(playable, position.PlayableSquares());
  EXPECT_EQ(position.ParseMove("pa"), PassMove);
  EXPECT_EQ(position.ParseMove("PASS"), PassMove);
}

INSTANTIATE_TEST_SUITE_P(Boards, PositionRules,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon));

TEST(PositionText, MovesOffTheBoardAreRefused) {
  const TPosition eight(TBoardKind::Board8x8), ten(TBoardKind::Board10x10);
  const TPosition octagon(TBoardKind::Octagon);
  for (const char* text : {"i1", "a9", "a0", "a01", "j10", "", "a", "11", "f5x"})
    EXPECT_FALSE(eight.ParseMove(text)) << text;
  EXPECT_EQ(ten.ParseMove("j10"), ten.SquareOf(10, 10));
  EXPECT_FALSE(ten.ParseMove("k1"));
  for (const char* corner : {"a1", "b1", "a2", "j10", "i10", "j9"})
    EXPECT_FALSE(octagon.ParseMove(corner)) << corner;
  EXPECT_EQ(octagon.ParseMove("c1"), octagon.SquareOf(3, 1));
}

struct TBadText {
  TBoardKind Kind;
  std::string Text;
  std::string Problem;  // a part of the message
};

class PositionTextErrors : public ::testing::TestWithParam<TBadText> {};

TEST_P(PositionTextErrors, NameWhatIsWrong) {
  std::string problem;
  EXPECT_FALSE(TPosition::Parse(GetParam().Kind, GetParam().Text, &problem));
  EXPECT_NE(problem.find(GetParam().Problem), std::string::npos) << problem;
}

const std::string Start8 = TPosition(TBoardKind::Board8x8).Text();
const std::string StartOctagon = TPosition(TBoardKind::Octagon).Text();

INSTANTIATE_TEST_SUITE_P(
    Texts, PositionTextErrors,
    ::testing::Values(TBadText{TBoardKind::Board8x8, "", "empty"},
                      TBadText{TBoardKind::Board8x8, "Z" + Start8.substr(1), "character 1 'Z'"},
                      TBadText{TBoardKind::Board8x8, Start8.substr(0, 10) + "?" + Start8.substr(11),
                               "character 11 '?'"},
                      TBadText{TBoardKind::Board8x8, Start8.substr(0, 40), "39 squares"},
                      TBadText{TBoardKind::Board8x8, Start8 + "-", "more than 64"},
                      TBadText{TBoardKind::Board8x8, Start8.substr(0, 5) + "#" + Start8.substr(6),
                               "is no cut corner"},
                      TBadText{TBoardKind::Octagon, "X" + std::string("X") + StartOctagon.substr(2),
                               "a1 is a cut corner"},
                      TBadText{TBoardKind::Board10x10, Start8, "64 squares"}));

TEST(PositionText, CutCornersMayBeWrittenEmptyOrMarked) {
  std::string marked = StartOctagon;
  marked[1] = '#';
  const auto position = TPosition::Parse(TBoardKind::Octagon, marked);
  ASSERT_TRUE(position);
  EXPECT_TRUE(*position == TPosition(TBoardKind::Octagon));
  // Blanks between the squares are allowed.
  EXPECT_TRUE(
      TPosition::Parse(TBoardKind::Board8x8, "X " + Start8.substr(1, 8) + "\n" + Start8.substr(9)));
}

TEST(PositionImage, AnImageWithoutADiscValueIsRefused) {
  PositionImage image = TPosition(TBoardKind::Board8x8).Image();
  image.Board[34] = 7;
  std::string problem;
  EXPECT_FALSE(TPosition::FromImage(TBoardKind::Board8x8, image, &problem));
  EXPECT_NE(problem.find("d3"), std::string::npos) << problem;
  image = TPosition(TBoardKind::Board8x8).Image();
  image.SideToMove = 0;
  EXPECT_FALSE(TPosition::FromImage(TBoardKind::Board8x8, image));
}

}  // namespace
}  // namespace morvane
