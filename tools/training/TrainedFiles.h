// Writers of the trained coefficient files, in the layouts the evaluation's readers expect. Each
// file is written under a temporary name and renamed into place, so that a reader never meets a
// half-written file and an interrupted run leaves the previous file alone.
#pragma once

#include <filesystem>
#include <span>
#include <vector>

#include "evaluation/Patterns.h"

namespace morvane::training {

// The pattern section (every pattern's stage coefficients in table-position order, in discs)
// followed by `bias` (discs for 4, 5, 6, ... discs; at most 147 values), little-endian singles.
void WriteCoefficients(const TEvaluation& evaluation, std::span<const float> bias,
                       const std::filesystem::path& path);

// The whole .npc block: NpcTable in record order, little-endian doubles.
void WriteNpcFile(const std::vector<TNpcRecord>& table, const std::filesystem::path& path);

// The whole .ecc block: records for 5..18 empties and shallow depths 0..8.
void WriteEccFile(const TEccRecord (&table)[14][9], const std::filesystem::path& path);

// Writes `bytes` to `path` through a temporary file in the same folder and a rename.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const unsigned char> bytes);

}  // namespace morvane::training
