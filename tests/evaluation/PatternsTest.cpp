#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Widgets.h"
#include "evaluation/Patterns.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Squares = std::vector<int32_t>;

Squares Line(int32_t first, int32_t last, int32_t step = 1) {
  Squares squares;
  for (int32_t square = first; square <= last; square += step) squares.push_back(square);
  return squares;
}

std::set<int32_t> AsSet(const Squares& squares) { return {squares.begin(), squares.end()}; }

// ---------------------------------------------------------------------------------------------
// Symmetric images and instances

// The eight symmetries of the square board, written on (row, column) directly.
std::set<std::set<int32_t>> AllPlacements(int boardSize, const Squares& squares) {
  const int width = boardSize + 2;
  std::set<std::set<int32_t>> placements;
  for (int symmetry = 0; symmetry < 8; ++symmetry) {
    std::set<int32_t> placed;
    for (const int32_t square : squares) {
      int r = square / width, c = square % width;
      if (symmetry & 4) std::swap(r, c);
      if (symmetry & 1) r = boardSize + 1 - r;
      if (symmetry & 2) c = boardSize + 1 - c;
      placed.insert(width * r + c);
    }
    placements.insert(placed);
  }
  return placements;
}

TEST(PatternTest, ImagesOfAnEdgeSquareAreTheEightCSquares) {
  const Squares b1 = {12};
  const TPattern pattern(8, 1, b1);
  // b1, then a7, g8, h2 by quarter turns; g1 (mirror), then a2, b8, h7.
  const int32_t expected[8] = {12, 71, 87, 28, 17, 21, 82, 78};
  for (int image = 0; image < 8; ++image) {
    ASSERT_EQ(pattern.Images[image].size(), 1u);
    EXPECT_EQ(pattern.Images[image][0], expected[image]) << "image " << image;
  }
  EXPECT_EQ(pattern.Instances.size(), 8u);
  EXPECT_EQ(pattern.Multiplicity, std::vector<int32_t>(8, 1));
}

TEST(PatternTest, ImagesKeepTheOrderOfTheirSource) {
  const TPattern diagonal(8, 1, {11, 22, 33, 44, 55, 66, 77, 88});
  // The half turn covers the same squares backwards; it is one instance with image 0.
  EXPECT_EQ(diagonal.Images[2], (Squares{88, 77, 66, 55, 44, 33, 22, 11}));
  ASSERT_EQ(diagonal.Instances.size(), 2u);
  EXPECT_EQ(diagonal.Instances[0], (Squares{11, 22, 33, 44, 55, 66, 77, 88}));
  // The second instance is the first quarter turn: the anti-diagonal from a8 to h1.
  EXPECT_EQ(diagonal.Instances[1], (Squares{81, 72, 63, 54, 45, 36, 27, 18}));
}

struct InstanceCase {
  const char* Name;
  int BoardSize;
  Squares Pattern;
  size_t Instances;
  int32_t Multiplicity;
  friend void PrintTo(const InstanceCase& c, std::ostream* os) { *os << c.Name; }
};

class PatternInstanceTest : public testing::TestWithParam<InstanceCase> {};

TEST_P(PatternInstanceTest, DistinctPlacementsWithTheirMultiplicity) {
  const InstanceCase& c = GetParam();
  const TPattern pattern(c.BoardSize, 2, c.Pattern);
  ASSERT_EQ(pattern.Instances.size(), c.Instances);
  EXPECT_EQ(pattern.Multiplicity, std::vector<int32_t>(c.Instances, c.Multiplicity));
  EXPECT_EQ(pattern.Instances[0], c.Pattern);

  // The instances are exactly the distinct placements of the pattern, each kept once in the
  // square order of one of the images.
  const std::set<std::set<int32_t>> placements = AllPlacements(c.BoardSize, c.Pattern);
  std::set<std::set<int32_t>> found;
  for (const Squares& instance : pattern.Instances) {
    EXPECT_TRUE(found.insert(AsSet(instance)).second);
    EXPECT_NE(std::find(std::begin(pattern.Images), std::end(pattern.Images), instance),
              std::end(pattern.Images));
  }
  EXPECT_EQ(found, placements);
  ASSERT_EQ(pattern.Coefficients.size(), 2u);
  EXPECT_EQ(pattern.Coefficients[1], std::vector<float>(Pow3[c.Pattern.size()], 0.0f));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PatternInstanceTest,
    testing::Values(
        InstanceCase{"CornerBlock2x5", 8, {11, 12, 13, 14, 15, 21, 22, 23, 24, 25}, 8, 1},
        InstanceCase{"CornerBlockByColumns", 8, {11, 21, 12, 22, 13, 23, 14, 24, 15, 25}, 8, 1},
        InstanceCase{"MainDiagonal8x8", 8, {11, 22, 33, 44, 55, 66, 77, 88}, 2, 4},
        InstanceCase{"EdgeRow8x8", 8, Line(11, 18), 4, 2},
        InstanceCase{"EdgeWithXSquares", 8, {11, 12, 22, 13, 14, 15, 16, 17, 27, 18}, 4, 2},
        InstanceCase{"CornerTriangle", 8, {48, 38, 37, 28, 27, 26, 18, 17, 16, 15}, 4, 2},
        InstanceCase{"Corner3x3", 8, {11, 12, 13, 21, 22, 23, 31, 32, 33}, 4, 2},
        InstanceCase{"Centre", 8, {44, 45, 54, 55}, 1, 8},
        InstanceCase{"MainDiagonal10x10", 10, Line(13, 130, 13), 2, 4},
        InstanceCase{"Row4Of10x10", 10, Line(49, 58), 4, 2},
        InstanceCase{"CornerBlock10x10", 10, {13, 14, 15, 16, 17, 25, 26, 27, 28, 29}, 8, 1},
        InstanceCase{"OctagonDiagonal", 10, Line(26, 117, 13), 2, 4},
        InstanceCase{"OctagonSlantedEdge", 10, {19, 32, 45, 58, 20, 33, 46}, 4, 2},
        InstanceCase{"OctagonEdgeBlock", 10, {15, 16, 17, 18, 26, 27, 28, 29, 30}, 8, 1},
        InstanceCase{"OctagonCutCorner", 10, {15, 26, 27, 37, 38, 39}, 4, 2}),
    [](const testing::TestParamInfo<InstanceCase>& info) { return info.param.Name; });

