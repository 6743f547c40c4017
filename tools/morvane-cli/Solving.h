// Exact solving and fixed-level searching of the engine's current position, shared by the
// solve, search and bench commands.
#pragma once

#include <cstdint>
#include <string>

#include "Arguments.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane::cli {

struct TSolveOutcome {
  int Score = 0;         // exact: whole discs for the side to move, empties to the winner
  int32_t RawScore = 0;  // the search's own units (millionths of a disc)
  int BestSquare = PassMove;
  int64_t Nodes = 0;
  int64_t Milliseconds = 0;
};

// Solves the position exactly. A side without a move passes and the opponent's result is
// negated; a finished game scores its final margin.
TSolveOutcome SolveExactly(TOthelloEngine& engine);

// The fixed-level search of the position, through a pass as SolveExactly; a finished game
// scores its final margin.
TSolveOutcome SearchLevel(TOthelloEngine& engine, const TFixedSearchInfo& level);

bool HasMove(TOthelloEngine& engine);

// Sets up the engine with a position text for solve, search and bench endgame. Returns what is
// wrong with it in plain words (a character that is no square or side, the wrong number of
// squares, a disc on a cut corner, a full board, no disc at all), or an empty text.
std::string LoadPositionText(TOthelloEngine& engine, const std::string& text);

// --eval, or the board's first evaluation; a usage error for an unknown evaluation or one that
// belongs to another board.
std::string EvaluationOption(const TArguments& arguments, TBoardKind kind);

// --level NAME, or --depth D with --exact E; `fallback` when neither is given.
TFixedSearchInfo LevelOption(const TArguments& arguments, const TFixedSearchInfo& fallback);

// --threads N (1 to 256): the search threads the engine uses from now on; `fallback` when the
// option is not given. A helper engine that cannot be built is a data error.
void ThreadsOption(const TArguments& arguments, TOthelloPatternEngine& engine, int fallback,
                   bool generic = false);

// The move as text, "pa" for a pass.
std::string MoveText(const TOthelloEngine& engine, int square);

// The position as ParsePosition reads it: X or O to move, then X, O or - row by row.
std::string PositionText(const TOthelloEngine& engine);

}  // namespace morvane::cli
