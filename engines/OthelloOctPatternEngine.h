// The octagon board: the 10 x 10 grid with three cells cut off at each corner. The pattern
// engine with the octagon's move order, an unrolled ray probe, the evaluation and leaf updates
// written out for the octagon evaluation's fixed layout, and a position loader that keeps the
// cut cells outside whatever the image says.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engines/TenByTenGrid.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane {

class TOthelloOctPatternEngine final : public TOthelloPatternEngine {
 public:
  // Instances per pattern of the octagon evaluation, in its order.
  using TLayout = fixed_layout::TLayout<4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 4, 8, 4>;
  static_assert(TLayout::InstanceCount == 78);
  static constexpr int StageCount = 8;
  // 88 playable squares over eight stages.
  static constexpr int StageWidth = 11;
  // Every playable square lies in 6 to 9 instances.
  static constexpr int FewestEntries = 6;
  static constexpr int MostEntries = 9;
  static constexpr int CutCells = 12;

  // The playable squares in the order every move loop visits them: the octagon's corners first,
  // the squares that give them away last. The cut cells are never empty, so they have no place.
  static constexpr int SquareOrder[88] = {
      15, 20, 37,  46,  97,  106, 123, 128, 17, 18, 61,  73,  125, 126, 70, 82,  29,  30,
      62, 74, 113, 114, 69,  81,  28,  31,  50, 86, 112, 115, 57,  93,  52, 53,  54,  55,
      64, 65, 66,  67,  76,  77,  78,  79,  88, 89, 90,  91,  40,  41,  42, 43,  51,  63,
      75, 87, 100, 101, 102, 103, 92,  80,  68, 56, 38,  27,  32,  45,  98, 105, 111, 116,
      39, 44, 99,  104, 26,  33,  110, 117, 16, 19, 49,  85,  124, 127, 58, 94};

  // Throws std::runtime_error when the evaluation's layout is not the octagon one.
  TOthelloOctPatternEngine(std::string name, double hashSizeBits,
                           std::unique_ptr<TEvaluation> evaluation);
  ~TOthelloOctPatternEngine() override;

  void BuildEmptyList() override;
  int ProbeMove(int square, MoveRecord& record) override;
  int32_t Evaluate() override;
  void MakeMoveLight(const MoveRecord& record) override;
  void UnmakeMoveLight(const MoveRecord& record) override;
  // Loads a copy of the image with the twelve cut cells set outside.
  void SetPosition(const int8_t* board, int side) override;
};

}  // namespace morvane
