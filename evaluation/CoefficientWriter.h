// Writes .coe files that fit an evaluation's pattern list: all zeros, so that an engine runs
// before any training, or small seeded random values for tests and as a training start.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "evaluation/Patterns.h"

namespace morvane {

// Random coefficients lie within plus or minus this many discs.
inline constexpr float RandomCoefficientRange = 0.05f;

// Writes the pattern section of `patternsOnly` (only its pattern list is read) followed by a
// tail of 147 Bias values, little-endian singles, creating the folders on the way. Zeros without
// a seed; with one, values drawn uniformly from +-RandomCoefficientRange by std::mt19937, the
// same file for the same seed on every machine. Returns the number of bytes written; throws
// std::runtime_error naming the file when it cannot be written.
int64_t WriteCoefficientFile(const TEvaluation& patternsOnly, const std::filesystem::path& path,
                             std::optional<uint32_t> seed);

}  // namespace morvane
