#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "engines/DiscCountEngine.h"
#include "engine/Widgets.h"
#include "engines/Othello8x8PatternEngine.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using reference::TReferenceBoard;
using Engine = TOthello8x8PatternEngine;

// Random Fenwa coefficients written once for the whole suite.
class EightByEight : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Folder = new fs::path(fs::temp_directory_path() /
                          ("morvane-bitboard-" + std::to_string(std::random_device{}())));
    for (const char* name : {"Bot8x8", "Pellin"}) {
      const auto layout = CreateEvaluation(name, nullptr, *Folder, false);
      WriteCoefficientFile(*layout, layout->FilePath(".coe"), 77);
    }
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*Folder, ignored);
    delete Folder;
  }

  static std::unique_ptr<Engine> MakeEngine(double hashBits = 16, const char* name = "Bot8x8") {
    return std::make_unique<Engine>("Test", CreateEvaluation(name, nullptr, *Folder, true),
                                    hashBits);
  }

  static void Load(TOthelloEngine& engine, const TReferenceBoard& board) {
    PositionImage image{};
    ASSERT_TRUE(engine.ParsePosition(board.ToText(), image));
    engine.SetPosition(image.Board, image.SideToMove);
  }

  static fs::path* Folder;
};

fs::path* EightByEight::Folder = nullptr;

std::vector<int> EmptySquares(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

uint64_t DiscsOf(const TOthelloEngine& engine, int colour) {
  uint64_t discs = 0;
  for (int bit = 0; bit < 64; ++bit)
    if (engine.Board[bits::SquareOf(bit)] == colour) discs |= uint64_t{1} << bit;
  return discs;
}

// A board of random cells, not necessarily reachable.
void FillRandomly(TOthelloEngine& engine, std::mt19937& random, int side) {
  int8_t board[MaxCells];
  std::memset(board, OutsideCell, sizeof(board));
  std::uniform_int_distribution<int> cell(0, 9);
  for (int bit = 0; bit < 64; ++bit) {
    const int draw = cell(random);
    board[bits::SquareOf(bit)] = draw < 3 ? EmptyCell : (draw < 6 ? BlackCell : WhiteCell);
  }
  engine.SetPosition(board, side);
}

std::set<int> FlipSet(const MoveRecord& record) {
  return std::set<int>(record.Flips, record.Flips + record.FlipCount);
}

// Everything a search must leave as it found it.
struct TState {
  std::vector<int8_t> Board;
  int Own, Opp, Empty, Side;
  uint32_t Lo, Hi;
  std::vector<int> Empties;
  std::vector<int32_t> Indices;
  explicit TState(const TOthelloPatternEngine& e)
      : Board(e.Board, e.Board + MaxCells),
        Own(e.OwnDiscs),
        Opp(e.OppDiscs),
        Empty(e.EmptyCount),
        Side(e.SideToMove),
        Lo(e.HashLo),
        Hi(e.HashHi),
        Empties(EmptySquares(e)),
        Indices(e.PatternIndex, e.PatternIndex + e.InstanceCount) {}
  bool operator==(const TState&) const = default;
};

// ---- Board-image rules ----

TEST_F(EightByEight, EmptyListFollowsTheSquareOrder) {
  auto engine = MakeEngine();
  engine->SetupStartPosition();
  const std::vector<int> empties = EmptySquares(*engine);
  ASSERT_EQ(empties.size(), 60u);
  EXPECT_EQ(std::vector<int>(empties.begin(), empties.begin() + 6),
            (std::vector<int>{11, 18, 81, 88, 13, 16}));
  EXPECT_EQ(empties,
            std::vector<int>(std::begin(Engine::SquareOrder), std::end(Engine::SquareOrder)));
  EXPECT_EQ((std::vector<int>(empties.end() - 4, empties.end())),
            (std::vector<int>{22, 27, 72, 77}));

  // The order holds for any position; an empty centre square is not lost.
  std::mt19937 random(3);
  FillRandomly(*engine, random, BlackCell);
  engine->Board[44] = EmptyCell;
  engine->SetPosition(engine->Board, BlackCell);
  std::vector<int> expected;
  for (const int square : Engine::SquareOrder)
    if (engine->Board[square] == EmptyCell) expected.push_back(square);
  for (const int square : {44, 45, 54, 55})
    if (engine->Board[square] == EmptyCell) expected.push_back(square);
  EXPECT_EQ(EmptySquares(*engine), expected);
}

// The unrolled rules give what the generic ray scan gives, flips as a set, hash deltas exactly.
TEST_F(EightByEight, RulesAgreeWithTheGenericRayScan) {
  auto engine = MakeEngine();
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const int side = round % 2 ? BlackCell : WhiteCell;
    FillRandomly(*engine, random, side);
    generic.SetPosition(engine->Board, side);
    for (int bit = 0; bit < 64; ++bit) {
      const int square = bits::SquareOf(bit);
      if (engine->Board[square] != EmptyCell) continue;
      MoveRecord mine, theirs;
      const int count = generic.ProbeMoveHashed(square, theirs);
      ASSERT_EQ(engine->ProbeMoveHashed(square, mine), count) << square;
      EXPECT_EQ(engine->CountFlips(square), count) << square;
      EXPECT_EQ(engine->IsLegalMove(square), count > 0) << square;
      if (count == 0) continue;
      EXPECT_EQ(mine.Square, square);
      EXPECT_EQ(FlipSet(mine), FlipSet(theirs)) << square;
      EXPECT_EQ(mine.HashDeltaLo, theirs.HashDeltaLo) << square;
      EXPECT_EQ(mine.HashDeltaHi, theirs.HashDeltaHi) << square;
      MoveRecord plain;
      EXPECT_EQ(engine->ProbeMove(square, plain), count);
      EXPECT_EQ(FlipSet(plain), FlipSet(theirs));

      // FlipInPlace changes exactly the square and its flips, and the undo restores them.
      const std::vector<int8_t> before(engine->Board, engine->Board + MaxCells);
      MoveRecord flipped;
      ASSERT_EQ(engine->FlipInPlace(square, flipped), count);
      std::vector<int8_t> expected = before;
      expected[square] = static_cast<int8_t>(side);
      for (const int f : FlipSet(theirs)) expected[f] = static_cast<int8_t>(side);
      EXPECT_EQ(std::vector<int8_t>(engine->Board, engine->Board + MaxCells), expected);
      engine->UndoFlipInPlace(flipped);
      EXPECT_EQ(std::vector<int8_t>(engine->Board, engine->Board + MaxCells), before);
      if (HasFailure()) return;
    }
  }
}

