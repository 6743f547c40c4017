#include "engines/TovrelEngine.h"

#include <utility>

namespace morvane {

using fixed_layout::MoveDiscs;

TTovrelEngine::TTovrelEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
    : TOthello8x8PatternEngine(
          "Tovrel", fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "Tovrel"),
          hashSizeBits) {}

TTovrelEngine::~TTovrelEngine() = default;

int32_t TTovrelEngine::Evaluate() { return fixed_layout::Score<TLayout>(*this, BiasTable); }

int32_t TTovrelEngine::EvaluateAlt() { return PatternScore(); }

void TTovrelEngine::MakeMove(const MoveRecord& record) {
  MoveDiscs<false, true>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TTovrelEngine::UnmakeMove(const MoveRecord& record) {
  MoveDiscs<true, true>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TTovrelEngine::MakeMoveLight(const MoveRecord& record) {
  MoveDiscs<false, false>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
}

void TTovrelEngine::UnmakeMoveLight(const MoveRecord& record) {
  MoveDiscs<true, false>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
}

}  // namespace morvane
