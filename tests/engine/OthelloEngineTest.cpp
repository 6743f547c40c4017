#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/OthelloEngine.h"
#include "engine/Perft.h"
#include "engines/DiscCountEngine.h"

namespace morvane {
namespace {

std::vector<int> MoveSquares(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<int> squares;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    squares.push_back(move->Square);
  return squares;
}

std::vector<int> EmptyListSquares(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

// Everything that make and unmake must restore.
struct TSnapshot {
  std::vector<int8_t> Board;
  int Own, Opp, Empty, Side;
  uint32_t Lo, Hi;
  std::vector<int> Empties;
  std::vector<int> Regions;

  explicit TSnapshot(const TOthelloEngine& e)
      : Board(e.Board, e.Board + MaxCells),
        Own(e.OwnDiscs),
        Opp(e.OppDiscs),
        Empty(e.EmptyCount),
        Side(e.SideToMove),
        Lo(e.HashLo),
        Hi(e.HashHi),
        Empties(EmptyListSquares(e)),
        Regions(e.RegionEmpties, e.RegionEmpties + 4) {}
  bool operator==(const TSnapshot&) const = default;
};

TEST(OthelloEngine, StartPositionOn8x8) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  engine.SetupStartPosition();
  auto at = [&](const char* text) {
    return engine.Board[engine.SquareAt(text[0] - 'a' + 1, text[1] - '0')];
  };
  EXPECT_EQ(at("d4"), WhiteCell);
  EXPECT_EQ(at("e5"), WhiteCell);
  EXPECT_EQ(at("e4"), BlackCell);
  EXPECT_EQ(at("d5"), BlackCell);
  EXPECT_EQ(engine.SideToMove, BlackCell);
  EXPECT_EQ(engine.EmptyCount, 60);
  EXPECT_EQ(engine.MobilityCount(), 4);
  std::vector<std::string> moves;
  for (int square : MoveSquares(engine)) moves.push_back(engine.MoveToText(square));
  std::sort(moves.begin(), moves.end());
  EXPECT_EQ(moves, (std::vector<std::string>{"c4", "d3", "e6", "f5"}));
}

TEST(OthelloEngine, GeometryOfTheThreeBoards) {
  struct TCase {
    TBoardKind Kind;
    int Playable, Empties, FirstInner, LastInner;
  };
  for (const TCase& c : {TCase{TBoardKind::Board8x8, 64, 60, 11, 88},
                         TCase{TBoardKind::Board10x10, 100, 96, 13, 130},
                         TCase{TBoardKind::Octagon, 88, 84, 13, 130}}) {
    TDiscCountEngine engine(10, c.Kind);
    engine.SetupStartPosition();
    EXPECT_EQ(engine.PlayableSquares(), c.Playable);
    EXPECT_EQ(engine.EmptyCount, c.Empties);
    EXPECT_EQ(static_cast<int>(EmptyListSquares(engine).size()), c.Empties);
    EXPECT_EQ(engine.FirstInner, c.FirstInner);
    EXPECT_EQ(engine.LastInner, c.LastInner);
    EXPECT_EQ(engine.MobilityCount(), 4);
  }
}

TEST(OthelloEngine, MoveToText) {
  TDiscCountEngine small(10, TBoardKind::Board8x8);
  EXPECT_EQ(small.MoveToText(11), "a1");
  EXPECT_EQ(small.MoveToText(88), "h8");
  EXPECT_EQ(small.MoveToText(PassMove), " 0");
  TDiscCountEngine large(10, TBoardKind::Board10x10);
  EXPECT_EQ(large.MoveToText(13), "a1");
  EXPECT_EQ(large.MoveToText(130), "j10");
}

// Black plays d4 inside a ring of white discs closed by black ones: every direction flips one.
TEST(OthelloEngine, FlipOrderAcrossAllDirections) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  PositionImage image{};
  // Row by row from a1; black to move at d4 (row 4, column 4).
  const std::string text =
      "X"
      "--------"
      "-X-X-X--"
      "--OOO---"
      "-XO-OX--"
      "--OOO---"
      "-X-X-X--"
      "--------"
      "--------";
  ASSERT_TRUE(engine.ParsePosition(text, image));
  engine.SetPosition(image.Board, image.SideToMove);
  MoveRecord record{};
  const int d4 = engine.SquareAt(4, 4);
  ASSERT_EQ(engine.ProbeMoveHashed(d4, record), 8);
  // North-west, north-east, north, west, south-east, south-west, south, east.
  const int expected[8] = {d4 - 11, d4 - 9, d4 - 10, d4 - 1, d4 + 11, d4 + 9, d4 + 10, d4 + 1};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(record.Flips[i], expected[i]) << "flip " << i;
  EXPECT_EQ(engine.CountFlips(d4), 8);
  EXPECT_TRUE(engine.IsLegalMove(d4));
}

TEST(OthelloEngine, FlipsWithinOneDirectionAreNearestFirst) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  PositionImage image{};
  ASSERT_TRUE(engine.ParsePosition("X" + std::string("-OOOOOX-") + std::string(56, '-'), image));
  engine.SetPosition(image.Board, image.SideToMove);
  MoveRecord record{};
  ASSERT_EQ(engine.ProbeMove(11, record), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(record.Flips[i], 12 + i);
  EXPECT_EQ(engine.CountFlips(11), 5);
  EXPECT_FALSE(engine.IsLegalMove(18));
}

TEST(OthelloEngine, FinalScore) {
  struct TCase {
    int Black, White, Expected;
  };
  for (const TCase& c : {TCase{40, 24, 16}, TCase{30, 20, 24}, TCase{20, 30, -24}, TCase{32, 32, 0},
                         TCase{1, 0, 64}, TCase{10, 10, 0}}) {
    TDiscCountEngine engine(10, TBoardKind::Board8x8);
    std::string text = "X";
    for (int i = 0; i < 64; ++i) text += i < c.Black ? 'X' : (i < c.Black + c.White ? 'O' : '-');
    PositionImage image{};
    ASSERT_TRUE(engine.ParsePosition(text, image));
    engine.SetPosition(image.Board, image.SideToMove);
    EXPECT_EQ(engine.FinalScore(), c.Expected) << c.Black << "-" << c.White;
    EXPECT_EQ(engine.FinalMargin(), c.Expected);
  }
}

TEST(OthelloEngine, FinalScoreOnTheOctagonCountsItsPlayableSquares) {
  TDiscCountEngine engine(10, TBoardKind::Octagon);
  PositionImage image{};
  ASSERT_TRUE(engine.ParsePosition("X" + std::string(100, 'X'), image));
  engine.SetPosition(image.Board, image.SideToMove);
  EXPECT_EQ(engine.OwnDiscs, 88);
  EXPECT_EQ(engine.FinalScore(), 88);
}

TEST(OthelloEngine, ParsePositionReadsEveryAlias) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  PositionImage image{};
  image.SideToMove = WhiteCell;
  std::string text = "?" + std::string("-.XbOw#z") + std::string(56, '-');
  ASSERT_TRUE(engine.ParsePosition(text, image));
  EXPECT_EQ(image.SideToMove, WhiteCell) << "an unknown side character leaves the side byte";
  const int8_t expected[8] = {EmptyCell, EmptyCell, BlackCell,   BlackCell,
                              WhiteCell, WhiteCell, OutsideCell, OutsideCell};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(image.Board[11 + i], expected[i]) << i;
  EXPECT_EQ(image.Board[0], OutsideCell);
  EXPECT_EQ(image.Board[19], OutsideCell);
  ASSERT_TRUE(engine.ParsePosition("b" + std::string(64, '-'), image));
  EXPECT_EQ(image.SideToMove, BlackCell);
  ASSERT_TRUE(engine.ParsePosition("w" + std::string(64, '-'), image));
  EXPECT_EQ(image.SideToMove, WhiteCell);
}

