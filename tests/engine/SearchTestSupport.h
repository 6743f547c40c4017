// Engines and helpers shared by the search tests: positions come from the reference board, and
// a watched engine lets a test see the endgame nodes and choose an evaluation on the disc
// counters (the only thing a light make changes).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/BoardKind.h"
#include "engine/OthelloEngine.h"
#include "evaluation/Patterns.h"
#include "support/ReferenceBoard.h"

namespace morvane::searchtest {

using reference::TReferenceBoard;

inline TReferenceBoard GeometryOf(TBoardKind kind) {
  switch (kind) {
    case TBoardKind::Board8x8:
      return TReferenceBoard(8);
    case TBoardKind::Board10x10:
      return TReferenceBoard(10);
    case TBoardKind::Octagon:
      break;
  }
  return TReferenceBoard::Octagon();
}

inline const char* KindName(TBoardKind kind) {
  return kind == TBoardKind::Board8x8 ? "8x8" : kind == TBoardKind::Board10x10 ? "10x10" : "Oct";
}

// Loads a reference position through the position text, as a user would.
inline void Load(TOthelloEngine& engine, const TReferenceBoard& board) {
  PositionImage image{};
  ASSERT_TRUE(engine.ParsePosition(board.ToText(), image));
  engine.SetPosition(image.Board, image.SideToMove);
}

inline std::vector<int> EmptySquares(const TOthelloEngine& engine) {
  std::vector<int> squares;
  for (const TEmptyNode* node = engine.FirstEmpty(); node->Square; node = node->Next)
    squares.push_back(node->Square);
  return squares;
}

inline std::vector<int> LegalSquares(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<int> squares;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    squares.push_back(move->Square);
  return squares;
}

// The engine square of a reference square.
inline int SquareOf(const TOthelloEngine& engine, reference::TSquare square) {
  return engine.SquareAt(square.Column, square.Row);
}

// Everything a search must leave as it found it.
struct TPositionSnapshot {
  std::vector<int8_t> Board;
  int Own, Opp, Empty, Side;
  uint32_t Lo, Hi;
  std::vector<int> Empties;

  explicit TPositionSnapshot(const TOthelloEngine& e)
      : Board(e.Board, e.Board + MaxCells),
        Own(e.OwnDiscs),
        Opp(e.OppDiscs),
        Empty(e.EmptyCount),
        Side(e.SideToMove),
        Lo(e.HashLo),
        Hi(e.HashHi),
        Empties(EmptySquares(e)) {}
  bool operator==(const TPositionSnapshot&) const = default;
};

// One call of an endgame node as the watched engine saw it.
struct TEndCall {
  bool Principal;
  int32_t Alpha, Beta;
  int Empties;
  int32_t CutThreshold;
  double Probability;
};

// A generic engine whose evaluation is OwnWeight x own discs - OppWeight x opponent discs, and
// which records its endgame node calls.
class TWatchedEngine final : public TOthelloEngine {
 public:
  explicit TWatchedEngine(TBoardKind kind, int32_t ownWeight = DiscUnit,
                          int32_t oppWeight = DiscUnit)
      : TOthelloEngine("Watched", 16, BoardSideOf(kind)),
        OwnWeight(ownWeight),
        OppWeight(oppWeight) {
    if (kind == TBoardKind::Octagon) BlockedCount = 12;
    Evaluation = std::make_unique<TEvaluation>("Watched", nullptr);
  }

  int32_t Evaluate() override {
    if (EmptyCount == CountedEmpties) ++CountedEvaluations;
    return OwnWeight * OwnDiscs - OppWeight * OppDiscs;
  }
  int32_t EvaluateAlt() override { return Evaluate(); }
  void SaveStartPosition() override { SetupStartPosition(); }
  void RestoreStartPosition() override { SetupStartPosition(); }

  int32_t EndSearchPV(int32_t alpha, int32_t beta, bool passed, int32_t& margin) override {
    Calls.push_back({true, alpha, beta, EmptyCount, EndCutThreshold, EndProbability});
    return TOthelloEngine::EndSearchPV(alpha, beta, passed, margin);
  }
  int32_t EndSearchZW(int32_t alpha, int32_t beta, bool passed, int32_t& margin) override {
    Calls.push_back({false, alpha, beta, EmptyCount, EndCutThreshold, EndProbability});
    return TOthelloEngine::EndSearchZW(alpha, beta, passed, margin);
  }

  int32_t OwnWeight, OppWeight;
  int CountedEmpties = -1;
  int CountedEvaluations = 0;
  std::vector<TEndCall> Calls;
};

}  // namespace morvane::searchtest
