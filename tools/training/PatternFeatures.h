// The features of a set-up's pattern list as the fit sees them. Every placed instance of a
// pattern looks up the same stage table, and an instance that maps onto itself under a symmetry
// (an edge row read backwards) must find the same value for both readings, or two mirror-image
// positions would be scored differently. So the fit works on one parameter per class of table
// positions that the pattern's own symmetries exchange, and the engine's multiplicity factor is
// the feature's value.
#pragma once

#include <cstdint>
#include <vector>

#include "evaluation/Patterns.h"

namespace morvane::training {

class TFeatureLayout {
 public:
  // Only the pattern list of `evaluation` (a patterns-only set-up) is read. An 8 x 8 set-up
  // reads positions as bitboards, a 10-wide one as board images; `playableSquares` (0: the
  // whole grid) sets the disc counts of the stages and Bias terms.
  explicit TFeatureLayout(const TEvaluation& evaluation, int playableSquares = 0);

  struct TInstance {
    int Pattern;
    int SquareCount;
    uint8_t Bits[TPattern::MaxSquares];   // 8 x 8 bit numbers, first square most significant
    uint8_t Cells[TPattern::MaxSquares];  // the same squares as board-image cells
  };
  struct TPatternInfo {
    int SquareCount;
    int Multiplicity;              // of the first instance; ConvertToIntegers scales by it
    int ClassCount;                // parameters per stage
    int64_t Offset;                // first parameter of stage 0; stage s follows at s * ClassCount
    std::vector<int32_t> ClassOf;  // table position -> class
  };

  int StageCount() const { return Stages; }
  int PlayableSquares() const { return Playable; }
  int InstanceCount() const { return static_cast<int>(Instances.size()); }
  // Pattern parameters of all stages, then one Bias parameter per disc count 0..PlayableSquares.
  int64_t ParameterCount() const { return BiasStart + Playable + 1; }
  int64_t BiasOffset() const { return BiasStart; }
  int StageOf(int discs) const;

  // The table position of every instance for the side owning `own`: digit 2 for its own disc,
  // 1 for an empty square, 0 for the opponent's, first square most significant.
  void TablePositions(uint64_t own, uint64_t opp, int32_t* positions) const;
  // The class of every instance (the features of one position); fits in 16 bits for 8 x 8.
  void Classes(uint64_t own, uint64_t opp, uint16_t* classes) const;
  // The same from a board image (cells 1 black, -1 white) with `side` to move.
  void TablePositions(const int8_t* board, int side, int32_t* positions) const;
  void Classes(const int8_t* board, int side, uint16_t* classes) const;
  // Parameter index of instance i's class at a stage.
  int64_t Parameter(int instance, int stage, int cls) const {
    const TPatternInfo& info = Patterns[Instances[instance].Pattern];
    return info.Offset + int64_t{stage} * info.ClassCount + cls;
  }
  int Multiplicity(int instance) const {
    return Patterns[Instances[instance].Pattern].Multiplicity;
  }

  // Writes the fitted parameters into the evaluation's coefficient arrays (every table position
  // gets its class's value) and returns the Bias terms in discs for 0..150 discs.
  std::vector<float> Expand(const std::vector<double>& parameters, TEvaluation& evaluation) const;

  std::vector<TInstance> Instances;
  std::vector<TPatternInfo> Patterns;

 private:
  int Stages = 0;
  int Playable = 64;
  int64_t BiasStart = 0;
  std::vector<int> StageOfDiscs;
};

}  // namespace morvane::training
