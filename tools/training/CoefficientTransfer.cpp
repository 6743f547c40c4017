#include "training/CoefficientTransfer.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace morvane::training {

std::vector<int> DropMiddle(int n, int m) {
  std::vector<int> digits(n, -1);
  const int head = m / 2, tail = m - head;
  for (int k = 0; k < head; ++k) digits[k] = k;
  for (int k = 0; k < tail; ++k) digits[n - tail + k] = head + k;
  return digits;
}

std::vector<int> SpreadEnds(int n, int m) {
  std::vector<int> digits(n);
  for (int k = 0; k < n; ++k) digits[k] = k < n / 2 ? k : m - (n - k);
  return digits;
}

namespace {

std::vector<int> Same(int n) {
  std::vector<int> digits(n);
  std::iota(digits.begin(), digits.end(), 0);
  return digits;
}

// The source stage holding the same share of the board filled as the middle of a target stage.
int SourceStage(const TEvaluation& source, int sourceSquares, const TEvaluation& target,
                int targetSquares, int stage) {
  const int width = targetSquares / target.StageCount();
  const double middle = 5 + width * stage + (width - 1) / 2.0;
  const int discs = static_cast<int>(middle * sourceSquares / targetSquares + 0.5);
  return source.StageOf(discs, sourceSquares);
}

}  // namespace

std::vector<TPatternTransfer> TransferPlan(const std::string& name) {
  // Patterns of "Bot8x8": 0-3 rows 1-4, 4 main diagonal, 5-8 diagonals of 7, 6, 5, 4,
  // 9 the 3 x 3 corner, 10 the 2 x 5 corner block.
  if (name == "Bot10x10") {
    return {{0, DropMiddle(10, 8), 1.0},
            {1, DropMiddle(10, 8), 1.0},
            {2, DropMiddle(10, 8), 1.0},
            // Row 4 is looked up twice, in two tables: each takes half.
            {3, DropMiddle(10, 8), 0.5},
            {3, DropMiddle(10, 8), 0.5},
            {4, DropMiddle(10, 8), 1.0},
            {5, DropMiddle(9, 7), 1.0},
            {6, DropMiddle(8, 6), 1.0},
            {7, DropMiddle(7, 5), 1.0},
            {8, DropMiddle(6, 4), 1.0},
            {-1, {}, 0},
            {-1, {}, 0},
            {9, Same(9), 1.0},
            {10, Same(10), 1.0}};
  }
  if (name == "Bot8x8Oct") {
    // The octagon's edges run between its corner squares; its rows 3 to 5 cross the board from
    // corner to corner like the 8 x 8 rows, read without their middle.
    return {{0, SpreadEnds(6, 8), 1.0},
            {1, Same(8), 1.0},
            {2, DropMiddle(10, 8), 1.0},
            {3, DropMiddle(10, 8), 1.0},
            {3, DropMiddle(10, 8), 1.0},
            {0, SpreadEnds(6, 8), 1.0},
            {1, Same(8), 1.0},
            {2, DropMiddle(10, 8), 1.0},
            {3, DropMiddle(10, 8), 1.0},
            {3, DropMiddle(10, 8), 1.0},
            {4, Same(8), 1.0},
            {5, Same(7), 1.0},
            {4, Same(8), 1.0},
            {5, Same(7), 1.0},
            {6, Same(6), 1.0},
            {7, Same(5), 1.0},
            {-1, {}, 0},
            {-1, {}, 0},
            {-1, {}, 0}};
  }
  throw std::invalid_argument("no transfer plan for " + name);
}

std::vector<float> TransferCoefficients(const TEvaluation& source, int sourceSquares,
                                        TEvaluation& target, int targetSquares,
                                        const std::vector<TPatternTransfer>& plan) {
  if (plan.size() != target.Patterns.size())
    throw std::invalid_argument("the transfer plan does not fit the set-up");
  const double scale = static_cast<double>(targetSquares) / sourceSquares;
  for (size_t p = 0; p < plan.size(); ++p) {
    TPattern& pattern = *target.Patterns[p];
    const TPatternTransfer& transfer = plan[p];
    for (int stage = 0; stage < pattern.StageCount; ++stage) {
      std::vector<float>& table = pattern.Coefficients[stage];
      if (transfer.Source < 0) {
        std::fill(table.begin(), table.end(), 0.0f);
        continue;
      }
      const TPattern& from = *source.Patterns[transfer.Source];
      if (static_cast<int>(transfer.SourceDigit.size()) != pattern.SquareCount)
        throw std::invalid_argument("a transfer maps the wrong number of squares");
      const std::vector<float>& values =
          from.Coefficients[SourceStage(source, sourceSquares, target, targetSquares, stage)];
      const int n = pattern.SquareCount, m = from.SquareCount;
      // Source squares the target does not have are averaged over all their contents.
      std::vector<bool> mapped(m, false);
      for (const int digit : transfer.SourceDigit)
        if (digit >= 0) mapped[digit] = true;
      std::vector<int32_t> fillers = {0};
      for (int j = 0; j < m; ++j) {
        if (mapped[j]) continue;
        std::vector<int32_t> wider;
        for (const int32_t filler : fillers)
          for (int digit = 0; digit < 3; ++digit) wider.push_back(filler + digit * Pow3[m - 1 - j]);
        fillers = std::move(wider);
      }
      for (int32_t position = 0; position < Pow3[n]; ++position) {
        int32_t rest = position, sourcePosition = 0;
        for (int k = n - 1; k >= 0; --k) {
          const int digit = rest % 3;
          rest /= 3;
          if (transfer.SourceDigit[k] >= 0)
            sourcePosition += digit * Pow3[m - 1 - transfer.SourceDigit[k]];
        }
        double sum = 0;
        for (const int32_t filler : fillers) sum += values[sourcePosition + filler];
        table[position] =
            static_cast<float>(transfer.Weight * scale * sum / static_cast<double>(fillers.size()));
      }
    }
  }
  std::vector<float> bias(151, 0.0f);
  for (int discs = 4; discs <= targetSquares; ++discs) {
    const int from =
        static_cast<int>(static_cast<double>(discs) * sourceSquares / targetSquares + 0.5);
    bias[discs] = static_cast<float>(scale * source.Bias[std::max(from, 4)] / 1e6);
  }
  return bias;
}

}  // namespace morvane::training