TEST_F(EightByEight, FlipsAreRecordedDirectionByDirectionNearestFirst) {
  // d4 for black: white on e4 closed by f4 (east), white on d5 and d6 closed by d7 (south).
  TReferenceBoard board(8);
  board.Set(5, 4, reference::White);
  board.Set(6, 4, reference::Black);
  board.Set(4, 5, reference::White);
  board.Set(4, 6, reference::White);
  board.Set(4, 7, reference::Black);
  auto engine = MakeEngine();
  Load(*engine, board);
  MoveRecord record;
  ASSERT_EQ(engine->ProbeMove(44, record), 3);
  EXPECT_EQ(std::vector<int>(record.Flips, record.Flips + 3), (std::vector<int>{45, 54, 64}));
}

TEST_F(EightByEight, MoveListsMatchTheGenericOnes) {
  auto engine = MakeEngine();
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  std::mt19937 random(12);
  for (int round = 0; round < 50; ++round) {
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), 10 + round, random);
    Load(*engine, board);
    Load(generic, board);
    std::set<int> expected;
    std::map<int, const MoveRecord*> theirs;
    TMoveList list;
    generic.GenerateMovesHashed(list);
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      expected.insert(move->Square);
      theirs[move->Square] = move;
    }
    EXPECT_EQ(engine->LegalMoves().Count(), static_cast<int>(expected.size()));
    for (const bool hashed : {false, true}) {
      TMoveList mine;
      if (hashed)
        engine->GenerateMovesHashed(mine);
      else
        engine->GenerateMoves(mine);
      std::vector<int> squares;
      for (const MoveRecord* move = mine[0].Next; move; move = move->Next) {
        squares.push_back(move->Square);
        if (!theirs.count(move->Square)) continue;
        const MoveRecord& other = *theirs[move->Square];
        EXPECT_EQ(move->FlipCount, other.FlipCount) << move->Square;
        EXPECT_EQ(FlipSet(*move), FlipSet(other)) << move->Square;
        if (!hashed) continue;
        EXPECT_EQ(move->HashDeltaLo, other.HashDeltaLo) << move->Square;
        EXPECT_EQ(move->HashDeltaHi, other.HashDeltaHi) << move->Square;
      }
      EXPECT_EQ(std::set<int>(squares.begin(), squares.end()), expected);
      // In the order of the empty list.
      std::vector<int> inOrder;
      for (const int square : EmptySquares(*engine))
        if (expected.count(square)) inOrder.push_back(square);
      EXPECT_EQ(squares, inOrder);
    }
  }
}

TEST_F(EightByEight, CornerStabilityCountsCornersAndTheirEdgeNeighbours) {
  auto engine = MakeEngine();
  TReferenceBoard board(8);
  for (const auto& [column, row] : std::vector<std::pair<int, int>>{{1, 1},
                                                                    {2, 1},
                                                                    {1, 2},
                                                                    {8, 1},
                                                                    {7, 1},
                                                                    {8, 2},
                                                                    {1, 8},
                                                                    {2, 8},
                                                                    {1, 7},
                                                                    {8, 8},
                                                                    {7, 8},
                                                                    {8, 7}})
    board.Set(column, row, reference::Black);
  board.Set(4, 4, reference::White);
  Load(*engine, board);
  EXPECT_EQ(engine->CornerStability(BlackCell), 12);
  EXPECT_EQ(engine->CornerStability(WhiteCell), 0);
  engine->LoadBitboards();
  EXPECT_EQ(engine->CornerStabilityBits(BlackCell), 12);

  // A neighbour without its corner counts nothing; a corner alone counts one.
  board.Set(1, 1, reference::White);
  Load(*engine, board);
  EXPECT_EQ(engine->CornerStability(BlackCell), 9);
  EXPECT_EQ(engine->CornerStability(WhiteCell), 1);

  // On the bitboards the same counts, for both colours, on random boards.
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    FillRandomly(*engine, random, round % 2 ? BlackCell : WhiteCell);
    engine->LoadBitboards();
    for (const int colour : {BlackCell, WhiteCell})
      ASSERT_EQ(engine->CornerStabilityBits(colour), engine->CornerStability(colour));
  }
}

// ---- Bitboards ----

TEST_F(EightByEight, MobilityMaskMarksExactlyTheLegalMoves) {
  auto engine = MakeEngine();
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  std::mt19937 random(13);
  for (int round = 0; round < 300; ++round) {
    const int side = round % 2 ? BlackCell : WhiteCell;
    FillRandomly(*engine, random, side);
    generic.SetPosition(engine->Board, side);
    engine->LoadBitboards();
    EXPECT_EQ(engine->PlayerBitboard, DiscsOf(generic, side));
    EXPECT_EQ(engine->GegnerBitboard, DiscsOf(generic, -side));
    uint64_t expected = 0;
    for (int bit = 0; bit < 64; ++bit) {
      const int square = bits::SquareOf(bit);
      if (generic.Board[square] == EmptyCell && generic.IsLegalMove(square))
        expected |= uint64_t{1} << bit;
    }
    ASSERT_EQ(engine->MobilityMask(), expected) << "round " << round;
    EXPECT_EQ(Engine::BitCount(expected), generic.MobilityCount());
  }
}

