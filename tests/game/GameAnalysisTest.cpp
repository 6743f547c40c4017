// Game analysis: in the exact part every value and loss against the reference board's
// brute-force solve, at a fixed depth every value against the engine searching the move's
// position itself, and a stopped analysis keeping the plies it finished.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <random>

#include "engine/Widgets.h"
#include "engines/DiscCountEngine.h"
#include "engines/EngineFactory.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "game/GameAnalysis.h"
#include "game/GameTestSupport.h"
#include "support/ReferenceBoard.h"

namespace morvane {
namespace {

using testing::GeometryOf;
using testing::ReferenceSquare;
using testing::SearchedValue;
using testing::TBoardCase;

using reference::TReferenceBoard;

TReferenceBoard ReferenceOf(const TPosition& position) {
  const auto board = GeometryOf(position.Kind()).FromText(position.Text());
  EXPECT_TRUE(board) << position.Text();
  return board.value_or(GeometryOf(position.Kind()));
}

TGame GameOf(const TPosition& start, const std::vector<int>& moves) {
  TGame game(start);
  for (const int square : moves) EXPECT_TRUE(game.Play(square));
  return game;
}

// The last `plies` plies of a random game, as a game from a set-up start.
TGame TailOf(TBoardKind kind, uint32_t seed, int plies) {
  const TGame whole = GameOf(TPosition(kind), testing::RandomGame(kind, seed));
  const int from = std::max(whole.Plies() - plies, 0);
  return GameOf(whole.PositionAt(from),
                std::vector<int>(whole.Moves().begin() + from, whole.Moves().end()));
}

bool HasPass(const TGame& game) {
  return std::find(game.Moves().begin(), game.Moves().end(), PassMove) != game.Moves().end();
}

int32_t Discs(int discs) { return discs * DiscUnit; }

// The production engine of each board with random coefficients.
class ExactAnalysis : public ::testing::TestWithParam<TBoardCase> {
 protected:
  std::unique_ptr<TOthelloPatternEngine> Engine() {
    return testing::RandomCoefficientEngine(GetParam().Evaluation, Folder.Path, 41);
  }
  testing::TScratchFolder Folder;
};

TEST_P(ExactAnalysis, EveryLossIsTheDifferenceOfBruteForceSolves) {
  const TBoardKind kind = GetParam().Kind;
  auto engine = Engine();
  std::vector<TGame> games = {TailOf(kind, 11, 11), TailOf(kind, 12, 10)};
  // A game whose tail holds a pass, for the pass's value through the opponent's best.
  for (uint32_t seed = 100; seed < 400; ++seed) {
    const TGame tail = TailOf(kind, seed, 11);
    if (HasPass(tail)) {
      games.push_back(tail);
      break;
    }
  }
  ASSERT_EQ(games.size(), 3u);
  ASSERT_TRUE(HasPass(games.back()));

  for (const TGame& game : games) {
    // The first position lies just outside the exact part, but all its moves lead into it.
    const TFixedSearchInfo level = testing::LevelOf(3, game.Start().Empties() - 1);
    const TGameAnalysis analysis = AnalyseGame(*engine, game, level);
    ASSERT_TRUE(analysis.Complete);
    ASSERT_EQ(analysis.Plies.size(), static_cast<size_t>(game.Plies()));
    EXPECT_EQ(analysis.FirstDone(), 0);
    int64_t blackLoss = 0, whiteLoss = 0;
    int blackOver2 = 0, whiteOver2 = 0;
    for (int ply = 0; ply < game.Plies(); ++ply) {
      const TPlyAnalysis& got = analysis.Plies[static_cast<size_t>(ply)];
      const TPosition position = game.PositionAt(ply);
      const TReferenceBoard board = ReferenceOf(position);
      const int best = board.Solve();
      SCOPED_TRACE(position.Text() + " ply " + std::to_string(ply));
      EXPECT_TRUE(got.Done);
      EXPECT_TRUE(got.Exact);
      EXPECT_EQ(got.Mover, position.ToMove());
      EXPECT_EQ(got.Played, game.Moves()[static_cast<size_t>(ply)]);
      EXPECT_EQ(got.BestValue, Discs(best));
      if (got.Played == PassMove) {
        EXPECT_EQ(got.PlayedValue, Discs(best));
        EXPECT_EQ(got.Best, PassMove);
        EXPECT_EQ(got.Loss, 0);
        continue;
      }
      TReferenceBoard played = board;
      played.Play(ReferenceSquare(position, got.Played));
      const int playedValue = -played.Solve();
      EXPECT_EQ(got.PlayedValue, Discs(playedValue));
      EXPECT_EQ(got.Loss, Discs(best - playedValue));
      // The best move named reaches the best value.
      TReferenceBoard chosen = board;
      ASSERT_GT(chosen.Flips(ReferenceSquare(position, got.Best)), 0);
      chosen.Play(ReferenceSquare(position, got.Best));
      EXPECT_EQ(-chosen.Solve(), best);
      (got.Mover == TColour::Black ? blackLoss : whiteLoss) += Discs(best - playedValue);
      if (best - playedValue > 2) ++(got.Mover == TColour::Black ? blackOver2 : whiteOver2);
    }
    EXPECT_EQ(analysis.Summary(TColour::Black).Loss, blackLoss);
    EXPECT_EQ(analysis.Summary(TColour::White).Loss, whiteLoss);
    EXPECT_EQ(analysis.Summary(TColour::Black).MistakesOver2, blackOver2);
    EXPECT_EQ(analysis.Summary(TColour::White).MistakesOver2, whiteOver2);
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, ExactAnalysis, ::testing::ValuesIn(testing::BoardCases),
                         testing::BoardCaseName);

class DepthAnalysis : public ::testing::TestWithParam<TBoardKind> {};

TEST_P(DepthAnalysis, ValuesAreTheEnginesOwnSearchesOfTheMovesPositions) {
  const TBoardKind kind = GetParam();
  TDiscCountEngine engine(16, kind), judge(16, kind);
  const int depth = 3;
  for (uint32_t seed : {5u, 6u}) {
    // From the start, so that the opening's transpositions meet in the table.
    const TGame whole = GameOf(TPosition(kind), testing::RandomGame(kind, seed));
    TGame game = whole;
    game.Truncate(24);
    const TGameAnalysis analysis = AnalyseGame(engine, game, testing::LevelOf(depth, 0));
    ASSERT_TRUE(analysis.Complete);
    for (int ply = 0; ply < game.Plies(); ++ply) {
      const TPlyAnalysis& got = analysis.Plies[static_cast<size_t>(ply)];
      const TPosition position = game.PositionAt(ply);
      SCOPED_TRACE(position.Text() + " ply " + std::to_string(ply));
      EXPECT_FALSE(got.Exact);
      if (got.Played == PassMove) {
        EXPECT_EQ(got.Loss, 0);
        continue;
      }
      EXPECT_EQ(got.PlayedValue, SearchedValue(judge, position, got.Played, depth));
      EXPECT_EQ(got.BestValue, SearchedValue(judge, position, got.Best, depth));
      EXPECT_EQ(got.Loss, got.BestValue - got.PlayedValue);
      EXPECT_GE(got.Loss, 0);
      EXPECT_TRUE(position.IsLegal(got.Best));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllBoards, DepthAnalysis,
                         ::testing::Values(TBoardKind::Board8x8, TBoardKind::Board10x10,
                                           TBoardKind::Octagon),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param));
                         });

TEST(GameAnalysis, AStopKeepsTheFinishedPliesFromTheEnd) {
  TDiscCountEngine engine(16, TBoardKind::Board8x8);
  const TGame game = GameOf(TPosition(), testing::RandomGame(TBoardKind::Board8x8, 9));
  const TFixedSearchInfo level = testing::LevelOf(3, 8);

  // Stopped from the progress report after three plies.
  std::vector<int> reported;
  const auto stopAfterThree = [&](int ply, const TPlyAnalysis& analysis, int done, int total) {
    EXPECT_TRUE(analysis.Done);
    EXPECT_EQ(total, game.Plies());
    EXPECT_EQ(done, game.Plies() - ply);
    reported.push_back(ply);
    if (done == 3) engine.RequestStop();
  };
  TGameAnalysis analysis = AnalyseGame(engine, game, level, stopAfterThree);
  EXPECT_FALSE(analysis.Complete);
  const int n = game.Plies();
  EXPECT_EQ(reported, (std::vector<int>{n - 1, n - 2, n - 3}));
  EXPECT_EQ(analysis.FirstDone(), n - 3);
  for (int ply = 0; ply < n; ++ply)
    EXPECT_EQ(analysis.Plies[static_cast<size_t>(ply)].Done, ply >= n - 3) << ply;
  const auto curve = analysis.BlackCurve();
  ASSERT_EQ(curve.size(), static_cast<size_t>(n + 1));
  EXPECT_FALSE(curve[static_cast<size_t>(n - 4)].has_value());
  EXPECT_TRUE(curve[static_cast<size_t>(n - 3)].has_value());
  // The finished game's end: black's final margin.
  EXPECT_EQ(curve.back(), static_cast<double>(game.Current().FinalScore()));

  // Stopped inside a search, as the window's pump does: the half-analysed ply is not kept.
  struct TStopper {
    TOthelloEngine* Engine;
    int Calls = 0;
  } stopper{&engine};
  TRecordingEventPump pump;
  pump.Context = &stopper;
  pump.OnPump = [](void* context) {
    auto* stopper = static_cast<TStopper*>(context);
    if (++stopper->Calls == 300) stopper->Engine->RequestStop();
  };
  TScopedEventPump installed(&pump);
  int done = 0;
  analysis = AnalyseGame(engine, game, testing::LevelOf(9, 8),
                         [&](int, const TPlyAnalysis&, int, int) { ++done; });
  EXPECT_FALSE(analysis.Complete);
  EXPECT_EQ(pump.Calls, 300);
  EXPECT_LT(done, n);
  EXPECT_EQ(analysis.FirstDone(), n - done);
  EXPECT_FALSE(analysis.Plies[static_cast<size_t>(n - done - 1)].Done);
}

TEST(GameAnalysis, SummaryCountsEachColoursLossesAndMistakes) {
  TGameAnalysis analysis;
  const struct {
    TColour Mover;
    double Loss;
    bool Done;
  } plies[] = {{TColour::Black, 2.0, true},  {TColour::White, 2.01, true},
               {TColour::Black, 4.5, true},  {TColour::White, 8.0, true},
               {TColour::Black, 8.25, true}, {TColour::White, 30.0, false}};
  for (const auto& each : plies) {
    TPlyAnalysis ply;
    ply.Mover = each.Mover;
    ply.Loss = static_cast<int32_t>(std::lround(each.Loss * DiscUnit));
    ply.Done = each.Done;
    analysis.Plies.push_back(ply);
  }
  const TColourSummary black = analysis.Summary(TColour::Black);
  EXPECT_EQ(black.Loss, Discs(2) + 4'500'000 + 8'250'000);
  EXPECT_EQ(black.MistakesOver2, 2);
  EXPECT_EQ(black.MistakesOver4, 2);
  EXPECT_EQ(black.MistakesOver8, 1);
  const TColourSummary white = analysis.Summary(TColour::White);
  EXPECT_EQ(white.Loss, 2'010'000 + Discs(8));
  EXPECT_EQ(white.MistakesOver2, 2);
  EXPECT_EQ(white.MistakesOver4, 1);
  EXPECT_EQ(white.MistakesOver8, 0);
}

}  // namespace
}  // namespace morvane
