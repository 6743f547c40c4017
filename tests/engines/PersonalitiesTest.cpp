#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engines/Othello8x8PatternEngine.h"
#include "engines/PellinEngine.h"
#include "engines/TovrelEngine.h"
#include "evaluation/EvaluationTestSupport.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

using namespace testing_support;
using reference::TReferenceBoard;

constexpr double HashBits = 12;

struct TPersonality {
  const char* Name;       // engine name and evaluation stem
  const char* OtherName;  // the other personality's evaluation
  std::function<std::unique_ptr<TOthello8x8PatternEngine>(std::unique_ptr<TEvaluation>)> Make;
};

const TPersonality Personalities[] = {
    {"Pellin", "Tovrel",
     [](std::unique_ptr<TEvaluation> evaluation) -> std::unique_ptr<TOthello8x8PatternEngine> {
       return std::make_unique<TPellinEngine>(std::move(evaluation), HashBits);
     }},
    {"Tovrel", "Pellin",
     [](std::unique_ptr<TEvaluation> evaluation) -> std::unique_ptr<TOthello8x8PatternEngine> {
       return std::make_unique<TTovrelEngine>(std::move(evaluation), HashBits);
     }},
};

void PrintTo(const TPersonality& personality, std::ostream* out) { *out << personality.Name; }

// The personality and, as its judge, the bitboard engine running the generic pattern operations,
// each with its own copy of the same coefficients.
class Personality : public ::testing::TestWithParam<TPersonality> {
 protected:
  std::unique_ptr<TOthello8x8PatternEngine> Fast() const {
    return GetParam().Make(SharedEvaluation(GetParam().Name));
  }
  std::unique_ptr<TOthello8x8PatternEngine> Generic() const {
    return std::make_unique<TOthello8x8PatternEngine>("Generic", SharedEvaluation(GetParam().Name),
                                                      HashBits);
  }
};

std::vector<int> EmptyList(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

// Everything the pattern operations touch.
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

void Load(TOthelloEngine& engine, const TReferenceBoard& board) {
  PositionImage image{};
  ASSERT_TRUE(engine.ParsePosition(board.ToText(), image));
  engine.SetPosition(image.Board, image.SideToMove);
}

std::vector<MoveRecord> LegalMoves(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<MoveRecord> moves;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next) moves.push_back(*move);
  return moves;
}

// A board with `discs` discs of random colours on random squares, reachable or not.
TReferenceBoard RandomBoard(int discs, std::mt19937& random) {
  TReferenceBoard board(8);
  std::vector<int> cells(64);
  for (int i = 0; i < 64; ++i) cells[i] = i;
  std::shuffle(cells.begin(), cells.end(), random);
  for (int i = 0; i < discs; ++i)
    board.Set(cells[i] % 8 + 1, cells[i] / 8 + 1,
              random() % 2 ? reference::Black : reference::White);
  return board;
}

int64_t ScoreAtStage(const TOthelloPatternEngine& engine, int stage) {
  return ScoreFromTables(*engine.Evaluation, engine.Board, engine.SideToMove, stage,
                         DiscsOn(engine.Board));
}

int64_t ExpectedScore(const TOthelloPatternEngine& engine) {
  const int discs = DiscsOn(engine.Board);
  return EvaluationFromTables(*engine.Evaluation, engine.Board, engine.SideToMove,
                              discs < 10 ? 0 : (discs - 5) / 5, discs, 64);
}

// Every legal move of the position through both pairs on both engines: the fast operations leave
// exactly the state the generic ones leave, score the child alike, and undo to the same state.
void CheckEveryMove(TOthello8x8PatternEngine& fast, TOthello8x8PatternEngine& generic) {
  const TEvaluation& evaluation = *fast.Evaluation;
  const TState before(fast);
  ASSERT_TRUE(before == TState(generic));
  for (const MoveRecord& move : LegalMoves(fast)) {
    int8_t after[MaxCells];
    std::memcpy(after, fast.Board, MaxCells);
    after[move.Square] = fast.SideToMove;
    for (int f = 0; f < move.FlipCount; ++f) after[move.Flips[f]] = fast.SideToMove;

    fast.MakeMoveLight(move);
    generic.MakeMoveLight(move);
    ASSERT_TRUE(TState(fast) == TState(generic)) << "light move " << move.Square;
    ASSERT_EQ(EngineIndices(fast), IndicesFromBoard(evaluation, after));
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

    fast.MakeMove(move);
    generic.MakeMove(move);
    ASSERT_TRUE(TState(fast) == TState(generic)) << "move " << move.Square;
    ASSERT_EQ(std::vector<int8_t>(fast.Board, fast.Board + MaxCells),
              std::vector<int8_t>(after, after + MaxCells));
    fast.SwapSides();
    generic.SwapSides();
    ASSERT_EQ(fast.Evaluate(), lightScore);
    ASSERT_EQ(fast.Evaluate(), ExpectedScore(fast));
    fast.SwapSides();
    generic.SwapSides();
    fast.UnmakeMove(move);
    generic.UnmakeMove(move);
    ASSERT_TRUE(TState(fast) == before) << "undo " << move.Square;
    ASSERT_TRUE(TState(generic) == before);
  }
}

