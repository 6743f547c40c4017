#include "engines/TovrelEngine.h"

#include <utility>

namespace morvane {

namespace {

using fixed_layout::MoveDiscs;
using fixed_layout::TEntries;
using fixed_layout::TMoveRule;

// Entries applied per square: the played square, the first flipped square, the others.
constexpr TMoveRule MakeRule = {TEntries::Eight, TEntries::Eight, TEntries::FourOrEight};
constexpr TMoveRule UnmakeRule = {TEntries::Eight, TEntries::Eight, TEntries::Eight};
constexpr TMoveRule LightRule = {TEntries::Exact, TEntries::Exact, TEntries::Exact};

}  // namespace

TTovrelEngine::TTovrelEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
    : TOthello8x8PatternEngine(
          "Tovrel", fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "Tovrel"),
          hashSizeBits) {}

TTovrelEngine::~TTovrelEngine() = default;

int32_t TTovrelEngine::Evaluate() { return fixed_layout::Score<TLayout>(*this, BiasTable); }

int32_t TTovrelEngine::EvaluateAlt() { return PatternScore(); }

void TTovrelEngine::MakeMove(const MoveRecord& record) {
  MoveDiscs<MakeRule, false, true>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
  UnlinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TTovrelEngine::UnmakeMove(const MoveRecord& record) {
  MoveDiscs<UnmakeRule, true, true>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
  RelinkEmpty(record.Square);
  HashLo ^= record.HashDeltaLo;
  HashHi ^= record.HashDeltaHi;
}

void TTovrelEngine::MakeMoveLight(const MoveRecord& record) {
  MoveDiscs<LightRule, false, false>(*this, record);
  OwnDiscs += record.FlipCount + 1;
  OppDiscs -= record.FlipCount;
  --EmptyCount;
}

void TTovrelEngine::UnmakeMoveLight(const MoveRecord& record) {
  MoveDiscs<LightRule, true, false>(*this, record);
  OwnDiscs -= record.FlipCount + 1;
  OppDiscs += record.FlipCount;
  ++EmptyCount;
}

}  // namespace morvane
