#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "BookCommon.h"
#include "Commands.h"
#include "Failures.h"
#include "game/Book.h"

namespace morvane::cli {

int RunBookInfo(const TArguments& arguments) {
  arguments.Allow({"board"});
  if (arguments.Positional().size() != 1)
    throw TUsageError("usage: book-info FILE [--board 8|10|88]");
  const std::filesystem::path path = arguments.Positional()[0];
  const TBoardKind kind = BoardKindOption(arguments);
  RequireFile(path, "book file");
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (!file && !file.eof()) throw TDataError("cannot read the book file \"" + path.string() + "\"");
  TStderrMessageSink messages;
  TScopedMessageSink sink(&messages);
  const int size = BoardSideOf(kind);
  // Reading a book needs no engine: only learning searches. Nothing is written here, so a book
  // that does not read is reported, not replaced as the window would.
  TBook book(path.stem().string(), size, static_cast<int>(kind), nullptr);
  std::string problem;
  if (!book.ReadTree(bytes, problem)) {
    for (const TBoardKind other :
         {TBoardKind::Board8x8, TBoardKind::Board10x10, TBoardKind::Octagon}) {
      if (other == kind) continue;
      TBook trial(path.stem().string(), BoardSideOf(other), static_cast<int>(other), nullptr);
      std::string ignored;
      if (trial.ReadTree(bytes, ignored))
        throw TDataError("the book \"" + path.string() + "\" does not belong to board " +
                         std::to_string(static_cast<int>(kind)) + "; it reads as a book of board " +
                         std::to_string(static_cast<int>(other)) + " (--board " +
                         std::to_string(static_cast<int>(other)) + ")");
    }
    throw TDataError("the book \"" + path.string() + "\" is damaged or not a book of board " +
                     std::to_string(static_cast<int>(kind)) + " (" + problem + ")");
  }

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