TEST(PatternTest, BadArgumentsAreRejected) {
  EXPECT_THROW(TPattern(8, 1, Squares{}), std::invalid_argument);
  EXPECT_THROW(TPattern(8, 1, Line(11, 28)), std::invalid_argument);  // 18 squares, border cells
  EXPECT_THROW(TPattern(8, 1, Squares{10}), std::invalid_argument);   // border column
  EXPECT_THROW(TPattern(8, 1, Squares{89}), std::invalid_argument);   // border column
  EXPECT_THROW(TPattern(8, 1, Squares{91}), std::invalid_argument);   // border row
  EXPECT_THROW(TPattern(8, 1, Squares{11, 12, 11}), std::invalid_argument);
  EXPECT_THROW(TPattern(8, 0, Squares{11}), std::invalid_argument);
  EXPECT_THROW(TPattern(8, 27, Squares{11}), std::invalid_argument);
  EXPECT_THROW(TPattern(11, 1, Squares{14}), std::invalid_argument);  // 13 x 13 > 151 cells
  TEvaluation evaluation("Mixed", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(8, 12, Squares{11}));
  EXPECT_THROW(evaluation.AddPattern(std::make_unique<TPattern>(8, 6, Squares{12})),
               std::invalid_argument);
}

// ---------------------------------------------------------------------------------------------
// Configuration index

TEST(ConfigurationIndexTest, TablePositionIsTheBase3NumberOfTheSideToMove) {
  // Every filling of a four-square pattern: the table position M + I for black to move and
  // M - I for white must read 2 = own disc, 1 = empty, 0 = opponent, first square first.
  const Squares squares = {45, 11, 88, 23};
  const int32_t middle = Pow3[4] / 2;
  int8_t board[TPattern::CellCount] = {};
  for (int filling = 0; filling < Pow3[4]; ++filling) {
    int32_t blackDigits = 0, whiteDigits = 0;
    for (size_t k = 0; k < squares.size(); ++k) {
      const int digit = filling / Pow3[3 - k] % 3;  // 0 white, 1 empty, 2 black
      board[squares[k]] = static_cast<int8_t>(digit - 1);
      blackDigits = 3 * blackDigits + digit;
      whiteDigits = 3 * whiteDigits + (2 - digit);
    }
    const int32_t index = ConfigurationIndex(squares, board);
    EXPECT_EQ(middle + index, blackDigits);
    EXPECT_EQ(middle - index, whiteDigits);
  }
}

// ---------------------------------------------------------------------------------------------
// The five set-ups' pattern lists

struct SetUpPattern {
  Squares Pattern;
  size_t Instances;
  int32_t Multiplicity;
};

struct SetUpCase {
  const char* Name;
  int BoardSize;
  int Stages;
  std::vector<SetUpPattern> Patterns;
  int Instances;
  int64_t SectionBytes;
  friend void PrintTo(const SetUpCase& c, std::ostream* os) { *os << c.Name; }
};