// Random games to the end, passes included, played on both engines with the fast operations on
// one and the generic ones on the other; then unwound move by move to the start.
TEST_P(Personality, RandomGamesFollowTheGenericOperations) {
  auto fast = Fast();
  auto generic = Generic();
  std::mt19937 random(41);
  int passes = 0, positions = 0;
  for (int game = 0; game < 12; ++game) {
    fast->SetupStartPosition();
    generic->SetupStartPosition();
    const TState start(*fast);
    std::vector<MoveRecord> played;  // a Square of PassMove marks a pass
    for (int passesInRow = 0; passesInRow < 2;) {
      ++positions;
      ASSERT_EQ(fast->Evaluate(), generic->Evaluate());
      ASSERT_EQ(fast->Evaluate(), ExpectedScore(*fast));
      ASSERT_EQ(fast->EvaluateAlt(), fast->Evaluate());
      CheckEveryMove(*fast, *generic);
      if (::testing::Test::HasFatalFailure()) return;

      const std::vector<MoveRecord> moves = LegalMoves(*fast);
      if (moves.empty()) {
        fast->MakePass();
        generic->MakePass();
        MoveRecord pass{};
        pass.Square = PassMove;
        played.push_back(pass);
        ++passesInRow;
        ++passes;
        continue;
      }
      passesInRow = 0;
      const MoveRecord& chosen = moves[random() % moves.size()];
      fast->MakeMove(chosen);
      generic->MakeMove(chosen);
      fast->SwapSides();
      generic->SwapSides();
      played.push_back(chosen);
    }
    while (!played.empty()) {
      const MoveRecord move = played.back();
      played.pop_back();
      if (move.Square == PassMove) {
        fast->MakePass();
        generic->MakePass();
      } else {
        fast->SwapSides();
        generic->SwapSides();
        fast->UnmakeMove(move);
        generic->UnmakeMove(move);
      }
      ASSERT_TRUE(TState(*fast) == TState(*generic)) << "unwinding game " << game;
      ASSERT_EQ(EngineIndices(*fast), IndicesFromBoard(*fast->Evaluation, fast->Board));
    }
    EXPECT_TRUE(TState(*fast) == start);
  }
  // Each game ends with two passes; more than that means a side had to pass mid-game.
  EXPECT_GT(passes, 2 * 12);
  EXPECT_GT(positions, 12 * 55);
}

