#include "training/PatternFeatures.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "engines/BitboardMoves.h"

namespace morvane::training {

namespace {

// The squares of one image as a sorted set.
std::vector<int32_t> AsSet(const std::vector<int32_t>& squares) {
  std::vector<int32_t> set = squares;
  std::sort(set.begin(), set.end());
  return set;
}

}  // namespace

TFeatureLayout::TFeatureLayout(const TEvaluation& evaluation, int playableSquares) {
  if (evaluation.Patterns.empty()) throw std::invalid_argument("the set-up has no patterns");
  Stages = evaluation.StageCount();
  const int width = evaluation.Patterns.front()->Width;
  if (width != 10 && width != 12)
    throw std::invalid_argument("the trainer fits 8 x 8 and 10-wide set-ups only");
  Playable = playableSquares > 0 ? playableSquares : (width - 2) * (width - 2);
  int64_t offset = 0;
  for (size_t p = 0; p < evaluation.Patterns.size(); ++p) {
    const TPattern& pattern = *evaluation.Patterns[p];
    if (pattern.Width != width) throw std::invalid_argument("the set-up mixes board sizes");
    const int n = pattern.SquareCount;
    TPatternInfo info;
    info.SquareCount = n;
    info.Multiplicity = pattern.Multiplicity.front();

    // The pattern's own symmetries as digit permutations: image j reads the first image's squares
    // in another order when both cover the same set.
    const std::vector<int32_t>& first = pattern.Images[0];
    std::vector<std::vector<int>> permutations;
    for (const auto& image : pattern.Images) {
      if (AsSet(image) != AsSet(first)) continue;
      std::vector<int> permutation(n);
      for (int k = 0; k < n; ++k)
        permutation[k] =
            static_cast<int>(std::find(first.begin(), first.end(), image[k]) - first.begin());
      permutations.push_back(std::move(permutation));
    }
    // Each table position joins the class of the smallest position its images reach.
    const int32_t size = Pow3[n];
    std::vector<int32_t> canonical(size);
    int digits[TPattern::MaxSquares];
    for (int32_t position = 0; position < size; ++position) {
      int32_t rest = position;
      for (int k = n - 1; k >= 0; --k) {
        digits[k] = rest % 3;
        rest /= 3;
      }
      int32_t smallest = position;
      for (const auto& permutation : permutations) {
        int32_t image = 0;
        for (int k = 0; k < n; ++k) image = 3 * image + digits[permutation[k]];
        smallest = std::min(smallest, image);
      }
      canonical[position] = smallest;
    }
    info.ClassOf.assign(size, -1);
    int classes = 0;
    for (int32_t position = 0; position < size; ++position)
      if (canonical[position] == position) info.ClassOf[position] = classes++;
    for (int32_t position = 0; position < size; ++position)
      info.ClassOf[position] = info.ClassOf[canonical[position]];
    if (classes > 65536) throw std::invalid_argument("a pattern has too many table classes");
    info.ClassCount = classes;
    info.Offset = offset;
    offset += int64_t{classes} * Stages;
    Patterns.push_back(std::move(info));

    for (const auto& squares : pattern.Instances) {
      TInstance instance{static_cast<int>(p), n, {}, {}};
      for (int k = 0; k < n; ++k) {
        instance.Cells[k] = static_cast<uint8_t>(squares[k]);
        instance.Bits[k] = width == 10 ? static_cast<uint8_t>(bits::BitOf(squares[k])) : 0;
      }
      Instances.push_back(instance);
    }
  }
  BiasStart = offset;
  StageOfDiscs.resize(Playable + 1);
  for (int discs = 0; discs <= Playable; ++discs)
    StageOfDiscs[discs] = evaluation.StageOf(discs, Playable);
}

int TFeatureLayout::StageOf(int discs) const {
  return StageOfDiscs[std::clamp(discs, 0, Playable)];
}

void TFeatureLayout::TablePositions(uint64_t own, uint64_t opp, int32_t* positions) const {
  const uint64_t empty = ~(own | opp);
  for (size_t i = 0; i < Instances.size(); ++i) {
    const TInstance& instance = Instances[i];
    int32_t position = 0;
    for (int k = 0; k < instance.SquareCount; ++k) {
      const int bit = instance.Bits[k];
      position = 3 * position + static_cast<int32_t>(2 * ((own >> bit) & 1) + ((empty >> bit) & 1));
    }
    positions[i] = position;
  }
}

void TFeatureLayout::Classes(uint64_t own, uint64_t opp, uint16_t* classes) const {
  int32_t positions[128];
  TablePositions(own, opp, positions);
  for (size_t i = 0; i < Instances.size(); ++i)
    classes[i] = static_cast<uint16_t>(Patterns[Instances[i].Pattern].ClassOf[positions[i]]);
}

void TFeatureLayout::TablePositions(const int8_t* board, int side, int32_t* positions) const {
  for (size_t i = 0; i < Instances.size(); ++i) {
    const TInstance& instance = Instances[i];
    int32_t position = 0;
    for (int k = 0; k < instance.SquareCount; ++k)
      position = 3 * position + 1 + board[instance.Cells[k]] * side;
    positions[i] = position;
  }
}

void TFeatureLayout::Classes(const int8_t* board, int side, uint16_t* classes) const {
  int32_t positions[128];
  TablePositions(board, side, positions);
  for (size_t i = 0; i < Instances.size(); ++i)
    classes[i] = static_cast<uint16_t>(Patterns[Instances[i].Pattern].ClassOf[positions[i]]);
}

std::vector<float> TFeatureLayout::Expand(const std::vector<double>& parameters,
                                          TEvaluation& evaluation) const {
  for (size_t p = 0; p < Patterns.size(); ++p) {
    const TPatternInfo& info = Patterns[p];
    TPattern& pattern = *evaluation.Patterns[p];
    for (int stage = 0; stage < Stages; ++stage) {
      std::vector<float>& table = pattern.Coefficients[stage];
      const double* values = parameters.data() + info.Offset + int64_t{stage} * info.ClassCount;
      for (size_t position = 0; position < table.size(); ++position)
        table[position] = static_cast<float>(values[info.ClassOf[position]]);
    }
  }
  std::vector<float> bias(151, 0.0f);
  for (int discs = 0; discs <= Playable; ++discs)
    bias[discs] = static_cast<float>(parameters[BiasStart + discs]);
  return bias;
}

}  // namespace morvane::training