TEST_F(EightByEight, BitMoveRecordsCarryTheChildPosition) {
  auto engine = MakeEngine();
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  std::mt19937 random(14);
  int records = 0;
  for (int round = 0; round < 60; ++round) {
    const TReferenceBoard board =
        reference::RandomPosition(TReferenceBoard(8), 1 + round % 40, random);
    Load(*engine, board);
    Load(generic, board);
    engine->LoadBitboards();
    const uint64_t player = engine->PlayerBitboard, gegner = engine->GegnerBitboard;
    const uint32_t lo = engine->HashLo, hi = engine->HashHi;

    TMoveList list;
    engine->BuildBitMoveList(list);
    std::set<int> squares;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      squares.insert(move->Square);
      ++records;
      // The child, played by the generic rules with the other side to move.
      MoveRecord probe;
      ASSERT_EQ(generic.ProbeMoveHashed(move->Square, probe), move->FlipCount);
      generic.MakeMove(probe);
      generic.SwapSides();
      uint32_t childLo, childHi;
      generic.ComputeHash(childLo, childHi);
      EXPECT_EQ(move->HashDeltaLo, childLo);
      EXPECT_EQ(move->HashDeltaHi, childHi);
      EXPECT_EQ(move->MoverBitsAfter, DiscsOf(generic, generic.OpponentColour));
      EXPECT_EQ(move->OpponentBitsAfter, DiscsOf(generic, generic.SideToMove));
      generic.SwapSides();
      generic.UnmakeMove(probe);
    }
    // Every legal move, nothing else, and the engine as it was.
    std::set<int> legal;
    for (const int square : EmptySquares(generic))
      if (generic.IsLegalMove(square)) legal.insert(square);
    EXPECT_EQ(squares, legal);

    // Without hashing: the same moves and children, each keeping this position's hash.
    TMoveList plain;
    engine->BuildBitMoveList(plain, engine->MobilityMask(), 0, false);
    const MoveRecord* hashed = list[0].Next;
    for (const MoveRecord* move = plain[0].Next; move; move = move->Next) {
      ASSERT_NE(hashed, nullptr);
      EXPECT_EQ(move->Square, hashed->Square);
      EXPECT_EQ(move->FlipCount, hashed->FlipCount);
      EXPECT_EQ(move->MoverBitsAfter, hashed->MoverBitsAfter);
      EXPECT_EQ(move->OpponentBitsAfter, hashed->OpponentBitsAfter);
      EXPECT_EQ(move->HashDeltaLo, lo);
      EXPECT_EQ(move->HashDeltaHi, hi);
      hashed = hashed->Next;
    }
    EXPECT_EQ(hashed, nullptr);

    EXPECT_EQ(engine->PlayerBitboard, player);
    EXPECT_EQ(engine->GegnerBitboard, gegner);
    EXPECT_EQ(engine->HashLo, lo);
    EXPECT_EQ(engine->HashHi, hi);
  }
  EXPECT_GT(records, 200);
}

TEST_F(EightByEight, PlayBitsHashedOnTheEngine) {
  auto engine = MakeEngine();
  TReferenceBoard board(8);
  board.Set(2, 1, reference::White);
  board.Set(3, 1, reference::White);
  board.Set(4, 1, reference::Black);
  Load(*engine, board);
  engine->LoadBitboards();
  const uint32_t lo = engine->HashLo, hi = engine->HashHi;
  EXPECT_EQ(engine->CountBitsFlips(11), 2);
  EXPECT_EQ(engine->PlayBitsHashed(11), 2);
  EXPECT_EQ(engine->PlayerBitboard, 0xFull);
  EXPECT_EQ(engine->GegnerBitboard, 0u);
  EXPECT_EQ(engine->HashLo,
            lo ^ engine->HashTable->FlipKey[0][12] ^ engine->HashTable->FlipKey[0][13]);
  EXPECT_EQ(engine->HashHi,
            hi ^ engine->HashTable->FlipKey[1][12] ^ engine->HashTable->FlipKey[1][13]);
  // Nothing more to flip from there.
  EXPECT_EQ(engine->PlayBitsHashed(15), 0);
  EXPECT_EQ(engine->PlayBits(15), 0);
  EXPECT_EQ(engine->PlayerBitboard, 0xFull);
}

TEST_F(EightByEight, OrderBitMovesPrefersFewerRepliesWhateverTheCorners) {
  auto engine = MakeEngine();
  engine->SetupStartPosition();
  // Move 66: the mover holds no corner; the opponent (one disc on d4) can answer on f4 and d6,
  // over the mover's discs on e4 and d5. Move 33: the mover holds every corner and its
  // neighbours, and with e5 added the opponent has a third reply, f6.
  const auto bit = [](int square) { return bits::BitMask(square); };
  uint64_t corners = 0;
  for (const int square : {11, 12, 21, 18, 17, 28, 81, 82, 71, 88, 87, 78}) corners |= bit(square);
  MoveRecord list[3];
  list[0].Next = &list[1];
  list[1] = MoveRecord{};
  list[1].Square = 33;
  list[1].MoverBitsAfter = corners | bit(45) | bit(54) | bit(55);
  list[1].OpponentBitsAfter = bit(44);
  list[1].Next = &list[2];
  list[2] = MoveRecord{};
  list[2].Square = 66;
  list[2].MoverBitsAfter = bit(45) | bit(54);
  list[2].OpponentBitsAfter = bit(44);
  list[2].Next = nullptr;

  // The claimed reply counts, by the generic rules.
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  for (int i = 1; i <= 2; ++i) {
    int8_t image[MaxCells];
    std::memset(image, OutsideCell, sizeof(image));
    for (int b = 0; b < 64; ++b) {
      const uint64_t mask = uint64_t{1} << b;
      image[bits::SquareOf(b)] = list[i].MoverBitsAfter & mask      ? BlackCell
                                 : list[i].OpponentBitsAfter & mask ? WhiteCell
                                                                    : EmptyCell;
    }
    generic.SetPosition(image, WhiteCell);
    EXPECT_EQ(generic.MobilityCount(), i == 1 ? 3 : 2);
  }
  EXPECT_EQ(Engine::CornerStabilityOf(list[1].MoverBitsAfter), 12);

  engine->OrderBitMoves(list);
  ASSERT_NE(list[0].Next, nullptr);
  EXPECT_EQ(list[0].Next->Square, 66);
  EXPECT_GT(list[0].Next->OrderKey, list[0].Next->Next->OrderKey);
}

