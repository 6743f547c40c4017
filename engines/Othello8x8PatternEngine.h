// The engine of the standard 8 x 8 board: the pattern engine with unrolled 8 x 8 move rules, a
// fixed priority order of the empty squares, endgame move ordering by shallow searches, and an
// exact solver on two 64-bit bitboards for the last 13 empty squares.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <string>

#include "engines/BitboardMoves.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane {

class TOthello8x8PatternEngine : public TOthelloPatternEngine {
 public:
  // Below this many empty squares the endgame nodes hand over to the bitboard solver.
  static constexpr int BitSolverEmpties = 14;
  // From this many empties the bitboard solver's inner nodes use the table and its cut-offs;
  // below it the table-less tiers run.
  static constexpr int BitTableEmpties = 8;
  // Enhanced transposition cut-offs pay for their probes only near the top of the solver.
  static constexpr int BitEtcEmpties = 12;

  // Empty squares in the order every move loop visits them: corners first, X-squares last.
  static constexpr int SquareOrder[60] = {
      11, 18, 81, 88, 13, 16, 31, 38, 61, 68, 83, 86, 33, 36, 63, 66, 14, 15, 41, 48,
      51, 58, 84, 85, 34, 35, 43, 46, 53, 56, 64, 65, 24, 25, 42, 47, 52, 57, 74, 75,
      23, 26, 32, 37, 62, 67, 73, 76, 12, 17, 21, 28, 71, 78, 82, 87, 22, 27, 72, 77};
  // Depth of the searches that order the moves of an ordering search, by its remaining depth.
  static constexpr int OrderingDepth[31] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3,
                                            3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6};
  // Depth of the searches that order the moves of an endgame node, by the empties after the move.
  static constexpr int EndgameOrderingDepth[51] = {
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3,
      3, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6};

  TOthello8x8PatternEngine(std::string name, std::unique_ptr<TEvaluation> evaluation,
                           double hashSizeBits);
  ~TOthello8x8PatternEngine() override;

  // ---- Overridden rules and endgame nodes ----
  void BuildEmptyList() final;
  int ProbeMoveHashed(int square, MoveRecord& record) final;
  void GenerateMoves(MoveRecord* list) final;
  int ProbeMove(int square, MoveRecord& record) final;
  int FlipInPlace(int square, MoveRecord& record) final;
  int CountFlips(int square) final;
  bool IsLegalMove(int square) final;
  int32_t EndSearchPV(int32_t alpha, int32_t beta, bool passed, int32_t& margin) final;
  int32_t EndSearchZW(int32_t alpha, int32_t beta, bool passed, int32_t& margin) final;
  int CornerStability(int colour) final;
  void GenerateMovesHashed(MoveRecord* list) final;
  // The moves of the side to move worked out on bitboards read off the board image: the move
  // loops ask it square by square in list order.
  struct TImageMoves {
    uint64_t Player, Gegner, Moves;
    // The move on `square` with its flips (in bit order), or 0 when it is not a move.
    int Probe(int square, MoveRecord& record) const {
      if (!(Moves & bits::SquareBits[square])) return 0;
      uint64_t flips = bits::chosen::Flips(square, Player, Gegner);
      record.Square = square;
      int count = 0;
      for (; flips; flips &= flips - 1)
        record.Flips[count++] = bits::SquareOf(std::countr_zero(flips));
      record.FlipCount = count;
      return count;
    }
    int Count() const { return std::popcount(Moves); }
  };
  TImageMoves LegalMoves() const;

  // ---- Bitboard moves ----
  // Plays `wohin` for the side to move on the bitboards and in the hash words; returns the flips.
  int PlayBitsHashed(int wohin) {
    return bits::PlayHashed(wohin, PlayerBitboard, GegnerBitboard, HashLo, HashHi);
  }
  int PlayBits(int wohin) { return bits::Play(wohin, PlayerBitboard, GegnerBitboard); }
  int CountBitsFlips(int wohin) const {
    return bits::CountFlips(wohin, PlayerBitboard, GegnerBitboard);
  }
  void LoadBitboards();
  static int BitCount(uint64_t value) { return std::popcount(value); }
  uint64_t MobilityMask() const { return MobilityMask(PlayerBitboard, GegnerBitboard); }
  static uint64_t MobilityMask(uint64_t player, uint64_t gegner) {
    return bits::Moves(player, gegner);
  }
  int CornerStabilityBits(int colour) const {
    return CornerStabilityOf(colour == SideToMove ? PlayerBitboard : GegnerBitboard);
  }
  static int CornerStabilityOf(uint64_t discs);
  // A lower bound on the discs of `discs` that no sequence of moves can flip. Stops counting
  // once `limit` is reached.
  static int StableDiscsEstimate(uint64_t discs, uint64_t occupied, int limit);
  // The whole set that StableDiscsEstimate counts, without the early stops.
  static uint64_t StableDiscs(uint64_t discs, uint64_t occupied);

  // ---- The bitboard solver (whole discs, empties to the winner) ----
  // Fills `list` with the legal moves of the bitboards, each with the bitboards and the full
  // hash after the move.
  void BuildBitMoveList(MoveRecord* list);
  // The same from a mask of the legal squares, leaving out `skipped`. Records that are not
  // `hashed` keep this position's hash: for children solved without the table.
  void BuildBitMoveList(MoveRecord* list, uint64_t moves, int skipped, bool hashed = true);
  // One record of such a list: `square` must be a legal move.
  void FillBitMove(int square, MoveRecord& record, bool hashed = true);
  void OrderBitMoves(MoveRecord* list);
  // Any number of empties up to 13, on bitboards already loaded.
  int32_t SolveEndgameBits(int32_t alpha, int32_t beta, bool passed);
  int32_t EndgameSearchBits(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveSmallBits(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveFourBits(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveThreeBits(int32_t alpha, int32_t beta, bool passed);
  int32_t SolveTwoBits(int32_t alpha, int32_t beta, int a, int b, bool passed);

  // ---- Ordering of the board-image endgame ----
  void OrderMovesShallow(MoveRecord* list, int depth);
  int32_t OrderingSearch(int depth, int32_t alpha, int32_t beta, bool passed);
  // `reference` in whole discs: moves that reach it come first, fewest replies first.
  void OrderMovesEndgame(MoveRecord* list, int32_t reference);

  uint64_t PlayerBitboard = 0;
  uint64_t GegnerBitboard = 0;
  // The parity of the empties at which the null-window end nodes are expected to cut: the
  // brothers of a principal-variation node are, so every such node sets it for its children
  // and, on leaving, for its brothers. Only the order of moves depends on it.
  int CutNodeParity = 1;

 protected:
  // The board-image endgame orders its moves and makes its end-cut probe with the shallow
  // searches of this engine.
  void OrderEndgameMoves(MoveRecord* list, int32_t beta) final;
  int32_t EndCutProbe(int32_t alpha, int32_t beta, int depth, bool passed) final;

 private:
  // The side to move's and the opponent's discs, read off the board image.
  void ReadImage(uint64_t& player, uint64_t& gegner) const;
  // The hash change of a probed move, into its record.
  void AddHashDelta(MoveRecord& record) const;
  // Loads the bitboards and solves the position with fewer than 14 empties.
  int32_t SolveWithBits(int32_t alpha, int32_t beta, bool passed);
  // An endgame node that needs no board-image search: fewer than 14 empties (the bitboard
  // solver's value) or either side's stable discs deciding the window (the bound). True with
  // `value` set; the margin is exact either way.
  bool SettledWithoutImageSearch(int32_t alpha, int32_t beta, bool passed, int32_t& margin,
                                 int32_t& value);
  // The empty squares in list order (at most eight) and the parity mask of their quadrants.
  int SmallSolverSquares(int* squares, unsigned& parity) const;
  // The side to move makes (or takes back) a bitboard move of `flips` flipped discs on
  // `square`; the bitboards are set by the caller.
  void EnterBitMove(int square, int flips) {
    --RegionEmpties[RegionOf[square]];
    OwnDiscs += flips + 1;
    OppDiscs -= flips;
    --EmptyCount;
    SwapSides();
    UnlinkEmpty(square);
  }
  void LeaveBitMove(int square, int flips) {
    RelinkEmpty(square);
    SwapSides();
    ++EmptyCount;
    OppDiscs += flips;
    OwnDiscs -= flips + 1;
    ++RegionEmpties[RegionOf[square]];
  }
  void SwapBitboards() {
    const uint64_t player = PlayerBitboard;
    PlayerBitboard = GegnerBitboard;
    GegnerBitboard = player;
  }
};

}  // namespace morvane
