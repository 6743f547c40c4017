#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <ranges>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/BoardKind.h"
#include "engines/DiscCountEngine.h"
#include "engines/Othello10x10PatternEngine.h"
#include "engines/OthelloOctPatternEngine.h"
#include "evaluation/EvaluationTestSupport.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

using namespace testing_support;
using reference::TReferenceBoard;

constexpr double HashBits = 12;

// Square of (row, column), both from 1, on the 12-wide grid.
constexpr int At(int row, int column) { return row * 12 + column; }

bool IsCut(int square) {
  return std::ranges::find(OctagonCutSquares, square) != std::end(OctagonCutSquares);
}

struct TBigBoard {
  const char* Name;
  TBoardKind Kind;
  const char* Evaluation;
  const char* OtherEvaluation;  // the other big board's, which this engine must refuse
  int Playable;
  int StartEmpties;
  int Stages;
  std::vector<int> StageStarts;  // the first disc count of every stage
  std::span<const int> Order;
  std::function<std::unique_ptr<TOthelloPatternEngine>(std::unique_ptr<TEvaluation>)> Make;
};

const TBigBoard BigBoards[] = {
    {"TenByTen",
     TBoardKind::Board10x10,
     "Bot10x10",
     "Bot8x8Oct",
     100,
     96,
     5,
     {4, 25, 45, 65, 85},
     TOthello10x10PatternEngine::SquareOrder,
     [](std::unique_ptr<TEvaluation> evaluation) -> std::unique_ptr<TOthelloPatternEngine> {
       return std::make_unique<TOthello10x10PatternEngine>("Bot10x10", HashBits,
                                                           std::move(evaluation));
     }},
    {"Octagon",
     TBoardKind::Octagon,
     "Bot8x8Oct",
     "Bot10x10",
     88,
     84,
     8,
     {4, 16, 27, 38, 49, 60, 71, 82},
     TOthelloOctPatternEngine::SquareOrder,
     [](std::unique_ptr<TEvaluation> evaluation) -> std::unique_ptr<TOthelloPatternEngine> {
       return std::make_unique<TOthelloOctPatternEngine>("Bot8x8Oct", HashBits,
                                                         std::move(evaluation));
     }},
};

void PrintTo(const TBigBoard& board, std::ostream* out) { *out << board.Name; }

// The generic pattern operations, walking the empty squares in the board's own order and
// counting corners as the board does: a search on it walks the very tree the fast engine walks.
class TOrderedGenericEngine final : public TOthelloPatternEngine {
 public:
  TOrderedGenericEngine(const TBigBoard& board, std::unique_ptr<TEvaluation> evaluation)
      : TOthelloPatternEngine("Generic", HashBits, 10, std::move(evaluation)),
        Kind(board.Kind),
        Order(board.Order) {
    if (Kind == TBoardKind::Octagon) BlockedCount = 12;
  }
  void BuildEmptyList() override {
    ResetEmptyList();
    for (const int square : Order)
      if (Board[square] == EmptyCell) AppendEmpty(square);
  }
  int CornerStability(int colour) override {
    return Kind == TBoardKind::Board10x10 ? TOthello10x10PatternEngine::CornerCount(Board, colour)
                                          : 0;
  }
  void SetPosition(const int8_t* board, int side) override {
    int8_t image[MaxCells];
    std::memcpy(image, board, MaxCells);
    if (Kind == TBoardKind::Octagon) BlockOctagonCorners(image);
    TOthelloPatternEngine::SetPosition(image, side);
  }

 private:
  TBoardKind Kind;
  std::span<const int> Order;
};

class BigBoard : public ::testing::TestWithParam<TBigBoard> {
 protected:
  std::unique_ptr<TOthelloPatternEngine> Fast() const {
    return GetParam().Make(SharedEvaluation(GetParam().Evaluation));
  }
  std::unique_ptr<TOthelloPatternEngine> Generic() const {
    return std::make_unique<TOrderedGenericEngine>(GetParam(),
                                                   SharedEvaluation(GetParam().Evaluation));
  }
  bool Octagon() const { return GetParam().Kind == TBoardKind::Octagon; }
  TReferenceBoard Geometry() const {
    return Octagon() ? TReferenceBoard::Octagon() : TReferenceBoard(10);
  }
};

std::vector<int> PlayableSquares(const TReferenceBoard& geometry) {
  std::vector<int> squares;
  for (int row = 1; row <= 10; ++row)
    for (int column = 1; column <= 10; ++column)
      if (geometry.At(column, row) != reference::Blocked) squares.push_back(At(row, column));
  return squares;
}

