#include "engines/PellinEngine.h"

#include <utility>

namespace morvane {

using fixed_layout::MoveDiscs;

TPellinEngine::TPellinEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
    : TOthello8x8PatternEngine(
          "Pellin", fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "Pellin"),
          hashSizeBits) {}

TPellinEngine::~TPellinEngine() = default;

int32_t TPellinEngine::Evaluate() { return fixed_layout::Score<TLayout>(*this, BiasTable); }

int32_t TPellinEngine::EvaluateAlt() { return PatternScore(); }

void TPellinEngine::MakeMove(const MoveRecord& record) {
  MoveDiscs<false, true>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TPellinEngine::UnmakeMove(const MoveRecord& record) {
  MoveDiscs<true, true>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TPellinEngine::MakeMoveLight(const MoveRecord& record) {
  MoveDiscs<false, false>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
}

void TPellinEngine::UnmakeMoveLight(const MoveRecord& record) {
  MoveDiscs<true, false>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
}

}  // namespace morvane
