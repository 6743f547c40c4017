// train: fits a set-up's coefficient tables to the labelled positions of the game archives and
// writes its .coe file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "Commands.h"
#include "Failures.h"
#include "TrainingCommon.h"
#include "evaluation/EvaluationSetups.h"
#include "training/PatternFit.h"
#include "training/TrainedFiles.h"
#include "training/TrainingSet.h"

namespace morvane::cli {

namespace {

const char* const TrainUsage =
    "usage: train --eval NAME --archives DIR --out DATA_DIR [--labels results|exact]\n"
    "             [--label-cache DIR] [--iterations N] [--lambda L] [--blend W]\n"
    "             [--max-games N] [--share PERCENT] [--exact-only EMPTIES] [--checkpoint FILE]";

}  // namespace

int RunTrain(const TArguments& arguments) {
  arguments.Allow({"eval", "archives", "out", "labels", "label-cache", "iterations", "lambda",
                   "blend", "max-games", "share", "exact-only", "checkpoint"});
  if (!arguments.Positional().empty()) throw TUsageError(TrainUsage);
  const std::string name = EightByEightName(arguments, TrainUsage);
  const auto archives = arguments.Option("archives");
  const auto out = arguments.Option("out");
  if (!archives || !out) throw TUsageError(TrainUsage);
  const std::string labels = arguments.OptionOr("labels", "results");
  if (labels != "results" && labels != "exact")
    throw TUsageError("--labels must be results or exact, not \"" + labels + "\"");

  training::TTrainingSetOptions setOptions;
  setOptions.Kind = labels == "exact" ? training::TLabelKind::Exact : training::TLabelKind::Results;
  setOptions.LabelFolder = arguments.OptionOr("label-cache", "");
  // Without its caches an exact fit would quietly train on the results.
  if (setOptions.Kind == training::TLabelKind::Exact) {
    if (setOptions.LabelFolder.empty())
      throw TUsageError("--labels exact needs --label-cache DIR, the folder solve-labels filled");
    std::error_code error;
    if (!std::filesystem::is_directory(setOptions.LabelFolder, error))
      throw TDataError("the label cache folder \"" + setOptions.LabelFolder.string() +
                       "\" does not exist");
  }
  setOptions.MaxGames = arguments.IntOption("max-games", 0, 0, 100'000'000);
  const int share = static_cast<int>(arguments.IntOption("share", 100, 1, 100));
  // Late positions whose label is only a value reached later in their game (after the players'
  // moves) may be left out, so that those stages learn from exact values alone.
  const int exactOnly = static_cast<int>(arguments.IntOption("exact-only", 0, 0, 60));

  training::TFitOptions fitOptions;
  fitOptions.Iterations = static_cast<int>(arguments.IntOption("iterations", 120, 1, 100000));
  fitOptions.Lambda = DoubleOption(arguments, "lambda", fitOptions.Lambda, 0.0, 1e6);
  fitOptions.BlendWeight = DoubleOption(arguments, "blend", fitOptions.BlendWeight, 0.0, 1.0);
  fitOptions.Progress = PrintLine;

  auto evaluation = CreateEvaluation(name, nullptr, *out, /*loadFiles=*/false);
  const training::TFeatureLayout layout(*evaluation);
  const std::filesystem::path target = evaluation->FilePath(".coe");
  fitOptions.Checkpoint = arguments.OptionOr(
      "checkpoint",
      (WorkFolder() / (name + "-" + labels + "-" + std::to_string(share) +
                       (exactOnly > 0 ? "-exact" + std::to_string(exactOnly) : "") + ".fit"))
          .string());
  RequireFileOrNothing(fitOptions.Checkpoint, "--checkpoint");

  const auto began = std::chrono::steady_clock::now();
  PrintLine("reading the archives in " + *archives);
  int64_t rejected = 0;
  std::vector<training::TLabelledPosition> positions = ReadingInput([&] {
    return training::BuildTrainingSet(*archives, setOptions, [&](const std::string& line) {
      ++rejected;
      if (rejected <= 20) PrintLine("rejected " + line);
    });
  });
  // A learning curve trains on a share of the training positions; the held-out games stay whole.
  if (share < 100) {
    std::erase_if(positions, [&](const training::TLabelledPosition& position) {
      if (position.Flags & training::HeldOut) return false;
      const uint64_t key = (position.Own * 0x9E3779B97F4A7C15ull) ^ position.Opp;
      return static_cast<int>((key >> 40) % 100) >= share;
    });
  }
  if (exactOnly > 0) {
    std::erase_if(positions, [&](const training::TLabelledPosition& position) {
      return !(position.Flags & training::HeldOut) && position.Empties <= exactOnly &&
             !(position.Flags & training::ExactLabel);
    });
  }
  // Grouping the positions by stage keeps each pass over them inside one stage's tables.
  std::stable_sort(positions.begin(), positions.end(),
                   [](const auto& a, const auto& b) { return a.Empties > b.Empties; });
  int64_t heldOut = 0, exact = 0;
  for (const auto& position : positions) {
    heldOut += (position.Flags & training::HeldOut) != 0;
    exact += (position.Flags & training::ExactLabel) != 0;
  }
  PrintLine(Format("%lld positions (%lld held out, %lld with exact labels), %lld lines rejected",
                   static_cast<long long>(positions.size()), static_cast<long long>(heldOut),
                   static_cast<long long>(exact), static_cast<long long>(rejected)));

  training::TPatternFit fit(layout, positions, fitOptions);
  if (fit.TrainingRows() == 0)
    throw TDataError("no position to train on in " + *archives + "; nothing written");
  PrintLine(Format("%lld parameters, %lld training rows; fitting",
                   static_cast<long long>(layout.ParameterCount()),
                   static_cast<long long>(fit.TrainingRows())));
  const std::vector<double> parameters = fit.Solve();

  const training::THeldOutErrors errors =
      training::MeasureHeldOut(fit, parameters, positions, layout.StageCount(), layout);
  for (int stage = 0; stage < layout.StageCount(); ++stage)
    PrintLine(
        Format("held-out stage %2d: %7lld positions, error %.2f discs against results, "
               "%.2f against labels",
               stage, static_cast<long long>(errors.ByStageCount[stage]),
               errors.ByStageResult[stage], errors.ByStageLabel[stage]));
  PrintLine(
      Format("held-out error at 24 empties against exact scores: %.2f discs (%lld "
             "positions); against every exact score: %.2f discs (%lld); against labels: "
             "%.2f",
             errors.At24Exact, static_cast<long long>(errors.At24Count), errors.ExactAll,
             static_cast<long long>(errors.ExactCount), errors.Label));
  PrintLine(Format("training positions at 24 empties against exact scores: %.2f discs (%lld)",
                   errors.TrainingAt24Exact, static_cast<long long>(errors.TrainingAt24Count)));

  const std::vector<float> bias = layout.Expand(parameters, *evaluation);
  // The tail holds Bias for 4 discs up to a full board.
  training::WriteCoefficients(*evaluation, std::span<const float>(bias.data() + 4, 61), target);
  std::printf("wrote %s (%.0f s)\n", target.string().c_str(),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  return 0;
}

}  // namespace morvane::cli