std::vector<int> EmptyList(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

std::vector<MoveRecord> LegalMoves(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<MoveRecord> moves;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next) moves.push_back(*move);
  return moves;
}

std::vector<int> SquaresOf(const std::vector<MoveRecord>& moves) {
  std::vector<int> squares;
  for (const MoveRecord& move : moves) squares.push_back(move.Square);
  return squares;
}

std::vector<int> FlipsOf(const MoveRecord& record) {
  return std::vector<int>(record.Flips, record.Flips + record.FlipCount);
}

void Load(TOthelloEngine& engine, const TReferenceBoard& board) {
  PositionImage image{};
  ASSERT_TRUE(engine.ParsePosition(board.ToText(), image));
  engine.SetPosition(image.Board, image.SideToMove);
}

// Everything the pattern operations and the searches must leave as they found it.
struct TState {
  explicit TState(const TOthelloPatternEngine& engine)
      : Board(engine.Board, engine.Board + MaxCells),
        Indices(EngineIndices(engine)),
        Empties(EmptyList(engine)),
        Own(engine.OwnDiscs),
        Opp(engine.OppDiscs),
        EmptyCount(engine.EmptyCount),
        Side(engine.SideToMove),
        HashLo(engine.HashLo),
        HashHi(engine.HashHi),
        ZeroSink(engine.ZeroSink) {}
  bool operator==(const TState&) const = default;

  std::vector<int8_t> Board;
  std::vector<int32_t> Indices;
  std::vector<int> Empties;
  int Own, Opp, EmptyCount, Side;
  uint32_t HashLo, HashHi;
  int32_t ZeroSink;
};

// ---- Square orders ----

TEST_P(BigBoard, SquareOrderIsAPermutationOfThePlayableSquares) {
  std::vector<int> order(GetParam().Order.begin(), GetParam().Order.end());
  std::ranges::sort(order);
  EXPECT_EQ(order, PlayableSquares(Geometry()));
  EXPECT_EQ(static_cast<int>(order.size()), GetParam().Playable);
}

// A run of the order as the words give it: in a stated order, or only as a set.
struct TGroup {
  std::vector<int> Squares;
  bool Ordered;
};

// The squares of ring `ring` (1 is the edge) whose place along their side is k or 11 - k.
TGroup Ring(int ring, int k) {
  std::set<int> squares;
  for (const int along : {k, 11 - k})
    for (const int across : {ring, 11 - ring}) {
      squares.insert(At(across, along));
      squares.insert(At(along, across));
    }
  return {std::vector<int>(squares.begin(), squares.end()), false};
}

TGroup Listed(std::initializer_list<std::pair<int, int>> cells) {
  TGroup group{{}, true};
  for (const auto& [row, column] : cells) group.Squares.push_back(At(row, column));
  return group;
}

TGroup CentralBlockRowByRow() {
  TGroup group{{}, true};
  for (int row = 4; row <= 7; ++row)
    for (int column = 4; column <= 7; ++column) group.Squares.push_back(At(row, column));
  return group;
}

// (3,4) to (3,7), (4,3) down to (7,3), (8,4) to (8,7), then (7,8) up to (4,8).
TGroup ThirdRingPath() {
  TGroup group{{}, true};
  for (int column = 4; column <= 7; ++column) group.Squares.push_back(At(3, column));
  for (int row = 4; row <= 7; ++row) group.Squares.push_back(At(row, 3));
  for (int column = 4; column <= 7; ++column) group.Squares.push_back(At(8, column));
  for (int row = 7; row >= 4; --row) group.Squares.push_back(At(row, 8));
  return group;
}

void ExpectGroups(std::span<const int> order, const std::vector<TGroup>& groups) {
  size_t next = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    const TGroup& group = groups[g];
    ASSERT_LE(next + group.Squares.size(), order.size()) << "group " << g;
    std::vector<int> run(order.begin() + next, order.begin() + next + group.Squares.size());
    std::vector<int> expected = group.Squares;
    if (!group.Ordered) {
      std::ranges::sort(run);
      std::ranges::sort(expected);
    }
    EXPECT_EQ(run, expected) << "group " << g << " from place " << next;
    next += group.Squares.size();
  }
  EXPECT_EQ(next, order.size());
}