// ---- Stability ----

TEST_F(EightByEight, StableDiscsExamples) {
  const uint64_t corners =
      bits::BitMask(11) | bits::BitMask(18) | bits::BitMask(81) | bits::BitMask(88);
  const uint64_t others = bits::BitMask(44) | bits::BitMask(55) | bits::BitMask(12);
  EXPECT_EQ(Engine::StableDiscsEstimate(corners, corners | others, 10), 4);
  EXPECT_EQ(Engine::StableDiscsEstimate(corners, corners | others, 1), 1);
  EXPECT_EQ(Engine::StableDiscsEstimate(0, others, 1), 0);
  // A full first row of one colour is safe whole; a disc next to a safe corner along the edge is
  // safe too, but not one that could still be taken along its column.
  uint64_t row1 = 0;
  for (int square = 11; square <= 18; ++square) row1 |= bits::BitMask(square);
  EXPECT_EQ(Engine::StableDiscsEstimate(row1, row1, 64), 8);
  const uint64_t edge = bits::BitMask(11) | bits::BitMask(12) | bits::BitMask(13);
  EXPECT_EQ(Engine::StableDiscs(edge, edge | bits::BitMask(22)), edge);
  EXPECT_EQ(Engine::StableDiscs(bits::BitMask(12), bits::BitMask(12)), 0u);
}

// The same safe set computed square by square: a square is closed along an axis when it lies on
// the board edge across that axis or every square of its line along that axis is occupied; a
// disc is safe along an axis when closed there or next to a safe disc of its colour on it.
uint64_t ReferenceStableDiscs(uint64_t discs, uint64_t occupied) {
  static constexpr int Axes[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
  auto on = [](int row, int column) { return row >= 0 && row < 8 && column >= 0 && column < 8; };
  auto bit = [](int row, int column) { return uint64_t{1} << (8 * row + column); };
  uint64_t closed[4] = {};
  for (int axis = 0; axis < 4; ++axis) {
    const int dr = Axes[axis][0], dc = Axes[axis][1];
    for (int row = 0; row < 8; ++row) {
      for (int column = 0; column < 8; ++column) {
        bool full = true, edge = !on(row + dr, column + dc) || !on(row - dr, column - dc);
        for (int sign : {1, -1})
          for (int r = row, c = column; on(r, c); r += sign * dr, c += sign * dc)
            full = full && (occupied & bit(r, c));
        if (full || edge) closed[axis] |= bit(row, column);
      }
    }
  }
  uint64_t stable = discs & closed[0] & closed[1] & closed[2] & closed[3];
  for (bool grew = true; grew;) {
    grew = false;
    for (int square = 0; square < 64; ++square) {
      const int row = square / 8, column = square % 8;
      if (!(discs & bit(row, column)) || (stable & bit(row, column))) continue;
      bool safe = true;
      for (int axis = 0; axis < 4; ++axis) {
        const int dr = Axes[axis][0], dc = Axes[axis][1];
        const bool anchored =
            (on(row + dr, column + dc) && (stable & bit(row + dr, column + dc))) ||
            (on(row - dr, column - dc) && (stable & bit(row - dr, column - dc)));
        safe = safe && ((closed[axis] & bit(row, column)) || anchored);
      }
      if (safe) {
        stable |= bit(row, column);
        grew = true;
      }
    }
  }
  return stable;
}

TEST_F(EightByEight, StableDiscsMatchASquareBySquareRecount) {
  std::mt19937_64 random(27);
  for (int round = 0; round < 3000; ++round) {
    // Crowded boards, so that many lines are full.
    const uint64_t occupied = random() | random() | (round % 3 == 0 ? random() : 0);
    const uint64_t discs = occupied & random();
    ASSERT_EQ(Engine::StableDiscs(discs, occupied), ReferenceStableDiscs(discs, occupied))
        << std::hex << "discs " << discs << " occupied " << occupied;
  }
}

// Collects every disc that changes colour in some continuation (all legal sequences, passes
// included) of up to `plies` moves.
void CollectFlippable(TOthelloEngine& engine, int plies, bool passed, uint64_t& flippable) {
  if (plies == 0) return;
  TMoveList list;
  engine.GenerateMovesHashed(list);
  if (!list[0].Next) {
    if (passed) return;
    engine.MakePass();
    CollectFlippable(engine, plies, true, flippable);
    engine.MakePass();
    return;
  }
  for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
    for (int i = 0; i < move->FlipCount; ++i) flippable |= bits::BitMask(move->Flips[i]);
    engine.MakeMove(*move);
    engine.SwapSides();
    CollectFlippable(engine, plies - 1, false, flippable);
    engine.SwapSides();
    engine.UnmakeMove(*move);
  }
}