TEST(OthelloEngine, ParsePositionRejectsTheWrongLength) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  PositionImage image{};
  image.Board[50] = 7;
  EXPECT_FALSE(engine.ParsePosition("X" + std::string(63, '-'), image));
  EXPECT_FALSE(engine.ParsePosition("X" + std::string(100, '-'), image));
  EXPECT_EQ(image.Board[50], 7) << "a rejected text leaves the image alone";
  TDiscCountEngine large(10, TBoardKind::Board10x10);
  EXPECT_TRUE(large.ParsePosition("X" + std::string(100, '-'), image));
}

TEST(OthelloEngine, RegionsAreQuadrants) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  engine.SetupStartPosition();
  EXPECT_EQ(engine.RegionOf[11], 0);
  EXPECT_EQ(engine.RegionOf[18], 1);
  EXPECT_EQ(engine.RegionOf[81], 2);
  EXPECT_EQ(engine.RegionOf[88], 3);
  EXPECT_EQ(engine.RegionOf[44], 0);
  EXPECT_EQ(engine.RegionOf[45], 1);
  EXPECT_EQ(engine.RegionOf[0], 4);
  EXPECT_EQ(engine.RegionOf[19], 4);
  for (int region = 0; region < 4; ++region) EXPECT_EQ(engine.RegionEmpties[region], 15);
}

