// The engine layer that attaches a pattern evaluation to the board: it keeps the configuration
// index of every placed pattern instance up to date as moves are made and unmade, and evaluates
// a position as one table look-up per instance.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/OthelloEngine.h"
#include "evaluation/Patterns.h"

namespace morvane {

// What a disc on one square does to one placed instance: a new disc of colour c adds
// c * PlaceWeight to the instance's index, a flip to colour c adds c * FlipWeight (the digit
// goes from -c to c).
struct TSquareUpdate {
  int32_t* Instance;  // an entry of PatternIndex, or ZeroSink for spare entries
  int32_t PlaceWeight;
  int32_t FlipWeight;
};

class TOthelloPatternEngine : public TOthelloEngine {
 public:
  static constexpr int MaxInstances = 101;
  static constexpr int MaxUpdatesPerSquare = 21;
  static constexpr int MaxStageRows = 27;
  // A sum of absurd coefficients is held here instead of wrapping around; no trained
  // evaluation comes near it, and the search windows stay well inside Infinity.
  static constexpr int32_t EvaluationLimit = 1'000'000'000;

  // Takes ownership of a converted evaluation whose patterns fit this board. Throws
  // std::runtime_error when the evaluation exceeds the engine's fixed tables or was not
  // converted, before anything could be corrupted.
  TOthelloPatternEngine(std::string name, double hashSizeBits, int boardSide,
                        std::unique_ptr<TEvaluation> evaluation);
  ~TOthelloPatternEngine() override;

  int32_t Evaluate() override { return PatternScore(); }
  int32_t EvaluateAlt() override { return PatternScore(); }
  void MakeMove(const MoveRecord& record) override;
  void MakeMoveLight(const MoveRecord& record) override;
  void UnmakeMove(const MoveRecord& record) override;
  void UnmakeMoveLight(const MoveRecord& record) override;
  void SaveStartPosition() override;
  // Brings back the saved start position whole: board, side, counters, indices, the empty list
  // in its saved order, the parity regions and the hash, so that a search may follow at once.
  void RestoreStartPosition() override;
  void SetPosition(const int8_t* board, int side) override;
  virtual void ComputePatternIndices();
  virtual void BuildSquareLinks();

  // ---- State ----
  int8_t SavedBoard[MaxCells] = {};
  int32_t SavedOwnDiscs = 0, SavedOppDiscs = 0, SavedEmptyCount = 0;
  // Head sentinel, the pool, tail sentinel; links point into this copy.
  TEmptyNode SavedEmptyNodes[MaxCells + 2] = {};
  TEmptyNode* SavedNodeOfSquare[MaxCells] = {};
  int32_t SavedPatternIndex[MaxInstances] = {};
  int8_t SavedSideToMove = BlackCell;
  int32_t InstanceCount = 0;
  int32_t ZeroSink = 0;
  int32_t PatternIndex[MaxInstances] = {};
  // Row s, column i: the middle entry of stage table s of the pattern that owns instance i.
  const int32_t* InstanceTables[MaxStageRows][MaxInstances] = {};
  TSquareUpdate SquareUpdates[MaxCells][MaxUpdatesPerSquare] = {};
  // Real update entries of a square minus one; -1 when the square is in no instance.
  int32_t UpdateCount[MaxCells] = {};
  // Table row of every disc count; filled with the indices because the board's playable squares
  // (which set the stage width) are only known once a position is loaded.
  int32_t StageOfDiscs[MaxCells] = {};

  // A side left without discs has lost everything and nobody can move again; the tables never
  // saw such a position and would score it as if play went on.
  int32_t WipedOutScore() const { return FinalMargin() * DiscUnit; }

 protected:
  int32_t PatternScore() const {
    if (OwnDiscs == 0 || OppDiscs == 0) return WipedOutScore();
    const int discs = OwnDiscs + OppDiscs;
    const int32_t* const* tables = InstanceTables[StageOfDiscs[discs]];
    int64_t sum = BiasTable[discs];
    const int count = InstanceCount;
    // One table serves both colours: the index of the side to move is +I for black, -I for
    // white.
    if (SideToMove == BlackCell) {
      for (int i = 0; i < count; ++i) sum += tables[i][PatternIndex[i]];
    } else {
      for (int i = 0; i < count; ++i) sum += tables[i][-PatternIndex[i]];
    }
    if (sum > EvaluationLimit) return EvaluationLimit;
    if (sum < -EvaluationLimit) return -EvaluationLimit;
    return static_cast<int32_t>(sum);
  }

  void PlaceDisc(int square, int32_t colour) {
    const TSquareUpdate* updates = SquareUpdates[square];
    for (int e = UpdateCount[square]; e >= 0; --e)
      *updates[e].Instance += colour * updates[e].PlaceWeight;
  }
  void FlipDisc(int square, int32_t colour) {
    const TSquareUpdate* updates = SquareUpdates[square];
    for (int e = UpdateCount[square]; e >= 0; --e)
      *updates[e].Instance += colour * updates[e].FlipWeight;
  }

  // Bias of the evaluation, reached without going through the owning pointer at every leaf.
  const int32_t* BiasTable = nullptr;
};

}  // namespace morvane
