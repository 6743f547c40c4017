#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
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
using reference::TSquare;

constexpr TBoardKind AllKinds[] = {TBoardKind::Board8x8, TBoardKind::Board10x10,
                                   TBoardKind::Octagon};

// Random positions with 1..10 empties, and positions whose side to move must pass.
std::vector<TReferenceBoard> SmallEndgames(TBoardKind kind, int count, int passCount,
                                           std::mt19937& rng) {
  const TReferenceBoard geometry = GeometryOf(kind);
  std::vector<TReferenceBoard> boards;
  for (int i = 0; i < count; ++i)
    boards.push_back(
        reference::RandomPosition(geometry, std::uniform_int_distribution<int>(1, 10)(rng), rng));
  for (const TReferenceBoard& board : reference::RandomPassPositions(geometry, 10, passCount, rng))
    boards.push_back(board);
  return boards;
}

// ---- Exact solves against the plain negamax ----

class ExactSolveTest : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(ExactSolveTest, EveryEntryPointAgreesWithBruteForce) {
  const TBoardKind kind = GetParam();
  std::mt19937 rng(300 + static_cast<int>(kind));
  int64_t passes = 0;
  int mustPass = 0;
  for (const TReferenceBoard& board : SmallEndgames(kind, 40, 8, rng)) {
    const int exact = board.Solve();
    passes += board.PassesSeen;
    const std::string text = board.ToText();

    TDiscCountEngine engine(16, kind);
    Load(engine, board);
    const TPositionSnapshot before(engine);
    const int32_t playable = engine.PlayableSquares();
    int32_t margin = 0;
    EXPECT_EQ(engine.EndSearchPV(-1000, 1000, false, margin), exact) << text;
    EXPECT_EQ(margin, Infinity);
    EXPECT_EQ(engine.EndSearchZW(exact - 1, exact, false, margin), exact) << text;
    EXPECT_EQ(engine.SolveExact(-playable, playable, false), exact) << text;
    engine.RecountRegions();
    EXPECT_EQ(engine.ExactSearch(-1000, 1000, false), exact) << text;
    EXPECT_TRUE(TPositionSnapshot(engine) == before) << text;

    if (engine.MobilityCount() == 0) {
      ++mustPass;
      continue;  // the drivers answer a pass with 0 (see the driver tests)
    }
    TDiscCountEngine fresh(16, kind);
    Load(fresh, board);
    TMoveList rootList;
    fresh.GenerateMovesHashed(rootList);
    EXPECT_EQ(fresh.ExactSolveAspirated(-playable * DiscUnit, playable * DiscUnit, rootList),
              exact * DiscUnit)
        << text;

    TDiscCountEngine driven(16, kind);
    Load(driven, board);
    TFixedSearchInfo level;
    level.Depth = 2;
    level.ExactEmpties = driven.EmptyCount + std::uniform_int_distribution<int>(0, 5)(rng);
    const TSearchResult result = driven.SearchFixedLevel(level);
    EXPECT_EQ(result.Score, exact * DiscUnit) << text;
    bool found = false;
    for (const TSquare& move : board.Moves()) {
      if (SquareOf(driven, move) != result.BestSquare) continue;
      TReferenceBoard child = board;
      child.Play(move);
      EXPECT_EQ(-child.Solve(), exact) << text << " " << driven.MoveToText(result.BestSquare);
      found = true;
    }
    EXPECT_TRUE(found) << text;
    EXPECT_TRUE(TPositionSnapshot(driven) == before) << text;
  }
  EXPECT_GT(passes, 0);
  EXPECT_GT(mustPass, 0);
}

