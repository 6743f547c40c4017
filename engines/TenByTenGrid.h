// What the 10 x 10 and octagon engines share: the ray probe of the 12-wide bordered grid and the
// leaf index updates written out for a fixed pattern layout (the evaluation itself is in
// FixedPatternLayout.h). Both read and write the pattern engine's own PatternIndex and
// SquareUpdates, so their results are the generic ones to the last bit.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/Rays.h"
#include "engines/FixedPatternLayout.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane::grid10 {

inline constexpr int Width = 12;

// Fills Square, Flips and FlipCount as the generic ProbeMove does, in its direction order; the
// board is not changed.
inline int Probe(const int8_t* board, int square, int8_t own, int8_t opp, MoveRecord& record) {
  record.Square = square;
  record.FlipCount = rays::RecordFlips<Width>(board, square, own, opp, record.Flips);
  return record.FlipCount;
}

// ---- Leaf index updates ----

using fixed_layout::TWeight;

// Applies exactly as many entries as the square has, between Fewest and Most; a square with
// fewer than Fewest gets spare entries too, which point to ZeroSink with zero weights.
template <int Entries, int Fewest, int Step, TWeight Weight>
[[gnu::always_inline]] inline void ApplyCounted(const TSquareUpdate* updates, int entries) {
  if constexpr (Entries > Fewest) {
    if (entries < Entries) return ApplyCounted<Entries - 1, Fewest, Step, Weight>(updates, entries);
  }
  fixed_layout::ApplyEntries<Step, Weight>(updates, std::make_integer_sequence<int, Entries>{});
}

template <int Fewest, int Most, int Step, TWeight Weight>
[[gnu::always_inline]] inline void ApplySquare(TOthelloPatternEngine& engine, int square) {
  ApplyCounted<Most, Fewest, Step, Weight>(engine.SquareUpdates[square],
                                           engine.UpdateCount[square] + 1);
}

// The index part of a move of `Colour` (Undo: its take-back); the board stays as it is.
template <int Fewest, int Most, int Colour, bool Undo>
inline void LightDiscs(TOthelloPatternEngine& engine, const MoveRecord& record) {
  constexpr int Step = Undo ? -Colour : Colour;
  ApplySquare<Fewest, Most, Step, TWeight::Place>(engine, record.Square);
  for (int f = 0; f < record.FlipCount; ++f)
    ApplySquare<Fewest, Most, Step, TWeight::Flip>(engine, record.Flips[f]);
}

// MakeMoveLight of the pattern engine: indices and counters, nothing else.
template <int Fewest, int Most>
inline void MakeLight(TOthelloPatternEngine& engine, const MoveRecord& record) {
  if (engine.SideToMove == BlackCell)
    LightDiscs<Fewest, Most, BlackCell, false>(engine, record);
  else
    LightDiscs<Fewest, Most, WhiteCell, false>(engine, record);
  engine.OwnDiscs += record.FlipCount + 1;
  engine.OppDiscs -= record.FlipCount;
  --engine.EmptyCount;
}

// UnmakeMoveLight, with the mover to move again.
template <int Fewest, int Most>
inline void UnmakeLight(TOthelloPatternEngine& engine, const MoveRecord& record) {
  if (engine.SideToMove == BlackCell)
    LightDiscs<Fewest, Most, BlackCell, true>(engine, record);
  else
    LightDiscs<Fewest, Most, WhiteCell, true>(engine, record);
  engine.OwnDiscs -= record.FlipCount + 1;
  engine.OppDiscs += record.FlipCount;
  ++engine.EmptyCount;
}

}  // namespace morvane::grid10