TEST(LargeBoardSquareOrder, TenByTenFollowsItsDescription) {
  ExpectGroups(TOthello10x10PatternEngine::SquareOrder,
               {
                   Ring(1, 1),                                // the corners
                   Ring(1, 3),                                // the edges' third squares
                   Listed({{3, 3}, {3, 8}, {8, 3}, {8, 8}}),  // the third ring's corners
                   Ring(1, 5),                                // the edges' middle squares
                   Ring(1, 4),                                // the edges' fourth squares
                   Ring(2, 5),                                // the second ring's middle squares
                   Ring(2, 4),                                // the second ring's fourth squares
                   CentralBlockRowByRow(),                    // the central 4 x 4 block
                   ThirdRingPath(),                           // the rest of the third ring
                   Listed({{3, 2}, {2, 3}, {2, 8}, {3, 9}, {8, 2}, {8, 9}, {9, 3}, {9, 8}}),
                   Ring(1, 2),  // beside the corners on the edges
                   Ring(2, 2),  // the corners' diagonal neighbours
               });
}

// The octagon's corners first, then the 10 x 10 groups from the edges' middle squares down to
// (3,2), then (3,3), (2,2) and (1,4) with their images.
TEST(LargeBoardSquareOrder, OctagonFollowsItsDescription) {
  ExpectGroups(TOthelloOctPatternEngine::SquareOrder,
               {
                   Ring(1, 3),              // the octagon's corners
                   Ring(1, 5),              // the edges' middle squares
                   Ring(2, 5),              // the second ring's middle squares
                   Ring(2, 4),              // the second ring's fourth squares
                   CentralBlockRowByRow(),  // the central 4 x 4 block
                   ThirdRingPath(),         // the rest of the third ring
                   Listed({{3, 2}, {2, 3}, {2, 8}, {3, 9}, {8, 2}, {8, 9}, {9, 3}, {9, 8}}),
                   Listed({{3, 3}, {3, 8}, {8, 3}, {8, 8}}),  // the third ring's corners
                   Listed({{2, 2}, {2, 9}, {9, 2}, {9, 9}}),  // the second ring's corners
                   Ring(1, 4),  // the edge squares next to the octagon's corners
               });
}

// ---- Start position ----

TEST_P(BigBoard, StartPosition) {
  auto engine = Fast();
  EXPECT_EQ(engine->PlayableSquares(), GetParam().Playable) << "before any position";
  engine->SetupStartPosition();
  EXPECT_EQ(engine->Name, GetParam().Evaluation);
  EXPECT_EQ(engine->PlayableSquares(), GetParam().Playable);
  EXPECT_EQ(engine->EmptyCount, GetParam().StartEmpties);
  EXPECT_EQ(engine->SideToMove, BlackCell);
  EXPECT_EQ(engine->OwnDiscs, 2);
  EXPECT_EQ(engine->OppDiscs, 2);
  EXPECT_EQ(engine->Board[At(5, 5)], WhiteCell);
  EXPECT_EQ(engine->Board[At(6, 6)], WhiteCell);
  EXPECT_EQ(engine->Board[At(5, 6)], BlackCell);
  EXPECT_EQ(engine->Board[At(6, 5)], BlackCell);
  for (const int square : OctagonCutSquares)
    EXPECT_EQ(engine->Board[square], Octagon() ? OutsideCell : EmptyCell) << square;

  // Every empty playable square is listed, in the board's order.
  std::vector<int> expected;
  for (const int square : PlayableSquares(Geometry()))
    if (square != At(5, 5) && square != At(5, 6) && square != At(6, 5) && square != At(6, 6))
      expected.push_back(square);
  std::vector<int> listed = EmptyList(*engine);
  EXPECT_TRUE(std::ranges::equal(listed, GetParam().Order | std::views::filter([&](int square) {
                                           return engine->Board[square] == EmptyCell;
                                         })));
  std::ranges::sort(listed);
  EXPECT_EQ(listed, expected);
}

// The four moves, as (row, column) pairs (4,5), (5,4), (6,7), (7,6), all lie in the central
// block, which the order lists row by row.
TEST_P(BigBoard, StartMovesComeInTheSquareOrder) {
  auto engine = Fast();
  engine->SetupStartPosition();
  const std::vector<int> expected = {At(4, 5), At(5, 4), At(6, 7), At(7, 6)};
  EXPECT_EQ(SquaresOf(LegalMoves(*engine)), expected);
  TMoveList list;
  engine->GenerateMoves(list);
  std::vector<std::string> texts;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    texts.push_back(engine->MoveToText(move->Square));
  EXPECT_EQ(texts, (std::vector<std::string>{"e4", "d5", "g6", "f7"}));
}

// ---- The octagon's cut cells ----

