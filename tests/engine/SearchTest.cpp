#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engines/DiscCountEngine.h"
#include "engine/OthelloEngine.h"
#include "engine/SearchTestSupport.h"
#include "engine/Widgets.h"
#include "evaluation/Patterns.h"

namespace morvane {
namespace {

using namespace searchtest;

int64_t DiscDifference(const TReferenceBoard& board) {
  return int64_t{DiscUnit} * (board.Count(board.ToMove) - board.Count(-board.ToMove));
}

constexpr TBoardKind AllKinds[] = {TBoardKind::Board8x8, TBoardKind::Board10x10,
                                   TBoardKind::Octagon};

// ---- Move lists ----

std::vector<int> ListSquares(const MoveRecord* list) {
  std::vector<int> squares;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    squares.push_back(move->Square);
  return squares;
}

// Chains records 1..n with these squares and keys.
void BuildList(MoveRecord* list, const std::vector<std::pair<int, int>>& movesAndKeys) {
  MoveRecord* last = list;
  for (size_t i = 0; i < movesAndKeys.size(); ++i) {
    MoveRecord* record = list + 1 + i;
    record->Square = movesAndKeys[i].first;
    record->OrderKey = movesAndKeys[i].second;
    last->Next = record;
    last = record;
  }
  last->Next = nullptr;
}

TEST(MoveLists, SortIsStableLargestFirstOnRandomLists) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int count = std::uniform_int_distribution<int>(0, MaxMoves)(rng);
    std::vector<std::pair<int, int>> moves;
    for (int i = 0; i < count; ++i)
      moves.push_back({10 + i, std::uniform_int_distribution<int>(-3, 3)(rng)});
    TMoveList list;
    BuildList(list, moves);
    TOthelloEngine::SortMoves(list);
    std::stable_sort(moves.begin(), moves.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<int> expected;
    for (const auto& move : moves) expected.push_back(move.first);
    ASSERT_EQ(ListSquares(list), expected) << "trial " << trial;
  }
}

TEST(MoveLists, MoveToFrontKeepsTheOthersInOrder) {
  TMoveList list;
  BuildList(list, {{11, 0}, {12, 0}, {13, 0}, {14, 0}});
  TOthelloEngine::MoveToFront(list, 13);
  EXPECT_EQ(ListSquares(list), (std::vector<int>{13, 11, 12, 14}));
  TOthelloEngine::MoveToFront(list, 13);
  EXPECT_EQ(ListSquares(list), (std::vector<int>{13, 11, 12, 14}));
  TOthelloEngine::MoveToFront(list, 14);
  EXPECT_EQ(ListSquares(list), (std::vector<int>{14, 13, 11, 12}));
  TOthelloEngine::MoveToFront(list, 99);  // absent
  EXPECT_EQ(ListSquares(list), (std::vector<int>{14, 13, 11, 12}));
  TOthelloEngine::MoveToFront(list, PassMove);
  EXPECT_EQ(ListSquares(list), (std::vector<int>{14, 13, 11, 12}));
  BuildList(list, {});
  TOthelloEngine::MoveToFront(list, 11);
  EXPECT_TRUE(ListSquares(list).empty());
}

// ---- Depth tables ----

TEST(SearchTables, OrderingDepthAtEveryBoundary) {
  // remaining depth -> ordering search depth; beyond 64 as at 31-64.
  const std::pair<int, int> table[] = {{0, 0},  {6, 0},  {7, 1},  {10, 1}, {11, 2}, {13, 2},
                                       {14, 3}, {16, 3}, {17, 4}, {21, 4}, {22, 5}, {25, 5},
                                       {26, 6}, {30, 6}, {31, 0}, {64, 0}, {65, 0}, {96, 0}};
  for (const auto& [remaining, ordering] : table)
    EXPECT_EQ(TOthelloEngine::OrderingDepthFor(remaining), ordering) << remaining;
}

TEST(SearchTables, MpcShallowDepths) {
  const std::pair<int, int> table[] = {{0, -1}, {3, -1}, {4, 2}, {5, 3},  {6, 2},
                                       {7, 3},  {8, 4},  {9, 5}, {16, 6}, {17, 7}};
  for (const auto& [depth, shallow] : table)
    EXPECT_EQ(TOthelloEngine::MpcShallowDepth(depth), shallow) << depth;
}

// ---- Multi-prob-cut bounds ----

class MpcBoundsTest : public ::testing::Test {
 protected:
  MpcBoundsTest() : engine(10, TBoardKind::Board8x8) {
    engine.SetupStartPosition();  // 60 empties, 4 discs
    TEvaluation& e = *engine.Evaluation;
    // slope = 1 + 0.25 x shallow, offset = 1 + 0.25 x deep, sigma = 2 + 0.05 x empties.
    const double fit[12] = {1.0, 1.0, 2.0, 0, 0, 0.05, 0, 0.25, 0, 0.25, 0, 0};
    std::copy(fit, fit + 12, e.MidgameMpcFit);
    e.MpcThreshold = 1.5;
  }
  TDiscCountEngine engine;
};

TEST_F(MpcBoundsTest, RegressionGivesTheBounds) {
  // Depth 8, shallow 4: slope 2, offset 3, sigma 5, margin 1.5 x 5 = 7.5 discs.
  const TMpcBounds bounds = engine.MpcBounds(8, 4, 9'000'000, 10'000'000);
  ASSERT_TRUE(bounds.Usable);
  EXPECT_EQ(bounds.Margin, 7'500'000);
  EXPECT_EQ(bounds.BetaBound, 7'250'000);  // (10 + 7.5 - 3) / 2
  EXPECT_EQ(bounds.AlphaBound, -750'000);  // (9 - 7.5 - 3) / 2
}

TEST_F(MpcBoundsTest, TableRecordWhenMeasuredAndShallowEnough) {
  TEvaluation& e = *engine.Evaluation;
  e.Npc(4, 8, 4) = {1.0, 2.0, 1.0};
  e.MpcTableMaxDepth = 10;
  TMpcBounds bounds = engine.MpcBounds(8, 4, 9'000'000, 10'000'000);
  ASSERT_TRUE(bounds.Usable);
  EXPECT_EQ(bounds.Margin, 1'500'000);
  EXPECT_EQ(bounds.BetaBound, 9'500'000);
  EXPECT_EQ(bounds.AlphaBound, 5'500'000);

  // Deeper than the table's reach, or an unmeasured / absurd record: the regression.
  const TNpcRecord fallbacks[] = {
      {0.0, 2.0, 1.0}, {1.0, 0.0, 1.0}, {1.0, 2.0, 0.0}, {3.5, 2.0, 1.0}, {-1.0, 2.0, 1.0}};
  for (const TNpcRecord& record : fallbacks) {
    e.Npc(4, 8, 4) = record;
    bounds = engine.MpcBounds(8, 4, 9'000'000, 10'000'000);
    EXPECT_TRUE(bounds.Usable);
    EXPECT_EQ(bounds.BetaBound, 7'250'000) << record.Slope << " " << record.Offset;
  }
  e.Npc(4, 8, 4) = {1.0, 2.0, 1.0};
  e.MpcTableMaxDepth = 7;
  EXPECT_EQ(engine.MpcBounds(8, 4, 9'000'000, 10'000'000).BetaBound, 7'250'000);
}

TEST_F(MpcBoundsTest, UnusableStatisticsNeverCut) {
  struct TCase {
    const char* Name;
    double Fit[3];  // constant slope, offset, sigma; nothing else varies
  };
  const TCase cases[] = {{"all zero (Fenwa)", {0, 0, 0}}, {"zero slope", {0, 1, 2}},
                         {"tiny slope", {1e-13, 1, 2}},   {"steep slope", {3.5, 1, 2}},
                         {"negative slope", {-1, 1, 2}},  {"zero sigma", {1, 1, 0}},
                         {"negative sigma", {1, 1, -2}},  {"not a number", {NAN, 1, 2}}};
  TEvaluation& e = *engine.Evaluation;
  for (const TCase& c : cases) {
    std::fill(e.MidgameMpcFit, e.MidgameMpcFit + 12, 0.0);
    std::copy(c.Fit, c.Fit + 3, e.MidgameMpcFit);
    EXPECT_FALSE(engine.MpcBounds(8, 4, -1, 0).Usable) << c.Name;
  }
}

// A search from scratch at a 40-empty 8 x 8 position where every record of (deep, shallow)
// predicts a deep score 100 discs above the shallow one, so a probe there always cuts.
class MpcProbeTest : public ::testing::Test {
 protected:
  MpcProbeTest() : engine(16, TBoardKind::Board8x8) {
    std::mt19937 rng(11);
    Load(engine, reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 40, rng));
    engine.Evaluation->MpcTableMaxDepth = 25;
    engine.Evaluation->MpcThreshold = 1.0;
  }
  void CutAlwaysAt(int deep, int shallow) {
    for (int discs = 1; discs <= TEvaluation::NpcDiscs; ++discs)
      engine.Evaluation->Npc(discs, deep, shallow) = {1.0, 100.0, 1.0};
  }
  bool SlotsAllExact() const {
    const THashTable& table = *engine.HashTable;
    for (uint32_t i = 0; i < static_cast<uint32_t>(table.EntryCount); ++i)
      if (table.Slot(i).Selectivity != Infinity) return false;
    return true;
  }
  TDiscCountEngine engine;
};

TEST_F(MpcProbeTest, ProbeDepthFollowsTheNodeDepth) {
  struct TCase {
    int Depth, RecordDeep, RecordShallow;
    bool Cuts;
  };
  const TCase cases[] = {{5, 5, 3, true},  {5, 5, 2, false}, {4, 4, 2, true},
                         {4, 4, 3, false}, {6, 6, 2, true},  {7, 7, 3, true}};
  for (const TCase& c : cases) {
    TDiscCountEngine fresh(16, TBoardKind::Board8x8);
    fresh.Evaluation->MpcTableMaxDepth = 25;
    fresh.Evaluation->MpcThreshold = 1.0;
    for (int discs = 1; discs <= TEvaluation::NpcDiscs; ++discs)
      fresh.Evaluation->Npc(discs, c.RecordDeep, c.RecordShallow) = {1.0, 100.0, 1.0};
    const PositionImage image = engine.CurrentPosition();
    fresh.SetPosition(image.Board, image.SideToMove);
    int32_t margin = 0;
    const int32_t value = fresh.NullWindowSearch(-1, 0, c.Depth, false, true, margin);
    if (c.Cuts) {
      EXPECT_EQ(value, 0) << "depth " << c.Depth;  // the node answers beta
      EXPECT_EQ(margin, DiscUnit) << "depth " << c.Depth;
    } else {
      EXPECT_EQ(margin, Infinity) << "depth " << c.Depth << " probed " << c.RecordShallow;
    }
  }
}

TEST_F(MpcProbeTest, NoProbeAtDepthThree) {
  for (int shallow = 0; shallow < TEvaluation::NpcDepths; ++shallow) CutAlwaysAt(3, shallow);
  int32_t margin = 0;
  engine.NullWindowSearch(-1, 0, 3, false, true, margin);
  EXPECT_EQ(margin, Infinity);
  EXPECT_TRUE(SlotsAllExact());
}

TEST_F(MpcProbeTest, WithoutMpcNoNodeReportsAMargin) {
  for (int deep = 4; deep < TEvaluation::NpcDepths; ++deep)
    CutAlwaysAt(deep, TOthelloEngine::MpcShallowDepth(deep));
  TFixedSearchInfo level;
  level.Depth = 6;
  engine.Evaluation->UseMpc = false;
  engine.SearchFixedLevel(level);
  EXPECT_TRUE(SlotsAllExact());

  // The same search from scratch with the cuts allowed marks its entries.
  engine.HashTable->Clear();
  engine.Evaluation->UseMpc = true;
  engine.SearchFixedLevel(level);
  EXPECT_FALSE(SlotsAllExact());
}

TEST_F(MpcProbeTest, DefaultDiscCountEvaluationCannotCut) {
  TDiscCountEngine plain(16, TBoardKind::Board8x8);
  const PositionImage image = engine.CurrentPosition();
  plain.SetPosition(image.Board, image.SideToMove);
  ASSERT_TRUE(plain.Evaluation->UseMpc);
  for (int depth = 4; depth <= 12; ++depth)
    EXPECT_FALSE(plain.MpcBounds(depth, TOthelloEngine::MpcShallowDepth(depth), -1, 0).Usable);
  TFixedSearchInfo level;
  level.Depth = 6;
  plain.SearchFixedLevel(level);
  const THashTable& table = *plain.HashTable;
  for (uint32_t i = 0; i < static_cast<uint32_t>(table.EntryCount); ++i) {
    const int32_t selectivity = table.Slot(i).Selectivity;  // packed: copy before comparing
    ASSERT_EQ(selectivity, Infinity);
  }
}

// ---- Fixed-level search against a plain minimax ----

class FixedLevelTest : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(FixedLevelTest, MatchesMinimaxAtEveryDepth) {
  const TBoardKind kind = GetParam();
  std::mt19937 rng(100 + static_cast<int>(kind));
  const TReferenceBoard geometry = GeometryOf(kind);
  for (int trial = 0; trial < 6; ++trial) {
    const int empties = std::uniform_int_distribution<int>(12, 40)(rng);
    const TReferenceBoard board = reference::RandomPosition(geometry, empties, rng);
    for (int depth = 1; depth <= 3; ++depth) {
      TDiscCountEngine engine(16, kind);
      Load(engine, board);
      TFixedSearchInfo level;
      level.Depth = depth;
      const TSearchResult result = engine.SearchFixedLevel(level);
      const int64_t expected = board.Minimax(depth, DiscDifference);
      ASSERT_EQ(result.Score, expected) << board.ToText() << " depth " << depth;
      // The chosen move is worth the score.
      bool found = false;
      for (const reference::TSquare& move : board.Moves()) {
        if (SquareOf(engine, move) != result.BestSquare) continue;
        TReferenceBoard child = board;
        child.Play(move);
        EXPECT_EQ(-child.Minimax(depth - 1, DiscDifference), expected);
        found = true;
      }
      EXPECT_TRUE(found) << "best square " << result.BestSquare << " is not legal";
    }
  }
}

TEST_P(FixedLevelTest, ExactSolverAtExactEmptiesMidgameAboveIt) {
  const TBoardKind kind = GetParam();
  std::mt19937 rng(200 + static_cast<int>(kind));
  const TReferenceBoard board = reference::RandomPosition(GeometryOf(kind), 9, rng);
  const int empties = 9;
  for (const int exactEmpties : {empties, empties + 3, empties - 1}) {
    TDiscCountEngine engine(16, kind);
    TRecordingStatusBar scoreBar{2}, statsBar{4};
    engine.SetStatusBars(&scoreBar, &statsBar);
    Load(engine, board);
    TFixedSearchInfo level;
    level.Depth = 1;
    level.ExactEmpties = exactEmpties;
    const TSearchResult result = engine.SearchFixedLevel(level);
    const bool solved = exactEmpties >= empties;
    const int64_t expected =
        solved ? board.Solve() * int64_t{DiscUnit} : board.Minimax(1, DiscDifference);
    EXPECT_EQ(result.Score, expected) << exactEmpties;
    const auto shown = [&](const std::string& text) {
      return std::any_of(statsBar.History.begin(), statsBar.History.end(),
                         [&](const auto& entry) { return entry.second == text; });
    };
    EXPECT_EQ(shown("Depth : " + std::to_string(empties)), solved) << exactEmpties;
    EXPECT_EQ(shown("Depth : 1"), !solved) << exactEmpties;
    const THashProbe root = engine.HashTable->Probe(engine.HashLo, engine.HashHi);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->IsEndgame != 0, solved);
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, FixedLevelTest, ::testing::ValuesIn(AllKinds),
                         [](const auto& info) { return std::string(KindName(info.param)); });

TEST(FixedLevel, DepthTwoSearchesEachDepthTwiceAndBlends) {
  // An evaluation off whole discs, so that the blend shows.
  const int32_t own = 1'123'457, opp = 922'223;
  const auto evaluate = [&](const TReferenceBoard& b) {
    return int64_t{own} * b.Count(b.ToMove) - int64_t{opp} * b.Count(-b.ToMove);
  };
  std::mt19937 rng(5);
  int blended = 0;
  for (int trial = 0; trial < 8; ++trial) {
    const TReferenceBoard board =
        reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 30, rng);
    TWatchedEngine engine(TBoardKind::Board8x8, own, opp);
    TRecordingStatusBar scoreBar{2}, statsBar{4};
    engine.SetStatusBars(&scoreBar, &statsBar);
    Load(engine, board);
    engine.CountedEmpties = engine.EmptyCount;
    TFixedSearchInfo level;
    level.Depth = 2;
    const TSearchResult result = engine.SearchFixedLevel(level);

    std::vector<std::string> depths;
    for (const auto& [panel, text] : statsBar.History)
      if (panel == 0) depths.push_back(text);
    EXPECT_EQ(depths,
              (std::vector<std::string>{"Depth : 1", "Depth : 1", "Depth : 2", "Depth : 2"}));
    EXPECT_EQ(engine.CountedEvaluations, 2);  // depth 0: the root evaluated twice

    const int64_t score1 = board.Minimax(1, evaluate), score2 = board.Minimax(2, evaluate);
    const int64_t rest = std::abs(score2 % DiscUnit);
    if (rest <= 1000 || rest >= DiscUnit - 1000) {
      EXPECT_EQ(result.Score, score2);
    } else {
      ++blended;
      EXPECT_EQ(result.Score, std::llround(0.6 * score2 + 0.4 * score1));
    }
  }
  EXPECT_GT(blended, 0);
}

