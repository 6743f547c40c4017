// fit-selfplay: fits a set-up's tables (or a correction to them) to self-play games, writes its
// .coe, and measures the static evaluation's error against exact values on held-out positions.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "Commands.h"
#include "Failures.h"
#include "SelfPlayCommon.h"
#include "TrainingCommon.h"
#include "engines/EngineFactory.h"
#include "evaluation/EvaluationSetups.h"
#include "training/SelfPlayTraining.h"
#include "training/TrainedFiles.h"

namespace morvane::cli {

namespace {

const char* const FitSelfPlayUsage =
    "usage: fit-selfplay --eval NAME --out DATA_DIR [--iterations N] [--lambda L]\n"
    "             [--blend W] [--measure-empties E] [--compare DIR,DIR...] [--checkpoint FILE]\n"
    "             [--prior DATA_DIR] [--relabel-level D/E] [--relabel-weight W]\n"
    "             [--archives DIR] GAME_FILE...";

constexpr int ArchiveMeasureEmpties = 24;

}  // namespace

int RunFitSelfPlay(const TArguments& arguments) {
  arguments.Allow({"eval", "out", "iterations", "lambda", "blend", "measure-empties", "compare",
                   "checkpoint", "prior", "relabel-level", "relabel-weight", "archives"});
  const TSelfPlaySetup setup = SelfPlaySetup(arguments, FitSelfPlayUsage);
  const auto out = arguments.Option("out");
  if (!out || arguments.Positional().empty()) throw TUsageError(FitSelfPlayUsage);
  const int measureEmpties = static_cast<int>(arguments.IntOption("measure-empties", 12, 1, 30));
  training::TFitOptions fitOptions;
  fitOptions.Iterations = static_cast<int>(arguments.IntOption("iterations", 60, 1, 100000));
  fitOptions.Lambda = DoubleOption(arguments, "lambda", fitOptions.Lambda, 0.0, 1e6);
  fitOptions.BlendWeight = DoubleOption(arguments, "blend", fitOptions.BlendWeight, 0.0, 1.0);
  fitOptions.Progress = PrintLine;
  fitOptions.Checkpoint =
      arguments.OptionOr("checkpoint", (WorkFolder() / (setup.Name + "-selfplay.fit")).string());
  RequireFileOrNothing(fitOptions.Checkpoint, "--checkpoint");
  const std::string relabelText = arguments.OptionOr("relabel-level", "");
  const bool relabel = !relabelText.empty();
  const TFixedSearchInfo relabelLevel =
      relabel ? LevelOption(relabelText, "--relabel-level") : TFixedSearchInfo{};
  const double relabelWeight = DoubleOption(arguments, "relabel-weight", 1.0, 0.0, 1.0);
  // The 8 x 8 fits are also measured where the archive fits are: the tournament games' held-out
  // positions at 24 empties.
  const std::string archives = arguments.OptionOr("archives", "");
  if (!archives.empty() && setup.Kind != TBoardKind::Board8x8)
    throw TUsageError("--archives measures 8 x 8 set-ups only");

  auto evaluation = CreateEvaluation(setup.Name, nullptr, *out, /*loadFiles=*/false);
  const training::TFeatureLayout layout(*evaluation, PlayableSquaresOf(setup.Kind));
  std::vector<std::filesystem::path> files(arguments.Positional().begin(),
                                           arguments.Positional().end());
  CheckGameFiles(setup, files);
  // Earlier generations to compare with on the same positions; loaded now, so that a missing
  // one stops the command before the fit.
  std::vector<std::pair<std::string, std::unique_ptr<TOthelloPatternEngine>>> compared;
  std::string compare = arguments.OptionOr("compare", "");
  while (!compare.empty()) {
    const size_t comma = compare.find(',');
    const std::string folder = compare.substr(0, comma);
    compare = comma == std::string::npos ? "" : compare.substr(comma + 1);
    compared.emplace_back(
        folder, ReadingInput([&] { return CreateEngineFor(setup.Name, 12, nullptr, folder); }));
  }
  const auto began = std::chrono::steady_clock::now();
  // With a prior the fit learns a correction to it, pulled toward no correction.
  const std::string priorFolder = arguments.OptionOr("prior", "");
  std::unique_ptr<TOthelloPatternEngine> priorEngine;
  std::function<double(const TPosition&)> prior;
  if (!priorFolder.empty()) {
    priorEngine =
        ReadingInput([&] { return CreateEngineFor(setup.Name, 12, nullptr, priorFolder); });
    prior = [&](const TPosition& board) {
      priorEngine->SetPosition(board.Board(), CellOf(board.ToMove()));
      return static_cast<double>(priorEngine->Evaluate()) / DiscUnit;
    };
  }
  training::TSelfPlaySet set = training::BuildSelfPlaySet(
      layout, files, measureEmpties, [](const std::string& line) { PrintLine("rejected " + line); },
      prior, relabel);
  int64_t heldOut = 0;
  for (const uint8_t train : set.Rows.Train) heldOut += train == 0;
  PrintLine(Format("%lld games (%lld rejected), %zu positions (%lld held out, %lld exact labels)",
                   static_cast<long long>(set.Games), static_cast<long long>(set.Rejected),
                   set.Rows.Empties.size(), static_cast<long long>(heldOut),
                   static_cast<long long>(set.ExactLabels)));

  std::unique_ptr<TEvaluation> priorTables;
  if (!priorFolder.empty()) {
    priorTables = CreateEvaluation(setup.Name, nullptr, priorFolder, /*loadFiles=*/false);
    priorTables->LoadCoefficients();
  }
  const std::filesystem::path target = evaluation->FilePath(".coe");
  MakeFolder(target.parent_path());
  // Each fit starts afresh from the rows as they stand; the checkpoint resumes only a fit of the
  // same rows, so a rerun repeats the searches and then finds its fits done.
  const auto fitAndWrite = [&] {
    training::TPatternFit fit(layout, set.Rows, fitOptions);
    if (fit.TrainingRows() == 0)
      throw TDataError("no position to train on in the game files; nothing written");
    PrintLine(Format("%lld parameters, %lld training rows; fitting",
                     static_cast<long long>(layout.ParameterCount()),
                     static_cast<long long>(fit.TrainingRows())));
    const std::vector<double> parameters = fit.Solve();
    std::vector<float> bias = layout.Expand(parameters, *evaluation);
    if (priorTables) training::AddPrior(*priorTables, *evaluation, bias);
    // The tail holds Bias for 4 discs up to a full board.
    training::WriteCoefficients(
        *evaluation, std::span<const float>(bias.data() + 4, layout.PlayableSquares() - 3), target);
    PrintLine(
        Format("wrote %s (%.0f s)", target.string().c_str(),
               std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count()));
  };
  fitAndWrite();
  // Late stages first: each stage's positions are searched with the tables just fitted, whose
  // later stages already learned from searches (and, last of all, from exact values).
  for (int stage = relabel ? layout.StageCount() - 1 : -1; stage >= 0; --stage) {
    auto searcher = CreateEngineFor(setup.Name, 16, nullptr, *out);
    const int64_t searched =
        training::RelabelStage(*searcher, relabelLevel, relabelWeight, stage, layout, set);
    PrintLine(Format("stage %d: %lld positions labelled by searches at %s", stage,
                     static_cast<long long>(searched), relabelText.c_str()));
    if (searched > 0) fitAndWrite();
  }

  // Measured through the engine, which reads the file as the program does (with its stage
  // smoothing), not through the fit's own sum.
  auto engine = CreateEngineFor(setup.Name, 12, nullptr, *out);
  PrintLine(Format("held-out error at %d empties against exact scores: %.3f discs (%zu positions)",
                   measureEmpties, training::StaticError(*engine, set.ExactAt),
                   set.ExactAt.size()));
  for (const auto& [folder, other] : compared)
    PrintLine(Format("the same with %s: %.3f discs", folder.c_str(),
                     training::StaticError(*other, set.ExactAt)));
  if (!archives.empty()) {
    const std::vector<training::THeldOutPosition> tournament = ReadingInput(
        [&] { return training::HeldOutArchivePositions(archives, ArchiveMeasureEmpties); });
    PrintLine(Format("held-out error at %d empties of the archives' games: %.3f discs (%zu "
                     "positions)",
                     ArchiveMeasureEmpties, training::StaticError(*engine, tournament),
                     tournament.size()));
    for (const auto& [folder, other] : compared)
      PrintLine(Format("the same with %s: %.3f discs", folder.c_str(),
                       training::StaticError(*other, tournament)));
  }
  return 0;
}

}  // namespace morvane::cli