TEST(LargeBoardOctagon, CutCellsAreNeverPlayedNorListed) {
  TOthelloOctPatternEngine engine("Bot8x8Oct", HashBits, SharedEvaluation("Bot8x8Oct"));
  std::mt19937 random(23);
  int positions = 0;
  for (int game = 0; game < 6; ++game) {
    engine.SetupStartPosition();
    for (int passes = 0; passes < 2;) {
      ++positions;
      for (const int square : OctagonCutSquares) ASSERT_EQ(engine.Board[square], OutsideCell);
      for (const int square : EmptyList(engine)) ASSERT_FALSE(IsCut(square)) << square;
      ASSERT_EQ(static_cast<int>(EmptyList(engine).size()), engine.EmptyCount);
      ASSERT_EQ(engine.EmptyCount + engine.OwnDiscs + engine.OppDiscs, 88);
      const std::vector<MoveRecord> moves = LegalMoves(engine);
      for (const MoveRecord& move : moves) {
        ASSERT_FALSE(IsCut(move.Square));
        for (const int flip : FlipsOf(move)) ASSERT_FALSE(IsCut(flip));
      }
      if (moves.empty()) {
        engine.MakePass();
        ++passes;
        continue;
      }
      passes = 0;
      engine.MakeMove(moves[random() % moves.size()]);
      engine.SwapSides();
    }
  }
  EXPECT_GT(positions, 6 * 60);
}

// Discs or empties in the cut corners of an image are read as outside: the engine plays the
// octagon whatever it is given, and leaves the caller's image alone.
TEST(LargeBoardOctagon, ImageWithFilledCornersIsLoadedWithThemOutside) {
  TOthelloOctPatternEngine engine("Bot8x8Oct", HashBits, SharedEvaluation("Bot8x8Oct"));
  TOrderedGenericEngine generic(BigBoards[1], SharedEvaluation("Bot8x8Oct"));
  TDiscCountEngine plain(HashBits, TBoardKind::Board10x10);  // the full grid, nothing blocked
  std::mt19937 random(29);
  for (int round = 0; round < 20; ++round) {
    const TReferenceBoard board =
        reference::RandomPosition(TReferenceBoard::Octagon(), 10 + round * 3, random);
    PositionImage image{};
    ASSERT_TRUE(engine.ParsePosition(board.ToText(), image));
    PositionImage filled = image;
    for (const int square : OctagonCutSquares)
      filled.Board[square] = static_cast<int8_t>(static_cast<int>(random() % 3) - 1);
    const PositionImage given = filled;

    engine.SetPosition(filled.Board, filled.SideToMove);
    EXPECT_EQ(0, std::memcmp(given.Board, filled.Board, MaxCells));
    plain.SetPosition(image.Board, image.SideToMove);
    generic.SetPosition(image.Board, image.SideToMove);
    EXPECT_EQ(0, std::memcmp(engine.Board, image.Board, MaxCells));
    EXPECT_EQ(engine.EmptyCount, board.Count(reference::Empty));
    EXPECT_EQ(engine.OwnDiscs, plain.OwnDiscs);
    EXPECT_EQ(engine.OppDiscs, plain.OppDiscs);
    EXPECT_EQ(engine.HashLo, plain.HashLo);
    EXPECT_EQ(engine.HashHi, plain.HashHi);
    EXPECT_EQ(EngineIndices(engine), IndicesFromBoard(*engine.Evaluation, image.Board));
    EXPECT_TRUE(TState(engine) == TState(generic));
    EXPECT_EQ(engine.Evaluate(), generic.Evaluate());
    std::vector<int> legal = SquaresOf(LegalMoves(engine));
    std::vector<int> plainLegal = SquaresOf(LegalMoves(plain));
    std::ranges::sort(legal);
    std::ranges::sort(plainLegal);
    EXPECT_EQ(legal, plainLegal);
    if (HasFailure()) return;
  }
}

// ---- Stages ----

// Random boards of every disc count: Evaluate reads the table of the stage the count falls in.
// Random coefficients make neighbouring stages score differently, so a boundary one disc off
// is caught.
TEST_P(BigBoard, StageBoundaries) {
  auto engine = Fast();
  const TEvaluation& evaluation = *engine->Evaluation;
  const std::vector<int>& starts = GetParam().StageStarts;
  ASSERT_EQ(static_cast<int>(starts.size()), GetParam().Stages);
  std::vector<int> squares = PlayableSquares(Geometry());
  std::mt19937 random(31);
  for (int discs = 4; discs <= GetParam().Playable; ++discs) {
    const int stage =
        static_cast<int>(std::ranges::upper_bound(starts, discs) - starts.begin()) - 1;
    int8_t board[MaxCells];
    std::memset(board, OutsideCell, sizeof(board));
    for (const int square : squares) board[square] = EmptyCell;
    std::ranges::shuffle(squares, random);
    for (int i = 0; i < discs; ++i) board[squares[i]] = random() % 2 ? BlackCell : WhiteCell;
    const int side = random() % 2 ? BlackCell : WhiteCell;
    engine->SetPosition(board, side);
    ASSERT_EQ(engine->OwnDiscs + engine->OppDiscs, discs);
    EXPECT_EQ(engine->Evaluate(), EvaluationFromTables(evaluation, board, side, stage, discs,
                                                       GetParam().Playable))
        << discs << " discs";
    const bool boundary = std::ranges::find(starts, discs) != starts.end() ||
                          std::ranges::find(starts, discs + 1) != starts.end();
    for (const int neighbour : {stage - 1, stage + 1}) {
      if (boundary && neighbour >= 0 && neighbour < GetParam().Stages) {
        EXPECT_NE(engine->Evaluate(), ScoreFromTables(evaluation, board, side, neighbour, discs))
            << discs << " discs";
      }
    }
  }
}

