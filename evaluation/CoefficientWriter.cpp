#include "evaluation/CoefficientWriter.h"

#include <bit>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace morvane {

namespace {

[[noreturn]] void Fail(const std::filesystem::path& path, const std::string& what) {
  throw std::runtime_error("Cannot write coefficient file \"" + path.string() + "\": " + what +
                           ".");
}

}  // namespace

int64_t WriteCoefficientFile(const TEvaluation& patternsOnly, const std::filesystem::path& path,
                             std::optional<uint32_t> seed) {
  if (path.has_parent_path()) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) Fail(path, error.message());
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) Fail(path, "it cannot be created");

  std::mt19937 random(seed.value_or(0));
  // The distributions of the standard library differ between implementations; scaling the raw
  // 32-bit draws does not.
  auto next = [&]() -> float {
    if (!seed) return 0.0f;
    const double unit = static_cast<double>(random()) / 4294967295.0;  // [0, 1]
    return static_cast<float>((2.0 * unit - 1.0) * RandomCoefficientRange);
  };

  std::vector<unsigned char> block;
  auto writeValues = [&](int64_t count) {
    block.resize(static_cast<size_t>(count) * 4);
    for (int64_t i = 0; i < count; ++i) {
      const uint32_t bits = std::bit_cast<uint32_t>(next());
      for (int byte = 0; byte < 4; ++byte)
        block[4 * i + byte] = static_cast<unsigned char>(bits >> (8 * byte));
    }
    file.write(reinterpret_cast<const char*>(block.data()),
               static_cast<std::streamsize>(block.size()));
  };

  for (const auto& pattern : patternsOnly.Patterns) {
    for (int stage = 0; stage < pattern->StageCount; ++stage)
      writeValues(Pow3[pattern->SquareCount]);
  }
  writeValues(TEvaluation::MaxBiasValues);
  file.close();
  if (!file) Fail(path, "writing failed");
  return patternsOnly.PatternSectionBytes() + 4 * int64_t{TEvaluation::MaxBiasValues};
}

}  // namespace morvane
