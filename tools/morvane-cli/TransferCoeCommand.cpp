// transfer-coe: a starting .coe for a 10-wide set-up from the trained 8 x 8 "Bot8x8" tables.
#include "Commands.h"
#include "Failures.h"
#include "SelfPlayCommon.h"
#include "TrainingCommon.h"
#include "evaluation/EvaluationSetups.h"
#include "training/CoefficientTransfer.h"
#include "training/TrainedFiles.h"

namespace morvane::cli {

int RunTransferCoe(const TArguments& arguments) {
  const char* const usage =
      "usage: transfer-coe --eval Bot10x10|Bot8x8Oct --from DATA_DIR --out DIR";
  arguments.Allow({"eval", "from", "out"});
  const TSelfPlaySetup setup = WideSetup(arguments, usage);
  const auto from = arguments.Option("from");
  const auto out = arguments.Option("out");
  if (!from || !out || !arguments.Positional().empty()) throw TUsageError(usage);
  auto source = CreateEvaluation("Bot8x8", nullptr, *from, /*loadFiles=*/false);
  ReadingInput([&] { source->LoadCoefficients(); });
  auto target = CreateEvaluation(setup.Name, nullptr, *out, /*loadFiles=*/false);
  const int squares = setup.Kind == TBoardKind::Octagon ? 88 : 100;
  const std::vector<float> bias = training::TransferCoefficients(
      *source, 64, *target, squares, training::TransferPlan(setup.Name));
  const std::filesystem::path path = target->FilePath(".coe");
  MakeFolder(path.parent_path());
  training::WriteCoefficients(*target, std::span<const float>(bias.data() + 4, squares - 3), path);
  PrintLine("wrote " + path.string());
  return 0;
}

}  // namespace morvane::cli