class RandomPlay : public ::testing::TestWithParam<TBoardKind> {};

// Random games with passes: every make/unmake pair restores the whole state, and the running
// hash always equals the hash recomputed from scratch.
TEST_P(RandomPlay, MakeUnmakeRestoresEverythingAndTheHashStaysExact) {
  TDiscCountEngine engine(10, GetParam());
  std::mt19937 random(2024);
  for (int game = 0; game < 40; ++game) {
    engine.SetupStartPosition();
    bool passed = false;
    while (true) {
      TMoveList list;
      engine.GenerateMovesHashed(list);
      std::vector<MoveRecord*> moves;
      for (MoveRecord* move = list[0].Next; move; move = move->Next) moves.push_back(move);
      if (moves.empty()) {
        if (passed) break;
        engine.MakePass();
        passed = true;
      } else {
        passed = false;
        // Every move of the list undoes exactly, in all three make/unmake pairs.
        const TSnapshot before(engine);
        for (MoveRecord* move : moves) {
          engine.MakeMove(*move);
          engine.SwapSides();
          engine.SwapSides();
          engine.UnmakeMove(*move);
          ASSERT_TRUE(TSnapshot(engine) == before);
          engine.MakeMoveParity(*move);
          engine.SwapSides();
          engine.SwapSides();
          engine.UnmakeMoveParity(*move);
          ASSERT_TRUE(TSnapshot(engine) == before);
          engine.MakeMoveLight(*move);
          engine.UnmakeMoveLight(*move);
          ASSERT_TRUE(TSnapshot(engine) == before);
        }
        MoveRecord* chosen = moves[random() % moves.size()];
        engine.MakeMoveParity(*chosen);
        engine.SwapSides();
      }
      uint32_t lo, hi;
      engine.ComputeHash(lo, hi);
      ASSERT_EQ(engine.HashLo, lo);
      ASSERT_EQ(engine.HashHi, hi);
      // Counters agree with the board.
      int own = 0, opp = 0, empty = 0;
      for (int square = engine.FirstInner; square <= engine.LastInner; ++square) {
        own += engine.Board[square] == engine.SideToMove;
        opp += engine.Board[square] == engine.OpponentColour;
        empty += engine.Board[square] == EmptyCell;
      }
      ASSERT_EQ(engine.OwnDiscs, own);
      ASSERT_EQ(engine.OppDiscs, opp);
      ASSERT_EQ(engine.EmptyCount, empty);
      ASSERT_EQ(static_cast<int>(EmptyListSquares(engine).size()), empty);
      int regionTotal = 0;
      for (int region = 0; region < 4; ++region) regionTotal += engine.RegionEmpties[region];
      ASSERT_EQ(regionTotal, empty);
    }
    EXPECT_EQ(engine.MobilityCount(), 0);
  }
}

