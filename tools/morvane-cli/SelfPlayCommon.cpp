#include "SelfPlayCommon.h"

#include "Failures.h"
#include "TrainingCommon.h"
#include "training/SelfPlayGames.h"

namespace morvane::cli {

bool WideKindOf(const std::string& name, TBoardKind& kind) {
  if (name == "Bot10x10")
    kind = TBoardKind::Board10x10;
  else if (name == "Bot8x8Oct")
    kind = TBoardKind::Octagon;
  else
    return false;
  return true;
}

TSelfPlaySetup WideSetup(const TArguments& arguments, const char* usage) {
  const auto name = arguments.Option("eval");
  if (!name) throw TUsageError(usage);
  TSelfPlaySetup setup{*name, TBoardKind::Board10x10};
  if (!WideKindOf(*name, setup.Kind))
    throw TUsageError("--eval must be Bot10x10 or Bot8x8Oct, not \"" + *name + "\"");
  return setup;
}

TSelfPlaySetup SelfPlaySetup(const TArguments& arguments, const char* usage) {
  const auto name = arguments.Option("eval");
  if (!name) throw TUsageError(usage);
  TSelfPlaySetup setup{*name, TBoardKind::Board8x8};
  if (WideKindOf(*name, setup.Kind)) return setup;
  setup.Name = EightByEightName(arguments, usage);
  return setup;
}

TFixedSearchInfo LevelOption(const std::string& text, const std::string& option) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) throw TUsageError(option + " must look like 2/10, not " + text);
  TFixedSearchInfo level;
  level.Depth = static_cast<int32_t>(ParseInteger(text.substr(0, slash), option + " depth", 0, 30));
  level.ExactEmpties =
      static_cast<int32_t>(ParseInteger(text.substr(slash + 1), option + " empties", 0, 30));
  return level;
}

namespace {

const char* BoardName(TBoardKind kind) {
  return kind == TBoardKind::Octagon ? "octagon" : "10 x 10 board";
}

}  // namespace

void CheckGameFiles(const TSelfPlaySetup& setup, const std::vector<std::filesystem::path>& files) {
  for (const auto& path : files) {
    const TBoardKind kind = ReadingInput([&] { return training::GameFileKind(path); });
    if (kind != setup.Kind)
      throw TDataError(path.string() + " holds games of the " + BoardName(kind) + ", not of the " +
                       BoardName(setup.Kind) + " of " + setup.Name);
  }
}

}  // namespace morvane::cli
