// Builds the engine of a board type together with its evaluation, as the window's board menu
// and the command line choose them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/Catalogue.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane {

class TProgressBar;

// The engine of a board type with its evaluation read from `dataFolder` (empty: the working
// directory). Throws std::runtime_error with the file problem in plain words.
std::unique_ptr<TOthelloPatternEngine> CreateEngine(const TBoardEntry& board, double hashSizeBits,
                                                    TProgressBar* progressBar,
                                                    const std::filesystem::path& dataFolder);

// The fastest engine for an evaluation name ("Bot8x8", "Pellin", "Tovrel", "Bot10x10",
// "Bot8x8Oct"), or with `generic` the plain pattern engine on that evaluation's board (the
// oracle of the board-specific ones).
std::unique_ptr<TOthelloPatternEngine> CreateEngineFor(const std::string& evaluationName,
                                                       double hashSizeBits,
                                                       TProgressBar* progressBar,
                                                       const std::filesystem::path& dataFolder,
                                                       bool generic = false);

// Gives the engine `threads` search threads in all: threads - 1 helpers built like it (the same
// evaluation name, data folder and kind) that search on its table. 1 takes the helpers away.
// Throws std::runtime_error when a helper's files cannot be read (the engine is then unchanged).
void SetSearchThreads(TOthelloPatternEngine& engine, int threads, bool generic = false);

// The threads a search uses unless told otherwise: one per processor core.
int DefaultSearchThreads();

}  // namespace morvane