TEST(FixedLevel, WholeDiscScoreIsNotBlended) {
  std::mt19937 rng(6);
  const TReferenceBoard board =
      reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 30, rng);
  TDiscCountEngine engine(16, TBoardKind::Board8x8);
  Load(engine, board);
  TFixedSearchInfo level;
  level.Depth = 2;
  ASSERT_NE(board.Minimax(2, DiscDifference), board.Minimax(1, DiscDifference));
  EXPECT_EQ(engine.SearchFixedLevel(level).Score, board.Minimax(2, DiscDifference));
}

TEST(Drivers, NoLegalMoveGivesPassAndZero) {
  std::mt19937 rng(8);
  for (const TBoardKind kind : AllKinds) {
    for (const TReferenceBoard& board :
         reference::RandomPassPositions(GeometryOf(kind), 30, 3, rng)) {
      TDiscCountEngine engine(14, kind);
      Load(engine, board);
      ASSERT_EQ(engine.MobilityCount(), 0);
      for (const int exact : {0, 60}) {
        TFixedSearchInfo level;
        level.Depth = 3;
        level.ExactEmpties = exact;
        const TSearchResult fixed = engine.SearchFixedLevel(level);
        EXPECT_EQ(fixed.BestSquare, PassMove);
        EXPECT_EQ(fixed.Score, 0);
      }
      engine.SetTimeBudget(50);
      const TTimedSearchResult timed = engine.SearchTimed();
      EXPECT_EQ(timed.BestSquare, PassMove);
      EXPECT_EQ(timed.Score, 0);
    }
  }
}

