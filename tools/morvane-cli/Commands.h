// The commands of morvane-cli. Each returns the process exit status: 0 success, 1 a failed run;
// usage mistakes and unusable input are thrown as TUsageError or TDataError (status 2), see
// Failures.h.
#pragma once

#include "Arguments.h"
#include "engine/BoardKind.h"

namespace morvane::cli {

int RunPerft(const TArguments& arguments);
int RunGenerateSource(const TArguments& arguments);
int RunMakeCoe(const TArguments& arguments);
int RunSelfPlay(const TArguments& arguments);
int RunBookInfo(const TArguments& arguments);
int RunSolve(const TArguments& arguments);
int RunSearch(const TArguments& arguments);
int RunTrain(const TArguments& arguments);
int RunSolveLabels(const TArguments& arguments);
int RunProbeStats(const TArguments& arguments);
int RunMatch(const TArguments& arguments);
int RunMpcCheck(const TArguments& arguments);
int RunBench(const TArguments& arguments);
int RunSelfPlayGames(const TArguments& arguments);
int RunFitSelfPlay(const TArguments& arguments);
int RunTransferCoe(const TArguments& arguments);
int RunHint(const TArguments& arguments);
int RunAnalyze(const TArguments& arguments);
int RunNBoard(const TArguments& arguments);

// Reads --board (8, 10 or 88; default 8).
TBoardKind BoardKindOption(const TArguments& arguments);

}  // namespace morvane::cli
