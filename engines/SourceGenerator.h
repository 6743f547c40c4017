// Writes the per-square bitboard move code of the 8 x 8 engine as program text ("Generated.txt"):
// one case branch per board square with the unrolled opponent tests, own-disc tests, flip
// counts, bitboard updates and hash updates of a move on that square.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/OthelloEngine.h"

namespace morvane {

// The lines of the text, without line ends. Reads the engine's board (for which cells are on
// the board), its direction table and its hash keys; changes nothing. The bit numbering
// assumes the 10-wide bordered board of an 8 x 8 game.
std::vector<std::string> GenerateSourceLines(const TOthelloEngine& engine);

// Writes the lines with carriage return and line feed after each. Throws std::runtime_error
// naming the file when it cannot be written.
void WriteGeneratedSource(const TOthelloEngine& engine, const std::filesystem::path& file);

}  // namespace morvane
