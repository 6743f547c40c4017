// The 10 x 10 board: the pattern engine with its own move order, an unrolled ray probe, a corner
// count for the move ordering, and the evaluation and leaf updates written out for the 10 x 10
// evaluation's fixed layout.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engines/TenByTenGrid.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane {

class TOthello10x10PatternEngine final : public TOthelloPatternEngine {
 public:
  // Instances per pattern of the 10 x 10 evaluation, in its order.
  using TLayout = fixed_layout::TLayout<4, 4, 4, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 8>;
  static_assert(TLayout::InstanceCount == 58);
  static constexpr int StageCount = 5;
  // 100 playable squares over five stages.
  static constexpr int StageWidth = 20;
  // Every square lies in 2 to 6 instances.
  static constexpr int FewestEntries = 2;
  static constexpr int MostEntries = 6;

  // Empty squares in the order every move loop visits them: corners first, the squares that
  // give corners away last.
  static constexpr int SquareOrder[100] = {
      13,  22,  121, 130, 15,  20,  37,  46,  97,  106, 123, 128, 39,  44,  99, 104, 17,
      18,  61,  73,  125, 126, 70,  82,  16,  19,  49,  85,  124, 127, 58,  94, 29,  30,
      62,  74,  113, 114, 69,  81,  28,  31,  50,  86,  112, 115, 57,  93,  52, 53,  54,
      55,  64,  65,  66,  67,  76,  77,  78,  79,  88,  89,  90,  91,  40,  41, 42,  43,
      51,  63,  75,  87,  100, 101, 102, 103, 92,  80,  68,  56,  38,  27,  32, 45,  98,
      105, 111, 116, 14,  21,  25,  34,  109, 118, 122, 129, 26,  33,  110, 117};

  // Each corner with its two neighbours on the edges.
  static constexpr int CornerGroups[4][3] = {
      {13, 14, 25}, {22, 21, 34}, {121, 109, 122}, {130, 129, 118}};

  // Throws std::runtime_error when the evaluation's layout is not the 10 x 10 one.
  TOthello10x10PatternEngine(std::string name, double hashSizeBits,
                             std::unique_ptr<TEvaluation> evaluation);
  ~TOthello10x10PatternEngine() override;

  void BuildEmptyList() override;
  int ProbeMove(int square, MoveRecord& record) override;
  int32_t Evaluate() override;
  int CornerStability(int colour) override { return CornerCount(Board, colour); }
  // Corners of the colour, each with its edge neighbours of the colour: 0 to 12.
  static int CornerCount(const int8_t* board, int colour);
  void MakeMoveLight(const MoveRecord& record) override;
  void UnmakeMoveLight(const MoveRecord& record) override;
};

}  // namespace morvane