// ---- Stopping ----

struct TStopper {
  TOthelloEngine* Engine;
  int64_t StopAt;
  int64_t Seen = 0;
};

void StopOnCall(void* context) {
  auto* stopper = static_cast<TStopper*>(context);
  if (++stopper->Seen == stopper->StopAt) stopper->Engine->RequestStop();
}

TEST(Drivers, StoppedSearchAnswersALegalMoveAndRestoresThePosition) {
  struct TCase {
    const char* Name;
    int Empties, Depth, ExactEmpties;
    int64_t StopAt;
  };
  const TCase cases[] = {{"midgame, first pump", 40, 10, 0, 1},
                         {"midgame, later pump", 40, 10, 0, 30},
                         {"exact, first pump", 20, 1, 20, 1},
                         {"exact, later pump", 20, 1, 20, 500}};
  std::mt19937 rng(9);
  for (const TCase& c : cases) {
    const TReferenceBoard board =
        reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), c.Empties, rng);
    TDiscCountEngine engine(16, TBoardKind::Board8x8);
    Load(engine, board);
    const TPositionSnapshot before(engine);
    const std::vector<int> legal = LegalSquares(engine);
    TStopper stopper{&engine, c.StopAt};
    TRecordingEventPump pump;
    pump.OnPump = StopOnCall;
    pump.Context = &stopper;
    TScopedEventPump scope(&pump);
    TFixedSearchInfo level;
    level.Depth = c.Depth;
    level.ExactEmpties = c.ExactEmpties;
    const TSearchResult result = engine.SearchFixedLevel(level);
    EXPECT_TRUE(engine.StopRequested) << c.Name;  // the stop did happen
    EXPECT_NE(std::find(legal.begin(), legal.end(), result.BestSquare), legal.end()) << c.Name;
    EXPECT_TRUE(TPositionSnapshot(engine) == before) << c.Name;
  }
}

