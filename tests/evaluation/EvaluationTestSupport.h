// Helpers shared by the evaluation tests: a scratch folder that cleans up after itself, loaded
// set-ups with random coefficients, and oracles that recompute pattern indices and scores
// straight from the board.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/BoardKind.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "engines/OthelloPatternEngine.h"

namespace morvane::testing_support {

namespace fs = std::filesystem;

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& tag) {
    static std::atomic<int> counter{0};
    std::random_device entropy;
    Path =
        fs::temp_directory_path() / ("morvane-" + tag + "-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(counter++) + "-" + std::to_string(entropy()));
    fs::create_directories(Path);
  }
  ~TTempFolder() {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  fs::path Path;
};

// Random coefficients for the named set-up, written once per test process into one scratch
// folder (removed when the process ends), and loaded afresh for every caller.
inline std::unique_ptr<TEvaluation> SharedEvaluation(const std::string& name) {
  static TTempFolder folder("shared-coefficients");
  static std::set<std::string> written;
  if (written.insert(name).second) {
    const auto layout = CreateEvaluation(name, nullptr, folder.Path, false);
    WriteCoefficientFile(*layout, layout->FilePath(".coe"),
                         17 + static_cast<uint32_t>(name.size()));
  }
  return CreateEvaluation(name, nullptr, folder.Path, true);
}

// Every table entry of every stage drawn uniformly from [-limit, limit].
inline void FillTablesRandomly(TEvaluation& evaluation, std::mt19937& rng, float limit) {
  std::uniform_real_distribution<float> value(-limit, limit);
  for (auto& pattern : evaluation.Patterns)
    for (auto& stage : pattern->Coefficients)
      for (float& coefficient : stage) coefficient = value(rng);
}

// The octagon engine proper lives elsewhere; this one only blocks the cut corners.
class TOctagonTestEngine final : public TOthelloPatternEngine {
 public:
  explicit TOctagonTestEngine(std::unique_ptr<TEvaluation> evaluation)
      : TOthelloPatternEngine("OctagonTest", 10, 10, std::move(evaluation)) {
    BlockedCount = 12;
  }
  void SetPosition(const int8_t* board, int side) override {
    int8_t blocked[MaxCells];
    std::memcpy(blocked, board, MaxCells);
    BlockOctagonCorners(blocked);
    TOthelloPatternEngine::SetPosition(blocked, side);
  }
};

inline std::unique_ptr<TOthelloPatternEngine> MakeEngine(TBoardKind kind,
                                                         std::unique_ptr<TEvaluation> evaluation) {
  if (kind == TBoardKind::Octagon)
    return std::make_unique<TOctagonTestEngine>(std::move(evaluation));
  return std::make_unique<TOthelloPatternEngine>("PatternTest", 10, BoardSideOf(kind),
                                                 std::move(evaluation));
}

// Indices of every placed instance, read off the board: one ternary digit per square, first
// square most significant.
inline std::vector<int32_t> IndicesFromBoard(const TEvaluation& evaluation, const int8_t* board) {
  std::vector<int32_t> indices;
  for (const auto& pattern : evaluation.Patterns) {
    for (const auto& instance : pattern->Instances) {
      int32_t index = 0;
      for (const int32_t square : instance) {
        const int digit = board[square] == BlackCell ? 1 : board[square] == WhiteCell ? -1 : 0;
        index = index * 3 + digit;
      }
      indices.push_back(index);
    }
  }
  return indices;
}

inline std::vector<int32_t> EngineIndices(const TOthelloPatternEngine& engine) {
  return std::vector<int32_t>(engine.PatternIndex, engine.PatternIndex + engine.InstanceCount);
}

// The score of the board for `side` to move at a given stage, summed from the stage tables.
inline int64_t ScoreFromTables(const TEvaluation& evaluation, const int8_t* board, int side,
                               int stage, int discs) {
  int64_t sum = evaluation.Bias[discs];
  size_t i = 0;
  const std::vector<int32_t> indices = IndicesFromBoard(evaluation, board);
  for (const auto& pattern : evaluation.Patterns) {
    const int32_t middle = (Pow3[pattern->SquareCount] - 1) / 2;
    for (size_t instance = 0; instance < pattern->Instances.size(); ++instance, ++i) {
      const int32_t position = side == BlackCell ? middle + indices[i] : middle - indices[i];
      sum += pattern->Tables[stage][position];
    }
  }
  return sum;
}

// What Evaluate must give: the table sum at the stage, or, once one colour has no disc left and
// the game is over, the final margin with the empty squares to the winner.
inline int64_t EvaluationFromTables(const TEvaluation& evaluation, const int8_t* board, int side,
                                    int stage, int discs, int playable) {
  int own = 0, opp = 0;
  for (int cell = 0; cell < MaxCells; ++cell) {
    own += board[cell] == side;
    opp += board[cell] == -side;
  }
  if (own == 0 || opp == 0) {
    const int margin = own > opp ? playable - 2 * opp : own < opp ? 2 * own - playable : 0;
    return int64_t{margin} * DiscUnit;
  }
  return ScoreFromTables(evaluation, board, side, stage, discs);
}

inline int DiscsOn(const int8_t* board) {
  int discs = 0;
  for (int cell = 0; cell < MaxCells; ++cell)
    discs += board[cell] == BlackCell || board[cell] == WhiteCell;
  return discs;
}

}  // namespace morvane::testing_support