// ---- Corner count ----

struct TCornerCase {
  const char* What;
  std::vector<std::pair<int, int>> Black, White;  // (row, column)
  int BlackCount, WhiteCount;
};

TEST(LargeBoardCorners, TenByTenCountsCornersWithTheirEdgeNeighbours) {
  const TCornerCase cases[] = {
      {"all corners and edge neighbours",
       {{1, 1},
        {1, 2},
        {2, 1},
        {1, 10},
        {1, 9},
        {2, 10},
        {10, 1},
        {9, 1},
        {10, 2},
        {10, 10},
        {10, 9},
        {9, 10}},
       {},
       12,
       0},
      {"a lone corner", {{1, 1}}, {{5, 5}}, 1, 0},
      {"a corner with one neighbour", {{10, 10}, {10, 9}}, {{9, 10}}, 2, 0},
      {"empty corner: its neighbours do not count", {{1, 2}, {2, 1}, {9, 10}, {10, 9}}, {}, 0, 0},
      {"the other colour's corner", {{1, 9}, {2, 10}}, {{1, 10}}, 0, 1},
      {"the diagonal neighbour is no edge neighbour", {{10, 1}, {9, 2}}, {{2, 2}}, 1, 0},
      {"further along the edge does not count", {{1, 1}, {1, 2}, {1, 3}, {3, 1}}, {}, 2, 0},
      {"both colours", {{1, 1}, {2, 1}, {10, 10}}, {{1, 2}, {1, 10}, {1, 9}, {2, 10}}, 3, 3},
  };
  TOthello10x10PatternEngine engine("Bot10x10", HashBits, SharedEvaluation("Bot10x10"));
  for (const TCornerCase& c : cases) {
    int8_t board[MaxCells];
    std::memset(board, OutsideCell, sizeof(board));
    for (int row = 1; row <= 10; ++row)
      for (int column = 1; column <= 10; ++column) board[At(row, column)] = EmptyCell;
    for (const auto& [row, column] : c.Black) board[At(row, column)] = BlackCell;
    for (const auto& [row, column] : c.White) board[At(row, column)] = WhiteCell;
    engine.SetPosition(board, BlackCell);
    EXPECT_EQ(engine.CornerStability(BlackCell), c.BlackCount) << c.What;
    EXPECT_EQ(engine.CornerStability(WhiteCell), c.WhiteCount) << c.What;
  }
}

TEST(LargeBoardCorners, OctagonCountsNoCorners) {
  TOthelloOctPatternEngine engine("Bot8x8Oct", HashBits, SharedEvaluation("Bot8x8Oct"));
  std::mt19937 random(37);
  for (int round = 0; round < 10; ++round) {
    Load(engine, reference::RandomPosition(TReferenceBoard::Octagon(), 4 + round, random));
    EXPECT_EQ(engine.CornerStability(BlackCell), 0);
    EXPECT_EQ(engine.CornerStability(WhiteCell), 0);
  }
}

// ---- Probe ----

struct TProbeCase {
  const char* What;
  std::vector<std::pair<int, int>> Black, White;
  std::pair<int, int> Move;  // black to move
  std::vector<int> Flips;
};