TEST_F(EightByEight, StableDiscsNeverIncludeADiscThatCanFlip) {
  TDiscCountEngine generic(4, TBoardKind::Board8x8);
  std::mt19937 random(15);
  int stableSeen = 0, positions = 0;
  // Late positions are searched to the end of the game; earlier ones three plies deep.
  for (int round = 0; round < 160; ++round) {
    const int empties = round < 100 ? 4 + round % 7 : 14 + round % 30;
    const int plies = round < 100 ? empties + 2 : 3;
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    Load(generic, board);
    uint64_t flippable = 0;
    CollectFlippable(generic, plies, false, flippable);
    const uint64_t occupied = DiscsOf(generic, BlackCell) | DiscsOf(generic, WhiteCell);
    for (const int colour : {BlackCell, WhiteCell}) {
      const uint64_t discs = DiscsOf(generic, colour);
      const uint64_t stable = Engine::StableDiscs(discs, occupied);
      ASSERT_EQ(stable & ~discs, 0u);
      ASSERT_EQ(stable & flippable, 0u) << board.ToText() << " colour " << colour;
      EXPECT_EQ(Engine::StableDiscsEstimate(discs, occupied, 65), std::popcount(stable));
      // A limit stops the count early, never below the limit or above the whole set.
      for (const int limit : {2, 5, 9}) {
        const int count = Engine::StableDiscsEstimate(discs, occupied, limit);
        EXPECT_LE(count, std::popcount(stable));
        EXPECT_GE(count, std::min(limit, std::popcount(stable)));
      }
      stableSeen += std::popcount(stable);
    }
    ++positions;
  }
  EXPECT_GT(stableSeen, 4 * positions);  // the positions really had stable discs to check
}

// ---- The bitboard solver ----

// Corners a1 and h8 empty, every ray from them of one colour to the edge (or to the other
// corner), so neither side can play there; `interiorBlack` of the 30 other squares black.
TReferenceBoard DeadCorners(int rowAndColumnH, int rowAndColumnA, int diagonal, int interiorBlack,
                            int toMove) {
  TReferenceBoard board(8);
  int interior = 0;
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) {
      if ((column == 1 && row == 1) || (column == 8 && row == 8)) continue;
      int cell;
      if (row == 1 || column == 8)
        cell = rowAndColumnH;
      else if (column == 1 || row == 8)
        cell = rowAndColumnA;
      else if (row == column)
        cell = diagonal;
      else
        cell = interior++ < interiorBlack ? reference::Black : reference::White;
      board.Set(column, row, cell);
    }
  board.ToMove = toMove;
  return board;
}

TEST_F(EightByEight, SolveTwoBitsWhenNobodyCanPlay) {
  auto engine = MakeEngine();
  struct TCase {
    int InteriorBlack;
    int Expected;
  };
  // Frame: 13 black, 13 white, diagonal 6 black; so black's margin is 2b - 24 over 62 discs.
  for (const TCase& c : {TCase{14, 6}, TCase{12, 0}, TCase{10, -6}, TCase{13, 4}}) {
    const TReferenceBoard board = DeadCorners(reference::Black, reference::White, reference::Black,
                                              c.InteriorBlack, reference::Black);
    ASSERT_TRUE(board.GameOver());
    ASSERT_EQ(board.FinalMargin(), c.Expected);
    Load(*engine, board);
    engine->LoadBitboards();
    EXPECT_EQ(engine->SolveTwoBits(-64, 64, 11, 88, false), c.Expected);
    EXPECT_EQ(engine->SolveTwoBits(-64, 64, 88, 11, true), c.Expected);
    // And from the other side.
    engine->SwapSides();
    engine->LoadBitboards();
    EXPECT_EQ(engine->SolveTwoBits(-64, 64, 11, 88, false), -c.Expected);
  }
}

// A result of a window search, judged against the true value: fail-soft bounds must hold.
void ExpectWindowResult(int32_t result, int32_t alpha, int32_t beta, int truth) {
  if (result <= alpha)
    EXPECT_GE(result, truth) << "fail low at " << alpha << ".." << beta;
  else if (result >= beta)
    EXPECT_LE(result, truth) << "fail high at " << alpha << ".." << beta;
  else
    EXPECT_EQ(result, truth) << "inside " << alpha << ".." << beta;
}

