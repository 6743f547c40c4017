// Training positions from self-play games on the 10-wide boards. A position's label is the
// nearest exact value later in its game: every position from the hand-over to the exact search
// on is solved by both sides' perfect play, so it takes the final result; an earlier one takes
// the hand-over value. The random opening's positions are not trained on.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "training/PatternFit.h"
#include "training/SelfPlayGames.h"

namespace morvane::training {

struct TSelfPlayLabel {
  const TPosition* Board;  // the position, its side to move to play
  int Label;                // discs for the side to move
  bool Exact;               // the label is this very position's exact value
};

// Calls `visit` for every trained position of a game (after the opening, the side to move has a
// move). Returns the replay's fault, if any, in which case nothing further is visited.
std::optional<std::string> LabelSelfPlayGame(
    TBoardKind kind, const TSelfPlayGame& game,
    const std::function<void(const TSelfPlayLabel&)>& visit);

// Whole games are held out, a tenth by the hash of their moves.
bool IsHeldOutGame(const TSelfPlayGame& game);

// A held-out position kept for measuring an engine's error against its exact value.
struct THeldOutPosition {
  int8_t Board[MaxCells];
  int8_t Side;
  int8_t Exact;
};

// A trained position whose label is the hand-over value or the game's result, kept so that a
// search can label it again.
struct TSearchablePosition {
  int8_t Board[MaxCells];
  int8_t Side;
  int8_t GameLabel;  // discs for the side to move
  uint32_t Row;      // its row in the fit
  float Prior;       // the prior's evaluation, 0 without one
};

struct TSelfPlaySet {
  TFitRows Rows;
  std::vector<THeldOutPosition> ExactAt;  // held-out positions at MeasureEmpties with exact values
  std::vector<TSearchablePosition> Searchable;  // filled when asked for
  int64_t Games = 0, Rejected = 0, ExactLabels = 0;
};

// The fit rows of every game of the files; held-out exact positions with `measureEmpties`
// empties go to ExactAt. A game that does not replay goes to `report` and is skipped; a file of
// another board than the layout's throws std::invalid_argument. With a `prior` (an earlier
// evaluation, in discs for the side to move) the rows hold what remains of each label after it,
// so that the fit learns a correction to that evaluation. With `keepSearchable` the trained
// positions without an exact label go to Searchable.
TSelfPlaySet BuildSelfPlaySet(const TFeatureLayout& layout,
                              const std::vector<std::filesystem::path>& files, int measureEmpties,
                              const std::function<void(const std::string&)>& report,
                              const std::function<double(const TPosition&)>& prior = {},
                              bool keepSearchable = false);

// Labels the searchable positions of one stage again: `weight` times the engine's search value at
// `level` plus the rest of the game label (less the prior, as the rows hold it). Late stages are
// meant to be fitted first, so that these searches end in tables trained on better labels.
// Returns the number of positions searched.
int64_t RelabelStage(TOthelloPatternEngine& engine, const TFixedSearchInfo& level, double weight,
                     int stage, const TFeatureLayout& layout, TSelfPlaySet& set);

// Adds the tables and Bias terms (discs, 0..150) of `prior`, a loaded but not converted
// evaluation of the same set-up, to those of `evaluation` and `bias`.
void AddPrior(const TEvaluation& prior, TEvaluation& evaluation, std::vector<float>& bias);

// The held-out positions of the 8 x 8 game archives in `folder` with `empties` empty squares
// whose exact value the archive gives (the theoretical score), the same positions the trainer
// measures its fits on.
std::vector<THeldOutPosition> HeldOutArchivePositions(const std::filesystem::path& folder,
                                                      int empties);

// Mean absolute error in discs of the engine's static evaluation on the positions. The engine
// must play on the positions' board.
double StaticError(TOthelloPatternEngine& engine, const std::vector<THeldOutPosition>& positions);

}  // namespace morvane::training
