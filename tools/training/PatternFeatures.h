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
  // `evaluation` is a patterns-only 8 x 8 set-up; only its pattern list is read.
  explicit TFeatureLayout(const TEvaluation& evaluation);

  struct TInstance {
    int Pattern;
    int SquareCount;
    uint8_t Bits[TPattern::MaxSquares];  // bit numbers, first square most significant
  };
  struct TPatternInfo {
    int SquareCount;
    int Multiplicity;              // of the first instance; ConvertToIntegers scales by it
    int ClassCount;                // parameters per stage
    int64_t Offset;                // first parameter of stage 0; stage s follows at s * ClassCount
    std::vector<int32_t> ClassOf;  // table position -> class
  };

  int StageCount() const { return Stages; }
  int InstanceCount() const { return static_cast<int>(Instances.size()); }
  // Pattern parameters of all stages, then one Bias parameter per disc count 0..64.
  int64_t ParameterCount() const { return BiasStart + 65; }
  int64_t BiasOffset() const { return BiasStart; }
  int StageOf(int discs) const;

  // The table position of every instance for the side owning `own`: digit 2 for its own disc,
  // 1 for an empty square, 0 for the opponent's, first square most significant.
  void TablePositions(uint64_t own, uint64_t opp, int32_t* positions) const;
  // The class of every instance (the features of one position); fits in 16 bits for 8 x 8.
  void Classes(uint64_t own, uint64_t opp, uint16_t* classes) const;
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
  int64_t BiasStart = 0;
  std::vector<int> StageOfDiscs;
};

}  // namespace morvane::training