TEST_F(EightByEight, SolveTwoBitsAgreesWithBruteForce) {
  auto engine = MakeEngine();
  std::mt19937 random(16);
  int onlyOpponent = 0, onlyMover = 0, nobody = 0, moverPasses = 0;
  std::vector<TReferenceBoard> boards;
  for (int i = 0; i < 400; ++i)
    boards.push_back(reference::RandomPosition(TReferenceBoard(8), 2, random));
  for (const TReferenceBoard& board :
       reference::RandomPassPositions(TReferenceBoard(8), 2, 40, random))
    boards.push_back(board);
  for (const TReferenceBoard& board : boards) {
    if (board.Count(reference::Empty) != 2) continue;
    const int truth = board.Solve();
    Load(*engine, board);
    const std::vector<int> empties = EmptySquares(*engine);
    // Which case the last square falls into, after the first move.
    if (!board.HasMove()) ++moverPasses;
    for (const reference::TSquare first : board.Moves()) {
      TReferenceBoard after = board;
      after.Play(first);
      const bool opponent = after.HasMove(), mover = after.OpponentHasMove();
      onlyOpponent += opponent && !mover;
      onlyMover += !opponent && mover;
      nobody += !opponent && !mover;
    }
    for (const auto& [alpha, beta] : std::vector<std::pair<int, int>>{{-64, 64},
                                                                      {truth - 1, truth + 1},
                                                                      {truth, truth + 1},
                                                                      {truth - 1, truth},
                                                                      {truth + 4, truth + 5},
                                                                      {truth - 5, truth - 4},
                                                                      {-64, truth - 30},
                                                                      {truth + 30, 64}}) {
      if (alpha >= beta) continue;
      engine->LoadBitboards();
      const int64_t nodes = engine->NodeCount;
      const int32_t result = engine->SolveTwoBits(alpha, beta, empties[0], empties[1], false);
      ExpectWindowResult(result, alpha, beta, truth);
      EXPECT_GT(engine->NodeCount, nodes);
      EXPECT_EQ(engine->OwnDiscs - engine->OppDiscs,
                board.Count(board.ToMove) - board.Count(-board.ToMove));
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(onlyOpponent, 0);
  EXPECT_GT(onlyMover, 0);
  EXPECT_GT(nobody, 0);
  EXPECT_GT(moverPasses, 0);
}

// The solver against the brute force and against the generic solver, from every entry: the
// tiers (1 to 13 empties), the table search and the endgame node.
TEST_F(EightByEight, BitboardSolverAgreesWithBruteForceAndTheGenericSolver) {
  auto engine = MakeEngine(14);
  TDiscCountEngine generic(14, TBoardKind::Board8x8);
  std::mt19937 random(17);
  std::vector<TReferenceBoard> boards;
  for (int i = 0; i < 130; ++i)
    boards.push_back(reference::RandomPosition(TReferenceBoard(8), 1 + i % 10, random));
  for (const TReferenceBoard& board :
       reference::RandomPassPositions(TReferenceBoard(8), 10, 30, random))
    boards.push_back(board);
  for (int i = 0; i < 12; ++i)
    boards.push_back(reference::RandomPosition(TReferenceBoard(8), 11 + i % 3, random));

  for (const TReferenceBoard& board : boards) {
    const int empties = board.Count(reference::Empty);
    const int truth = empties <= 11 ? board.Solve() : 1000;
    Load(*engine, board);
    Load(generic, board);
    const TState before(*engine);
    int32_t margin;
    const int32_t exact = engine->EndSearchPV(-64, 64, false, margin);
    const int32_t genericExact = generic.EndSearchPV(-64, 64, false, margin);
    EXPECT_EQ(exact, genericExact) << board.ToText();
    if (truth != 1000) {
      EXPECT_EQ(exact, truth) << board.ToText();
    }
    EXPECT_EQ(margin, Infinity);
    EXPECT_TRUE(TState(*engine) == before) << "the solve must leave the position as it was";

    std::uniform_int_distribution<int> around(-8, 8);
    for (int k = 0; k < 6; ++k) {
      const int alpha = exact + around(random), beta = k % 2 ? alpha + 1 : alpha + 1 + k;
      const int32_t result = k < 3 ? engine->EndSearchZW(alpha, beta, false, margin)
                                   : engine->EndSearchPV(alpha, beta, false, margin);
      ExpectWindowResult(result, alpha, beta, exact);
    }
    if (HasFailure()) return;
  }
}

TEST_F(EightByEight, TiersAgreeWithBruteForceEnteredDirectly) {
  auto engine = MakeEngine(12);
  std::mt19937 random(18);
  for (int i = 0; i < 200; ++i) {
    const int empties = 2 + i % 8;
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    const int truth = board.Solve();
    Load(*engine, board);
    engine->RecountRegions();
    engine->LoadBitboards();
    int32_t value;
    if (empties >= 8)
      value = engine->EndgameSearchBits(-65, 65, false);
    else if (empties >= 5)
      value = engine->SolveSmallBits(-65, 65, false);
    else if (empties == 4)
      value = engine->SolveFourBits(-65, 65, false);
    else if (empties == 3)
      value = engine->SolveThreeBits(-65, 65, false);
    else
      value = engine->SolveEndgameBits(-65, 65, false);
    ASSERT_EQ(value, truth) << board.ToText();
  }
}

// The table-less tiers order by the opponent's replies where they expect a cut and by parity
// elsewhere: with either kind of node expected at either parity, in principal-variation and null
// windows and through passes, the answers stay those of brute force.
TEST_F(EightByEight, SmallSolverAgreesWithBruteForceWhicheverNodesShouldCut) {
  auto engine = MakeEngine(12);
  std::mt19937 random(19);
  std::vector<TReferenceBoard> boards;
  for (int i = 0; i < 90; ++i)
    boards.push_back(reference::RandomPosition(TReferenceBoard(8), 5 + i % 3, random));
  int passes = 0;
  for (const TReferenceBoard& board :
       reference::RandomPassPositions(TReferenceBoard(8), 7, 400, random)) {
    if (board.Count(reference::Empty) < 5) continue;
    boards.push_back(board);
    ++passes;
  }
  for (const TReferenceBoard& board : boards) {
    const int truth = board.Solve();
    Load(*engine, board);
    engine->RecountRegions();
    engine->LoadBitboards();
    for (const int cutParity : {0, 1}) {
      engine->CutNodeParity = cutParity;
      ASSERT_EQ(engine->SolveSmallBits(-65, 65, false), truth) << board.ToText();
      for (const int alpha : {truth - 3, truth - 1, truth, truth + 2})
        ExpectWindowResult(engine->SolveSmallBits(alpha, alpha + 1, false), alpha, alpha + 1,
                           truth);
      ExpectWindowResult(engine->SolveSmallBits(truth - 1, truth + 1, false), truth - 1, truth + 1,
                         truth);
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(passes, 5);
}

// A random position of `empties` empties in which most discs of one side (the side to move when
// `moverLoses`) have changed colour, leaving it at least one; it need not be reachable.
TReferenceBoard NearWipeOut(int empties, bool moverLoses, std::mt19937& random) {
  for (;;) {
    TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    const int victim = moverLoses ? board.ToMove : -board.ToMove;
    std::bernoulli_distribution keep(0.05);
    for (int row = 1; row <= 8; ++row)
      for (int column = 1; column <= 8; ++column)
        if (board.At(column, row) == victim && !keep(random)) board.Set(column, row, -victim);
    if (board.Count(victim) > 0) return board;
  }
}

// Positions where one side is down to a few discs: wipe-outs, the stability bounds of both
// sides and windows at the very end of the scale, in every tier, against brute force.
TEST_F(EightByEight, NearWipeOutsAgreeWithBruteForce) {
  auto engine = MakeEngine(14);
  std::mt19937 random(23);
  int wipeOuts = 0, lost = 0;
  for (int i = 0; i < 240; ++i) {
    const TReferenceBoard board = NearWipeOut(3 + i % 9, i % 2 == 1, random);
    if (board.GameOver()) continue;
    const int truth = board.Solve();
    wipeOuts += truth == 64;
    lost += truth == -64;
    Load(*engine, board);
    const TState before(*engine);
    int32_t margin;
    ASSERT_EQ(engine->EndSearchPV(-64, 64, false, margin), truth) << board.ToText();
    for (const auto& [alpha, beta] : {std::pair{63, 64}, {62, 64}, {-64, -63}, {-64, -62},
                                      std::pair{truth - 1, truth + 1}}) {
      ExpectWindowResult(engine->EndSearchZW(alpha, beta, false, margin), alpha, beta, truth);
      ExpectWindowResult(engine->EndSearchPV(alpha, beta, false, margin), alpha, beta, truth);
    }
    EXPECT_TRUE(TState(*engine) == before);
    if (HasFailure()) return;
  }
  // Both ends of the scale were reached, so the wipe-out shortcuts ran.
  EXPECT_GT(wipeOuts, 5);
  EXPECT_GT(lost, 5);
}

// The same above the bitboard solver: the board-image nodes (14 empties and more) cut on stable
// discs too. A generic engine made for each position, which has no such cut, answers the same
// windows at the ends of the scale: both must fail low, fail high or land inside alike, on the
// same value when inside.
TEST_F(EightByEight, NearWipeOutsOnTheBoardImageAgreeWithTheGenericSolver) {
  auto engine = MakeEngine(16);
  std::mt19937 random(29);
  // Outcomes at the two ends: a wipe-out or an escape from one at 63..64, the mover's survival
  // at -64..-63 (its stable discs prove it).
  int wipeOuts = 0, escapes = 0, survivals = 0;
  const auto side = [](int32_t value, int32_t alpha, int32_t beta) {
    return value <= alpha ? -1 : (value >= beta ? 1 : 0);
  };
  for (int i = 0; i < 80; ++i) {
    const TReferenceBoard board = NearWipeOut(14 + i % 3, i % 2 == 1, random);
    if (board.GameOver()) continue;
    Load(*engine, board);
    const TState before(*engine);
    TDiscCountEngine generic(16, TBoardKind::Board8x8);
    Load(generic, board);
    for (const auto& [alpha, beta] :
         {std::pair{63, 64}, {62, 64}, {60, 63}, {-64, -63}, {-64, -62}, {-63, -60}}) {
      // The null-window node takes null windows only.
      for (const bool principal : {false, true}) {
        if (!principal && beta != alpha + 1) continue;
        int32_t margin, genericMargin;
        const int32_t expected = principal ? generic.EndSearchPV(alpha, beta, false, genericMargin)
                                           : generic.EndSearchZW(alpha, beta, false, genericMargin);
        const int32_t result = principal ? engine->EndSearchPV(alpha, beta, false, margin)
                                         : engine->EndSearchZW(alpha, beta, false, margin);
        const int expectedSide = side(expected, alpha, beta);
        ASSERT_EQ(side(result, alpha, beta), expectedSide)
            << board.ToText() << " window " << alpha << ".." << beta << " generic " << expected
            << " engine " << result;
        if (expectedSide == 0) {
          EXPECT_EQ(result, expected) << board.ToText();
        }
        EXPECT_EQ(margin, Infinity);
        if (alpha == 63 && !principal) {
          wipeOuts += expectedSide > 0;
          escapes += expectedSide < 0;
        }
        if (beta == -63 && !principal) survivals += expectedSide > 0;
      }
    }
    EXPECT_TRUE(TState(*engine) == before);
  }
  EXPECT_GT(wipeOuts, 3);
  EXPECT_GT(escapes, 3);
  EXPECT_GT(survivals, 3);
}

// Every root move in turn planted as the hash move (an endgame entry that orders but cannot cut):
// a good one cuts at once, a bad one makes the node order and search the others after it. The
// score and the window answers stay those of brute force (up to 11 empties) or of the generic
// engine solving from an empty table, in the bitboard tiers (9-13 empties) and the board-image
// nodes (two positions of 14).
TEST_F(EightByEight, PlantedHashMovesChangeNoScore) {
  auto engine = MakeEngine(14, "Pellin");
  TDiscCountEngine generic(14, TBoardKind::Board8x8);
  TDiscCountEngine truthEngine(16, TBoardKind::Board8x8);
  std::mt19937 random(29);
  int cutAtOnce = 0, searchedOn = 0;
  for (const int empties : {9, 10, 11, 12, 13, 14, 14}) {
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    Load(truthEngine, board);
    int32_t margin;
    const int truth =
        empties <= 11 ? board.Solve() : truthEngine.EndSearchPV(-64, 64, false, margin);
    Load(*engine, board);
    TMoveList list;
    engine->GenerateMovesHashed(list);
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      for (TOthelloEngine* solver :
           {static_cast<TOthelloEngine*>(engine.get()), static_cast<TOthelloEngine*>(&generic)}) {
        Load(*solver, board);
        for (const auto& [alpha, beta] :
             {std::pair{-64, 64}, {truth - 1, truth}, {truth, truth + 1}, {truth - 3, truth + 2}}) {
          solver->HashTable->Clear();
          // Selectivity short of exact: the entry's move is taken, its bounds are not.
          solver->HashTable->Store(solver->HashLo, solver->HashHi, solver->EmptyCount, -64, 64, 0,
                                   move->Square, 1000, true);
          const int64_t before = solver->NodeCount;
          const int32_t result = beta - alpha == 1
                                     ? solver->EndSearchZW(alpha, beta, false, margin)
                                     : solver->EndSearchPV(alpha, beta, false, margin);
          ExpectWindowResult(result, alpha, beta, truth);
          EXPECT_GT(solver->NodeCount, before);
        }
      }
      if (HasFailure()) {
        ADD_FAILURE() << board.ToText() << " hash move " << move->Square;
        return;
      }
    }
    // Both kinds of planted move occurred at this root: one reaching the score, one short of it.
    int reaching = 0, losing = 0;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      Load(truthEngine, board);
      MoveRecord record;
      truthEngine.ProbeMoveHashed(move->Square, record);
      truthEngine.MakeMove(record);
      truthEngine.SwapSides();
      const int value = -truthEngine.EndSearchPV(-64, 64, false, margin);
      (value == truth ? reaching : losing) += 1;
    }
    cutAtOnce += reaching > 0;
    searchedOn += losing > 0;
  }
  EXPECT_GE(cutAtOnce, 7);
  EXPECT_GE(searchedOn, 6);
}

TEST_F(EightByEight, BitboardSolverTakesOverBelowFourteenEmpties) {
  auto engine = MakeEngine();
  TDiscCountEngine generic(16, TBoardKind::Board8x8);
  TRecordingEventPump pump;
  TScopedEventPump scope(&pump);
  std::mt19937 random(19);
  for (const int empties : {13, 14, 15}) {
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    Load(*engine, board);
    Load(generic, board);
    pump.Calls = 0;
    int32_t margin;
    const int32_t value = engine->EndSearchPV(-64, 64, false, margin);
    // The bitboard solver never lets the window process events; the board-image nodes do.
    if (empties == 13)
      EXPECT_EQ(pump.Calls, 0);
    else
      EXPECT_GT(pump.Calls, 0);
    EXPECT_EQ(value, generic.EndSearchPV(-64, 64, false, margin)) << board.ToText();
  }
}

// ---- Orderings of the board-image endgame ----

TEST_F(EightByEight, OrderingSearchIsTheMinimaxOfTheEvaluation) {
  auto engine = MakeEngine();
  auto judge = MakeEngine();
  std::mt19937 random(20);
  const std::function<int64_t(const TReferenceBoard&)> evaluate = [&](const TReferenceBoard& b) {
    Load(*judge, b);
    return static_cast<int64_t>(judge->Evaluate());
  };
  for (int i = 0; i < 10; ++i) {
    // Depth 4 and more is the search with the table; below it the generic shallow search.
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), 6 + 3 * i, random);
    Load(*engine, board);
    const TState before(*engine);
    for (const int depth : {1, 2, 4, 5}) {
      if (depth == 5 && i >= 3) continue;  // the plain minimax gets slow
      const int64_t expected = board.Minimax(depth, evaluate);
      EXPECT_EQ(engine->OrderingSearch(depth, -Infinity, Infinity, false), expected)
          << board.ToText() << " depth " << depth;
    }
    EXPECT_TRUE(TState(*engine) == before);
  }
}

