// The Pellin personality of the 8 x 8 board: the bitboard engine with its pattern operations
// written out for the Pellin evaluation's fixed layout.
#pragma once

#include <memory>

#include "engines/PersonalityEngine.h"

namespace morvane {

// Instances per pattern of the Pellin evaluation, in its order.
using TPellinLayout = fixed_layout::TLayout<4, 4, 4, 4, 2, 4, 4, 4, 4, 8>;
static_assert(TPellinLayout::InstanceCount == 42);

class TPellinEngine final : public TPersonalityEngine<TPellinLayout> {
 public:
  TPellinEngine(std::unique_ptr<TEvaluation> evaluation, double hashSizeBits)
      : TPersonalityEngine("Pellin", std::move(evaluation), hashSizeBits) {}
};

}  // namespace morvane
