#include "engines/PellinEngine.h"

#include <utility>

namespace morvane {

namespace {

using fixed_layout::MoveDiscs;
using fixed_layout::TEntries;
using fixed_layout::TMoveRule;

// Entries applied per square: the played square, the first flipped square, the others.
constexpr TMoveRule MakeRule = {TEntries::FourOrEight, TEntries::Eight, TEntries::FourOrEight};
constexpr TMoveRule UnmakeRule = {TEntries::Exact, TEntries::Exact, TEntries::Exact};
constexpr TMoveRule LightRule = {TEntries::Exact, TEntries::Exact, TEntries::Exact};

}  // namespace

TPellinEngine::TPellinEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
    : TOthello8x8PatternEngine(
          "Pellin", fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "Pellin"),
          hashSizeBits) {}

TPellinEngine::~TPellinEngine() = default;

int32_t TPellinEngine::Evaluate() { return fixed_layout::Score<TLayout>(*this, BiasTable); }

int32_t TPellinEngine::EvaluateAlt() { return PatternScore(); }

void TPellinEngine::MakeMove(const MoveRecord& record) {
  MoveDiscs<MakeRule, false, true>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TPellinEngine::UnmakeMove(const MoveRecord& record) {
  MoveDiscs<UnmakeRule, true, true>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TPellinEngine::MakeMoveLight(const MoveRecord& record) {
  MoveDiscs<LightRule, false, false>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
}

void TPellinEngine::UnmakeMoveLight(const MoveRecord& record) {
  MoveDiscs<LightRule, true, false>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
}

}  // namespace morvane