TEST_F(EightByEight, OrderMovesEndgamePutsMovesReachingTheReferenceFirst) {
  auto engine = MakeEngine();
  std::mt19937 random(21);
  for (int i = 0; i < 10; ++i) {
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), 14 + 2 * i, random);
    Load(*engine, board);
    const TState before(*engine);
    TMoveList list;
    engine->GenerateMovesHashed(list);
    std::set<int> legal;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) legal.insert(move->Square);
    // The shallow value of every move, from the mover's side.
    std::vector<std::pair<int, int64_t>> values;
    for (MoveRecord* move = list[0].Next; move; move = move->Next) {
      engine->MakeMove(*move);
      engine->SwapSides();
      const int k = Engine::EndgameOrderingDepth[engine->EmptyCount];
      const int64_t v =
          k == 0 ? -engine->Evaluate() : -engine->OrderingSearch(k, -Infinity, Infinity, false);
      engine->SwapSides();
      engine->UnmakeMove(*move);
      values.push_back({move->Square, v});
    }
    std::sort(values.begin(), values.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    const int32_t reference = static_cast<int32_t>(values[values.size() / 2].second / DiscUnit);

    engine->OrderMovesEndgame(list, reference);
    EXPECT_TRUE(TState(*engine) == before);
    std::vector<int> ordered;
    bool belowSeen = false;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      ordered.push_back(move->Square);
      const auto found = std::find_if(values.begin(), values.end(),
                                      [&](const auto& v) { return v.first == move->Square; });
      const bool reaches = found->second >= int64_t{reference} * DiscUnit;
      if (!reaches) belowSeen = true;
      EXPECT_FALSE(reaches && belowSeen) << "a move reaching the reference came after one below";
      if (move->Next) {
        EXPECT_GE(move->OrderKey, move->Next->OrderKey);
      }
    }
    EXPECT_EQ(std::set<int>(ordered.begin(), ordered.end()), legal);
    EXPECT_EQ(ordered.size(), legal.size());
  }
}