// Runs of eight close, runs of nine reach the border; the directions come north-west,
// north-east, north, west, south-east, south-west, south, east.
TEST(LargeBoardProbe, RunsAndDirectionOrderOnTenByTen) {
  std::vector<std::pair<int, int>> rowOfEight, rowOfNine, diagonalOfEight;
  for (int column = 2; column <= 9; ++column) rowOfEight.push_back({1, column});
  rowOfNine = rowOfEight;
  rowOfNine.push_back({1, 10});
  for (int k = 2; k <= 9; ++k) diagonalOfEight.push_back({k, k});
  std::vector<int> eightEast, eightSouthEast;
  for (int k = 2; k <= 9; ++k) {
    eightEast.push_back(At(1, k));
    eightSouthEast.push_back(At(k, k));
  }
  const TProbeCase cases[] = {
      {"eight closed along the edge", {{1, 10}}, rowOfEight, {1, 1}, eightEast},
      {"nine run into the border", {}, rowOfNine, {1, 1}, {}},
      {"eight closed on the diagonal", {{10, 10}}, diagonalOfEight, {1, 1}, eightSouthEast},
      {"all eight directions",
       {{3, 3}, {3, 7}, {3, 5}, {5, 3}, {7, 7}, {7, 3}, {7, 5}, {5, 7}},
       {{4, 4}, {4, 6}, {4, 5}, {5, 4}, {6, 6}, {6, 4}, {6, 5}, {5, 6}},
       {5, 5},
       {At(4, 4), At(4, 6), At(4, 5), At(5, 4), At(6, 6), At(6, 4), At(6, 5), At(5, 6)}},
      {"an empty square ends a run", {{1, 4}}, {{1, 2}}, {1, 1}, {}},
  };
  TOthello10x10PatternEngine engine("Bot10x10", HashBits, SharedEvaluation("Bot10x10"));
  TDiscCountEngine generic(HashBits, TBoardKind::Board10x10);
  for (const TProbeCase& c : cases) {
    int8_t board[MaxCells];
    std::memset(board, OutsideCell, sizeof(board));
    for (int row = 1; row <= 10; ++row)
      for (int column = 1; column <= 10; ++column) board[At(row, column)] = EmptyCell;
    for (const auto& [row, column] : c.Black) board[At(row, column)] = BlackCell;
    for (const auto& [row, column] : c.White) board[At(row, column)] = WhiteCell;
    engine.SetPosition(board, BlackCell);
    generic.SetPosition(board, BlackCell);
    const int square = At(c.Move.first, c.Move.second);
    MoveRecord record{}, expected{};
    EXPECT_EQ(engine.ProbeMove(square, record), static_cast<int>(c.Flips.size())) << c.What;
    EXPECT_EQ(FlipsOf(record), c.Flips) << c.What;
    generic.ProbeMove(square, expected);
    EXPECT_EQ(FlipsOf(record), FlipsOf(expected)) << c.What;
  }
}

// Crowded random boards, not necessarily reachable, give long runs in every direction: every
// empty square probes as the generic scan probes it, for both sides.
TEST_P(BigBoard, ProbeMatchesTheGenericScanOnCrowdedBoards) {
  auto engine = Fast();
  TDiscCountEngine generic(HashBits, GetParam().Kind);
  const std::vector<int> squares = PlayableSquares(Geometry());
  std::mt19937 random(41);
  int longest = 0;
  for (int round = 0; round < 60; ++round) {
    int8_t board[MaxCells];
    std::memset(board, OutsideCell, sizeof(board));
    const int emptyPercent = 5 + round % 30;
    for (const int square : squares) {
      const int draw = static_cast<int>(random() % 100);
      const int blackShare = (100 - emptyPercent) * (1 + round % 3) / 4;
      board[square] = draw < emptyPercent                ? EmptyCell
                      : draw < emptyPercent + blackShare ? BlackCell
                                                         : WhiteCell;
    }
    for (const int side : {BlackCell, WhiteCell}) {
      engine->SetPosition(board, side);
      generic.SetPosition(board, side);
      for (const int square : EmptyList(*engine)) {
        MoveRecord fast{}, plain{};
        const int count = engine->ProbeMoveHashed(square, fast);
        ASSERT_EQ(count, generic.ProbeMoveHashed(square, plain)) << square;
        ASSERT_EQ(FlipsOf(fast), FlipsOf(plain)) << square;
        ASSERT_EQ(fast.Square, plain.Square);
        if (count > 0) {
          ASSERT_EQ(fast.HashDeltaLo, plain.HashDeltaLo);
          ASSERT_EQ(fast.HashDeltaHi, plain.HashDeltaHi);
        }
        longest = std::max(longest, count);
      }
    }
  }
  EXPECT_GE(longest, 12);
}

// ---- Against the generic operations ----

