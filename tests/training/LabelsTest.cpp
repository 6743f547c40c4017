#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/ExactLabels.h"
#include "training/LabelCache.h"
#include "training/TrainingSet.h"
#include "training/TrainingTestSupport.h"

namespace morvane::training {
namespace {

using testing_support::TTempFolder;

TLabelCache::TScores Scores(int seed) {
  TLabelCache::TScores scores;
  for (size_t e = 0; e < scores.size(); ++e)
    scores[e] = e % 3 == 0 ? TLabelCache::Unknown : static_cast<int8_t>((seed * 7 + e) % 129 - 64);
  return scores;
}

TEST(LabelCache, KeepsWhatWasAppendedAcrossRuns) {
  TTempFolder folder("labels");
  const auto path = folder.Path / "sub" / "games.labels";
  {
    TLabelCache cache(path);
    for (uint32_t game = 0; game < 50; ++game) cache.Append(game, 1000 + game, Scores(game));
    cache.Flush();
  }
  TLabelCache again(path);
  EXPECT_EQ(again.Size(), 50u);
  for (uint32_t game = 0; game < 50; ++game) {
    const auto* scores = again.Find(game, 1000 + game);
    ASSERT_NE(scores, nullptr);
    EXPECT_EQ(*scores, Scores(game));
  }
  // Another move text under the same number is another game: solve it again.
  EXPECT_EQ(again.Find(3, 42), nullptr);
  EXPECT_EQ(again.Find(50, 1050), nullptr);
}

TEST(LabelCache, ATornLastRecordIsDroppedAndOverwritten) {
  TTempFolder folder("torn");
  const auto path = folder.Path / "games.labels";
  {
    TLabelCache cache(path);
    cache.Append(0, 7, Scores(0));
    cache.Append(1, 8, Scores(1));
  }
  const auto whole = std::filesystem::file_size(path);
  std::filesystem::resize_file(path, whole - 5);  // the second record cut short
  {
    TLabelCache readOnly(path, /*writable=*/false);
    EXPECT_EQ(readOnly.Size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(path), whole - 5) << "a reader must not touch the file";
    EXPECT_THROW(readOnly.Append(2, 9, Scores(2)), std::logic_error);
  }
  {
    TLabelCache cache(path);
    EXPECT_EQ(cache.Size(), 1u);
    cache.Append(1, 8, Scores(1));
  }
  TLabelCache again(path);
  EXPECT_EQ(again.Size(), 2u);
  ASSERT_NE(again.Find(1, 8), nullptr);
  EXPECT_EQ(*again.Find(1, 8), Scores(1));
  EXPECT_EQ(std::filesystem::file_size(path), whole);
}

TEST(LabelCache, AnotherFileIsRefused) {
  TTempFolder folder("notcache");
  const auto path = folder.Path / "x.labels";
  std::ofstream(path) << "hello, world";
  EXPECT_THROW(TLabelCache{path}, std::runtime_error);
}

TArchiveGame ParsedRandomGame(uint32_t seed, std::string suffix = "") {
  std::mt19937 rng(seed);
  const auto line = testing_support::RandomGameLine(rng);
  TArchiveGame game;
  EXPECT_FALSE(ParseGameLine(line.Moves + " " + std::to_string(line.BlackDiff) + suffix, game));
  return game;
}

TEST(LabelGame, ResultsLabelEveryPositionWithTheFinalMarginOfItsMover) {
  const TArchiveGame game = ParsedRandomGame(40);
  std::vector<TLabelledPosition> out;
  LabelGame(game, TLabelKind::Results, nullptr, out);
  ASSERT_EQ(out.size(), game.Positions.size());
  for (const auto& position : out) {
    EXPECT_EQ(position.Label, game.BlackDiff * position.Side);
    EXPECT_EQ(position.Result, position.Label);
    EXPECT_EQ(position.Exact, NoExact);
    EXPECT_EQ((position.Flags & HeldOut) != 0, IsHeldOut(game.Hash));
  }
}

// A solved late position corrects the labels of every earlier one; later unsolved positions
// keep the result; the theoretical score at 24 empties takes over before it.
TEST(LabelGame, ExactValuesCorrectTheLabelsBackwards) {
  const TArchiveGame game = ParsedRandomGame(41, " 2001 40 45 24 1 2 3");
  ASSERT_TRUE(game.TheoreticalDiff);
  const int theoretical = *game.TheoreticalDiff;  // 2 * 45 - 64 = 26
  int8_t solved[TLabelCache::MaxEmpties + 1];
  std::fill(std::begin(solved), std::end(solved), TLabelCache::Unknown);
  solved[12] = 10;  // for the mover at 12 empties
  std::vector<TLabelledPosition> out;
  LabelGame(game, TLabelKind::Exact, solved, out);
  ASSERT_EQ(out.size(), game.Positions.size());
  int sideAt12 = 0;
  for (const auto& position : game.Positions)
    if (position.Empties == 12) sideAt12 = position.Side;
  ASSERT_NE(sideAt12, 0);
  const int black12 = 10 * sideAt12;
  int checked = 0;
  for (const auto& position : out) {
    int expectedBlack;
    if (position.Empties < 12) {
      expectedBlack = game.BlackDiff;
    } else if (position.Empties < 24) {
      expectedBlack = black12;
    } else {
      expectedBlack = theoretical;
    }
    EXPECT_EQ(position.Label, expectedBlack * position.Side) << int{position.Empties};
    EXPECT_EQ(position.Result, game.BlackDiff * position.Side);
    const bool exactHere = position.Empties == 12 || position.Empties == 24;
    EXPECT_EQ((position.Flags & ExactLabel) != 0, exactHere) << int{position.Empties};
    EXPECT_EQ(position.Exact != NoExact, exactHere);
    checked += exactHere;
  }
  EXPECT_EQ(checked, 2);
}

TEST(LabelGame, AnAbandonedGameKeepsOnlyWhatAnExactValueReaches) {
  TArchiveGame game;
  ASSERT_FALSE(ParseGameLine("f5d6c3d3c4f4c5b3c2e6 +4", game));
  ASSERT_FALSE(game.Finished);
  std::vector<TLabelledPosition> out;
  LabelGame(game, TLabelKind::Results, nullptr, out);
  EXPECT_TRUE(out.empty());
}

// The engine's solver against the reference board's plain negamax.
TEST(ExactLabels, SolveExactlyAgreesWithThePlainNegamax) {
  TTempFolder folder("solve");
  const auto setup = CreateEvaluation("Pellin", nullptr, folder.Path, false);
  WriteCoefficientFile(*setup, setup->FilePath(".coe"), 5u);
  auto engine = CreateEngineFor("Pellin", 16, nullptr, folder.Path);
  std::mt19937 rng(16);
  for (int i = 0; i < 60; ++i) {
    const auto board = reference::RandomPosition(reference::TReferenceBoard(8), 1 + i % 9, rng);
    uint64_t own, opp;
    testing_support::ToBitboards(board, own, opp);
    LoadPosition(*engine, own, opp, board.ToMove);
    ASSERT_EQ(SolveExactly(*engine), board.Solve()) << board.ToText();
  }
  // Positions where the mover must pass.
  for (const auto& board :
       reference::RandomPassPositions(reference::TReferenceBoard(8), 9, 15, rng)) {
    uint64_t own, opp;
    testing_support::ToBitboards(board, own, opp);
    LoadPosition(*engine, own, opp, board.ToMove);
    ASSERT_EQ(SolveExactly(*engine), board.Solve()) << board.ToText();
  }
}

TEST(ExactLabels, SolveGameScoresTheLatePositionsOnly) {
  TTempFolder folder("solvegame");
  const auto setup = CreateEvaluation("Pellin", nullptr, folder.Path, false);
  WriteCoefficientFile(*setup, setup->FilePath(".coe"), 5u);
  auto engine = CreateEngineFor("Pellin", 16, nullptr, folder.Path);
  const TArchiveGame game = ParsedRandomGame(44);
  const TLabelCache::TScores scores = SolveGame(*engine, game, 6);
  for (const auto& position : game.Positions) {
    if (position.Empties > 6) continue;
    reference::TReferenceBoard board(8);
    for (int bit = 0; bit < 64; ++bit) {
      const int cell = (position.Own >> bit) & 1   ? position.Side
                       : (position.Opp >> bit) & 1 ? -position.Side
                                                   : reference::Empty;
      board.Set(bit % 8 + 1, bit / 8 + 1, cell);
    }
    board.ToMove = position.Side;
    EXPECT_EQ(scores[position.Empties], board.Solve()) << int{position.Empties};
  }
  for (int e = 7; e <= TLabelCache::MaxEmpties; ++e) EXPECT_EQ(scores[e], TLabelCache::Unknown);
}

}  // namespace
}  // namespace morvane::training
