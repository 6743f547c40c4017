#include <cstdio>

#include "Commands.h"
#include "engines/DiscCountEngine.h"
#include "engine/Perft.h"

namespace morvane::cli {

TBoardKind BoardKindOption(const TArguments& arguments) {
  const std::string text = arguments.OptionOr("board", "8");
  const auto kind = ParseBoardKind(text);
  if (!kind) throw TUsageError("--board must be 8, 10 or 88, not \"" + text + "\"");
  return *kind;
}

int RunPerft(const TArguments& arguments) {
  arguments.Allow({"board"});
  if (arguments.Positional().size() != 1) throw TUsageError("usage: perft DEPTH [--board 8|10|88]");
  const int depth = static_cast<int>(ParseInteger(arguments.Positional()[0], "DEPTH", 0, 60));
  const TBoardKind kind = BoardKindOption(arguments);

  TDiscCountEngine engine(10, kind);
  engine.SetupStartPosition();
  const int64_t start = TickCount();
  const int64_t count = Perft(engine, depth);
  const int64_t elapsed = TickCount() - start;
  const double rate = elapsed > 0 ? static_cast<double>(count) / (elapsed * 1000.0) : 0.0;
  std::printf("board %d, generic engine\n", static_cast<int>(kind));
  std::printf("time %lld ms, %.2f million positions per second\n", static_cast<long long>(elapsed),
              rate);
  std::printf("perft %d: %lld\n", depth, static_cast<long long>(count));
  return 0;
}

}  // namespace morvane::cli
