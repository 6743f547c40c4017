#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/TrainedFiles.h"

namespace morvane::training {
namespace {

using testing_support::TTempFolder;

int32_t ToTableUnits(float discs, int multiplicity) {
  // Round half to even, as the reader converts.
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(discs) * 1e6 * multiplicity));
}

class CoefficientRoundTrip : public ::testing::TestWithParam<const char*> {};

// What the trainer writes is what the engine's reader loads, entry by entry.
TEST_P(CoefficientRoundTrip, TheReaderLoadsExactlyWhatWasWritten) {
  const std::string name = GetParam();
  TTempFolder folder("coe-roundtrip");
  auto written = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/false);
  std::mt19937 rng(99);
  testing_support::FillTablesRandomly(*written, rng, 4.0f);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  std::vector<float> bias(61);
  for (float& b : bias) b = value(rng);
  // Ties of the conversion: 0.5e-6 disc rounds to even.
  written->Patterns[0]->Coefficients[0][0] = 1.5f;
  bias[0] = -0.25f;
  WriteCoefficients(*written, bias, written->FilePath(".coe"));
  EXPECT_FALSE(std::filesystem::exists(written->FilePath(".coe").string() + ".tmp"));
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(written->FilePath(".coe"))),
            written->PatternSectionBytes() + 4 * 61);

  const auto loaded = CreateEvaluation(name, nullptr, folder.Path, /*loadFiles=*/true);
  ASSERT_EQ(loaded->Patterns.size(), written->Patterns.size());
  for (size_t p = 0; p < loaded->Patterns.size(); ++p) {
    const TPattern& pattern = *loaded->Patterns[p];
    const int multiplicity = pattern.Multiplicity.front();
    for (int stage = 0; stage < pattern.StageCount; ++stage)
      for (int position = 0; position < Pow3[pattern.SquareCount]; ++position)
        ASSERT_EQ(pattern.Tables[stage][position],
                  ToTableUnits(written->Patterns[p]->Coefficients[stage][position], multiplicity))
            << "pattern " << p << " stage " << stage << " position " << position;
  }
  EXPECT_EQ(loaded->Patterns[0]->Tables[0][0], 1'500'000 * loaded->Patterns[0]->Multiplicity[0]);
  EXPECT_EQ(loaded->Bias[4], -250'000);
  for (int discs = 0; discs < 151; ++discs) {
    const int32_t expected = discs >= 4 && discs <= 64 ? ToTableUnits(bias[discs - 4], 1) : 0;
    EXPECT_EQ(loaded->Bias[discs], expected) << discs;
  }
}

INSTANTIATE_TEST_SUITE_P(TrainedFiles, CoefficientRoundTrip,
                         ::testing::Values("Pellin", "Tovrel", "Bot8x8"));

TEST(TrainedFiles, AConvertedEvaluationIsNotWritten) {
  TTempFolder folder("coe-converted");
  auto evaluation = CreateEvaluation("Bot8x8", nullptr, folder.Path, false);
  evaluation->ConvertToIntegers();
  EXPECT_THROW(WriteCoefficients(*evaluation, {}, folder.Path / "x.coe"), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(folder.Path / "x.coe"));
}

// A failed write leaves the earlier file as it was.
TEST(TrainedFiles, AFailedWriteKeepsThePreviousFile) {
  TTempFolder folder("atomic");
  const auto path = folder.Path / "file.bin";
  const unsigned char first[] = {1, 2, 3};
  WriteFileAtomically(path, first);
  // A folder in the way of the temporary file makes the write fail.
  std::filesystem::create_directories(folder.Path / "file.bin.tmp");
  const unsigned char second[] = {9, 9};
  EXPECT_THROW(WriteFileAtomically(path, second), std::runtime_error);
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, (std::vector<char>{1, 2, 3}));
}

TNpcRecord& Record(std::vector<TNpcRecord>& table, int discs, int deep, int shallow) {
  return table[(static_cast<size_t>(discs - 1) * 26 + deep) * 26 + shallow];
}

