// Helpers of the self-play commands (selfplay-games, fit-selfplay, match).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Arguments.h"
#include "engine/SearchInfo.h"
#include "engine/Position.h"

namespace morvane::cli {

struct TSelfPlaySetup {
  std::string Name;
  TBoardKind Kind;
};

// --eval NAME, which must be "Bot10x10" or "Bot8x8Oct".
TSelfPlaySetup WideSetup(const TArguments& arguments, const char* usage);

// --eval NAME of any set-up the self-play tools train: the 10-wide ones and the 8 x 8 ones.
TSelfPlaySetup SelfPlaySetup(const TArguments& arguments, const char* usage);

// The board of a set-up name; false for the 8 x 8 ones.
bool WideKindOf(const std::string& name, TBoardKind& kind);

// "2/10": midgame depth and exactly solved empties.
TFixedSearchInfo LevelOption(const std::string& text, const std::string& option);

// Every game file must exist, be one and hold games of the set-up's board: a data error
// otherwise, before any work is done.
void CheckGameFiles(const TSelfPlaySetup& setup, const std::vector<std::filesystem::path>& files);

}  // namespace morvane::cli
