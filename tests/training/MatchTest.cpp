#include <gtest/gtest.h>

#include <bit>

#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/Match.h"

namespace morvane::training {
namespace {

TEST(Match, OpeningsAreLegalAndFollowTheSeed) {
  for (uint32_t seed = 0; seed < 30; ++seed) {
    const auto opening = RandomOpening(seed, 10);
    EXPECT_EQ(opening, RandomOpening(seed, 10));
    ASSERT_EQ(opening.size(), 10u);
    TArchiveGame game;
    EXPECT_FALSE(ParseGameLine(MovesText(opening) + " 0", game)) << MovesText(opening);
  }
  EXPECT_NE(RandomOpening(1, 10), RandomOpening(2, 10));
}

// A played game replays legally to its end and has the result the match reports.
TEST(Match, GamesAreLegalAndScoredByTheirFinalBoard) {
  testing_support::TTempFolder folder("match");
  for (const char* name : {"Pellin", "Tovrel"}) {
    const auto setup = CreateEvaluation(name, nullptr, folder.Path, false);
    WriteCoefficientFile(*setup, setup->FilePath(".coe"), 9u);
  }
  auto pellin = CreateEngineFor("Pellin", 14, nullptr, folder.Path);
  auto tovrel = CreateEngineFor("Tovrel", 14, nullptr, folder.Path);
  TFixedSearchInfo level;
  level.Depth = 1;
  level.ExactEmpties = 6;
  for (uint32_t seed = 0; seed < 4; ++seed) {
    const auto opening = RandomOpening(seed, 6);
    const TMatchGame game = PlayMatchGame(*pellin, level, *tovrel, level, opening);
    ASSERT_GE(game.Moves.size(), opening.size());
    EXPECT_TRUE(std::equal(opening.begin(), opening.end(), game.Moves.begin()));
    TArchiveGame replay;
    const auto error =
        ParseGameLine(MovesText(game.Moves) + " " + std::to_string(game.BlackDiff), replay);
    ASSERT_FALSE(error) << *error;
    EXPECT_TRUE(replay.Finished);
  }
}

TEST(Match, SummaryCountsPointsAndPairs) {
  // Two pairs: (win, loss) and (win, draw).
  const TMatchSummary summary = Summarise({10, -4, 2, 0});
  EXPECT_EQ(summary.Games, 4);
  EXPECT_DOUBLE_EQ(summary.Score, (1 + 0 + 1 + 0.5) / 4);
  EXPECT_DOUBLE_EQ(summary.MeanDiff, 2.0);
  // Pair means 0.5 and 0.75: deviation sqrt(0.03125), margin 1.96 * that / sqrt(2).
  EXPECT_NEAR(summary.ScoreMargin, 1.96 * std::sqrt(0.03125) / std::sqrt(2.0), 1e-12);
  // Pair margins 3 and 1.
  EXPECT_NEAR(summary.DiffMargin, 1.96 * std::sqrt(2.0) / std::sqrt(2.0), 1e-12);
  EXPECT_EQ(Summarise({}).Games, 0);
}

}  // namespace
}  // namespace morvane::training
