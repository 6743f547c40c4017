// What the two 8 x 8 personalities share: the bitboard engine with its six pattern operations
// written out for one fixed layout. A personality is this template with its layout and name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "engines/FixedPatternLayout.h"
#include "engines/Othello8x8PatternEngine.h"

namespace morvane {

template <typename Layout>
class TPersonalityEngine : public TOthello8x8PatternEngine {
 public:
  using TLayout = Layout;

  // Throws std::runtime_error when the evaluation's layout is not the personality's.
  TPersonalityEngine(const std::string& name, std::unique_ptr<TEvaluation> evaluation,
                     double hashSizeBits)
      : TOthello8x8PatternEngine(name,
                                 fixed_layout::RequireLayout<Layout>(
                                     std::move(evaluation), name, fixed_layout::StageCount8x8,
                                     fixed_layout::MaxEntriesPerSquare8x8),
                                 hashSizeBits) {}

  int32_t Evaluate() override {
    return fixed_layout::Score<Layout, fixed_layout::StageCount8x8, fixed_layout::StageWidth8x8>(
        *this, BiasTable);
  }
  // The same score through the generic loop; nothing in the search calls it.
  int32_t EvaluateAlt() override { return PatternScore(); }

  void MakeMove(const MoveRecord& record) override {
    fixed_layout::MoveDiscs<false, true>(*this, record);
    OwnDiscs += record.FlipCount + 1;
    OppDiscs -= record.FlipCount;
    --EmptyCount;
    UnlinkEmpty(record.Square);
    HashLo ^= record.HashDeltaLo;
    HashHi ^= record.HashDeltaHi;
  }

  void UnmakeMove(const MoveRecord& record) override {
    fixed_layout::MoveDiscs<true, true>(*this, record);
    OwnDiscs -= record.FlipCount + 1;
    OppDiscs += record.FlipCount;
    ++EmptyCount;
    RelinkEmpty(record.Square);
    HashLo ^= record.HashDeltaLo;
    HashHi ^= record.HashDeltaHi;
  }

  void MakeMoveLight(const MoveRecord& record) override {
    fixed_layout::MoveDiscs<false, false>(*this, record);
    OwnDiscs += record.FlipCount + 1;
    OppDiscs -= record.FlipCount;
    --EmptyCount;
  }

  void UnmakeMoveLight(const MoveRecord& record) override {
    fixed_layout::MoveDiscs<true, false>(*this, record);
    OwnDiscs -= record.FlipCount + 1;
    OppDiscs += record.FlipCount;
    ++EmptyCount;
  }
};

}  // namespace morvane