// ---- Timed search ----

TEST(TimedSearch, MoveTime) {
  struct TCase {
    int64_t Budget;
    int Empties;
    bool Known;
    int64_t Expected;
  };
  const TCase cases[] = {{10'000, 20, true, 3'000},   {10'000, 20, false, 6'000},
                         {-5, 20, true, 300},         {-1, 10, true, 500},
                         {10'000, 16, true, 5'000},   {10'000, 17, true, 12'000},
                         {10'000, 16, false, 10'000}, {0, 30, true, 0}};
  for (const TCase& c : cases)
    EXPECT_EQ(TOthelloEngine::MoveTimeFor(c.Budget, c.Empties, c.Known), c.Expected)
        << c.Budget << " ms, " << c.Empties << " empties";
}

TEST(TimedSearch, NegativeBudgetActsAsOneSecond) {
  std::mt19937 rng(10);
  const TReferenceBoard board =
      reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 30, rng);
  int64_t limits[2];
  for (const int64_t budget : {int64_t{-7}, int64_t{1000}}) {
    TDiscCountEngine engine(16, TBoardKind::Board8x8);
    Load(engine, board);
    const TPositionSnapshot before(engine);
    const std::vector<int> legal = LegalSquares(engine);
    engine.SetTimeBudget(budget);
    const TTimedSearchResult result = engine.SearchTimed();
    limits[budget > 0] = engine.SearchLimit;
    EXPECT_NE(std::find(legal.begin(), legal.end(), result.BestSquare), legal.end());
    EXPECT_TRUE(TPositionSnapshot(engine) == before);
    EXPECT_FALSE(engine.TimedSearch);
  }
  EXPECT_EQ(limits[0], limits[1]);
  // 30 empties, a root the table does not know: 2 x round(1000 / 14 x 1.2) = 172 ms, and four
  // times that is within 8 s of the budget.
  EXPECT_EQ(limits[0], 172);
}