// Fail-soft contract on any window, with one table shared by all calls so that stored bounds
// are reused across windows.
TEST_P(ExactSolveTest, WindowedSolvesKeepTheFailSoftContract) {
  const TBoardKind kind = GetParam();
  std::mt19937 rng(400 + static_cast<int>(kind));
  TDiscCountEngine engine(16, kind);
  const int playable = engine.PlayableSquares();
  for (const TReferenceBoard& board : SmallEndgames(kind, 25, 5, rng)) {
    const int exact = board.Solve();
    Load(engine, board);
    for (int trial = 0; trial < 12; ++trial) {
      std::uniform_int_distribution<int> bound(-playable - 2, playable + 2);
      int alpha = bound(rng), beta = bound(rng);
      if (alpha == beta) continue;
      if (alpha > beta) std::swap(alpha, beta);
      int32_t margin;
      const int32_t value = trial % 3 == 0   ? engine.SolveExact(alpha, beta, false)
                            : trial % 3 == 1 ? engine.EndSearchPV(alpha, beta, false, margin)
                                             : engine.EndSearchZW(alpha, alpha + 1, false, margin);
      const int32_t high = trial % 3 == 2 ? alpha + 1 : beta;
      const std::string where =
          board.ToText() + " window " + std::to_string(alpha) + ".." + std::to_string(high);
      if (value <= alpha)
        EXPECT_LE(exact, value) << where;
      else if (value >= high)
        EXPECT_GE(exact, value) << where;
      else
        EXPECT_EQ(exact, value) << where;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, ExactSolveTest, ::testing::ValuesIn(AllKinds),
                         [](const auto& info) { return std::string(KindName(info.param)); });

TEST(EndgameNodes, FourteenEmptiesSearchedByTheEndNodeThirteenByTheSolver) {
  std::mt19937 rng(21);
  const TReferenceBoard geometry = GeometryOf(TBoardKind::Board8x8);
  for (const int empties : {13, 14}) {
    const TReferenceBoard board = reference::RandomPosition(geometry, empties, rng);
    TWatchedEngine engine(TBoardKind::Board8x8);
    Load(engine, board);
    int32_t margin;
    const int32_t value = engine.EndSearchPV(-100, 100, false, margin);
    ASSERT_FALSE(engine.Calls.empty());
    // The first call is the test's own; only the end node itself calls its children.
    const bool childrenCalled = engine.Calls.size() > 1;
    EXPECT_EQ(childrenCalled, empties == 14) << empties;
    if (empties == 14) {
      EXPECT_EQ(engine.Calls[1].Empties, 13);
    }
    // The table-less negamax takes long this far from the end; the solver's own tier (tested
    // against it above) is the judge here.
    TDiscCountEngine solver(18, TBoardKind::Board8x8);
    Load(solver, board);
    EXPECT_EQ(value, solver.SolveExact(-100, 100, false)) << board.ToText();
  }
}

// ---- The last two squares ----

// Classifies the lines of a two-empty position: for each square the mover can take, who can
// fill the other one afterwards.
enum TFiller { OpponentFills, MoverFills, NobodyFills };

std::vector<TFiller> LinesOf(const TReferenceBoard& board) {
  std::vector<TFiller> lines;
  for (const TSquare& move : board.Moves()) {
    TReferenceBoard after = board;
    after.Play(move);  // now the opponent is to move
    TSquare other{};
    for (int row = 1; row <= after.Side; ++row)
      for (int column = 1; column <= after.Side; ++column)
        if (after.At(column, row) == reference::Empty) other = {column, row};
    if (after.FlipsFor(other, after.ToMove) > 0)
      lines.push_back(OpponentFills);
    else if (after.FlipsFor(other, -after.ToMove) > 0)
      lines.push_back(MoverFills);
    else
      lines.push_back(NobodyFills);
  }
  return lines;
}

TEST(SolveLastTwo, RandomPositionsOnAllBoards) {
  std::mt19937 rng(31);
  int seen[3] = {};
  for (const TBoardKind kind : AllKinds) {
    const TReferenceBoard geometry = GeometryOf(kind);
    for (int i = 0; i < 150; ++i) {
      const TReferenceBoard board = reference::RandomPosition(geometry, 2, rng);
      for (const TFiller line : LinesOf(board)) ++seen[line];
      TDiscCountEngine engine(10, kind);
      Load(engine, board);
      const int exact = board.Solve();
      EXPECT_EQ(engine.SolveLastTwo(-1000, 1000, false), exact) << board.ToText();
      // Narrow windows around the value exercise the early bounds.
      for (const int delta : {-3, -1, 0, 1, 3}) {
        const int32_t value = engine.SolveLastTwo(exact + delta - 1, exact + delta + 1, false);
        if (delta == 0)
          EXPECT_EQ(value, exact) << board.ToText();
        else if (delta > 0)
          EXPECT_LE(exact, value) << board.ToText();
        else
          EXPECT_GE(exact, value) << board.ToText();
      }
    }
  }
  // Random play almost never leaves a square nobody can fill; the hand-made cases cover it.
  EXPECT_GT(seen[OpponentFills], 0);
  EXPECT_GT(seen[MoverFills], 0);
}

// Hand-made 8 x 8 positions, X to move, empties a1 and h8; a8 is blocked in the first so that
// the disc count can be odd. X's a1 flips b1..g1 (6 discs).
struct TLastTwoCase {
  const char* Name;
  const char* Rows[8];
  int Expected;
};

const TLastTwoCase LastTwoCases[] = {
    // After a1 the board is 31-31 and nobody can take h8 (all its lines are X to the edge):
    // c = -13 + 12 = -1, a draw.
    {"nobody fills, c = -1",
     {"-OOOOOOX", "XXXXXXOX", "OOXOOOOX", "OOOXOOOX", "OOOOXOOX", "OOOOOXOX", "OOOOOOXX",
      "#XXXXXX-"},
     0},
    // b8 is O: after a1 (X 30, O 32) O takes h8 flipping c8..g8: 25 - 38 = -13.
    {"only the opponent fills",
     {"-OOOOOOX", "XXXXXXOX", "OOXOOOOX", "OOOXOOOX", "OOOOXOOX", "OOOOOXOX", "OOOOOOXX",
      "#OXXXXX-"},
     -13},
    // g8 is O: after a1 O cannot take h8 but X can, flipping g8: 32 - 31 = 1. (X taking h8
    // first lets O answer a1, which is worse for X.)
    {"only the mover fills",
     {"-OOOOOOX", "XXXXXXOX", "OOXOOOOX", "OOOXOOOX", "OOOOXOOX", "OOOOOXOX", "OOOOOOXX",
      "#XXXXXO-"},
     1},
};

TEST(SolveLastTwo, HandMadeCases) {
  for (const TLastTwoCase& c : LastTwoCases) {
    std::string text = "X";
    for (const char* row : c.Rows) text += row;
    const auto board = TReferenceBoard(8, {{1, 8}}).FromText(text);
    ASSERT_TRUE(board.has_value()) << c.Name;
    EXPECT_EQ(board->Solve(), c.Expected) << c.Name;
    TDiscCountEngine engine(10, TBoardKind::Board8x8);
    Load(engine, *board);
    ASSERT_EQ(engine.EmptyCount, 2);
    EXPECT_EQ(engine.SolveLastTwo(-1000, 1000, false), c.Expected) << c.Name;
    EXPECT_EQ(engine.SolveLastTwo(c.Expected - 1, c.Expected + 1, false), c.Expected) << c.Name;
  }
}

TEST(SolveLastTwo, NineteenFlipReplyIsNotCutAway) {
  // X's only move b1 flips c2; O then takes d4 and flips all 19 X discs on its eight lines:
  // after b1 X has 23, O 40; after d4 X has 4, O 60.
  const char* rows[8] = {"O-XOOOOO", "XXOXOXOO", "OOXXXOOO", "OXX-XXXO",
                         "OOXXXOOO", "OXOXOXOO", "OOOXOOXO", "OOOOOOOO"};
  std::string text = "X";
  for (const char* row : rows) text += row;
  const auto board = TReferenceBoard(8).FromText(text);
  ASSERT_TRUE(board.has_value());
  ASSERT_EQ(board->Solve(), -56);
  TDiscCountEngine engine(10, TBoardKind::Board8x8);
  Load(engine, *board);
  {
    TReferenceBoard after = *board;
    after.Play({2, 1});
    EXPECT_EQ(after.Flips({4, 4}), 19);
  }
  EXPECT_EQ(engine.MaxFlipsPerMove, 19);
  // A bound assuming 18 flips at most would answer "at least -54" on this window.
  EXPECT_EQ(engine.SolveLastTwo(-57, -55, false), -56);
  EXPECT_EQ(engine.SolveLastTwo(-1000, 1000, false), -56);
}

TEST(SolveLastTwo, GameOverWithTwoEmpties) {
  // Neither side can move: the two empties go to the winner, with or without the pass flag.
  std::mt19937 rng(33);
  int found = 0;
  for (int game = 0; game < 3000 && found < 5; ++game) {
    TReferenceBoard board(8);
    board.SetupStart();
    while (!board.GameOver()) {
      const std::vector<TSquare> moves = board.Moves();
      if (moves.empty()) {
        board.Pass();
        continue;
      }
      board.Play(moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(rng)]);
    }
    if (board.Count(reference::Empty) != 2) continue;
    ++found;
    TDiscCountEngine engine(10, TBoardKind::Board8x8);
    Load(engine, board);
    for (const bool passed : {false, true})
      EXPECT_EQ(engine.SolveLastTwo(-1000, 1000, passed), board.FinalMargin()) << board.ToText();
  }
  EXPECT_GT(found, 0);
}

TEST(SolveLastTwo, MostFlipsOfOneMovePerBoard) {
  EXPECT_EQ(TDiscCountEngine(10, TBoardKind::Board8x8).MaxFlipsPerMove, 19);
  EXPECT_EQ(TDiscCountEngine(10, TBoardKind::Board10x10).MaxFlipsPerMove, 27);
  // The octagon keeps the bound of its grid: blocked corners only shorten lines.
  EXPECT_GE(TDiscCountEngine(10, TBoardKind::Octagon).MaxFlipsPerMove, 27);
}

// ---- Selective endgame ----

TEST(SelectiveEndgame, InverseNormalAndThresholds) {
  const std::pair<double, int> steps[] = {
      {0.5, 674}, {0.7, 1036}, {0.85, 1440}, {0.95, 1960}, {0.97, 2171}};
  for (const auto& [probability, threshold] : steps)
    EXPECT_EQ(std::lround(1000 * TOthelloEngine::InverseNormal((probability + 1) / 2)), threshold);
  // Known quantiles of the normal law, within the approximation's error.
  EXPECT_NEAR(TOthelloEngine::InverseNormal(0.975), 1.959964, 5e-4);
  EXPECT_NEAR(TOthelloEngine::InverseNormal(0.5), 0.0, 5e-4);
  EXPECT_NEAR(TOthelloEngine::InverseNormal(0.8413447), 1.0, 5e-4);
  for (const double p : {0.01, 0.2, 0.4})
    EXPECT_DOUBLE_EQ(TOthelloEngine::InverseNormal(p), -TOthelloEngine::InverseNormal(1 - p));
}

TEST(SelectiveEndgame, StepsSetTheirThresholdsAndShowTheirProbability) {
  std::mt19937 rng(41);
  int positive = 0, negative = 0;
  for (int trial = 0; trial < 12; ++trial) {
    const TReferenceBoard board =
        reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 9, rng);
    const int exact = board.Solve();
    (exact >= 0 ? positive : negative)++;
    TWatchedEngine engine(TBoardKind::Board8x8);
    TRecordingStatusBar scoreBar{2}, statsBar{4};
    engine.SetStatusBars(&scoreBar, &statsBar);
    Load(engine, board);
    TMoveList rootList;
    engine.GenerateMovesHashed(rootList);
    const double steps[] = {0.5, 0.7, 0.85, 0.95, 0.97};
    const TEndgameResult result =
        engine.SelectiveEndgame(steps, Infinity, rootList, engine.EmptyCount, -64, 64);
    // Below 14 empties there is nothing to cut: every step is exact.
    EXPECT_EQ(result.Score, exact);
    EXPECT_EQ(result.Margin, Infinity);
    EXPECT_EQ(rootList[0].Next->Square, result.BestSquare);
    EXPECT_EQ(engine.EndCutThreshold, Infinity);
    std::vector<int32_t> thresholds;
    for (const TEndCall& call : engine.Calls)
      if (thresholds.empty() || thresholds.back() != call.CutThreshold)
        thresholds.push_back(call.CutThreshold);
    EXPECT_EQ(thresholds, (std::vector<int32_t>{674, 1036, 1440, 1960, 2171}));
    // The last step's score carries its probability: +12 at 97% shows 12.970.
    EXPECT_EQ(scoreBar.Text(0),
              "Score : " + TOthelloEngine::FormatScore(exact >= 0 ? exact + 0.97 : exact - 0.97));
  }
  EXPECT_GT(positive, 0);
  EXPECT_GT(negative, 0);
}

