// Leaf counts of the game tree, the standard check of move generation.
#pragma once

#include <cstdint>

#include "engine/OthelloEngine.h"

namespace morvane {

// Counts the leaves of the game tree below the engine's position, cut at `depth` plies. A pass
// is a ply; a finished game reached before the cut is one leaf. The position is unchanged.
int64_t Perft(TOthelloEngine& engine, int depth);

}  // namespace morvane
