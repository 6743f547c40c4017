// The evaluation of each board type and personality: its pattern list, coefficient file stem,
// number of game stages and search parameters.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "evaluation/Patterns.h"

namespace morvane {

// Builds a set-up's patterns and parameters without reading any file (for training and for
// writing coefficient files); the coefficients stay zero and unconverted.
struct TPatternsOnly {};
inline constexpr TPatternsOnly PatternsOnly{};

// Fenwa's 8 x 8 evaluation, six stages.
class TFenwaEvaluation final : public TEvaluation {
 public:
  explicit TFenwaEvaluation(TProgressBar* bar, std::filesystem::path dataFolder = {});
  explicit TFenwaEvaluation(TPatternsOnly, std::filesystem::path dataFolder = {});
  static void AddPatterns(TEvaluation& evaluation);
};

// The Pellin personality of the 8 x 8 board, twelve stages.
class TPellinEvaluation final : public TEvaluation {
 public:
  explicit TPellinEvaluation(TProgressBar* bar, std::filesystem::path dataFolder = {});
  explicit TPellinEvaluation(TPatternsOnly, std::filesystem::path dataFolder = {});
  static void AddPatterns(TEvaluation& evaluation);
};

// The Tovrel personality of the 8 x 8 board, twelve stages.
class TTovrelEvaluation final : public TEvaluation {
 public:
  explicit TTovrelEvaluation(TProgressBar* bar, std::filesystem::path dataFolder = {});
  explicit TTovrelEvaluation(TPatternsOnly, std::filesystem::path dataFolder = {});
  static void AddPatterns(TEvaluation& evaluation);
};

// The 10 x 10 board, five stages; its coefficients are smoothed across the early stages.
class T10x10Evaluation final : public TEvaluation {
 public:
  explicit T10x10Evaluation(TProgressBar* bar, std::filesystem::path dataFolder = {});
  explicit T10x10Evaluation(TPatternsOnly, std::filesystem::path dataFolder = {});
  static void AddPatterns(TEvaluation& evaluation);
};

// The octagon board, eight stages.
class T8x8OctEvaluation final : public TEvaluation {
 public:
  explicit T8x8OctEvaluation(TProgressBar* bar, std::filesystem::path dataFolder = {});
  explicit T8x8OctEvaluation(TPatternsOnly, std::filesystem::path dataFolder = {});
  static void AddPatterns(TEvaluation& evaluation);
};

// Board side (8 or 10) of a set-up's patterns; 0 for an unknown name.
int EvaluationBoardSide(std::string_view name);

// Builds the set-up of that name, loading and converting its coefficients when loadFiles is
// set, otherwise only its patterns and parameters. Throws std::runtime_error for an unknown
// name, and whatever loading throws.
std::unique_ptr<TEvaluation> CreateEvaluation(const std::string& name, TProgressBar* bar,
                                              std::filesystem::path dataFolder,
                                              bool loadFiles = true);

}  // namespace morvane