class EndCutTest : public ::testing::Test {
 protected:
  EndCutTest() {
    std::mt19937 rng(51);
    Board = reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 16, rng);
  }
  TEndgameResult Run(TDiscCountEngine& engine) {
    Load(engine, Board);
    TMoveList rootList;
    engine.GenerateMovesHashed(rootList);
    const double step[] = {0.7};
    return engine.SelectiveEndgame(step, Infinity, rootList, engine.EmptyCount, -64, 64);
  }
  TReferenceBoard Board{8};
};

TEST_F(EndCutTest, UnusableStatisticsGiveTheExactScore) {
  // No .ecc records and zero regressions (the Fenwa set-up): no end-cut, whatever the step.
  TDiscCountEngine engine(18, TBoardKind::Board8x8);
  const TEndgameResult selective = Run(engine);
  EXPECT_EQ(selective.Margin, Infinity);
  TDiscCountEngine exact(18, TBoardKind::Board8x8);
  Load(exact, Board);
  int32_t margin;
  EXPECT_EQ(selective.Score, exact.EndSearchPV(-64, 64, false, margin));
}

TEST_F(EndCutTest, UsableStatisticsCutWithTheStepThreshold) {
  // Statistics that predict a deep score far above the shallow one: fail-high cuts everywhere.
  for (const bool fromTable : {true, false}) {
    TDiscCountEngine engine(18, TBoardKind::Board8x8);
    TEvaluation& e = *engine.Evaluation;
    if (fromTable) {
      for (int empties = TEvaluation::EccFirstEmpties; empties <= TEvaluation::EccLastEmpties;
           ++empties)
        for (int shallow = 0; shallow < TEvaluation::EccShallowDepths; ++shallow)
          e.Ecc(empties, shallow) = {1.0, 100.0, 1.0, 0.0};
    } else {
      const double fit[12] = {1.0, 100.0, 1.0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      std::copy(fit, fit + 12, e.EndgameMpcFit);
    }
    const TEndgameResult result = Run(engine);
    EXPECT_EQ(result.Margin, 1036) << (fromTable ? "table" : "regression");
    EXPECT_LE(std::abs(result.Score), 64);
    EXPECT_EQ(engine.EndCutThreshold, Infinity);
    // The cut statistics are built for the window in discs and the step's threshold.
    engine.EndCutThreshold = 1036;
    const TMpcBounds bounds = engine.EndCutBounds(3, 4);
    ASSERT_TRUE(bounds.Usable);
    EXPECT_EQ(bounds.Margin, 1036);
    EXPECT_EQ(bounds.BetaBound, 4 * DiscUnit + 1'036'000 - 100 * DiscUnit);
    EXPECT_EQ(bounds.AlphaBound, 3 * DiscUnit - 1'036'000 - 100 * DiscUnit);
  }
}

TEST(EndCut, SelectiveStepsNeverPoisonTheExactStep) {
  // Tight statistics make the end-cut wrong often. A null-window answer that rests on a wrong
  // cut steers the re-search window, so the re-searched value must not be stored as exact; the
  // aspirated solve and a later exact search must still find the exact score.
  std::mt19937 rng(91);
  for (int trial = 0; trial < 3; ++trial) {
    const TReferenceBoard board =
        reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 16, rng);
    TDiscCountEngine exact(18, TBoardKind::Board8x8);
    Load(exact, board);
    const int32_t expected = exact.SolveExact(-100, 100, false);

    TDiscCountEngine engine(18, TBoardKind::Board8x8);
    for (int empties = TEvaluation::EccFirstEmpties; empties <= TEvaluation::EccLastEmpties;
         ++empties)
      for (int shallow = 0; shallow < TEvaluation::EccShallowDepths; ++shallow)
        engine.Evaluation->Ecc(empties, shallow) = {1.0, 0.0, 0.25, 0.0};
    Load(engine, board);
    TMoveList rootList;
    engine.GenerateMovesHashed(rootList);
    EXPECT_EQ(engine.ExactSolveAspirated(-64 * DiscUnit, 64 * DiscUnit, rootList),
              expected * DiscUnit)
        << board.ToText();
    int32_t margin;
    EXPECT_EQ(engine.EndSearchPV(-100, 100, false, margin), expected) << board.ToText();
  }
}

