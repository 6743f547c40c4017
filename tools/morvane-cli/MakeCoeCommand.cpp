#include <algorithm>
#include <cstdio>
#include <optional>

#include "Commands.h"
#include "evaluation/CoefficientWriter.h"
#include "engine/Catalogue.h"
#include "evaluation/EvaluationSetups.h"

namespace morvane::cli {

namespace {

const char* const MakeCoeUsage = "usage: make-coe --eval NAME --out DIR [--random SEED]";

}  // namespace

int RunMakeCoe(const TArguments& arguments) {
  arguments.Allow({"eval", "out", "random"});
  if (!arguments.Positional().empty()) throw TUsageError(MakeCoeUsage);
  const auto name = arguments.Option("eval");
  const auto out = arguments.Option("out");
  if (!name || !out) throw TUsageError(MakeCoeUsage);
  if (!FindEvaluation(*name)) {
    throw TUsageError("unknown evaluation \"" + *name + "\"; known are " + EvaluationNameList());
  }
  std::optional<uint32_t> seed;
  if (arguments.Option("random"))
    seed = static_cast<uint32_t>(arguments.IntOption("random", 0, 0, 4294967295LL));

  const auto evaluation = CreateEvaluation(*name, nullptr, *out, /*loadFiles=*/false);
  const std::filesystem::path path = evaluation->FilePath(".coe");
  const int64_t bytes = WriteCoefficientFile(*evaluation, path, seed);
  std::printf("%s\n%lld bytes\n", path.string().c_str(), static_cast<long long>(bytes));
  return 0;
}

}  // namespace morvane::cli
