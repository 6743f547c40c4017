#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/ExactLabels.h"
#include "training/PatternFit.h"
#include "training/TrainedFiles.h"
#include "training/TrainingTestSupport.h"

namespace morvane::training {
namespace {

using testing_support::TTempFolder;

// Two small patterns whose instances never share a square (a corner with its two neighbours,
// and two diagonal squares next to the centre), two stages.
std::unique_ptr<TEvaluation> SyntheticSetup() {
  auto evaluation = std::make_unique<TEvaluation>("Synthetic", nullptr);
  evaluation->AddPattern(
      std::make_unique<TPattern>(8, 2, std::initializer_list<int32_t>{11, 12, 21}));
  evaluation->AddPattern(std::make_unique<TPattern>(8, 2, std::initializer_list<int32_t>{33, 44}));
  return evaluation;
}

TLabelledPosition Labelled(const reference::TReferenceBoard& board, int label) {
  TLabelledPosition position;
  testing_support::ToBitboards(board, position.Own, position.Opp);
  position.Side = static_cast<int8_t>(board.ToMove);
  position.Empties = static_cast<uint8_t>(board.Count(reference::Empty));
  position.Label = static_cast<int8_t>(label);
  return position;
}

struct TSyntheticTruth {
  std::vector<double> Parameters;
  std::unique_ptr<TOthelloPatternEngine> Engine;  // evaluates with the true tables
};

// Whole-disc true values per class and disc count, so that the labels are exact; the engine
// built on them is the oracle that labels the positions.
TSyntheticTruth MakeTruth(const TFeatureLayout& layout, std::mt19937& rng) {
  TSyntheticTruth truth;
  std::uniform_int_distribution<int> value(-3, 3);
  truth.Parameters.resize(static_cast<size_t>(layout.ParameterCount()));
  for (double& parameter : truth.Parameters) parameter = value(rng);
  auto evaluation = SyntheticSetup();
  const std::vector<float> bias = layout.Expand(truth.Parameters, *evaluation);
  for (int discs = 0; discs <= 64; ++discs)
    evaluation->Bias[discs] = static_cast<int32_t>(std::lround(bias[discs] * 1e6));
  evaluation->ConvertToIntegers();
  truth.Engine = std::make_unique<TOthelloPatternEngine>("Truth", 10, 8, std::move(evaluation));
  return truth;
}

int TrueValue(TOthelloPatternEngine& engine, const TLabelledPosition& position) {
  LoadPosition(engine, position.Own, position.Opp, position.Side);
  const int32_t value = engine.Evaluate();
  EXPECT_EQ(value % DiscUnit, 0);
  return value / DiscUnit;
}

TFitOptions ExactOptions() {
  TFitOptions options;
  options.Lambda = 1e-9;
  options.BiasLambda = 1e-9;
  options.BlendWeight = 0;
  options.Iterations = 400;
  options.Tolerance = 1e-20;
  return options;
}

TEST(PatternFit, RecoversKnownCoefficientsFromExactLabels) {
  const auto setup = SyntheticSetup();
  const TFeatureLayout layout(*setup);
  ASSERT_EQ(layout.InstanceCount(), 8);
  std::mt19937 rng(2024);
  TSyntheticTruth truth = MakeTruth(layout, rng);

  std::vector<TLabelledPosition> positions;
  for (int i = 0; i < 6000; ++i) {
    const auto board = reference::RandomPosition(reference::TReferenceBoard(8), 2 + i % 57, rng);
    TLabelledPosition position = Labelled(board, 0);
    position.Label = static_cast<int8_t>(TrueValue(*truth.Engine, position));
    if (i % 10 == 0) position.Flags = HeldOut;
    positions.push_back(position);
  }
  TPatternFit fit(layout, positions, ExactOptions());
  const std::vector<double> fitted = fit.Solve();

  // Classes the data reaches: a centre square is never empty, so some never occur.
  std::vector<bool> seen(static_cast<size_t>(layout.ParameterCount()), false);
  for (const auto& position : positions) {
    uint16_t classes[8];
    layout.Classes(position.Own, position.Opp, classes);
    const int stage = layout.StageOf(64 - position.Empties);
    for (int i = 0; i < 8; ++i) seen[layout.Parameter(i, stage, classes[i])] = true;
  }
  int compared = 0;
  // A constant can move between a pattern's table and Bias without changing any evaluation, so
  // the tables are compared by their differences from their first class, which that leaves
  // alone; the evaluations themselves must match outright.
  for (const auto& pattern : layout.Patterns)
    for (int stage = 0; stage < layout.StageCount(); ++stage) {
      const int64_t first = pattern.Offset + int64_t{stage} * pattern.ClassCount;
      ASSERT_TRUE(seen[first]);
      for (int cls = 1; cls < pattern.ClassCount; ++cls) {
        if (!seen[first + cls]) continue;
        ++compared;
        EXPECT_NEAR(fitted[first + cls] - fitted[first],
                    truth.Parameters[first + cls] - truth.Parameters[first], 1e-4)
            << "stage " << stage << " class " << cls;
      }
    }
  // 17 of the corner's 18 classes (its first is the reference) and 5 of the diagonal's 8 per
  // stage.
  EXPECT_EQ(compared, 2 * (17 + 5));
  for (size_t i = 0; i < positions.size(); ++i)
    ASSERT_NEAR(fit.Predict(fitted, i), positions[i].Label, 1e-4) << i;
  const THeldOutErrors errors = MeasureHeldOut(fit, fitted, positions, 2, layout);
  EXPECT_EQ(errors.LabelCount, 600);
  EXPECT_LT(errors.Label, 1e-4);
}

// Without data an entry has nothing but the pull toward zero.
TEST(PatternFit, UnseenEntriesStayAtZero) {
  const auto setup = SyntheticSetup();
  const TFeatureLayout layout(*setup);
  std::mt19937 rng(7);
  std::vector<TLabelledPosition> positions;
  // The corners stay empty for the first moves.
  for (int i = 0; i < 400; ++i)
    positions.push_back(
        Labelled(reference::RandomPosition(reference::TReferenceBoard(8), 56 + i % 4, rng),
                 static_cast<int>(rng() % 21) - 10));
  TFitOptions options;
  options.Iterations = 50;
  TPatternFit fit(layout, positions, options);
  const std::vector<double> fitted = fit.Solve();
  const auto& corner = layout.Patterns[0];
  int nonzero = 0;
  for (int32_t table = 0; table < Pow3[3]; ++table) {
    const int cls = corner.ClassOf[table];
    const double value = fitted[corner.Offset + cls];
    if (table / 9 != 1) {
      EXPECT_EQ(value, 0.0) << "an entry with a disc on the corner moved without data";
    } else {
      nonzero += value != 0.0;
    }
  }
  EXPECT_GT(nonzero, 0);
}

// The bits of the eight symmetric images of a position.
uint64_t Transform(uint64_t bits, int symmetry) {
  uint64_t out = 0;
  for (int bit = 0; bit < 64; ++bit) {
    if (!((bits >> bit) & 1)) continue;
    int row = bit / 8, column = bit % 8;
    if (symmetry & 4) column = 7 - column;
    for (int turn = 0; turn < (symmetry & 3); ++turn) {
      const int next = column;
      column = 7 - row;
      row = next;
    }
    out |= uint64_t{1} << (8 * row + column);
  }
  return out;
}

class SymmetricAfterTraining : public ::testing::TestWithParam<const char*> {};

// A fit on data that favours no symmetry still gives the eight images of a position one value,
// since the tables are tied wherever a pattern maps onto itself.
TEST_P(SymmetricAfterTraining, SymmetricPositionsGetOneEvaluation) {
  const std::string name = GetParam();
  TTempFolder folder("symmetric");
  auto setup = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/false);
  const TFeatureLayout layout(*setup);
  std::mt19937 rng(31);
  std::vector<TLabelledPosition> positions;
  for (int i = 0; i < 1500; ++i)
    positions.push_back(
        Labelled(reference::RandomPosition(reference::TReferenceBoard(8), 4 + i % 55, rng),
                 static_cast<int>(rng() % 41) - 20));
  TFitOptions options;
  options.Iterations = 8;
  TPatternFit fit(layout, positions, options);
  const std::vector<double> fitted = fit.Solve();
  const std::vector<float> bias = layout.Expand(fitted, *setup);
  WriteCoefficients(*setup, std::span<const float>(bias.data() + 4, 61), setup->FilePath(".coe"));

  auto engine = CreateEngineFor(name, 10, nullptr, folder.Path);
  int differentFromZero = 0;
  for (int i = 0; i < 200; ++i) {
    const auto board = reference::RandomPosition(reference::TReferenceBoard(8), 5 + i % 50, rng);
    uint64_t own, opp;
    testing_support::ToBitboards(board, own, opp);
    LoadPosition(*engine, own, opp, board.ToMove);
    const int32_t value = engine->Evaluate();
    differentFromZero += value != 0;
    for (int symmetry = 1; symmetry < 8; ++symmetry) {
      // Colours exchanged as well: the same position for the other side to move.
      LoadPosition(*engine, Transform(own, symmetry), Transform(opp, symmetry),
                   symmetry % 2 ? -board.ToMove : board.ToMove);
      ASSERT_EQ(engine->Evaluate(), value) << "position " << i << " symmetry " << symmetry;
    }
  }
  EXPECT_GT(differentFromZero, 150);
}

INSTANTIATE_TEST_SUITE_P(PatternFit, SymmetricAfterTraining,
                         ::testing::Values("Pellin", "Tovrel", "Bot8x8"));

}  // namespace
}  // namespace morvane::training
