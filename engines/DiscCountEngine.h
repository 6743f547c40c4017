// The plainest concrete engine: the generic rules with the disc difference as evaluation, on any
// of the three boards. It counts perft, serves as the oracle board in tests, and searches where
// no coefficients exist.
#pragma once

#include "engine/BoardKind.h"
#include "engine/OthelloEngine.h"

namespace morvane {

class TDiscCountEngine final : public TOthelloEngine {
 public:
  TDiscCountEngine(double hashSizeBits, TBoardKind kind);
  ~TDiscCountEngine() override;

  int32_t Evaluate() override { return (OwnDiscs - OppDiscs) * DiscUnit; }
  int32_t EvaluateAlt() override { return Evaluate(); }
  void SaveStartPosition() override { SetupStartPosition(); }
  void RestoreStartPosition() override { SetupStartPosition(); }
  // On the octagon the cut corners are outside whatever the image says.
  void SetPosition(const int8_t* board, int side) override;

  const TBoardKind Kind;
};

}  // namespace morvane
