#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/BoardKind.h"
#include "engine/Widgets.h"
#include "engine/Catalogue.h"
#include "evaluation/EvaluationSetups.h"
#include "evaluation/EvaluationTestSupport.h"

namespace morvane {
namespace {

using namespace testing_support;

struct TSetupFigures {
  const char* Name;
  int BoardSide;
  int Stages;
  int Instances;
  int64_t SectionBytes;
  std::vector<size_t> InstancesPerPattern;  // in list order
};

// The published figures of each set-up.
const TSetupFigures Figures[] = {
    {"Bot8x8", 8, 6, 46, 2'754'648, {4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 8}},
    {"Pellin", 8, 12, 42, 9'914'400, {4, 4, 4, 4, 2, 4, 4, 4, 4, 8}},
    {"Tovrel", 8, 12, 46, 8'028'720, {4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 8}},
    {"Bot10x10", 10, 5, 58, 9'250'200, {4, 4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 8}},
    {"Bot8x8Oct", 10, 8, 78, 13'118'112, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 4, 8, 4}},
};

class EvaluationSetup : public ::testing::TestWithParam<TSetupFigures> {};

TEST_P(EvaluationSetup, PatternListHasThePublishedShape) {
  const TSetupFigures& figures = GetParam();
  const auto evaluation = CreateEvaluation(figures.Name, nullptr, {}, false);
  EXPECT_EQ(evaluation->Name, figures.Name);
  EXPECT_EQ(EvaluationBoardSide(figures.Name), figures.BoardSide);
  EXPECT_EQ(evaluation->StageCount(), figures.Stages);
  EXPECT_EQ(evaluation->InstanceCount(), figures.Instances);
  EXPECT_EQ(evaluation->PatternSectionBytes(), figures.SectionBytes);
  ASSERT_EQ(evaluation->Patterns.size(), figures.InstancesPerPattern.size());

  const bool octagon = std::string(figures.Name) == "Bot8x8Oct";
  const std::set<int32_t> cut(std::begin(OctagonCutSquares), std::end(OctagonCutSquares));
  std::map<int32_t, int> perSquare;
  for (size_t p = 0; p < evaluation->Patterns.size(); ++p) {
    const TPattern& pattern = *evaluation->Patterns[p];
    EXPECT_EQ(pattern.Width, figures.BoardSide + 2) << "pattern " << p + 1;
    EXPECT_EQ(pattern.StageCount, figures.Stages) << "pattern " << p + 1;
    EXPECT_EQ(pattern.Instances.size(), figures.InstancesPerPattern[p]) << "pattern " << p + 1;
    for (const int32_t multiplicity : pattern.Multiplicity)
      EXPECT_EQ(static_cast<size_t>(multiplicity) * pattern.Instances.size(), 8u);
    for (const auto& instance : pattern.Instances) {
      for (const int32_t square : instance) {
        ++perSquare[square];
        if (octagon) {
          EXPECT_EQ(cut.count(square), 0u) << "pattern " << p + 1;
        }
      }
    }
  }
  for (const auto& [square, count] : perSquare) EXPECT_LE(count, 9) << "square " << square;
  // Every playable square is covered by some instance on these boards.
  EXPECT_EQ(static_cast<int>(perSquare.size()),
            figures.BoardSide * figures.BoardSide - (octagon ? 12 : 0));
}

// The set-up's constructor loads, smooths (10 x 10 only) and converts, in that order: its
// tables equal those of the same steps taken by hand on the same file.
TEST_P(EvaluationSetup, LoadingRunsTheStepsInOrder) {
  const TSetupFigures& figures = GetParam();
  TTempFolder folder("setup-load");
  TRecordingProgressBar bar;
  const auto layout = CreateEvaluation(figures.Name, nullptr, folder.Path, false);
  WriteCoefficientFile(*layout, layout->FilePath(".coe"), 31);
  const auto loaded = CreateEvaluation(figures.Name, &bar, folder.Path, true);
  EXPECT_FALSE(bar.IsVisible);
  EXPECT_FALSE(bar.IsEnabled);

  const bool smoothed = std::string(figures.Name) == "Bot10x10";
  auto byHand = [&](bool smooth) {
    auto evaluation = CreateEvaluation(figures.Name, nullptr, folder.Path, false);
    evaluation->LoadCoefficients();
    if (smooth) evaluation->SmoothStages(1);
    evaluation->ConvertToIntegers();
    return evaluation;
  };
  auto sameTables = [](const TEvaluation& a, const TEvaluation& b) {
    for (size_t p = 0; p < a.Patterns.size(); ++p) {
      const TPattern& x = *a.Patterns[p];
      const TPattern& y = *b.Patterns[p];
      for (int stage = 0; stage < x.StageCount; ++stage) {
        if (std::memcmp(x.Tables[stage].get(), y.Tables[stage].get(),
                        sizeof(int32_t) * Pow3[x.SquareCount]) != 0)
          return false;
      }
    }
    return true;
  };
  const auto expected = byHand(smoothed);
  const auto other = byHand(!smoothed);
  EXPECT_TRUE(sameTables(*loaded, *expected));
  EXPECT_FALSE(sameTables(*loaded, *other));
  EXPECT_EQ(0, std::memcmp(loaded->Bias, expected->Bias, sizeof(loaded->Bias)));
  EXPECT_NE(loaded->Bias[4], 0);

  // Both constructors set the same search parameters.
  EXPECT_EQ(loaded->ShallowSearchDepth, layout->ShallowSearchDepth);
  EXPECT_EQ(loaded->MpcTableMaxDepth, layout->MpcTableMaxDepth);
  EXPECT_EQ(loaded->NpcReferenceDepth, layout->NpcReferenceDepth);
  EXPECT_EQ(loaded->MpcThreshold, layout->MpcThreshold);
  EXPECT_EQ(loaded->EndgameDriverDepth, layout->EndgameDriverDepth);
  EXPECT_TRUE(loaded->UseMpc);
  EXPECT_EQ(0, std::memcmp(loaded->MidgameMpcFit, layout->MidgameMpcFit, sizeof(double) * 12));
  EXPECT_EQ(0, std::memcmp(loaded->EndgameMpcFit, layout->EndgameMpcFit, sizeof(double) * 12));
}

TEST_P(EvaluationSetup, MissingCoefficientFileFailsTheConstructor) {
  TTempFolder folder("setup-missing");
  try {
    CreateEvaluation(GetParam().Name, nullptr, folder.Path, true);
    FAIL() << "built an evaluation without its .coe file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(".coe"), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Five, EvaluationSetup, ::testing::ValuesIn(Figures),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(EvaluationSetups, EachNameBuildsItsOwnClass) {
  EXPECT_NE(dynamic_cast<TFenwaEvaluation*>(CreateEvaluation("Bot8x8", nullptr, {}, false).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TPellinEvaluation*>(CreateEvaluation("Pellin", nullptr, {}, false).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<TTovrelEvaluation*>(CreateEvaluation("Tovrel", nullptr, {}, false).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<T10x10Evaluation*>(CreateEvaluation("Bot10x10", nullptr, {}, false).get()),
            nullptr);
  EXPECT_NE(
      dynamic_cast<T8x8OctEvaluation*>(CreateEvaluation("Bot8x8Oct", nullptr, {}, false).get()),
      nullptr);
  EXPECT_EQ(EvaluationNameList(), "Bot8x8, Pellin, Tovrel, Bot10x10, Bot8x8Oct");
}

TEST(EvaluationSetups, UnknownNameIsRefusedWithTheKnownOnes) {
  for (const char* name : {"pellin", "", "Bot8x8Oct "}) {
    try {
      CreateEvaluation(name, nullptr, {}, false);
      FAIL() << "accepted \"" << name << "\"";
    } catch (const std::runtime_error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("\"" + std::string(name) + "\""), std::string::npos) << message;
      EXPECT_NE(message.find("Bot8x8, Pellin, Tovrel, Bot10x10, Bot8x8Oct"), std::string::npos);
    }
  }
  EXPECT_EQ(EvaluationBoardSide("Othello"), 0);
}

// The Fenwa set-up carries no regression; every other one has a usable slope and spread.
TEST(EvaluationSetups, OnlyFenwaLeavesItsFitsZero) {
  for (const TEvaluationEntry& entry : Evaluations) {
    const std::string_view name = entry.Name;
    const auto evaluation = CreateEvaluation(std::string(name), nullptr, {}, false);
    const bool fenwa = name == "Bot8x8";
    for (int i = 0; i < 12; ++i) {
      if (fenwa) {
        EXPECT_EQ(evaluation->MidgameMpcFit[i], 0.0);
        EXPECT_EQ(evaluation->EndgameMpcFit[i], 0.0);
      }
    }
    if (!fenwa) {
      EXPECT_GT(evaluation->MidgameMpcFit[0], 0.9) << name;  // slope constant
      EXPECT_GT(evaluation->MidgameMpcFit[2], 4.0) << name;  // sigma constant
      EXPECT_GT(evaluation->EndgameMpcFit[0], 0.9) << name;
      EXPECT_GT(evaluation->EndgameMpcFit[2], 4.0) << name;
    }
  }
}

// 10 x 10 rows 5 and 6 and columns 5 and 6 are in no line pattern.
TEST(EvaluationSetups, TenByTenHasNoLinePatternThroughTheMiddleRows) {
  const auto evaluation = CreateEvaluation("Bot10x10", nullptr, {}, false);
  std::set<std::set<int32_t>> middleLines;
  for (const int k : {5, 6}) {
    std::set<int32_t> row, column;
    for (int i = 1; i <= 10; ++i) {
      row.insert(12 * k + i);
      column.insert(12 * i + k);
    }
    middleLines.insert(row);
    middleLines.insert(column);
  }
  for (const auto& pattern : evaluation->Patterns)
    for (const auto& instance : pattern->Instances)
      EXPECT_EQ(middleLines.count(std::set<int32_t>(instance.begin(), instance.end())), 0u);
}

}  // namespace
}  // namespace morvane