std::vector<SetUpCase> SetUps() {
  const SetUpPattern diagonal8 = {{11, 22, 33, 44, 55, 66, 77, 88}, 2, 4};
  const SetUpPattern diagonal7 = {{12, 23, 34, 45, 56, 67, 78}, 4, 2};
  const SetUpPattern diagonal6 = {{13, 24, 35, 46, 57, 68}, 4, 2};
  const SetUpPattern diagonal5 = {{14, 25, 36, 47, 58}, 4, 2};
  const SetUpPattern diagonal4 = {{15, 26, 37, 48}, 4, 2};
  const SetUpPattern edgeX = {{11, 12, 22, 13, 14, 15, 16, 17, 27, 18}, 4, 2};
  const SetUpPattern row2 = {Line(21, 28), 4, 2}, row3 = {Line(31, 38), 4, 2};
  const SetUpPattern row4 = {Line(41, 48), 4, 2};
  // clang-format off
  return {
      {"Fenwa", 8, 6,
       {{Line(11, 18), 4, 2}, row2, row3, row4, diagonal8, diagonal7, diagonal6, diagonal5,
        diagonal4, {{11, 12, 13, 21, 22, 23, 31, 32, 33}, 4, 2},
        {{11, 12, 13, 14, 15, 21, 22, 23, 24, 25}, 8, 1}},
       46, 2'754'648},
      {"Pellin", 8, 12,
       {edgeX, row2, row3, row4, diagonal8, diagonal6, diagonal7, diagonal5,
        {{48, 38, 37, 28, 27, 26, 18, 17, 16, 15}, 4, 2},
        {{11, 21, 12, 22, 13, 23, 14, 24, 15, 25}, 8, 1}},
       42, 9'914'400},
      {"Tovrel", 8, 12,
       {edgeX, row2, row3, row4, diagonal8, diagonal7, diagonal6, diagonal5, diagonal4,
        {{16, 26, 36, 17, 27, 37, 18, 28, 38}, 4, 2},
        {{14, 24, 15, 25, 16, 26, 17, 27, 18, 28}, 8, 1}},
       46, 8'028'720},
      {"Bot10x10", 10, 5,
       {{Line(13, 22), 4, 2}, {Line(25, 34), 4, 2}, {Line(37, 46), 4, 2}, {Line(49, 58), 4, 2},
        {Line(49, 58), 4, 2}, {Line(13, 130, 13), 2, 4}, {Line(14, 118, 13), 4, 2},
        {Line(15, 106, 13), 4, 2}, {Line(16, 94, 13), 4, 2}, {Line(17, 82, 13), 4, 2},
        {Line(18, 70, 13), 4, 2}, {Line(19, 58, 13), 4, 2},
        {{13, 14, 15, 25, 26, 27, 37, 38, 39}, 4, 2},
        {{13, 14, 15, 16, 17, 25, 26, 27, 28, 29}, 8, 1}},
       58, 9'250'200},
      {"Bot8x8Oct", 10, 8,
       {{Line(15, 20), 4, 2}, {Line(26, 33), 4, 2}, {Line(37, 46), 4, 2}, {Line(49, 58), 4, 2},
        {Line(61, 70), 4, 2}, {Line(37, 97, 12), 4, 2}, {Line(26, 110, 12), 4, 2},
        {Line(15, 123, 12), 4, 2}, {Line(16, 124, 12), 4, 2}, {Line(17, 125, 12), 4, 2},
        {Line(26, 117, 13), 2, 4}, {Line(27, 105, 13), 4, 2}, {Line(15, 106, 13), 4, 2},
        {Line(16, 94, 13), 4, 2}, {Line(17, 82, 13), 4, 2}, {Line(18, 70, 13), 4, 2},
        {{19, 32, 45, 58, 20, 33, 46}, 4, 2}, {{15, 16, 17, 18, 26, 27, 28, 29, 30}, 8, 1},
        {{15, 26, 27, 37, 38, 39}, 4, 2}},
       78, 13'118'112},
  };
  // clang-format on
}

class SetUpPatternListTest : public testing::TestWithParam<SetUpCase> {};

TEST_P(SetUpPatternListTest, InstancesAndSectionSize) {
  const SetUpCase& c = GetParam();
  TEvaluation evaluation(c.Name, nullptr);
  for (const SetUpPattern& entry : c.Patterns) {
    evaluation.AddPattern(std::make_unique<TPattern>(c.BoardSize, c.Stages, entry.Pattern));
    const TPattern& pattern = *evaluation.Patterns.back();
    EXPECT_EQ(pattern.Instances.size(), entry.Instances)
        << "pattern " << evaluation.Patterns.size();
    EXPECT_EQ(pattern.Multiplicity, std::vector<int32_t>(entry.Instances, entry.Multiplicity));
  }
  EXPECT_EQ(evaluation.InstanceCount(), c.Instances);
  EXPECT_EQ(evaluation.PatternSectionBytes(), c.SectionBytes);
  EXPECT_EQ(evaluation.StageCount(), c.Stages);

  // The pattern engine keeps room for 21 instances per square; the set-ups stay within 9.
  std::map<int32_t, int> perSquare;
  for (const auto& pattern : evaluation.Patterns) {
    for (const Squares& instance : pattern->Instances) {
      for (const int32_t square : instance) ++perSquare[square];
    }
  }
  for (const auto& [square, count] : perSquare) EXPECT_LE(count, 9) << "square " << square;
}

INSTANTIATE_TEST_SUITE_P(FiveSetUps, SetUpPatternListTest, testing::ValuesIn(SetUps()),
                         [](const testing::TestParamInfo<SetUpCase>& info) {
                           return std::string(info.param.Name);
                         });

// ---------------------------------------------------------------------------------------------
// Stage arithmetic

struct StageCase {
  int Stages;
  int Playable;
  int Discs;
  int Stage;
  friend void PrintTo(const StageCase& c, std::ostream* os) {
    *os << c.Stages << " stages on " << c.Playable << " squares, " << c.Discs << " discs";
  }
};

class StageOfTest : public testing::TestWithParam<StageCase> {};

TEST_P(StageOfTest, DiscCountToStage) {
  const StageCase& c = GetParam();
  TEvaluation evaluation("Stages", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(10, c.Stages, Squares{13}));
  EXPECT_EQ(evaluation.StageOf(c.Discs, c.Playable), c.Stage);
}

