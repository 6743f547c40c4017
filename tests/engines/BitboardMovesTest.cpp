#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>

#include "engines/BitboardMoves.h"
#include "engines/DiscCountEngine.h"

namespace morvane {
namespace {

// A board of random cells (not necessarily reachable in a game), so that every run length and
// every closing case of every ray is met often.
void FillRandomly(TOthelloEngine& engine, std::mt19937& random, int side) {
  int8_t board[MaxCells];
  std::memset(board, OutsideCell, sizeof(board));
  std::uniform_int_distribution<int> cell(0, 9);
  for (int square = 11; square <= 88; ++square) {
    if (!bits::IsSquare(square)) continue;
    const int draw = cell(random);
    board[square] = draw < 2 ? EmptyCell : (draw < 6 ? BlackCell : WhiteCell);
  }
  engine.SetPosition(board, side);
}

uint64_t DiscsOf(const TOthelloEngine& engine, int colour) {
  uint64_t discs = 0;
  for (int square = 11; square <= 88; ++square)
    if (bits::IsSquare(square) && engine.Board[square] == colour) discs |= bits::BitMask(square);
  return discs;
}

TEST(BitboardMoves, KeysAreTheTranspositionTableKeys) {
  const THashTable table(4);
  for (int word = 0; word < 2; ++word)
    for (int cell = 0; cell < MaxCells; ++cell)
      ASSERT_EQ(bits::FlipKeys.Word[word][cell], table.FlipKey[word][cell])
          << "word " << word << " cell " << cell;
}

TEST(BitboardMoves, SquareAndBitNumbering) {
  EXPECT_EQ(bits::BitOf(11), 0);
  EXPECT_EQ(bits::BitOf(18), 7);
  EXPECT_EQ(bits::BitOf(21), 8);
  EXPECT_EQ(bits::BitOf(81), 56);
  EXPECT_EQ(bits::BitOf(88), 63);
  for (int bit = 0; bit < 64; ++bit) EXPECT_EQ(bits::BitOf(bits::SquareOf(bit)), bit);
}

// Every square, both sides to move, many random boards: the move routines (both twins where the
// build has the vector one) agree with the generic ray scan on the flips, the count, both
// bitboards, both hash words and the set of legal squares.
TEST(BitboardMoves, AgreeWithTheGenericRayScan) {
  TDiscCountEngine engine(4, TBoardKind::Board8x8);
  const THashTable& keys = *engine.HashTable;
  std::mt19937 random(20240611);
  int flippingMoves = 0;
  for (int round = 0; round < 400; ++round) {
    FillRandomly(engine, random, round % 2 ? BlackCell : WhiteCell);
    const uint64_t player = DiscsOf(engine, engine.SideToMove);
    const uint64_t gegner = DiscsOf(engine, engine.OpponentColour);
    uint64_t moves = 0;
    for (int square = 11; square <= 88; ++square) {
      if (!bits::IsSquare(square)) continue;
      MoveRecord record;
      const int expected = engine.ProbeMove(square, record);
      uint64_t flipped = 0;
      uint32_t lo = 0, hi = 0;
      for (int i = 0; i < expected; ++i) {
        flipped |= bits::BitMask(record.Flips[i]);
        lo ^= keys.FlipKey[0][record.Flips[i]];
        hi ^= keys.FlipKey[1][record.Flips[i]];
      }
      if (expected > 0 && engine.Board[square] == EmptyCell) moves |= bits::BitMask(square);
      // Both twins of the flip routine, whichever the build chose.
      EXPECT_EQ(bits::portable::Flips(square, player, gegner), flipped) << "square " << square;
#if defined(__AVX2__)
      EXPECT_EQ(bits::vector::Flips(square, player, gegner), flipped) << "square " << square;
#endif
      const uint64_t playerAfter = expected ? player | flipped | bits::BitMask(square) : player;
      const uint64_t gegnerAfter = gegner & ~flipped;
      flippingMoves += expected > 0;

      EXPECT_EQ(bits::CountFlips(square, player, gegner), expected) << "square " << square;

      uint64_t p = player, g = gegner;
      EXPECT_EQ(bits::Play(square, p, g), expected) << "square " << square;
      EXPECT_EQ(p, playerAfter) << "square " << square;
      EXPECT_EQ(g, gegnerAfter) << "square " << square;

      p = player, g = gegner;
      uint32_t hashLo = 0x12345678u, hashHi = 0x9ABCDEF0u;
      EXPECT_EQ(bits::PlayHashed(square, p, g, hashLo, hashHi), expected) << "square " << square;
      EXPECT_EQ(p, playerAfter) << "square " << square;
      EXPECT_EQ(g, gegnerAfter) << "square " << square;
      EXPECT_EQ(hashLo, 0x12345678u ^ lo) << "square " << square;
      EXPECT_EQ(hashHi, 0x9ABCDEF0u ^ hi) << "square " << square;
      if (HasFailure()) return;
    }
    EXPECT_EQ(bits::portable::Moves(player, gegner), moves) << "round " << round;
#if defined(__AVX2__)
    EXPECT_EQ(bits::vector::Moves(player, gegner), moves) << "round " << round;
#endif
    EXPECT_EQ(bits::Moves(player, gegner), moves) << "round " << round;
    if (HasFailure()) return;
  }
  EXPECT_GT(flippingMoves, 5000);  // the boards really exercised the flipping branches
}

// The bitboards read off a board image hold exactly its black and white cells, in either twin.
TEST(BitboardMoves, BitboardsFromTheImageHoldItsDiscs) {
  TDiscCountEngine engine(4, TBoardKind::Board8x8);
  std::mt19937 random(20261210);
  for (int round = 0; round < 200; ++round) {
    FillRandomly(engine, random, BlackCell);
    const uint64_t black = DiscsOf(engine, BlackCell), white = DiscsOf(engine, WhiteCell);
    uint64_t b = 1, w = 1;
    bits::FromImage(engine.Board, b, w);
    EXPECT_EQ(b, black);
    EXPECT_EQ(w, white);
    bits::portable::FromImage(engine.Board, b, w);
    EXPECT_EQ(b, black);
    EXPECT_EQ(w, white);
  }
}

// With one empty square the table count agrees with the full flip routine, for every square and
// both sides, on boards that are random or nearly all one colour (long runs, wipe-outs).
TEST(BitboardMoves, LastSquareCountAgreesWithTheFlips) {
  std::mt19937_64 random(20261209);
  int flipping = 0;
  for (int round = 0; round < 3000; ++round) {
    uint64_t black = random();
    if (round % 3 == 1) black |= random() | random();  // mostly black
    if (round % 3 == 2) black &= random() & random();  // mostly white
    for (int bit = 0; bit < 64; ++bit) {
      const uint64_t empty = uint64_t{1} << bit;
      const uint64_t b = black & ~empty, w = ~black & ~empty;
      const int square = bits::SquareOf(bit);
      ASSERT_EQ(bits::LastFlipCount(square, b), std::popcount(bits::portable::Flips(square, b, w)))
          << "round " << round << " square " << square;
      ASSERT_EQ(bits::LastFlipCount(square, w), std::popcount(bits::portable::Flips(square, w, b)))
          << "round " << round << " square " << square;
      flipping += bits::LastFlipCount(square, b) > 0;
    }
  }
  EXPECT_GT(flipping, 50000);
}

TEST(BitboardMoves, CellsOffTheBoardPlayNothing) {
  for (const int cell : {-5, 0, 1, 10, 19, 20, 50, 89, 90, 99, 100, 150, 151, 1000}) {
    uint64_t p = ~uint64_t{0} >> 1, g = 0x00FF00FF00FF00FFull;
    uint32_t lo = 7, hi = 9;
    EXPECT_EQ(bits::PlayHashed(cell, p, g, lo, hi), 0) << cell;
    EXPECT_EQ(bits::Play(cell, p, g), 0) << cell;
    EXPECT_EQ(bits::CountFlips(cell, p, g), 0) << cell;
    EXPECT_EQ(p, ~uint64_t{0} >> 1);
    EXPECT_EQ(g, 0x00FF00FF00FF00FFull);
    EXPECT_EQ(lo, 7u);
    EXPECT_EQ(hi, 9u);
  }
}

// Opponent discs on 12 and 13, an own disc on 14: a move on 11 flips two discs.
TEST(BitboardMoves, CornerMoveAlongTheFirstRow) {
  uint64_t p = bits::BitMask(14), g = bits::BitMask(12) | bits::BitMask(13);
  uint32_t lo = 0, hi = 0;
  EXPECT_EQ(bits::PlayHashed(11, p, g, lo, hi), 2);
  EXPECT_EQ(p, 0xFull);  // bits 0..3
  EXPECT_EQ(g, 0u);
  EXPECT_EQ(lo, bits::FlipKeys.Word[0][12] ^ bits::FlipKeys.Word[0][13]);
  EXPECT_EQ(hi, bits::FlipKeys.Word[1][12] ^ bits::FlipKeys.Word[1][13]);
}

TEST(BitboardMoves, MoveWithoutFlipsChangesNothing) {
  // An opponent run that ends on an empty square, and one that runs into the edge.
  const uint64_t player0 = bits::BitMask(45);
  const uint64_t gegner0 = bits::BitMask(12) | bits::BitMask(13) | bits::BitMask(21) |
                           bits::BitMask(31) | bits::BitMask(41) | bits::BitMask(51) |
                           bits::BitMask(61) | bits::BitMask(71) | bits::BitMask(81);
  uint64_t p = player0, g = gegner0;
  uint32_t lo = 1, hi = 2;
  EXPECT_EQ(bits::PlayHashed(11, p, g, lo, hi), 0);
  EXPECT_EQ(p, player0);
  EXPECT_EQ(g, gegner0);
  EXPECT_EQ(lo, 1u);
  EXPECT_EQ(hi, 2u);
}

TEST(BitboardMoves, CentreSquaresFlipNineteenAtMost) {
  // d4 surrounded as far as the rays reach, own discs at every ray's end: 2+3+2+3+2+3+2+2.
  const int d4 = 44;
  uint64_t player = 0, gegner = 0;
  for (const int step : bits::Steps) {
    int cell = d4 + step;
    while (bits::IsSquare(cell + step)) {
      gegner |= bits::BitMask(cell);
      cell += step;
    }
    player |= bits::BitMask(cell);
  }
  EXPECT_EQ(bits::CountFlips(d4, player, gegner), bits::MaxFlipsPerMove);
  EXPECT_EQ(bits::MaxFlipsPerMove, 19);
}

}  // namespace
}  // namespace morvane
