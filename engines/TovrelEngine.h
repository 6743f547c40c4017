// The Tovrel personality of the 8 x 8 board: the bitboard engine with its pattern operations
// written out for the Tovrel evaluation's fixed layout.
#pragma once

#include <cstdint>
#include <memory>

#include "engines/FixedPatternLayout.h"
#include "engines/Othello8x8PatternEngine.h"

namespace morvane {

class TTovrelEngine final : public TOthello8x8PatternEngine {
 public:
  // Instances per pattern of the Tovrel evaluation, in its order.
  using TLayout = fixed_layout::TLayout<4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 8>;
  static_assert(TLayout::InstanceCount == 46);

  // Throws std::runtime_error when the evaluation's layout is not Tovrel's.
  TTovrelEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits);
  ~TTovrelEngine() override;

  int32_t Evaluate() override;
  // The same score through the generic loop; nothing in the search calls it.
  int32_t EvaluateAlt() override;
  void MakeMove(const MoveRecord& record) override;
  void MakeMoveLight(const MoveRecord& record) override;
  void UnmakeMove(const MoveRecord& record) override;
  void UnmakeMoveLight(const MoveRecord& record) override;
};

}  // namespace morvane
