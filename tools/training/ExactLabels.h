// Exact scores of the late positions of archived games, by the engine's own solver, kept in the
// label caches.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "engines/OthelloPatternEngine.h"
#include "training/GameArchive.h"
#include "training/LabelCache.h"

namespace morvane::training {

// The bordered board of a position given as the side to move's and the opponent's bitboards.
void FillBoard(uint64_t own, uint64_t opp, int side, int8_t* board);

// Loads a position given as the side to move's and the opponent's bitboards.
void LoadPosition(TOthelloPatternEngine& engine, uint64_t own, uint64_t opp, int side);

// The exact final margin (empties to the winner) for the side to move of a loaded 8 x 8
// position; a side without a move passes.
int SolveExactly(TOthelloPatternEngine& engine);

// The scores of one game's positions with at most maxEmpties empty squares.
TLabelCache::TScores SolveGame(TOthelloPatternEngine& engine, const TArchiveGame& game,
                               int maxEmpties);

struct TSolveProgress {
  int64_t Games = 0;      // games of the archive seen
  int64_t Solved = 0;     // solved in this run
  int64_t Positions = 0;  // positions solved in this run
};

// Solves every game of `archive` that its cache does not hold yet, appending to the cache and
// flushing it at least every flushSeconds. `progress` is called now and then; it may return
// false to stop (the cache is flushed first).
TSolveProgress SolveArchive(TOthelloPatternEngine& engine, const std::filesystem::path& archive,
                            TLabelCache& cache, int maxEmpties, int64_t maxGames,
                            const std::function<bool(const TSolveProgress&)>& progress,
                            const std::function<void(const std::string&)>& report);

}  // namespace morvane::training
