// bench: the speed figures of Morvane's engines. With no further word a small fixed set whose
// node count is a signature of the search; "endgame", "midgame" and "perft" measure one part.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "Commands.h"
#include "Failures.h"
#include "Solving.h"
#include "engine/SearchThreads.h"
#include "engines/DiscCountEngine.h"
#include "engine/Perft.h"
#include "engines/EngineFactory.h"

namespace morvane::cli {

namespace {

const char* const BenchUsage =
    "usage: bench [endgame FILE [--first N] [--last M] [--threads N] | midgame [--threads N] | "
    "perft] [--data DIR] [--hash BITS]";

std::unique_ptr<TOthelloPatternEngine> PellinEngine(const TArguments& arguments) {
  const double hashBits = static_cast<double>(arguments.IntOption("hash", 22, 10, 28));
  return ReadingInput(
      [&] { return CreateEngineFor("Pellin", hashBits, nullptr, arguments.OptionOr("data", "")); });
}

// Positions reached by `plies` random moves from the start, the same on every machine: the
// generator is fully specified and its draws are reduced by modulo, not by a library
// distribution.
std::vector<std::string> RandomPositions(TOthelloEngine& engine, int count, int plies,
                                         uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string> positions;
  while (static_cast<int>(positions.size()) < count) {
    engine.SetupStartPosition();
    bool finished = false;
    for (int ply = 0; ply < plies && !finished; ++ply) {
      TMoveList list;
      engine.GenerateMovesHashed(list);
      int moves = 0;
      for (const MoveRecord* move = list[0].Next; move; move = move->Next) ++moves;
      if (moves == 0) {
        engine.MakePass();
        finished = !HasMove(engine);
        continue;
      }
      const MoveRecord* chosen = list[0].Next;
      for (int skip = static_cast<int>(random() % static_cast<uint32_t>(moves)); skip > 0; --skip)
        chosen = chosen->Next;
      engine.MakeMove(*chosen);
      engine.SwapSides();
    }
    if (!finished && HasMove(engine)) positions.push_back(PositionText(engine));
  }
  return positions;
}

void LoadText(TOthelloEngine& engine, const std::string& text) {
  const std::string problem = LoadPositionText(engine, text);
  if (!problem.empty()) throw std::logic_error(problem + ": \"" + text + "\"");
  // Every position starts from an empty table, so that the counts do not depend on the order.
  engine.HashTable->Clear();
}

struct TTotals {
  int64_t Nodes = 0;
  int64_t Milliseconds = 0;
};

void PrintRate(const char* what, int64_t nodes, int64_t milliseconds) {
  std::printf("%s: %lld nodes, %lld ms, %.0f knodes/s\n", what, static_cast<long long>(nodes),
              static_cast<long long>(milliseconds),
              static_cast<double>(nodes) / static_cast<double>(std::max<int64_t>(1, milliseconds)));
}

TTotals SearchSet(TOthelloEngine& engine, const std::vector<std::string>& positions, int depth,
                  const char* label) {
  TTotals totals;
  TFixedSearchInfo level;
  level.Depth = depth;
  level.ExactEmpties = 0;
  int number = 0;
  for (const std::string& text : positions) {
    LoadText(engine, text);
    const TSolveOutcome outcome = SearchLevel(engine, level);
    std::printf("%s %2d depth %d score %8.3f move %s nodes %10lld ms %6lld  %s\n", label, ++number,
                depth, static_cast<double>(outcome.RawScore) / DiscUnit,
                MoveText(engine, outcome.BestSquare).c_str(), static_cast<long long>(outcome.Nodes),
                static_cast<long long>(outcome.Milliseconds), text.c_str());
    std::fflush(stdout);
    totals.Nodes += outcome.Nodes;
    totals.Milliseconds += outcome.Milliseconds;
  }
  return totals;
}

TTotals SolveSet(TOthelloEngine& engine, const std::vector<std::string>& positions,
                 const char* label) {
  TTotals totals;
  int number = 0;
  for (const std::string& text : positions) {
    LoadText(engine, text);
    const TSolveOutcome outcome = SolveExactly(engine);
    std::printf("%s %2d empties %d score %+d move %s nodes %10lld ms %6lld  %s\n", label, ++number,
                engine.EmptyCount, outcome.Score, MoveText(engine, outcome.BestSquare).c_str(),
                static_cast<long long>(outcome.Nodes), static_cast<long long>(outcome.Milliseconds),
                text.c_str());
    std::fflush(stdout);
    totals.Nodes += outcome.Nodes;
    totals.Milliseconds += outcome.Milliseconds;
  }
  return totals;
}

int BenchSignature(const TArguments& arguments) {
  auto engine = PellinEngine(arguments);
  const auto midgame = RandomPositions(*engine, 4, 16, 20261207);
  const auto endgame = RandomPositions(*engine, 4, 42, 20261208);
  TTotals totals;
  const TTotals searched = SearchSet(*engine, midgame, 9, "midgame");
  const TTotals solved = SolveSet(*engine, endgame, "endgame");
  totals.Nodes = searched.Nodes + solved.Nodes;
  totals.Milliseconds = searched.Milliseconds + solved.Milliseconds;
  PrintRate("total", totals.Nodes, totals.Milliseconds);
  std::printf("Nodes searched: %lld\n", static_cast<long long>(totals.Nodes));
  return 0;
}

// The measurements of one part search on one thread unless told otherwise, so that their figures
// compare from machine to machine; the signature always does.
int BenchMidgame(const TArguments& arguments) {
  auto engine = PellinEngine(arguments);
  ThreadsOption(arguments, *engine, 1);
  const auto positions = RandomPositions(*engine, 10, 20, 1207);
  const TTotals totals = SearchSet(*engine, positions, 12, "midgame");
  PrintRate("total", totals.Nodes, totals.Milliseconds);
  return 0;
}

int BenchPerft(const TArguments& arguments) {
  struct TCase {
    const char* Name;
    TBoardKind Kind;
    int Depth;
  };
  for (const TCase& test : {TCase{"8x8 generic", TBoardKind::Board8x8, 9},
                            TCase{"10x10 generic", TBoardKind::Board10x10, 10},
                            TCase{"octagon generic", TBoardKind::Octagon, 10}}) {
    TDiscCountEngine engine(16.0, test.Kind);
    engine.SetupStartPosition();
    const int64_t start = TickCount();
    const int64_t count = Perft(engine, test.Depth);
    const int64_t elapsed = TickCount() - start;
    char what[64];
    std::snprintf(what, sizeof what, "perft %d %s", test.Depth, test.Name);
    PrintRate(what, count, elapsed);
  }
  auto engine = PellinEngine(arguments);
  engine->SetupStartPosition();
  const int64_t start = TickCount();
  const int64_t count = Perft(*engine, 9);
  PrintRate("perft 9 8x8 bitboard", count, TickCount() - start);
  return 0;
}

// One line of the endgame test file: number, position, exact score, best moves.
struct TEndgameLine {
  int LineNumber = 0;  // in the file, for messages
  int Number = 0;
  std::string Position;
  int Expected = 0;
  std::string BestMoves;
};

// The lines numbered `first` to `last`, each position checked as solve checks its own.
std::vector<TEndgameLine> ReadEndgameFile(TOthelloEngine& engine, const std::string& path,
                                          int first, int last) {
  std::ifstream file(path);
  if (!file) throw TDataError("cannot read the endgame test file \"" + path + "\"");
  std::vector<TEndgameLine> lines;
  int positions = 0;
  std::string text;
  for (int lineNumber = 1; std::getline(file, text); ++lineNumber) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    TEndgameLine line;
    line.LineNumber = lineNumber;
    if (!(fields >> line.Number >> line.Position >> line.Expected))
      throw TDataError(where + "not \"number position score\"");
    fields >> line.BestMoves;
    const std::string problem = LoadPositionText(engine, line.Position);
    if (!problem.empty()) throw TDataError(where + problem);
    if (std::abs(line.Expected) > engine.PlayableSquares())
      throw TDataError(where + "the score " + std::to_string(line.Expected) + " is beyond " +
                       std::to_string(engine.PlayableSquares()) + " discs");
    ++positions;
    if (line.Number >= first && line.Number <= last) lines.push_back(line);
  }
  if (positions == 0) throw TDataError("there is no position in \"" + path + "\"");
  if (lines.empty())
    throw TDataError("no position numbered " + std::to_string(first) + " to " +
                     std::to_string(last) + " in \"" + path + "\"");
  return lines;
}

int BenchEndgame(const TArguments& arguments) {
  if (arguments.Positional().size() != 2) throw TUsageError(BenchUsage);
  const int first = static_cast<int>(arguments.IntOption("first", 0, 0, 1000000));
  const int last = static_cast<int>(arguments.IntOption("last", 1000000, 0, 1000000));
  if (first > last) throw TUsageError("--first must not be above --last");
  RequireFile(arguments.Positional()[1], "endgame test file");
  auto engine = PellinEngine(arguments);
  ThreadsOption(arguments, *engine, 1);
  const auto lines = ReadEndgameFile(*engine, arguments.Positional()[1], first, last);
  int wrong = 0;
  TTotals totals;
  const auto helperNodes = [&] { return engine->Threads ? engine->Threads->HelperNodes() : 0; };
  int64_t helpers = 0;
  for (const TEndgameLine& line : lines) {
    LoadText(*engine, line.Position);
    const int64_t helpersBefore = helperNodes();
    const TSolveOutcome outcome = SolveExactly(*engine);
    const int64_t helped = helperNodes() - helpersBefore;
    helpers += helped;
    const std::string helperText = engine->Threads ? " helpers " + std::to_string(helped) : "";
    const bool right = outcome.Score == line.Expected;
    wrong += right ? 0 : 1;
    std::printf(
        "#%-3d empties %2d score %+3d expected %+3d move %s nodes %11lld ms %7lld "
        "knps %6.0f%s%s\n",
        line.Number, engine->EmptyCount, outcome.Score, line.Expected,
        MoveText(*engine, outcome.BestSquare).c_str(), static_cast<long long>(outcome.Nodes),
        static_cast<long long>(outcome.Milliseconds),
        static_cast<double>(outcome.Nodes) /
            static_cast<double>(std::max<int64_t>(1, outcome.Milliseconds)),
        right ? "" : "  WRONG", helperText.c_str());
    std::fflush(stdout);
    totals.Nodes += outcome.Nodes;
    totals.Milliseconds += outcome.Milliseconds;
  }
  std::printf("total: %zu positions, %d wrong, %lld ms, %lld nodes", lines.size(), wrong,
              static_cast<long long>(totals.Milliseconds), static_cast<long long>(totals.Nodes));
  // With helpers, the nodes the owner searched itself show what the helpers saved it.
  if (engine->Threads)
    std::printf(", %lld of them by helper threads", static_cast<long long>(helpers));
  std::printf("\n");
  return wrong == 0 ? 0 : 1;
}

}  // namespace

int RunBench(const TArguments& arguments) {
  const auto& words = arguments.Positional();
  const std::string part = words.empty() ? "" : words[0];
  if (part == "endgame") {
    arguments.Allow({"data", "hash", "first", "last", "threads"});
    return BenchEndgame(arguments);
  }
  if (part == "midgame") {
    arguments.Allow({"data", "hash", "threads"});
    if (words.size() > 1) throw TUsageError(BenchUsage);
    return BenchMidgame(arguments);
  }
  arguments.Allow({"data", "hash"});
  if (words.size() > 1) throw TUsageError(BenchUsage);
  if (part.empty()) return BenchSignature(arguments);
  if (part == "perft") return BenchPerft(arguments);
  throw TUsageError(BenchUsage);
}

}  // namespace morvane::cli