// Every legal move through the light pair and the full pair on both engines: the fast
// operations leave exactly the state the generic ones leave and score the leaf alike.
void CheckEveryMove(TOthelloPatternEngine& fast, TOthelloPatternEngine& generic) {
  const TState before(fast);
  ASSERT_TRUE(before == TState(generic));
  const std::vector<MoveRecord> moves = LegalMoves(fast);
  ASSERT_EQ(moves.size(), LegalMoves(generic).size());
  for (const MoveRecord& move : moves) {
    int8_t after[MaxCells];
    std::memcpy(after, fast.Board, MaxCells);
    after[move.Square] = fast.SideToMove;
    for (int f = 0; f < move.FlipCount; ++f) after[move.Flips[f]] = fast.SideToMove;

    fast.MakeMoveLight(move);
    generic.MakeMoveLight(move);
    ASSERT_TRUE(TState(fast) == TState(generic)) << "light move " << move.Square;
    ASSERT_EQ(EngineIndices(fast), IndicesFromBoard(*fast.Evaluation, after));
    ASSERT_EQ(std::vector<int8_t>(fast.Board, fast.Board + MaxCells), before.Board);
    fast.SwapSides();
    generic.SwapSides();
    const int32_t lightScore = fast.Evaluate();
    ASSERT_EQ(lightScore, generic.Evaluate());
    fast.SwapSides();
    generic.SwapSides();
    fast.UnmakeMoveLight(move);
    generic.UnmakeMoveLight(move);
    ASSERT_TRUE(TState(fast) == before) << "light undo " << move.Square;
    ASSERT_TRUE(TState(generic) == before);

    fast.MakeMove(move);
    fast.SwapSides();
    ASSERT_EQ(fast.Evaluate(), lightScore);
    fast.SwapSides();
    fast.UnmakeMove(move);
    ASSERT_TRUE(TState(fast) == before) << "undo " << move.Square;
  }
}

// Random games to the end, passes included, on the fast engine, the generic pattern engine and
// the plain rules engine: same evaluation, same move records, same boards and hashes.
TEST_P(BigBoard, RandomGamesMatchTheGenericOperations) {
  auto fast = Fast();
  auto generic = Generic();
  TDiscCountEngine rules(HashBits, GetParam().Kind);
  std::mt19937 random(43);
  // Games go on until some of them went on after a pass.
  int passesPlayedOn = 0;
  for (int game = 0; game < 5 || (passesPlayedOn < 2 && game < 40); ++game) {
    fast->SetupStartPosition();
    generic->SetupStartPosition();
    rules.SetupStartPosition();
    for (int passed = 0; passed < 2;) {
      ASSERT_EQ(fast->Evaluate(), generic->Evaluate());
      ASSERT_EQ(fast->EvaluateAlt(), fast->Evaluate());
      ASSERT_EQ(0, std::memcmp(fast->Board, rules.Board, MaxCells));
      ASSERT_EQ(fast->HashLo, rules.HashLo);
      ASSERT_EQ(fast->HashHi, rules.HashHi);
      ASSERT_EQ(fast->CornerStability(BlackCell), generic->CornerStability(BlackCell));
      for (const int square : EmptyList(*fast)) {
        MoveRecord mine{}, theirs{}, plain{};
        ASSERT_EQ(fast->ProbeMove(square, mine), generic->ProbeMove(square, theirs));
        rules.ProbeMove(square, plain);
        ASSERT_EQ(FlipsOf(mine), FlipsOf(theirs)) << square;
        ASSERT_EQ(FlipsOf(mine), FlipsOf(plain)) << square;
      }
      CheckEveryMove(*fast, *generic);
      if (HasFatalFailure()) return;

      const std::vector<MoveRecord> moves = LegalMoves(*fast);
      std::vector<int> squares = SquaresOf(moves), rulesSquares = SquaresOf(LegalMoves(rules));
      std::ranges::sort(squares);
      std::ranges::sort(rulesSquares);
      ASSERT_EQ(squares, rulesSquares);
      if (moves.empty()) {
        for (TOthelloEngine* engine :
             {static_cast<TOthelloEngine*>(fast.get()), static_cast<TOthelloEngine*>(generic.get()),
              static_cast<TOthelloEngine*>(&rules)})
          engine->MakePass();
        ++passed;
        continue;
      }
      passesPlayedOn += passed;
      passed = 0;
      const MoveRecord& move = moves[random() % moves.size()];
      for (TOthelloEngine* engine :
           {static_cast<TOthelloEngine*>(fast.get()), static_cast<TOthelloEngine*>(generic.get()),
            static_cast<TOthelloEngine*>(&rules)}) {
        engine->MakeMove(move);
        engine->SwapSides();
      }
    }
  }
  EXPECT_GE(passesPlayedOn, 2);
}

