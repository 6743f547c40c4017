// Shared helpers of the game record and book tests: random legal games played on the generic
// engine (whose rules are tested on their own), levels, and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engines/DiscCountEngine.h"
#include "engines/EngineFactory.h"
#include "evaluation/CoefficientWriter.h"
#include "evaluation/EvaluationSetups.h"
#include "game/GameInfo.h"
#include "support/ReferenceBoard.h"

namespace morvane::testing {

inline std::vector<int> LegalSquares(TOthelloEngine& engine) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  std::vector<int> squares;
  for (const MoveRecord* move = list[0].Next; move; move = move->Next)
    squares.push_back(move->Square);
  return squares;
}

// Plays the moves of `line` on a fresh engine and returns it (passes as square 1).
inline std::unique_ptr<TDiscCountEngine> EngineAfter(TBoardKind kind,
                                                     const std::vector<int>& line) {
  auto engine = std::make_unique<TDiscCountEngine>(8, kind);
  engine->SetupStartPosition();
  for (const int square : line) {
    if (square == PassMove) {
      engine->MakePass();
      continue;
    }
    TMoveList list;
    engine->GenerateMovesHashed(list);
    const MoveRecord* move = list[0].Next;
    while (move && move->Square != square) move = move->Next;
    if (!move) ADD_FAILURE() << "square " << square << " is not legal";
    if (!move) return engine;
    engine->MakeMove(*move);
    engine->SwapSides();
  }
  return engine;
}

// A random legal game to its end, passes included. `opening` moves are played first.
inline std::vector<int> RandomGame(TBoardKind kind, uint32_t seed,
                                   const std::vector<int>& opening = {}) {
  auto engine = EngineAfter(kind, opening);
  std::vector<int> line = opening;
  std::mt19937 random(seed);
  for (;;) {
    const std::vector<int> squares = LegalSquares(*engine);
    if (squares.empty()) {
      engine->SwapSides();
      const bool otherCanMove = !LegalSquares(*engine).empty();
      engine->SwapSides();
      if (!otherCanMove) return line;
      line.push_back(PassMove);
      engine->MakePass();
      continue;
    }
    const int square = squares[random() % squares.size()];
    line.push_back(square);
    TMoveList list;
    engine->GenerateMovesHashed(list);
    const MoveRecord* move = list[0].Next;
    while (move->Square != square) move = move->Next;
    engine->MakeMove(*move);
    engine->SwapSides();
  }
}

inline TFixedSearchInfo LevelOf(int depth, int exactEmpties) {
  TFixedSearchInfo level;
  level.Depth = depth;
  level.ExactEmpties = exactEmpties;
  return level;
}

// A game record holding `line`, played on `engine`, at `level`.
inline std::unique_ptr<TGameInfo> RecordOf(TOthelloEngine& engine, const std::vector<int>& line,
                                           const TFixedSearchInfo& level) {
  auto game = std::make_unique<TGameInfo>();
  game->SetEngine(&engine);
  game->NewGame();
  game->SetLevel(level);
  for (const int square : line)
    if (!game->EnterMove(square)) ADD_FAILURE() << "the record refused square " << square;
  return game;
}

// A move's value as the engine finds it by itself, on a cleared table: its position searched at
// depth - 1 through the opponent's pass, negated; a finished game's final margin.
inline int32_t SearchedValue(TOthelloEngine& engine, const TPosition& position, int square,
                             int depth) {
  TPosition child = position;
  EXPECT_TRUE(child.Play(square));
  if (child.IsFinished()) {
    const int margin = child.FinalScore();
    return (position.ToMove() == TColour::Black ? margin : -margin) * DiscUnit;
  }
  const bool again = child.MustPass();
  if (again) child.SwapSide();
  const PositionImage image = child.Image();
  engine.HashTable->Clear();
  engine.SetPosition(image.Board, image.SideToMove);
  TFixedSearchInfo level;
  level.Depth = depth - 1;
  const int32_t score = engine.SearchFixedLevel(level).Score;
  return again ? score : -score;
}

// A board and the evaluation of its production engine, as a test parameter.
struct TBoardCase {
  TBoardKind Kind;
  const char* Evaluation;
};

inline void PrintTo(const TBoardCase& board, std::ostream* out) { *out << board.Evaluation; }

// Every board with its first evaluation, and the test names they give.
inline constexpr TBoardCase BoardCases[] = {{TBoardKind::Board8x8, "Pellin"},
                                            {TBoardKind::Board10x10, "Bot10x10"},
                                            {TBoardKind::Octagon, "Bot8x8Oct"}};
inline std::string BoardCaseName(const ::testing::TestParamInfo<TBoardCase>& info) {
  return info.param.Evaluation;
}

// The empty reference board of a board kind.
inline reference::TReferenceBoard GeometryOf(TBoardKind kind) {
  if (kind == TBoardKind::Octagon) return reference::TReferenceBoard::Octagon();
  return reference::TReferenceBoard(BoardSideOf(kind));
}

inline reference::TSquare ReferenceSquare(const TPosition& position, int square) {
  return {position.ColumnOf(square), position.RowOf(square)};
}

// The production engine of an evaluation with small random coefficients written to `folder`.
inline std::unique_ptr<TOthelloPatternEngine> RandomCoefficientEngine(
    const char* evaluation, const std::filesystem::path& folder, uint32_t seed) {
  const auto layout = CreateEvaluation(evaluation, nullptr, folder, false);
  WriteCoefficientFile(*layout, layout->FilePath(".coe"), seed);
  return CreateEngineFor(evaluation, 16, nullptr, folder);
}

// A folder of its own for every test, removed afterwards.
class TScratchFolder {
 public:
  TScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    Path = std::filesystem::temp_directory_path() /
           ("morvane-" + name + "-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(Path, std::filesystem::perms::all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Path, ignored);
  }
  std::filesystem::path Path;
};

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace morvane::testing