// The drivers run through the engine's own endgame nodes (with the end-cut probes of the
// selective steps, since the Pellin set-up has usable statistics) and end with the exact score.
TEST_F(EightByEight, FixedLevelEndgameAgreesWithTheGenericEngine) {
  auto engine = MakeEngine(18, "Pellin");
  TDiscCountEngine generic(18, TBoardKind::Board8x8);
  std::mt19937 random(22);
  for (const int empties : {12, 15, 17}) {
    const TReferenceBoard board = reference::RandomPosition(TReferenceBoard(8), empties, random);
    Load(*engine, board);
    Load(generic, board);
    const TState before(*engine);
    TFixedSearchInfo level;
    level.Depth = 2;
    level.ExactEmpties = 20;
    const TSearchResult mine = engine->SearchFixedLevel(level);
    const TSearchResult theirs = generic.SearchFixedLevel(level);
    EXPECT_EQ(mine.Score, theirs.Score) << board.ToText();
    EXPECT_TRUE(TState(*engine) == before);
    // The chosen move reaches that score.
    TMoveList list;
    engine->GenerateMovesHashed(list);
    bool found = false;
    for (const MoveRecord* move = list[0].Next; move; move = move->Next) {
      if (move->Square != mine.BestSquare) continue;
      found = true;
      Load(generic, board);
      MoveRecord record;
      generic.ProbeMoveHashed(move->Square, record);
      generic.MakeMove(record);
      generic.SwapSides();
      int32_t margin;
      EXPECT_EQ(-generic.EndSearchPV(-64, 64, false, margin) * DiscUnit, mine.Score);
    }
    EXPECT_TRUE(found);
  }
}

}  // namespace
}  // namespace morvane
