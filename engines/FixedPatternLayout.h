// The pattern evaluation and index updates of the pattern engine, written out for an evaluation
// whose layout is known when compiling: a fixed number of instances per pattern and a fixed
// stage width. The 8 x 8 personalities and the 10 x 10 and octagon engines build their pattern
// operations from these pieces; they read and write the same PatternIndex, InstanceTables and
// SquareUpdates as the generic operations, so the results are the generic ones to the last bit.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engines/OthelloPatternEngine.h"
#include "evaluation/Patterns.h"

namespace morvane::fixed_layout {

// The 8 x 8 layouts: 64 playable squares over twelve stages, the generic width 64 div 12 as a
// constant; the widest update code applies eight entries, a square in more instances would lose
// some.
inline constexpr int StageCount8x8 = 12;
inline constexpr int StageWidth8x8 = 5;
inline constexpr int MaxEntriesPerSquare8x8 = 8;

// The generic stage rule, (discs - 5) div width clamped to the stages, for every disc count.
template <int StageCount, int StageWidth>
inline constexpr std::array<int8_t, MaxCells> StageByDiscs = [] {
  std::array<int8_t, MaxCells> stages{};
  for (int discs = 0; discs < MaxCells; ++discs)
    stages[discs] = static_cast<int8_t>(std::clamp((discs - 5) / StageWidth, 0, StageCount - 1));
  return stages;
}();

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

// ---- Evaluation ----

// One pattern's instances against its one stage table; Sign -1 reads the table from the side of
// white to move.
template <int First, int Sign, int... K>
inline int64_t PatternSum(const int32_t* table, const int32_t* index,
                          std::integer_sequence<int, K...>) {
  return (int64_t{table[Sign * int64_t{index[First + K]}]} + ...);
}

template <typename Layout, int Sign, int... P>
inline int64_t PatternSums(const int32_t* const* tables, const int32_t* index,
                           std::integer_sequence<int, P...>) {
  return (PatternSum<Layout::FirstInstance[P], Sign>(
              tables[Layout::FirstInstance[P]], index,
              std::make_integer_sequence<int, Layout::Instances[P]>{}) +
          ...);
}

// One function per side, kept out of line: inlined side by side, the two sums had their index
// loads merged and spilled to the stack, which cost a fifth of the evaluation.
template <typename Layout, int Sign>
[[gnu::noinline, gnu::flatten]] int64_t InstanceSum(const int32_t* const* tables,
                                                    const int32_t* index) {
  return PatternSums<Layout, Sign>(tables, index,
                                   std::make_integer_sequence<int, Layout::PatternCount>{});
}

// The generic engine's score: the same table entries, the same Bias, the same clamp.
template <typename Layout, int StageCount, int StageWidth>
inline int32_t Score(const TOthelloPatternEngine& engine, const int32_t* bias) {
  if (engine.OwnDiscs == 0 || engine.OppDiscs == 0) return engine.WipedOutScore();
  const int discs = engine.OwnDiscs + engine.OppDiscs;
  const int32_t* const* tables = engine.InstanceTables[StageByDiscs<StageCount, StageWidth>[discs]];
  const int64_t sum = bias[discs] + (engine.SideToMove == BlackCell
                                         ? InstanceSum<Layout, +1>(tables, engine.PatternIndex)
                                         : InstanceSum<Layout, -1>(tables, engine.PatternIndex));
  return static_cast<int32_t>(std::clamp<int64_t>(sum, -TOthelloPatternEngine::EvaluationLimit,
                                                  TOthelloPatternEngine::EvaluationLimit));
}

// ---- Index updates ----

enum class TWeight { Place, Flip };

// The first E entries of a square, signed by Step.
template <int Step, TWeight Weight, int... E>
[[gnu::always_inline]] inline void ApplyEntries(const TSquareUpdate* updates,
                                                std::integer_sequence<int, E...>) {
  ((*updates[E].Instance +=
    Step * (Weight == TWeight::Place ? updates[E].PlaceWeight : updates[E].FlipWeight)),
   ...);
}

// ---- 8 x 8 index updates ----

// A square of these layouts lies in 4, 5, 6 or 8 instances, and gets exactly that many entries;
// a count outside 4..6 takes 8, the spare ones pointing to ZeroSink with zero weights. Measured
// in a depth-9 search, this was as fast as applying 4 or 8 entries by one test, and 4 to 6 %
// faster than always applying 8 (the spare adds queue up on the one ZeroSink word).
template <int Step, TWeight Weight>
[[gnu::always_inline]] inline void ApplySquare(TOthelloPatternEngine& engine, int square) {
  const TSquareUpdate* updates = engine.SquareUpdates[square];
  switch (engine.UpdateCount[square]) {
    case 3:
      ApplyEntries<Step, Weight>(updates, std::make_integer_sequence<int, 4>{});
      break;
    case 4:
      ApplyEntries<Step, Weight>(updates, std::make_integer_sequence<int, 5>{});
      break;
    case 5:
      ApplyEntries<Step, Weight>(updates, std::make_integer_sequence<int, 6>{});
      break;
    default:
      ApplyEntries<Step, Weight>(updates,
                                 std::make_integer_sequence<int, MaxEntriesPerSquare8x8>{});
      break;
  }
}

// The disc and index part of a move of `Colour` (Undo: its take-back). With Board set the cells
// change too; without, only the indices (the light pair).
template <int Colour, bool Undo, bool Board>
[[gnu::always_inline]] inline void MoveDiscs(TOthelloPatternEngine& engine,
                                             const MoveRecord& record) {
  constexpr int Step = Undo ? -Colour : Colour;
  constexpr int8_t PlayedCell = Undo ? EmptyCell : Colour;
  constexpr int8_t FlippedCell = Undo ? -Colour : Colour;
  if constexpr (Board) engine.Board[record.Square] = PlayedCell;
  ApplySquare<Step, TWeight::Place>(engine, record.Square);
  for (int f = 0; f < record.FlipCount; ++f) {
    if constexpr (Board) engine.Board[record.Flips[f]] = FlippedCell;
    ApplySquare<Step, TWeight::Flip>(engine, record.Flips[f]);
  }
}

// The colour is a template argument so that every step is an immediate add or subtract.
template <bool Undo, bool Board>
inline void MoveDiscs(TOthelloPatternEngine& engine, const MoveRecord& record) {
  if (engine.SideToMove == BlackCell)
    MoveDiscs<BlackCell, Undo, Board>(engine, record);
  else
    MoveDiscs<WhiteCell, Undo, Board>(engine, record);
}

// ---- Layout check ----

template <typename Counts>
std::string CountList(const Counts& counts) {
  std::string text;
  for (const int count : counts) text += (text.empty() ? "" : ", ") + std::to_string(count);
  return text;
}

// Hands the evaluation on when its layout is the one the written-out code was compiled for, and
// refuses it otherwise: another layout would be summed against the wrong tables, and a square in
// more than mostEntries instances would lose updates.
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

}  // namespace morvane::fixed_layout
