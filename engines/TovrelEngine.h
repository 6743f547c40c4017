// The Tovrel personality of the 8 x 8 board: the bitboard engine with its pattern operations
// written out for the Tovrel evaluation's fixed layout.
#pragma once

#include <memory>

#include "engines/PersonalityEngine.h"

namespace morvane {

// Instances per pattern of the Tovrel evaluation, in its order.
using TTovrelLayout = fixed_layout::TLayout<4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 8>;
static_assert(TTovrelLayout::InstanceCount == 46);

class TTovrelEngine final : public TPersonalityEngine<TTovrelLayout> {
 public:
  TTovrelEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
      : TPersonalityEngine("Tovrel", std::move(evaluation), hashSizeBits) {}
};

}  // namespace morvane