// ---- Timed endgame ----

TEST(TimedEndgame, StopsOnItsClockAndRestoresThePosition) {
  std::mt19937 rng(61);
  const TReferenceBoard board =
      reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 20, rng);
  TDiscCountEngine engine(16, TBoardKind::Board8x8);
  Load(engine, board);
  const TPositionSnapshot before(engine);
  TMoveList rootList;
  engine.GenerateMovesHashed(rootList);
  engine.TimedSearch = true;
  engine.StopRequested = false;
  engine.SearchStart = TickCount();
  engine.SearchLimit = 0;  // already spent
  EXPECT_EQ(engine.TimedEndgame(1000, rootList), -Infinity);
  EXPECT_TRUE(engine.StopRequested);
  EXPECT_TRUE(TPositionSnapshot(engine) == before);
  EXPECT_EQ(engine.EndCutThreshold, Infinity);
}

TEST(TimedEndgame, BelowFourteenEmptiesNoNodeLooksAtTheClock) {
  std::mt19937 rng(62);
  const TReferenceBoard board = reference::RandomPosition(GeometryOf(TBoardKind::Octagon), 10, rng);
  TDiscCountEngine engine(16, TBoardKind::Octagon);
  Load(engine, board);
  TMoveList rootList;
  engine.GenerateMovesHashed(rootList);
  engine.TimedSearch = true;
  engine.StopRequested = false;
  engine.SearchStart = TickCount();
  engine.SearchLimit = 0;
  EXPECT_EQ(engine.TimedEndgame(0, rootList), board.Solve() * DiscUnit);
}