// The generic probes agree with each other and with the board they leave behind.
TEST_P(RandomPlay, ProbesAgreeWithFlipInPlace) {
  TDiscCountEngine engine(10, GetParam());
  std::mt19937 random(77);
  engine.SetupStartPosition();
  for (int ply = 0; ply < 50; ++ply) {
    TMoveList list;
    engine.GenerateMovesHashed(list);
    if (!list[0].Next) break;
    for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next) {
      MoveRecord probe{}, flip{}, both{};
      const int count = engine.ProbeMove(node->Square, probe);
      EXPECT_EQ(engine.CountFlips(node->Square), count);
      EXPECT_EQ(engine.IsLegalMove(node->Square), count > 0);
      const std::vector<int8_t> board(engine.Board, engine.Board + MaxCells);
      ASSERT_EQ(engine.FlipInPlace(node->Square, flip), count);
      if (count > 0) {
        EXPECT_EQ(engine.Board[node->Square], engine.SideToMove);
        for (int i = 0; i < count; ++i) EXPECT_EQ(engine.Board[flip.Flips[i]], engine.SideToMove);
        engine.UndoFlipInPlace(flip);
      }
      EXPECT_EQ(std::vector<int8_t>(engine.Board, engine.Board + MaxCells), board);
      ASSERT_EQ(engine.ProbeAndFlipHashed(node->Square, both), count);
      if (count > 0) engine.UndoFlipInPlace(both);
      EXPECT_EQ(std::vector<int8_t>(engine.Board, engine.Board + MaxCells), board);
    }
    int n = 0;
    for (MoveRecord* move = list[0].Next; move; move = move->Next) ++n;
    int pick = random() % n;
    MoveRecord* move = list[0].Next;
    while (pick--) move = move->Next;
    engine.MakeMove(*move);
    engine.SwapSides();
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, RandomPlay,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon),
                         [](const auto& info) {
                           return "Board" + std::to_string(int(info.param));
                         });

TEST(OthelloEngine, OctagonCutCornersNeverEnterTheGame) {
  TDiscCountEngine engine(10, TBoardKind::Octagon);
  engine.SetupStartPosition();
  const auto empties = EmptyListSquares(engine);
  for (int32_t square : OctagonCutSquares) {
    EXPECT_EQ(engine.Board[square], OutsideCell);
    EXPECT_EQ(std::count(empties.begin(), empties.end(), square), 0);
  }
}

// Published leaf counts of the 8 x 8 game tree with passes as plies.
TEST(Perft, MatchesThePublishedCountsOn8x8) {
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  engine.SetupStartPosition();
  const int64_t expected[] = {1, 4, 12, 56, 244, 1396, 8200, 55092, 390216};
  const TSnapshot before(engine);
  for (int depth = 0; depth < 9; ++depth) EXPECT_EQ(Perft(engine, depth), expected[depth]);
  EXPECT_TRUE(TSnapshot(engine) == before);
}

// Near the start no line reaches an edge, so the three boards share their first counts, and
// the octagon's cut corners stay out of reach for several more plies.
TEST(Perft, EarlyCountsAgreeOnAllBoards) {
  TDiscCountEngine square(10, TBoardKind::Board10x10), octagon(10, TBoardKind::Octagon);
  square.SetupStartPosition();
  octagon.SetupStartPosition();
  const int64_t expected[] = {1, 4, 12, 56};
  for (int depth = 0; depth <= 3; ++depth) EXPECT_EQ(Perft(square, depth), expected[depth]);
  for (int depth = 4; depth <= 6; ++depth) EXPECT_EQ(Perft(octagon, depth), Perft(square, depth));
}

}  // namespace
}  // namespace morvane
