#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationTestSupport.h"

namespace morvane {
namespace {

using namespace testing_support;

std::vector<unsigned char> ReadAll(const fs::path& path) {
  std::vector<unsigned char> bytes(fs::file_size(path));
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Little-endian singles, decoded byte by byte.
std::vector<float> Values(const std::vector<unsigned char>& bytes) {
  std::vector<float> values(bytes.size() / 4);
  for (size_t i = 0; i < values.size(); ++i) {
    uint32_t bits = 0;
    for (int b = 3; b >= 0; --b) bits = bits << 8 | bytes[4 * i + b];
    values[i] = std::bit_cast<float>(bits);
  }
  return values;
}

class CoefficientWriter : public ::testing::TestWithParam<const char*> {};

// Pattern section plus 147 Bias values, and the set-up loads it.
TEST_P(CoefficientWriter, RandomFileHasTheSectionSizeAndLoads) {
  TTempFolder folder("writer");
  const auto layout = CreateEvaluation(GetParam(), nullptr, folder.Path, false);
  const fs::path path = layout->FilePath(".coe");
  const int64_t written = WriteCoefficientFile(*layout, path, 99);
  const int64_t expected = layout->PatternSectionBytes() + 4 * 147;
  EXPECT_EQ(written, expected);
  ASSERT_EQ(static_cast<int64_t>(fs::file_size(path)), expected);

  const std::vector<float> values = Values(ReadAll(path));
  float smallest = 1, largest = -1;
  for (const float value : values) {
    smallest = std::min(smallest, value);
    largest = std::max(largest, value);
  }
  EXPECT_GE(smallest, -RandomCoefficientRange);
  EXPECT_LE(largest, RandomCoefficientRange);
  // Spread over the whole range, not one value repeated.
  EXPECT_LT(smallest, -0.9f * RandomCoefficientRange);
  EXPECT_GT(largest, 0.9f * RandomCoefficientRange);

  const auto loaded = CreateEvaluation(GetParam(), nullptr, folder.Path, true);
  const size_t tail = values.size() - 147;
  for (int k = 0; k < 147; ++k) {
    EXPECT_EQ(loaded->Bias[4 + k], std::nearbyint(double{values[tail + k]} * 1e6)) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Setups, CoefficientWriter,
                         ::testing::Values("Bot8x8", "Pellin", "Tovrel", "Bot10x10", "Bot8x8Oct"));

TEST(CoefficientWriterFile, ZerosWithoutSeedAndTheSameValuesForTheSameSeed) {
  TTempFolder folder("writer-seed");
  const auto layout = CreateEvaluation("Bot8x8", nullptr, folder.Path, false);
  const fs::path zero = folder.Path / "zero.coe", a = folder.Path / "a.coe",
                 b = folder.Path / "b.coe", c = folder.Path / "c.coe";
  WriteCoefficientFile(*layout, zero, std::nullopt);
  WriteCoefficientFile(*layout, a, 7);
  WriteCoefficientFile(*layout, b, 7);
  WriteCoefficientFile(*layout, c, 8);

  const std::vector<unsigned char> zeros = ReadAll(zero);
  EXPECT_EQ(static_cast<int64_t>(zeros.size()), 2'754'648 + 588);
  EXPECT_EQ(std::count(zeros.begin(), zeros.end(), 0), static_cast<long>(zeros.size()));
  EXPECT_EQ(ReadAll(a), ReadAll(b));
  EXPECT_NE(ReadAll(a), ReadAll(c));

  // The first values of seed 7 follow from the generator's raw draws alone.
  std::mt19937 random(7);
  const std::vector<float> values = Values(ReadAll(a));
  for (int i = 0; i < 5; ++i) {
    const double unit = static_cast<double>(random()) / 4294967295.0;
    EXPECT_EQ(values[i], static_cast<float>((2 * unit - 1) * 0.05f)) << i;
  }
}

TEST(CoefficientWriterFile, WritingOverAFileFolderIsReportedWithThePath) {
  TTempFolder folder("writer-bad");
  std::ofstream(folder.Path / "plain") << "not a folder";
  const auto layout = CreateEvaluation("Pellin", nullptr, {}, false);
  const fs::path path = folder.Path / "plain" / "Pellin.coe";
  try {
    WriteCoefficientFile(*layout, path, std::nullopt);
    FAIL() << "wrote below a plain file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace morvane