TEST(TimedSearch, SmallBudgetsAnswerLegalMovesOnAllBoards) {
  std::mt19937 rng(12);
  for (const TBoardKind kind : AllKinds) {
    for (const int empties : {12, 24, 58}) {
      const TReferenceBoard board = reference::RandomPosition(GeometryOf(kind), empties, rng);
      TDiscCountEngine engine(16, kind);
      Load(engine, board);
      const TPositionSnapshot before(engine);
      const std::vector<int> legal = LegalSquares(engine);
      engine.SetTimeBudget(30);
      const TTimedSearchResult result = engine.SearchTimed();
      EXPECT_NE(std::find(legal.begin(), legal.end(), result.BestSquare), legal.end())
          << KindName(kind) << " " << empties;
      EXPECT_TRUE(TPositionSnapshot(engine) == before) << KindName(kind) << " " << empties;
      EXPECT_LE(std::abs(result.Score), engine.PlayableSquares() * DiscUnit);
    }
  }
}

// ---- Status texts ----

TEST(SearchStatusTexts, FixedLevelReportsDepthMovesNodesScoreAndLine) {
  TDiscCountEngine engine(16, TBoardKind::Board8x8);
  TRecordingStatusBar scoreBar{2}, statsBar{4};
  engine.SetStatusBars(&scoreBar, &statsBar);
  engine.SetupStartPosition();
  TFixedSearchInfo level;
  level.Depth = 4;
  const TSearchResult result = engine.SearchFixedLevel(level);

  EXPECT_EQ(statsBar.Text(0), "Depth : 4");
  EXPECT_EQ(statsBar.Text(2), "Nodes : " + std::to_string(engine.NodeCount));
  const std::string& moves = statsBar.Text(1);
  ASSERT_EQ(moves.rfind("Moves : [", 0), 0u) << moves;
  EXPECT_NE(moves.find("/4] "), std::string::npos) << moves;
  EXPECT_EQ(scoreBar.Text(0), "Score : " + TOthelloEngine::FormatScore(result.Score / 1e6));
  const std::string line = "Bestline : " + engine.MoveToText(result.BestSquare) + " ";
  EXPECT_EQ(scoreBar.Text(1).rfind(line, 0), 0u) << scoreBar.Text(1);
}

}  // namespace
}  // namespace morvane