// Positions where the side to move must pass, then the opponent's moves from there.
TEST_P(Personality, PassPositionsFollowTheGenericOperations) {
  auto fast = Fast();
  auto generic = Generic();
  std::mt19937 random(43);
  const auto positions = reference::RandomPassPositions(TReferenceBoard(8), 30, 25, random);
  ASSERT_GE(positions.size(), 10u);
  for (const TReferenceBoard& board : positions) {
    Load(*fast, board);
    Load(*generic, board);
    ASSERT_TRUE(LegalMoves(*fast).empty());
    ASSERT_EQ(fast->Evaluate(), generic->Evaluate());
    fast->MakePass();
    generic->MakePass();
    ASSERT_EQ(fast->Evaluate(), generic->Evaluate());
    ASSERT_EQ(fast->Evaluate(), ExpectedScore(*fast));
    CheckEveryMove(*fast, *generic);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Random boards, reachable or not, of every disc count from 4 to 64.
TEST_P(Personality, EvaluateMatchesTheGenericSumOnRandomBoards) {
  auto fast = Fast();
  auto generic = Generic();
  std::mt19937 random(47);
  for (int discs = 4; discs <= 64; ++discs) {
    for (int round = 0; round < 6; ++round) {
      TReferenceBoard board = RandomBoard(discs, random);
      board.ToMove = round % 2 ? reference::White : reference::Black;
      Load(*fast, board);
      Load(*generic, board);
      ASSERT_EQ(fast->OwnDiscs + fast->OppDiscs, discs);
      ASSERT_EQ(fast->Evaluate(), generic->Evaluate()) << board.ToText();
      ASSERT_EQ(fast->Evaluate(), ExpectedScore(*fast)) << board.ToText();
    }
  }
}

TEST_P(Personality, WipedOutPositionsScoreTheFinalMargin) {
  auto fast = Fast();
  std::mt19937 random(5);
  for (const int discs : {1, 7, 30}) {
    TReferenceBoard board = RandomBoard(discs, random);
    for (int row = 1; row <= 8; ++row)
      for (int column = 1; column <= 8; ++column)
        if (board.At(column, row) == reference::White) board.Set(column, row, reference::Black);
    board.ToMove = reference::White;
    Load(*fast, board);
    EXPECT_EQ(fast->Evaluate(), -64 * DiscUnit) << board.ToText();
  }
}

// Tables so large that sums leave the score range: the fast sum saturates where the generic one
// does, to the same value. Early stages lean negative and late ones positive, so that both
// limits and the range between them are met.
TEST_P(Personality, HugeTablesSaturateAsTheGenericSumDoes) {
  auto fast = Fast();
  auto generic = Generic();
  for (TOthello8x8PatternEngine* engine : {fast.get(), generic.get()}) {
    std::mt19937 random(53);
    for (const auto& pattern : engine->Evaluation->Patterns) {
      for (int stage = 0; stage < pattern->StageCount; ++stage) {
        const int32_t lean = (stage - 5) * 15'000'000;
        for (int32_t p = 0; p < Pow3[pattern->SquareCount]; ++p)
          pattern->Tables[stage][p] =
              lean + static_cast<int32_t>(random() % 60'000'001) - 30'000'000;
      }
    }
  }
  std::mt19937 random(59);
  int low = 0, high = 0, inside = 0;
  for (int round = 0; round < 240; ++round) {
    const TReferenceBoard board =
        reference::RandomPosition(TReferenceBoard(8), 4 + static_cast<int>(random() % 56), random);
    Load(*fast, board);
    Load(*generic, board);
    const int32_t score = fast->Evaluate();
    ASSERT_EQ(score, generic->Evaluate()) << board.ToText();
    const int64_t sum = ExpectedScore(*fast);
    ASSERT_EQ(score, std::clamp<int64_t>(sum, -TOthelloPatternEngine::EvaluationLimit,
                                         TOthelloPatternEngine::EvaluationLimit));
    low += sum < -TOthelloPatternEngine::EvaluationLimit;
    high += sum > TOthelloPatternEngine::EvaluationLimit;
    inside += sum >= -TOthelloPatternEngine::EvaluationLimit &&
              sum <= TOthelloPatternEngine::EvaluationLimit;
  }
  EXPECT_GT(low, 0);
  EXPECT_GT(high, 0);
  EXPECT_GT(inside, 0);
}

// White to move scores what black to move scores on the board with the colours exchanged.
TEST_P(Personality, WhiteToMoveEqualsTheColourSwappedBlackToMove) {
  auto fast = Fast();
  auto swapped = Fast();
  std::mt19937 random(61);
  for (int round = 0; round < 60; ++round) {
    TReferenceBoard board =
        reference::RandomPosition(TReferenceBoard(8), 2 + static_cast<int>(random() % 58), random);
    board.ToMove = reference::White;
    TReferenceBoard mirror = board;
    mirror.ToMove = reference::Black;
    for (auto& row : mirror.Cells)
      for (auto& cell : row) cell = static_cast<int8_t>(-cell);
    Load(*fast, board);
    Load(*swapped, mirror);
    ASSERT_EQ(fast->Evaluate(), swapped->Evaluate()) << board.ToText();
    for (int i = 0; i < fast->InstanceCount; ++i)
      ASSERT_EQ(fast->PatternIndex[i], -swapped->PatternIndex[i]);
  }
}

// The stage is read off the disc count in steps of five, the opening four discs in stage 0 and a
// full board in stage 11. Random coefficients make neighbouring stages score differently, so
// the right stage is told apart from its neighbours.
TEST_P(Personality, StageFollowsTheDiscCount) {
  auto fast = Fast();
  fast->SetupStartPosition();
  ASSERT_EQ(fast->OwnDiscs + fast->OppDiscs, 4);
  EXPECT_EQ(fast->Evaluate(), ScoreAtStage(*fast, 0));
  EXPECT_NE(fast->Evaluate(), ScoreAtStage(*fast, 1));

  struct TCase {
    int Discs, Stage;
  };
  const TCase cases[] = {{5, 0},  {9, 0},   {10, 1},  {14, 1},  {15, 2},  {34, 5},
                         {35, 6}, {55, 10}, {59, 10}, {60, 11}, {63, 11}, {64, 11}};
  std::mt19937 random(67);
  for (const TCase& c : cases) {
    Load(*fast, RandomBoard(c.Discs, random));
    ASSERT_EQ(fast->OwnDiscs + fast->OppDiscs, c.Discs);
    EXPECT_EQ(fast->Evaluate(), ScoreAtStage(*fast, c.Stage)) << c.Discs << " discs";
    for (const int neighbour : {c.Stage - 1, c.Stage + 1}) {
      if (neighbour >= 0 && neighbour < 12) {
        EXPECT_NE(fast->Evaluate(), ScoreAtStage(*fast, neighbour)) << c.Discs << " discs";
      }
    }
  }
}

// Searches walk the same tree on both engines: same score, same move, same node count.
TEST_P(Personality, SearchesMatchTheGenericEngine) {
  std::mt19937 random(71);
  for (int round = 0; round < 4; ++round) {
    const TReferenceBoard board =
        reference::RandomPosition(TReferenceBoard(8), 16 + 4 * round, random);
    auto fast = Fast();
    auto generic = Generic();
    Load(*fast, board);
    Load(*generic, board);
    TFixedSearchInfo level;
    level.Depth = 4;
    level.ExactEmpties = 14;
    const TSearchResult fastResult = fast->SearchFixedLevel(level);
    const TSearchResult genericResult = generic->SearchFixedLevel(level);
    EXPECT_EQ(fastResult.Score, genericResult.Score) << board.ToText();
    EXPECT_EQ(fastResult.BestSquare, genericResult.BestSquare) << board.ToText();
    EXPECT_EQ(fast->NodeCount, generic->NodeCount) << board.ToText();
    EXPECT_TRUE(TState(*fast) == TState(*generic));
  }
}

// Written-out code for one layout would read the wrong tables with another one.
TEST_P(Personality, RefusesAnotherLayout) {
  const auto refuses = [&](std::unique_ptr<TEvaluation> evaluation, const std::string& words) {
    try {
      GetParam().Make(std::move(evaluation));
      ADD_FAILURE() << "accepted an evaluation it cannot use";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
  };
  refuses(SharedEvaluation(GetParam().OtherName), GetParam().OtherName);
  // Fenwa has Tovrel's instance counts but six stages.
  refuses(SharedEvaluation("Bot8x8"), "6 stages");

  // The right patterns with eleven stages.
  const auto layout = CreateEvaluation(GetParam().Name, nullptr, {}, false);
  auto elevenStages = std::make_unique<TEvaluation>("Eleven", nullptr);
  for (const auto& pattern : layout->Patterns)
    elevenStages->AddPattern(std::make_unique<TPattern>(8, 11, pattern->Images[0]));
  refuses(std::move(elevenStages), "11 stages");

  // The right instance counts, but the edge row over and over: square 11 lies in far more
  // instances than the update code applies.
  auto crowded = std::make_unique<TEvaluation>("Crowded", nullptr);
  for (const auto& pattern : layout->Patterns) {
    const size_t instances = pattern->Instances.size();
    std::vector<int32_t> squares = {11, 12, 13, 14, 15, 16, 17, 18};  // 4 instances
    if (instances == 2) squares = {11, 22, 33, 44, 55, 66, 77, 88};
    if (instances == 8) squares = {11, 21, 12, 22, 13, 23, 14, 24, 15, 25};
    crowded->AddPattern(std::make_unique<TPattern>(8, 12, squares));
    ASSERT_EQ(crowded->Patterns.back()->Instances.size(), instances);
  }
  refuses(std::move(crowded), "square 11");

  // The evaluation made for it is taken, and the engine carries the personality's name.
  EXPECT_EQ(GetParam().Make(SharedEvaluation(GetParam().Name))->Name, GetParam().Name);
}

INSTANTIATE_TEST_SUITE_P(Both, Personality, ::testing::ValuesIn(Personalities),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace morvane
