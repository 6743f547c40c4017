#include <cstdio>
#include <filesystem>

#include "BookCommon.h"
#include "Commands.h"
#include "game/Book.h"

namespace morvane::cli {

int RunBookInfo(const TArguments& arguments) {
  arguments.Allow({"board"});
  if (arguments.Positional().size() != 1)
    throw TUsageError("usage: book-info FILE [--board 8|10|88]");
  const std::filesystem::path path = arguments.Positional()[0];
  const TBoardKind kind = BoardKindOption(arguments);
  if (!std::filesystem::is_regular_file(path)) {
    std::fprintf(stderr, "morvane-cli book-info: no book file \"%s\"\n", path.c_str());
    return 1;
  }
  TStderrMessageSink messages;
  TScopedMessageSink sink(&messages);
  const int size = BoardSideOf(kind);
  // Reading a book needs no engine: only learning searches.
  TBook book(path.stem().string(), size, static_cast<int>(kind), nullptr);
  if (!book.LoadFrom(path)) return 1;

  const TBookStats stats = book.Stats();
  std::printf("book %s (board %d)\n", path.c_str(), static_cast<int>(kind));
  std::printf("nodes: %lld\n", static_cast<long long>(stats.Nodes));
  std::printf("links: %lld", static_cast<long long>(stats.Links));
  if (stats.UnresolvedLinks)
    std::printf(" (%lld unresolved)", static_cast<long long>(stats.UnresolvedLinks));
  std::printf("\nleaves: %lld\n", static_cast<long long>(stats.Leaves));
  std::printf("depth: %d\n", stats.Depth);
  const TNode* best = book.SelectChild(book.Root, 0, nullptr);
  if (best)
    std::printf("best move: %s (value %.3f)\n", BookMoveText(best->Move, size).c_str(),
                best->Value + 0.0);  // no "-0.000"
  else
    std::printf("best move: none\n");
  return 0;
}

}  // namespace morvane::cli