// ---- Aspirated exact solve ----

TEST(ExactSolveAspirated, FirstWindowSurroundsTheEvenGuess) {
  std::mt19937 rng(71);
  const TReferenceBoard board = reference::RandomPosition(GeometryOf(TBoardKind::Board8x8), 8, rng);
  struct TCase {
    int32_t Guess;
    int32_t Low, High;
  };
  const TCase cases[] = {
      {7'000'000, 5, 7}, {8'400'000, 7, 9}, {-7'000'000, -9, -7}, {0, -1, 1}, {500'000, -1, 1}};
  for (const TCase& c : cases) {
    TWatchedEngine engine(TBoardKind::Board8x8);
    Load(engine, board);
    engine.HashTable->Store(engine.HashLo, engine.HashHi, 3, -Infinity, Infinity, c.Guess, 0,
                            Infinity, false);
    TMoveList rootList;
    engine.GenerateMovesHashed(rootList);
    const int32_t value = engine.ExactSolveAspirated(-64 * DiscUnit, 64 * DiscUnit, rootList);
    ASSERT_FALSE(engine.Calls.empty());
    // The root's first move is searched on the negated window.
    EXPECT_TRUE(engine.Calls[0].Principal);
    EXPECT_EQ(engine.Calls[0].Alpha, -c.High) << c.Guess;
    EXPECT_EQ(engine.Calls[0].Beta, -c.Low) << c.Guess;
    EXPECT_EQ(value, board.Solve() * DiscUnit) << c.Guess;
  }
}

TEST(ExactSolveAspirated, WrongGuessesRecentreAndReportTheirFails) {
  const std::regex failLow(R"(Score : -?\d+\.500 -)"), failHigh(R"(Score : -?\d+\.500 \+)");
  std::mt19937 rng(72);
  for (const TBoardKind kind : AllKinds) {
    const TReferenceBoard board = reference::RandomPosition(GeometryOf(kind), 9, rng);
    const int exact = board.Solve();
    for (const int32_t guess : {60 * DiscUnit, -60 * DiscUnit}) {
      TDiscCountEngine engine(16, kind);
      TRecordingStatusBar scoreBar{2}, statsBar{4};
      engine.SetStatusBars(&scoreBar, &statsBar);
      Load(engine, board);
      engine.HashTable->Store(engine.HashLo, engine.HashHi, 3, -Infinity, Infinity, guess, 0,
                              Infinity, false);
      TMoveList rootList;
      engine.GenerateMovesHashed(rootList);
      const int32_t playable = engine.PlayableSquares() * DiscUnit;
      EXPECT_EQ(engine.ExactSolveAspirated(-playable, playable, rootList), exact * DiscUnit);
      int lows = 0, highs = 0;
      for (const auto& [panel, text] : scoreBar.History) {
        if (panel != 0) continue;
        lows += std::regex_match(text, failLow);
        highs += std::regex_match(text, failHigh);
      }
      // Unless the guess was next to the answer, the first (50%) step failed in the guess's
      // direction and never the other way.
      if (std::abs(guess / DiscUnit - exact) > 2) {
        EXPECT_GT(guess > 0 ? lows : highs, 0) << board.ToText();
        EXPECT_EQ(guess > 0 ? highs : lows, 0) << board.ToText();
      }
    }
  }
}

TEST(ExactSolveAspirated, MarginsBeyondSixtyFourOnTheLargeBoards) {
  // A 10 x 10 position where one side has almost everything: its margin exceeds 64 discs.
  TReferenceBoard board(10);
  for (int row = 1; row <= 10; ++row)
    for (int column = 1; column <= 10; ++column) board.Set(column, row, reference::Black);
  board.Set(1, 1, reference::Empty);
  board.Set(2, 1, reference::White);
  board.Set(10, 10, reference::Empty);
  board.Set(9, 10, reference::White);
  board.ToMove = reference::Black;
  const int exact = board.Solve();
  ASSERT_GT(exact, 64);
  TDiscCountEngine engine(16, TBoardKind::Board10x10);
  Load(engine, board);
  TFixedSearchInfo level;
  level.Depth = 2;
  level.ExactEmpties = 10;
  EXPECT_EQ(engine.SearchFixedLevel(level).Score, exact * DiscUnit);
}

// ---- Ordering tables ----

TEST(EndgameTables, EndOrderDepthAtEveryBoundary) {
  const std::pair<int, int> table[] = {{0, 0},  {10, 0}, {11, 0}, {15, 0}, {16, 1}, {19, 1},
                                       {20, 2}, {22, 2}, {23, 3}, {26, 3}, {27, 4}, {32, 4},
                                       {33, 5}, {36, 5}, {37, 6}, {50, 6}, {51, 6}, {96, 6}};
  for (const auto& [empties, depth] : table)
    EXPECT_EQ(TOthelloEngine::EndOrderDepthFor(empties), depth) << empties;
}

}  // namespace
}  // namespace morvane