INSTANTIATE_TEST_SUITE_P(Boards, StageOfTest,
                         testing::Values(StageCase{12, 64, 4, 0}, StageCase{12, 64, 9, 0},
                                         StageCase{12, 64, 10, 1}, StageCase{12, 64, 64, 11},
                                         StageCase{6, 64, 64, 5}, StageCase{6, 64, 15, 1},
                                         StageCase{8, 88, 88, 7}, StageCase{8, 88, 16, 1},
                                         StageCase{8, 88, 15, 0}, StageCase{5, 100, 100, 4},
                                         StageCase{5, 100, 25, 1}));

// ---------------------------------------------------------------------------------------------
// Coefficient files

void PutFloat(std::vector<unsigned char>& bytes, float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back((bits >> shift) & 0xFF);
}

void SetDouble(std::vector<unsigned char>& bytes, size_t offset, double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int k = 0; k < 8; ++k) bytes[offset + k] = (bits >> (8 * k)) & 0xFF;
}

void WriteFile(const fs::path& path, const std::vector<unsigned char>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << path;
}

// A small evaluation in a folder of its own: a 2-square and a 3-square pattern with 3 stages,
// whose coefficient blocks are 9 and 27 values per stage.
class CoefficientFileTest : public testing::Test {
 protected:
  static constexpr int Stages = 3;

  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    Folder =
        fs::temp_directory_path() / ("morvane-patterns-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }
  void TearDown() override { fs::remove_all(Folder); }

  std::unique_ptr<TEvaluation> MakeEvaluation(TProgressBar* bar = nullptr) {
    auto evaluation = std::make_unique<TEvaluation>("Tiny", bar, Folder);
    evaluation->AddPattern(std::make_unique<TPattern>(8, Stages, Squares{11, 12}));
    evaluation->AddPattern(std::make_unique<TPattern>(8, Stages, Squares{44, 45, 54}));
    return evaluation;
  }

  // Distinct value of pattern `pattern`, stage, table position: exact in single precision.
  static float Coefficient(int pattern, int stage, int position) {
    return static_cast<float>(pattern * 100 + stage * 10) + position / 64.0f - 0.25f;
  }

  std::vector<unsigned char> PatternSection() const {
    std::vector<unsigned char> bytes;
    const int sizes[2] = {2, 3};
    for (int pattern = 0; pattern < 2; ++pattern) {
      for (int stage = 0; stage < Stages; ++stage) {
        for (int p = 0; p < Pow3[sizes[pattern]]; ++p) {
          PutFloat(bytes, Coefficient(pattern, stage, p));
        }
      }
    }
    return bytes;
  }

  void WriteCoe(const std::vector<float>& tail) {
    std::vector<unsigned char> bytes = PatternSection();
    for (const float value : tail) PutFloat(bytes, value);
    WriteFile(Folder / "Tiny" / "Tiny.coe", bytes);
  }

  fs::path Folder;
};

TEST_F(CoefficientFileTest, PatternSectionIsReadBlockByBlock) {
  WriteCoe({});
  auto evaluation = MakeEvaluation();
  ASSERT_EQ(evaluation->PatternSectionBytes(), int64_t{(9 + 27) * Stages * 4});
  evaluation->LoadCoefficients();
  for (int pattern = 0; pattern < 2; ++pattern) {
    const TPattern& loaded = *evaluation->Patterns[pattern];
    for (int stage = 0; stage < Stages; ++stage) {
      for (int p = 0; p < Pow3[loaded.SquareCount]; ++p) {
        ASSERT_EQ(loaded.Coefficients[stage][p], Coefficient(pattern, stage, p))
            << pattern << " " << stage << " " << p;
      }
    }
  }
}

struct TailCase {
  const char* Name;
  std::vector<float> Tail;
  std::map<int, int32_t> Bias;  // every other entry stays 0
  friend void PrintTo(const TailCase& c, std::ostream* os) { *os << c.Name; }
};

class CoefficientTailTest : public CoefficientFileTest,
                            public testing::WithParamInterface<TailCase> {};

TEST_P(CoefficientTailTest, TailFillsBiasFromFourDiscs) {
  const TailCase& c = GetParam();
  WriteCoe(c.Tail);
  auto evaluation = MakeEvaluation();
  evaluation->LoadCoefficients();
  for (int discs = 0; discs <= 150; ++discs) {
    const auto expected = c.Bias.find(discs);
    EXPECT_EQ(evaluation->Bias[discs], expected == c.Bias.end() ? 0 : expected->second)
        << "discs " << discs;
  }
}

TailCase FullTail() {
  TailCase c{"Full", {}, {}};
  for (int discs = 4; discs <= 150; ++discs) {
    c.Tail.push_back(static_cast<float>(discs - 100) / 8);
    c.Bias[discs] = (discs - 100) * 125'000;
  }
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Tails, CoefficientTailTest,
    testing::Values(TailCase{"Empty", {}, {}},
                    TailCase{"Halves", {1.5f, -0.25f}, {{4, 1'500'000}, {5, -250'000}}},
                    TailCase{"ThreeValues",
                             {2.0f, -3.0f, 0.125f},
                             {{4, 2'000'000}, {5, -3'000'000}, {6, 125'000}}},
                    // 1/128 and 3/128 disc lie exactly half-way between two millionths.
                    TailCase{"TiesToEven",
                             {1.0f / 128, 3.0f / 128, -1.0f / 128, -3.0f / 128},
                             {{4, 7812}, {5, 23438}, {6, -7812}, {7, -23438}}},
                    FullTail()),
    [](const testing::TestParamInfo<TailCase>& info) { return info.param.Name; });

TEST_F(CoefficientFileTest, EmptyDataFolderMeansTheCurrentDirectory) {
  WriteCoe({4.0f});
  const fs::path previous = fs::current_path();
  fs::current_path(Folder);
  TEvaluation evaluation("Tiny", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(8, Stages, Squares{11, 12}));
  evaluation.AddPattern(std::make_unique<TPattern>(8, Stages, Squares{44, 45, 54}));
  EXPECT_NO_THROW(evaluation.LoadCoefficients());
  fs::current_path(previous);
  EXPECT_EQ(evaluation.Bias[4], 4'000'000);
  EXPECT_EQ(evaluation.FilePath(".npc"), fs::path("Tiny") / "Tiny.npc");
}

// A .npc block whose records are all missing except those set by the test.
struct NpcFile {
  std::vector<unsigned char> Bytes = std::vector<unsigned char>(TEvaluation::NpcFileBytes, 0);
  void Set(int discs, int deep, int shallow, TNpcRecord record) {
    const size_t offset = ((discs - 1) * 676 + deep * 26 + shallow) * 24;
    SetDouble(Bytes, offset, record.Slope);
    SetDouble(Bytes, offset + 8, record.Offset);
    SetDouble(Bytes, offset + 16, record.Sigma);
  }
};

void ExpectRecord(const TNpcRecord& actual, const TNpcRecord& expected, const char* what) {
  EXPECT_DOUBLE_EQ(actual.Slope, expected.Slope) << what;
  EXPECT_DOUBLE_EQ(actual.Offset, expected.Offset) << what;
  EXPECT_DOUBLE_EQ(actual.Sigma, expected.Sigma) << what;
}

TEST_F(CoefficientFileTest, NpcAndEccAreReadAtTheirOffsets) {
  WriteCoe({});
  NpcFile npc;
  npc.Set(1, 0, 0, {1.25, -0.5, 3.0});
  npc.Set(200, 25, 25, {0.75, 2.0, 4.5});
  npc.Set(37, 14, 20, {-1.0, 0.125, 6.0});         // shallow above deep: never completed
  npc.Bytes.resize(npc.Bytes.size() + 100, 0xFF);  // anything after the block is ignored
  WriteFile(Folder / "Tiny" / "Tiny.npc", npc.Bytes);

  std::vector<unsigned char> ecc(TEvaluation::EccFileBytes, 0);
  auto setEcc = [&](int empties, int shallow, double base) {
    for (int field = 0; field < 4; ++field) {
      SetDouble(ecc, ((empties - 5) * 9 + shallow) * 32 + 8 * field, base + field);
    }
  };
  setEcc(5, 0, 10);
  setEcc(11, 4, 20);
  setEcc(18, 8, 30);
  WriteFile(Folder / "Tiny" / "Tiny.ecc", ecc);

  auto evaluation = MakeEvaluation();
  evaluation->NpcReferenceDepth = 8;
  evaluation->LoadCoefficients();
  ExpectRecord(evaluation->Npc(1, 0, 0), {1.25, -0.5, 3.0}, "first");
  ExpectRecord(evaluation->Npc(200, 25, 25), {0.75, 2.0, 4.5}, "last");
  ExpectRecord(evaluation->Npc(37, 14, 20), {-1.0, 0.125, 6.0}, "middle");
  ExpectRecord(evaluation->Npc(37, 20, 14), {0, 0, 0}, "missing");
  const std::pair<int, int> set[3] = {{5, 0}, {11, 4}, {18, 8}};
  for (int k = 0; k < 3; ++k) {
    const TEccRecord& record = evaluation->Ecc(set[k].first, set[k].second);
    EXPECT_EQ(record.Slope, 10.0 * (k + 1));
    EXPECT_EQ(record.Offset, 10.0 * (k + 1) + 1);
    EXPECT_EQ(record.Sigma, 10.0 * (k + 1) + 2);
    EXPECT_EQ(record.Reserved, 10.0 * (k + 1) + 3);
  }
  EXPECT_EQ(evaluation->Ecc(11, 5).Slope, 0.0);
  EXPECT_EQ(evaluation->Ecc(12, 4).Slope, 0.0);
}

TEST_F(CoefficientFileTest, MissingNpcAndEccLeaveTablesZero) {
  WriteCoe({1.0f});
  auto evaluation = MakeEvaluation();
  evaluation->NpcReferenceDepth = 8;
  evaluation->LoadCoefficients();
  for (const TNpcRecord& record : evaluation->NpcTable) {
    ASSERT_EQ(record.Slope, 0.0);
    ASSERT_EQ(record.Sigma, 0.0);
  }
  for (int empties = 5; empties <= 18; ++empties) {
    for (int shallow = 0; shallow < 9; ++shallow)
      EXPECT_EQ(evaluation->Ecc(empties, shallow).Slope, 0.0);
  }
}

TEST_F(CoefficientFileTest, NpcCompletionFromReferenceDepth8) {
  const fs::path path = Folder / "Tiny.npc";
  NpcFile npc;
  const int discs = 40;
  npc.Set(discs, 8, 5, {0.9, 0.1, 2.0});
  npc.Set(discs, 8, 0, {0.8, -0.2, 3.0});
  npc.Set(discs, 8, 2, {0.0, 7.0, 9.0});      // missing despite Offset and Sigma
  npc.Set(discs, 12, 4, {1.1, 0.3, 1.5});     // present: stays as read
  npc.Set(discs + 1, 8, 5, {0.5, 0.5, 0.5});  // another disc count has its own sources
  WriteFile(path, npc.Bytes);

  TEvaluation evaluation("Tiny", nullptr, Folder);
  evaluation.NpcReferenceDepth = 8;
  evaluation.ReadNpcFile(path);
  ExpectRecord(evaluation.Npc(discs, 12, 9), {0.9, 0.1, 2.0}, "gap 3 within the reference");
  ExpectRecord(evaluation.Npc(discs, 12, 1), {0.8, -0.2, 3.0 + 2.5}, "gap 11 beyond it");
  ExpectRecord(evaluation.Npc(discs, 25, 0), {0.8, -0.2, 3.0 + 17 / 1.2}, "gap 25");
  ExpectRecord(evaluation.Npc(discs, 3, 0), {0.9, 0.1, 2.0}, "gap 3 below the reference");
  ExpectRecord(evaluation.Npc(discs, 5, 5), {0, 0, 0}, "no gap");
  ExpectRecord(evaluation.Npc(discs, 5, 9), {0, 0, 0}, "shallow above deep");
  ExpectRecord(evaluation.Npc(discs, 12, 4), {1.1, 0.3, 1.5}, "present");
  ExpectRecord(evaluation.Npc(discs, 9, 3), {0.0, 7.0, 9.0}, "source that is itself missing");
  ExpectRecord(evaluation.Npc(discs + 1, 12, 9), {0.5, 0.5, 0.5}, "next disc count");
  ExpectRecord(evaluation.Npc(discs + 1, 12, 1), {0, 0, 0 + 2.5}, "missing source");
}

TEST_F(CoefficientFileTest, NpcCompletionFromReferenceDepth0) {
  const fs::path path = Folder / "Tiny.npc";
  NpcFile npc;
  npc.Set(1, 0, 0, {1.0, 0.25, 2.0});
  npc.Set(200, 0, 0, {0.5, -1.0, 4.0});
  npc.Set(1, 20, 3, {1.5, 1.5, 1.5});
  WriteFile(path, npc.Bytes);

  TEvaluation evaluation("Tiny", nullptr, Folder);
  evaluation.ReadNpcFile(path);
  const std::pair<int, TNpcRecord> bases[2] = {{1, {1.0, 0.25, 2.0}}, {200, {0.5, -1.0, 4.0}}};
  for (const auto& [discs, base] : bases) {
    for (int deep = 0; deep < 26; ++deep) {
      for (int shallow = 0; shallow < 26; ++shallow) {
        const TNpcRecord& record = evaluation.Npc(discs, deep, shallow);
        if (discs == 1 && deep == 20 && shallow == 3) {
          ExpectRecord(record, {1.5, 1.5, 1.5}, "present");
        } else if (deep > shallow) {
          ExpectRecord(record, {base.Slope, base.Offset, base.Sigma + (deep - shallow) / 1.2},
                       "completed");
        } else if (deep > 0 || shallow > 0) {
          ExpectRecord(record, {0, 0, 0}, "left missing");
        }
      }
    }
  }
}

TEST_F(CoefficientFileTest, ProgressBarFollowsTheBlocks) {
  WriteCoe({});
  TRecordingProgressBar bar;
  bar.CurrentPosition = 17;
  struct Seen {
    TRecordingProgressBar* Bar;
    std::vector<int> Positions;
    bool AlwaysShown = true;
  } seen{&bar, {}};
  TRecordingEventPump pump;
  pump.Context = &seen;
  pump.OnPump = [](void* context) {
    auto* s = static_cast<Seen*>(context);
    s->Positions.push_back(s->Bar->Position());
    s->AlwaysShown = s->AlwaysShown && s->Bar->Enabled() && s->Bar->Visible();
  };
  TScopedEventPump scoped(&pump);

  auto evaluation = MakeEvaluation(&bar);
  evaluation->LoadCoefficients();
  EXPECT_EQ(bar.Max(), 2 * Stages);
  EXPECT_EQ(seen.Positions, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(bar.Position(), 2 * Stages);
  EXPECT_TRUE(seen.AlwaysShown);
  EXPECT_FALSE(bar.Enabled());
  EXPECT_FALSE(bar.Visible());

  seen.Positions.clear();
  bar.CurrentPosition = 9;
  evaluation->ConvertToIntegers();
  EXPECT_EQ(bar.Max(), 2);
  EXPECT_EQ(seen.Positions, (std::vector<int>{0, 1}));
  EXPECT_EQ(bar.Position(), 2);
  EXPECT_TRUE(seen.AlwaysShown);
  EXPECT_FALSE(bar.Enabled());
  EXPECT_FALSE(bar.Visible());
}

// ---------------------------------------------------------------------------------------------
// Rejected files

struct BadFileCase {
  const char* Name;
  const char* File;        // which file is bad
  int64_t Size;            // its size, or NoFile
  bool RelativeToSection;  // a .coe size given relative to the pattern section
  std::vector<std::string> MessageParts;
  friend void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.Name; }
};
constexpr int64_t NoFile = std::numeric_limits<int64_t>::min();

class BadCoefficientFileTest : public CoefficientFileTest,
                               public testing::WithParamInterface<BadFileCase> {};

TEST_P(BadCoefficientFileTest, RejectedBeforeAnythingIsRead) {
  const BadFileCase& c = GetParam();
  const int64_t section = (9 + 27) * Stages * 4;  // 432 bytes
  const fs::path folder = Folder / "Tiny";
  std::vector<unsigned char> coe = PatternSection();
  PutFloat(coe, 1.0f);
  WriteFile(folder / "Tiny.npc", std::vector<unsigned char>(TEvaluation::NpcFileBytes, 0x3F));
  WriteFile(folder / "Tiny.ecc", std::vector<unsigned char>(TEvaluation::EccFileBytes, 0x3F));
  const fs::path bad = folder / (std::string("Tiny") + c.File);
  if (c.Size == NoFile) {
    fs::remove(bad);
  } else {
    const int64_t size = c.RelativeToSection ? section + c.Size : c.Size;
    if (bad.extension() == ".coe") coe.resize(size, 0);
    WriteFile(bad, bad.extension() == ".coe" ? coe : std::vector<unsigned char>(size, 0x3F));
  }
  if (bad.extension() != ".coe") WriteFile(folder / "Tiny.coe", coe);

  TRecordingProgressBar bar;
  auto evaluation = MakeEvaluation(&bar);
  try {
    evaluation->LoadCoefficients();
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find('"' + bad.string() + '"'), std::string::npos) << message;
    for (const std::string& part : c.MessageParts) {
      EXPECT_NE(message.find(part), std::string::npos) << part << " not in: " << message;
    }
  }
  // Nothing was taken from any file.
  EXPECT_EQ(evaluation->Bias[4], 0);
  EXPECT_EQ(evaluation->Patterns[0]->Coefficients[2][8], 0.0f);
  EXPECT_EQ(evaluation->Npc(1, 0, 0).Slope, 0.0);
  EXPECT_EQ(evaluation->Ecc(5, 0).Slope, 0.0);
  EXPECT_FALSE(bar.Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadCoefficientFileTest,
    testing::Values(
        BadFileCase{"CoeMissing", ".coe", NoFile, false, {"missing", "at least 432 bytes"}},
        BadFileCase{"CoeEmpty", ".coe", 0, false, {"is 0 bytes", "at least 432 bytes"}},
        BadFileCase{"CoeOneValueShort", ".coe", -4, true, {"is 428 bytes", "at least 432 bytes"}},
        BadFileCase{"CoeHalfValueTail", ".coe", 6, true, {"is 438 bytes", "whole 4-byte"}},
        BadFileCase{"CoeTailTooLong",
                    ".coe",
                    4 * 148,
                    true,
                    {"is 1024 bytes", "at most 147", "at most 1020 bytes"}},
        BadFileCase{"NpcShort", ".npc", 3'244'799, false, {"is 3244799 bytes", "3244800 bytes"}},
        BadFileCase{"EccShort", ".ecc", 100, false, {"is 100 bytes", "4032 bytes"}}),
    [](const testing::TestParamInfo<BadFileCase>& info) { return info.param.Name; });

TEST_F(CoefficientFileTest, ReadersRejectShortFilesAndKeepTheirTables) {
  const fs::path npc = Folder / "short.npc", ecc = Folder / "short.ecc";
  WriteFile(npc, std::vector<unsigned char>(24, 0x3F));
  TEvaluation evaluation("Tiny", nullptr, Folder);
  evaluation.Npc(3, 2, 1).Slope = 0.5;
  evaluation.Ecc(9, 3).Sigma = 1.5;
  EXPECT_THROW(evaluation.ReadNpcFile(npc), std::runtime_error);
  EXPECT_THROW(evaluation.ReadEccFile(ecc), std::runtime_error);  // missing
  EXPECT_EQ(evaluation.Npc(3, 2, 1).Slope, 0.5);
  EXPECT_EQ(evaluation.Ecc(9, 3).Sigma, 1.5);
}

// ---------------------------------------------------------------------------------------------
// Smoothing and conversion

TEST(SmoothStagesTest, HandComputedBlend) {
  TEvaluation evaluation("Smooth", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(8, 3, Squares{11}));
  auto& c = evaluation.Patterns[0]->Coefficients;
  // Position 0: stage 0 blended with weights 1, 0.2, 0.1 -> (1 + 0.05) / 1.3 = 21/26; stage 1
  // is untrained and takes the new stage 0: (0.2 * 21/26 + 0.2 * 0.5) / 1.4 = 17/91; stage 2 is
  // trained and stays.
  c[0][0] = 1.0f, c[1][0] = 0.0f, c[2][0] = 0.5f;
  // Position 1: a later stage just below the threshold is untrained, a negative one above it
  // is trained.
  c[0][1] = 0.0f, c[1][1] = 0.00005f, c[2][1] = -0.25f;
  // Position 2: constant across stages is a fixed point.
  c[0][2] = c[1][2] = c[2][2] = 0.75f;
  evaluation.SmoothStages(0);

  EXPECT_FLOAT_EQ(c[0][0], 21.0f / 26);
  EXPECT_FLOAT_EQ(c[1][0], 17.0f / 91);
  EXPECT_EQ(c[2][0], 0.5f);
  const double first = (0.2 * 0.00005f + 0.1 * -0.25f) / 1.3;
  const double second = (0.2 * first + 0.00005f + 0.2 * -0.25f) / 1.4;
  EXPECT_FLOAT_EQ(c[0][1], static_cast<float>(first));
  EXPECT_FLOAT_EQ(c[1][1], static_cast<float>(second));
  EXPECT_EQ(c[2][1], -0.25f);
  for (int stage = 0; stage < 3; ++stage) EXPECT_FLOAT_EQ(c[stage][2], 0.75f);
}

TEST(SmoothStagesTest, UpToOneOnFiveStages) {
  TEvaluation evaluation("Smooth", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(8, 5, Squares{11, 12}));
  evaluation.AddPattern(std::make_unique<TPattern>(8, 5, Squares{44}));
  std::vector<std::vector<std::vector<float>>> before;
  for (auto& pattern : evaluation.Patterns) {
    const int entries = Pow3[pattern->SquareCount];
    for (int stage = 0; stage < 5; ++stage) {
      for (int p = 0; p < entries; ++p) {
        // Every third entry of the later stages is untrained.
        const bool untrained = stage >= 2 && p % 3 == 0;
        pattern->Coefficients[stage][p] = untrained ? 0.00001f * p : 0.5f + stage + p;
      }
    }
    before.push_back(pattern->Coefficients);
  }
  evaluation.SmoothStages(1);
  for (size_t index = 0; index < evaluation.Patterns.size(); ++index) {
    const auto& after = evaluation.Patterns[index]->Coefficients;
    for (int stage = 0; stage < 5; ++stage) {
      for (size_t p = 0; p < after[stage].size(); ++p) {
        const bool untrained = stage >= 2 && p % 3 == 0;
        if (stage <= 1 || untrained) {
          EXPECT_NE(after[stage][p], before[index][stage][p]) << index << " " << stage << " " << p;
        } else {
          EXPECT_EQ(after[stage][p], before[index][stage][p]) << index << " " << stage << " " << p;
        }
      }
    }
  }
  // Stage 0 of the first entry: 0.5, 1.5 and the untrained zeros of stages 2..4.
  EXPECT_FLOAT_EQ(evaluation.Patterns[0]->Coefficients[0][0],
                  static_cast<float>((0.5 + 0.2 * 1.5) / (1 + 0.2 + 0.1 + 0.2 / 3 + 0.05)));
}

TEST(ConvertToIntegersTest, ScalesByMultiplicityAndRoundsHalfToEven) {
  TEvaluation evaluation("Convert", nullptr);
  evaluation.AddPattern(std::make_unique<TPattern>(8, 2, Squares{12}));              // 8 x 1
  evaluation.AddPattern(std::make_unique<TPattern>(8, 2, Squares{44}));              // 4 x 2
  evaluation.AddPattern(std::make_unique<TPattern>(8, 2, Squares{44, 45, 54, 55}));  // 1 x 8
  const int32_t multiplicity[3] = {1, 2, 8};
  const float values[3] = {1.0f / 128, 3.0f / 128, -0.25f};
  for (auto& pattern : evaluation.Patterns) {
    const int entries = Pow3[pattern->SquareCount];
    for (int stage = 0; stage < 2; ++stage) {
      for (int p = 0; p < entries; ++p)
        pattern->Coefficients[stage][p] = values[p % 3] * (stage + 1);
    }
  }
  evaluation.ConvertToIntegers();

  // 1/128 disc is 7812.5 units, 3/128 is 23437.5.
  const int32_t expected[3][3] = {
      {7812, 23438, -250'000}, {15625, 46875, -500'000}, {62500, 187500, -2'000'000}};
  for (int index = 0; index < 3; ++index) {
    const TPattern& pattern = *evaluation.Patterns[index];
    ASSERT_EQ(pattern.Multiplicity[0], multiplicity[index]);
    EXPECT_TRUE(pattern.Coefficients.empty());
    ASSERT_EQ(pattern.Tables.size(), 2u);
    const int entries = Pow3[pattern.SquareCount];
    for (int p = 0; p < entries; ++p) {
      EXPECT_EQ(pattern.Tables[0][p], expected[index][p % 3]) << index << " " << p;
    }
    // Stage 1 doubles the values: the halves are gone.
    EXPECT_EQ(pattern.Tables[1][0], 2 * 7812.5 * multiplicity[index]);
    // The middle entry is the empty configuration; the ends are all black and all white.
    const int32_t* middle = pattern.TableMiddle(1);
    EXPECT_EQ(middle, &pattern.Tables[1][(entries - 1) / 2]);
    EXPECT_EQ(middle - (entries - 1) / 2, &pattern.Tables[1][0]);
  }
}

}  // namespace
}  // namespace morvane
