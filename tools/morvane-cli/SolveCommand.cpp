// solve and search: one position, exactly or to a fixed level.
#include <cmath>
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Failures.h"
#include "Solving.h"
#include "engines/EngineFactory.h"

namespace morvane::cli {

namespace {

struct TPositionJob {
  std::unique_ptr<TOthelloPatternEngine> Engine;
};

// Reads the options shared by solve and search and loads the engine with the position.
TPositionJob LoadPosition(const TArguments& arguments) {
  if (arguments.Positional().size() != 1)
    throw TUsageError("give exactly one POSITION (side to move, then the squares row by row)");
  const TBoardKind kind = BoardKindOption(arguments);
  const std::string name = EvaluationOption(arguments, kind);
  TPositionJob job;
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  try {
    job.Engine = CreateEngineFor(name, hashBits, nullptr, arguments.OptionOr("data", ""),
                                 arguments.Flag("generic"));
  } catch (const std::runtime_error& error) {
    throw TDataError(error.what());
  }
  ThreadsOption(arguments, *job.Engine, DefaultSearchThreads(), arguments.Flag("generic"));
  const std::string problem = LoadPositionText(*job.Engine, arguments.Positional()[0]);
  if (!problem.empty()) throw TUsageError(problem);
  return job;
}

}  // namespace

int RunSolve(const TArguments& arguments) {
  arguments.Allow({"board", "eval", "data", "hash", "generic", "threads"});
  TPositionJob job = LoadPosition(arguments);
  const TSolveOutcome outcome = SolveExactly(*job.Engine);
  std::printf("score %d move %s nodes %lld ms %lld\n", outcome.Score,
              MoveText(*job.Engine, outcome.BestSquare).c_str(),
              static_cast<long long>(outcome.Nodes), static_cast<long long>(outcome.Milliseconds));
  return 0;
}

int RunSearch(const TArguments& arguments) {
  arguments.Allow({"board", "eval", "data", "hash", "generic", "depth", "exact", "threads"});
  if (!arguments.Option("depth") || !arguments.Option("exact"))
    throw TUsageError("search needs --depth D and --exact E");
  TFixedSearchInfo level;
  level.Depth = static_cast<int32_t>(arguments.IntOption("depth", 0, 0, 60));
  level.ExactEmpties = static_cast<int32_t>(arguments.IntOption("exact", 0, 0, 100));
  TPositionJob job = LoadPosition(arguments);
  const TSolveOutcome outcome = SearchLevel(*job.Engine, level);
  std::printf("score %.3f move %s nodes %lld ms %lld\n",
              static_cast<double>(outcome.RawScore) / DiscUnit,
              MoveText(*job.Engine, outcome.BestSquare).c_str(),
              static_cast<long long>(outcome.Nodes), static_cast<long long>(outcome.Milliseconds));
  return 0;
}

}  // namespace morvane::cli
