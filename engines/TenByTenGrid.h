// What the 10 x 10 and octagon engines share: the ray probe of the 12-wide bordered grid, and
// the evaluation and leaf index updates written out for a fixed pattern layout with a given
// stage width. Both read and write the pattern engine's own PatternIndex, InstanceTables and
// SquareUpdates, so their results are the generic ones to the last bit.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "evaluation/OthelloPatternEngine.h"
#include "evaluation/Patterns.h"

namespace morvane::grid10 {

inline constexpr int Width = 12;

// The steps of the generic ray scan (its Directions[8] down to Directions[1]): north-west,
// north-east, north, west, south-east, south-west, south, east. Flips are recorded in this
// order, nearest first, exactly as the generic scan records them.
inline constexpr int RaySteps[8] = {-Width - 1, -Width + 1, -Width, -1,
                                    Width + 1,  Width - 1,  Width,  1};

// Ten squares on a line: a run that a disc of the mover can still close holds at most eight.
inline constexpr int LongestRun = 8;

template <int Step>
inline int ScanRay(const int8_t* board, int square, int8_t own, int8_t opp, int32_t* flips) {
  int p = square + Step;
  if (board[p] != opp) return 0;
  int run = 1;
  p += Step;
  while (run < LongestRun && board[p] == opp) {
    ++run;
    p += Step;
  }
  if (board[p] != own) return 0;
  for (int k = 1; k <= run; ++k) flips[k - 1] = square + k * Step;
  return run;
}

// Fills Square, Flips and FlipCount as the generic ProbeMove does; the board is not changed.
inline int Probe(const int8_t* board, int square, int8_t own, int8_t opp, MoveRecord& record) {
  const int count = [&]<int... D>(std::integer_sequence<int, D...>) {
    int found = 0;
    ((found += ScanRay<RaySteps[D]>(board, square, own, opp, record.Flips + found)), ...);
    return found;
  }
  (std::make_integer_sequence<int, 8>{});
  record.Square = square;
  record.FlipCount = count;
  return count;
}

// ---- Evaluation ----

// Instance counts of the patterns in evaluation order; instances are numbered pattern by
// pattern, so each pattern owns a run starting at FirstInstance.
template <int... InstancesPerPattern>
struct TLayout {
  static constexpr int PatternCount = sizeof...(InstancesPerPattern);
  static constexpr int InstanceCount = (InstancesPerPattern + ...);
  static constexpr std::array<int, PatternCount> Instances = {InstancesPerPattern...};
  static constexpr std::array<int, PatternCount> FirstInstance = [] {
    std::array<int, PatternCount> first{};
    for (int p = 1; p < PatternCount; ++p) first[p] = first[p - 1] + Instances[p - 1];
    return first;
  }();
  static_assert(InstanceCount <= TOthelloPatternEngine::MaxInstances);
};

// One pattern's instances against its one stage table; Sign -1 reads the table from the side of
// white to move.
template <int First, int Count, int Sign>
inline int64_t PatternSum(const int32_t* const* tables, const int32_t* index) {
  const int32_t* table = tables[First];
  return [&]<int... K>(std::integer_sequence<int, K...>) {
    return (int64_t{table[Sign * index[First + K]]} + ...);
  }
  (std::make_integer_sequence<int, Count>{});
}

// Kept out of line: inlined into both arms of the colour test, the two sums share their loads,
// which the compiler then hoists above the test and spills for want of registers.
template <typename Layout, int Sign>
[[gnu::noinline]] int64_t InstanceSum(const int32_t* const* tables, const int32_t* index) {
  return [&]<int... P>(std::integer_sequence<int, P...>) {
    return (PatternSum<Layout::FirstInstance[P], Layout::Instances[P], Sign>(tables, index) + ...);
  }
  (std::make_integer_sequence<int, Layout::PatternCount>{});
}

// The generic stage rule, (discs - 5) div width clamped to the stages, for every disc count.
template <int StageCount, int StageWidth>
inline constexpr std::array<int8_t, MaxCells> StageByDiscs = [] {
  std::array<int8_t, MaxCells> stages{};
  for (int discs = 0; discs < MaxCells; ++discs)
    stages[discs] = static_cast<int8_t>(std::clamp((discs - 5) / StageWidth, 0, StageCount - 1));
  return stages;
}();

// The generic engine's score: the same table entries, the same Bias, the same clamp.
template <typename Layout, int StageCount, int StageWidth>
inline int32_t Score(const TOthelloPatternEngine& engine, const int32_t* bias) {
  const int discs = engine.OwnDiscs + engine.OppDiscs;
  const int32_t* const* tables = engine.InstanceTables[StageByDiscs<StageCount, StageWidth>[discs]];
  const int64_t sum = bias[discs] + (engine.SideToMove == BlackCell
                                         ? InstanceSum<Layout, +1>(tables, engine.PatternIndex)
                                         : InstanceSum<Layout, -1>(tables, engine.PatternIndex));
  return static_cast<int32_t>(std::clamp<int64_t>(sum, -TOthelloPatternEngine::EvaluationLimit,
                                                  TOthelloPatternEngine::EvaluationLimit));
}

// ---- Leaf index updates ----

enum class TWeight { Place, Flip };

// The first Entries update entries of a square, signed by Step.
template <int Entries, int Step, TWeight Weight>
[[gnu::always_inline]] inline void ApplyEntries(const TSquareUpdate* updates) {
  [&]<int... E>(std::integer_sequence<int, E...>) {
    ((*updates[E].Instance +=
      Step * (Weight == TWeight::Place ? updates[E].PlaceWeight : updates[E].FlipWeight)),
     ...);
  }
  (std::make_integer_sequence<int, Entries>{});
}

// Applies exactly as many entries as the square has, between Fewest and Most; a square with
// fewer than Fewest gets spare entries too, which point to ZeroSink with zero weights.
template <int Entries, int Fewest, int Step, TWeight Weight>
[[gnu::always_inline]] inline void ApplyCounted(const TSquareUpdate* updates, int entries) {
  if constexpr (Entries > Fewest) {
    if (entries < Entries) return ApplyCounted<Entries - 1, Fewest, Step, Weight>(updates, entries);
  }
  ApplyEntries<Entries, Step, Weight>(updates);
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

// ---- Layout check ----

template <typename Counts>
std::string CountList(const Counts& counts) {
  std::string text;
  for (const int count : counts) text += (text.empty() ? "" : ", ") + std::to_string(count);
  return text;
}

// Hands the evaluation on when its layout is the one the written-out code was compiled for,
// and refuses it otherwise: another layout would be summed against the wrong tables, and a
// square in more than Most instances would lose updates.
template <typename Layout>
std::unique_ptr<TEvaluation> RequireLayout(std::unique_ptr<TEvaluation> evaluation,
                                           const std::string& engineName, int stageCount,
                                           int mostEntries) {
  if (!evaluation) return evaluation;  // the pattern engine refuses a missing one in its words
  std::vector<int> counts;
  int stages = stageCount;
  int perSquare[TPattern::CellCount] = {};
  int crowded = -1;
  for (const auto& pattern : evaluation->Patterns) {
    counts.push_back(static_cast<int>(pattern->Instances.size()));
    if (pattern->StageCount != stageCount) stages = pattern->StageCount;
    for (const auto& instance : pattern->Instances) {
      for (const int32_t square : instance) {
        if (square >= 0 && square < TPattern::CellCount && ++perSquare[square] > mostEntries &&
            crowded < 0)
          crowded = square;
      }
    }
  }
  const bool sameCounts =
      std::equal(counts.begin(), counts.end(), Layout::Instances.begin(), Layout::Instances.end());
  if (sameCounts && stages == stageCount && crowded < 0) return evaluation;
  std::string message = "The " + engineName + " engine needs " +
                        std::to_string(Layout::PatternCount) + " patterns with " +
                        CountList(Layout::Instances) + " instances, " + std::to_string(stageCount) +
                        " stages and at most " + std::to_string(mostEntries) +
                        " instances on a square; evaluation \"" + evaluation->Name + "\" has ";
  if (crowded >= 0) {
    message += "more than " + std::to_string(mostEntries) + " instances on square " +
               std::to_string(crowded) + ".";
  } else {
    message += std::to_string(counts.size()) + " patterns with " + CountList(counts) +
               " instances and " + std::to_string(stages) + " stages.";
  }
  throw std::runtime_error(message);
}

}  // namespace morvane::grid10