// Searches walk the same tree on the fast engine and the generic one in the same order: same
// score, same move, same node count, and the position as it was.
TEST_P(BigBoard, FixedLevelSearchesMatchTheGenericEngine) {
  std::mt19937 random(47);
  for (const int empties : {40, 24, 11}) {
    const TReferenceBoard board = reference::RandomPosition(Geometry(), empties, random);
    auto fast = Fast();
    auto generic = Generic();
    Load(*fast, board);
    Load(*generic, board);
    const TState before(*fast);
    TFixedSearchInfo level;
    level.Depth = 4;
    level.ExactEmpties = 11;
    const TSearchResult fastResult = fast->SearchFixedLevel(level);
    const TSearchResult genericResult = generic->SearchFixedLevel(level);
    EXPECT_EQ(fastResult.Score, genericResult.Score) << board.ToText();
    EXPECT_EQ(fastResult.BestSquare, genericResult.BestSquare) << board.ToText();
    EXPECT_EQ(fast->NodeCount, generic->NodeCount) << board.ToText();
    EXPECT_TRUE(TState(*fast) == before);
  }
}

// Small endgames solved exactly agree with the rules engine's solver and with brute force.
TEST_P(BigBoard, ExactSolvesMatchTheRulesEngine) {
  auto fast = Fast();
  TDiscCountEngine rules(HashBits, GetParam().Kind);
  std::mt19937 random(53);
  std::vector<TReferenceBoard> boards;
  for (int i = 0; i < 24; ++i)
    boards.push_back(reference::RandomPosition(Geometry(), 1 + i % 8, random));
  for (const TReferenceBoard& board : reference::RandomPassPositions(Geometry(), 8, 6, random))
    boards.push_back(board);
  const int window = GetParam().Playable;
  for (const TReferenceBoard& board : boards) {
    Load(*fast, board);
    Load(rules, board);
    const TState before(*fast);
    const int32_t value = fast->SolveExact(-window, window, false);
    EXPECT_EQ(value, rules.SolveExact(-window, window, false)) << board.ToText();
    EXPECT_EQ(value, board.Solve()) << board.ToText();
    EXPECT_TRUE(TState(*fast) == before) << board.ToText();
  }
}

// ---- Layout ----

// Written-out code for one layout would read the wrong tables with another one.
TEST_P(BigBoard, RefusesAnotherLayout) {
  const auto refuses = [&](std::unique_ptr<TEvaluation> evaluation, const std::string& words) {
    try {
      GetParam().Make(std::move(evaluation));
      ADD_FAILURE() << "accepted an evaluation it cannot use";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
  };
  refuses(SharedEvaluation(GetParam().OtherEvaluation), GetParam().OtherEvaluation);
  refuses(SharedEvaluation("Pellin"), "Pellin");

  // The right patterns with one stage more.
  const int stages = GetParam().Stages + 1;
  const auto layout = CreateEvaluation(GetParam().Evaluation, nullptr, {}, false);
  auto moreStages = std::make_unique<TEvaluation>("MoreStages", nullptr);
  for (const auto& pattern : layout->Patterns)
    moreStages->AddPattern(std::make_unique<TPattern>(10, stages, pattern->Images[0]));
  refuses(std::move(moreStages), std::to_string(stages) + " stages");

  // The right instance counts, but the same edge, diagonal and corner block over and over:
  // their first square lies in more instances than the update code applies.
  const bool octagon = Octagon();
  const std::vector<int32_t> edge =
      octagon ? std::vector<int32_t>{15, 16, 17, 18, 19, 20}
              : std::vector<int32_t>{13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  const std::vector<int32_t> diagonal =
      octagon ? std::vector<int32_t>{26, 39, 52, 65, 78, 91, 104, 117}
              : std::vector<int32_t>{13, 26, 39, 52, 65, 78, 91, 104, 117, 130};
  const std::vector<int32_t> block = octagon
                                         ? std::vector<int32_t>{15, 16, 17, 18, 26, 27, 28, 29, 30}
                                         : std::vector<int32_t>{13, 14, 15, 16, 17, 25, 26, 27};
  auto crowded = std::make_unique<TEvaluation>("Crowded", nullptr);
  for (const auto& pattern : layout->Patterns) {
    const size_t instances = pattern->Instances.size();
    const std::vector<int32_t>& squares = instances == 2 ? diagonal : instances == 8 ? block : edge;
    crowded->AddPattern(std::make_unique<TPattern>(10, GetParam().Stages, squares));
    ASSERT_EQ(crowded->Patterns.back()->Instances.size(), instances);
  }
  refuses(std::move(crowded), octagon ? "square 15" : "square 13");

  EXPECT_NO_THROW(GetParam().Make(SharedEvaluation(GetParam().Evaluation)));
}

INSTANTIATE_TEST_SUITE_P(Both, BigBoard, ::testing::ValuesIn(BigBoards),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace morvane