// Records written for the reference depth and below come back as written; the reader completes
// the deeper ones from the reference depth by its rule.
TEST(TrainedFiles, ProbeStatisticsAreReadBackAndCompleted) {
  TTempFolder folder("npc");
  constexpr int Reference = 12;
  std::vector<TNpcRecord> table(200 * 26 * 26, TNpcRecord{0, 0, 0});
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> value(0.5, 3.0);
  for (int discs = 10; discs <= 60; ++discs)
    for (int deep = 1; deep <= Reference; ++deep)
      for (int shallow = 0; shallow < deep; ++shallow)
        Record(table, discs, deep, shallow) = {value(rng), value(rng) - 1.75, value(rng)};
  const auto path = folder.Path / "x.npc";
  WriteNpcFile(table, path);
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(path)), TEvaluation::NpcFileBytes);

  TEvaluation evaluation("x", nullptr, folder.Path);
  evaluation.NpcReferenceDepth = Reference;
  evaluation.ReadNpcFile(path);
  for (int discs = 10; discs <= 60; discs += 7) {
    for (int deep = 1; deep <= Reference; ++deep)
      for (int shallow = 0; shallow < deep; ++shallow) {
        const TNpcRecord& read = evaluation.Npc(discs, deep, shallow);
        const TNpcRecord& wrote = Record(table, discs, deep, shallow);
        ASSERT_EQ(read.Slope, wrote.Slope);
        ASSERT_EQ(read.Offset, wrote.Offset);
        ASSERT_EQ(read.Sigma, wrote.Sigma);
      }
    // Deeper pairs: a depth difference within the reference depth copies the record of that
    // difference at the reference depth; a larger one copies (D, R, 0) and widens Sigma.
    for (int deep = Reference + 1; deep < 26; ++deep)
      for (int shallow = 0; shallow < deep; ++shallow) {
        const int difference = deep - shallow;
        const TNpcRecord& source = difference <= Reference
                                       ? Record(table, discs, Reference, Reference - difference)
                                       : Record(table, discs, Reference, 0);
        const double extra = difference <= Reference ? 0.0 : (difference - Reference) / 1.2;
        const TNpcRecord& read = evaluation.Npc(discs, deep, shallow);
        ASSERT_EQ(read.Slope, source.Slope) << deep << "/" << shallow;
        ASSERT_EQ(read.Offset, source.Offset);
        ASSERT_DOUBLE_EQ(read.Sigma, source.Sigma + extra);
      }
    // Pairs with the shallow depth at or above the deep one are never used and stay empty.
    EXPECT_EQ(evaluation.Npc(discs, 5, 5).Slope, 0.0);
    EXPECT_EQ(evaluation.Npc(discs, 3, 7).Slope, 0.0);
  }
}

TEST(TrainedFiles, EndgameStatisticsAreReadBackUnchanged) {
  TTempFolder folder("ecc");
  TEccRecord table[14][9] = {};
  std::mt19937 rng(6);
  std::uniform_real_distribution<double> value(-2.0, 6.0);
  for (auto& row : table)
    for (auto& record : row) record = {value(rng), value(rng), value(rng), 0.0};
  const auto path = folder.Path / "x.ecc";
  WriteEccFile(table, path);
  EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(path)), TEvaluation::EccFileBytes);
  TEvaluation evaluation("x", nullptr, folder.Path);
  evaluation.ReadEccFile(path);
  for (int empties = 5; empties <= 18; ++empties)
    for (int shallow = 0; shallow < 9; ++shallow) {
      const TEccRecord& read = evaluation.Ecc(empties, shallow);
      EXPECT_EQ(read.Slope, table[empties - 5][shallow].Slope);
      EXPECT_EQ(read.Offset, table[empties - 5][shallow].Offset);
      EXPECT_EQ(read.Sigma, table[empties - 5][shallow].Sigma);
    }
}

}  // namespace
}  // namespace morvane::training
