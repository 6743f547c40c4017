#include <gtest/gtest.h>

#include <random>

#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/CoefficientTransfer.h"

namespace morvane::training {
namespace {

// Base-3 digits of a table position, first square first.
std::vector<int> Digits(int32_t position, int n) {
  std::vector<int> digits(n);
  for (int k = n - 1; k >= 0; --k) {
    digits[k] = position % 3;
    position /= 3;
  }
  return digits;
}

int32_t Position(const std::vector<int>& digits) {
  int32_t position = 0;
  for (const int digit : digits) position = 3 * position + digit;
  return position;
}

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    source = CreateEvaluation("Bot8x8", nullptr, {}, /*loadFiles=*/false);
    std::mt19937 rng(8);
    testing_support::FillTablesRandomly(*source, rng, 3.0f);
    for (int discs = 4; discs <= 64; ++discs) source->Bias[discs] = 1000 * discs;
  }
  std::unique_ptr<TEvaluation> source;
};

// Every 10 x 10 line and block reads the 8 x 8 entry of the squares they share, at the stage of
// the same share of the board, scaled by 100 / 64.
TEST_F(Transfer, TenByTenPatternsReadTheirCounterpartsSquareBySquare) {
  auto target = CreateEvaluation("Bot10x10", nullptr, {}, /*loadFiles=*/false);
  const auto bias = TransferCoefficients(*source, 64, *target, 100, TransferPlan("Bot10x10"));
  const double scale = 100.0 / 64.0;
  // The 10 x 10 stages cover 20 discs each; their middles at 14.5, 34.5, 54.5, 74.5, 94.5 discs
  // are 9, 22, 35, 48, 60 discs on 8 x 8: stages 0, 1, 3, 4, 5 of ten discs.
  const int sourceStage[5] = {0, 1, 3, 4, 5};
  // Kept squares of the 10-square edge: columns 1-4 and 7-10 read as 8 x 8 columns 1-8.
  const std::vector<int> edgeKeep = {0, 1, 2, 3, 6, 7, 8, 9};
  std::mt19937 rng(2);
  for (int trial = 0; trial < 300; ++trial) {
    const int stage = trial % 5;
    const int32_t position = static_cast<int32_t>(rng() % Pow3[10]);
    const std::vector<int> digits = Digits(position, 10);
    std::vector<int> kept;
    for (const int k : edgeKeep) kept.push_back(digits[k]);
    EXPECT_FLOAT_EQ(
        target->Patterns[0]->Coefficients[stage][position],
        static_cast<float>(scale *
                           source->Patterns[0]->Coefficients[sourceStage[stage]][Position(kept)]));
    // Row 4 is looked up twice: each of its two tables holds half.
    EXPECT_FLOAT_EQ(
        target->Patterns[4]->Coefficients[stage][position],
        static_cast<float>(0.5 * scale *
                           source->Patterns[3]->Coefficients[sourceStage[stage]][Position(kept)]));
    // The 2 x 5 corner block has the same shape on both boards.
    EXPECT_FLOAT_EQ(target->Patterns[13]->Coefficients[stage][position],
                    static_cast<float>(
                        scale * source->Patterns[10]->Coefficients[sourceStage[stage]][position]));
  }
  // Diagonals of 5 and 4 have no counterpart.
  for (const float value : target->Patterns[10]->Coefficients[2]) ASSERT_EQ(value, 0.0f);
  // Bias at the same share of the board: 50 discs of 100 are 32 of 64.
  EXPECT_FLOAT_EQ(bias[50], static_cast<float>(scale * 32000 / 1e6));
  EXPECT_FLOAT_EQ(bias[100], static_cast<float>(scale * 64000 / 1e6));
}

// The octagon's edge of six runs between its corner squares: it reads the 8 x 8 edge's two
// corners and their neighbours, averaged over every content of the two middle squares it lacks.
TEST_F(Transfer, OctagonEdgesAverageOverTheSquaresTheyLack) {
  auto target = CreateEvaluation("Bot8x8Oct", nullptr, {}, /*loadFiles=*/false);
  TransferCoefficients(*source, 64, *target, 88, TransferPlan("Bot8x8Oct"));
  const double scale = 88.0 / 64.0;
  std::mt19937 rng(4);
  for (int trial = 0; trial < 100; ++trial) {
    const int stage = trial % 8;
    // Octagon stages of 11 discs; the middle of stage s, (10 + 11 s) discs, is scaled to 8 x 8.
    const int discs = static_cast<int>((5 + 11 * stage + 5.0) * 64 / 88 + 0.5);
    const int from = source->StageOf(discs, 64);
    const int32_t position = static_cast<int32_t>(rng() % Pow3[6]);
    const std::vector<int> d = Digits(position, 6);
    double sum = 0;
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b)
        sum += source->Patterns[0]
                   ->Coefficients[from][Position({d[0], d[1], d[2], a, b, d[3], d[4], d[5]})];
    for (const int p : {0, 5})  // row 1 and column 1
      EXPECT_NEAR(target->Patterns[p]->Coefficients[stage][position], scale * sum / 9, 1e-5);
  }
  EXPECT_THROW(TransferPlan("Pellin"), std::invalid_argument);
}

}  // namespace
}  // namespace morvane::training
